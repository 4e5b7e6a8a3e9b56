// Splits the input into a text and a part, runs every primitive, and checks the properties that
// hold for any input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "http/text.h"

using namespace quill;

namespace {
void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// A position must fall on a character boundary of the text.
bool OnBoundary(const std::string& text, Pos position) {
    std::size_t i = 0;
    while (i + 1 < static_cast<std::size_t>(position)) {
        i += (IsGbkLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
    }
    return i + 1 == static_cast<std::size_t>(position);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = input.find('\x01');
    const std::string text = input.substr(0, cut);
    const std::string part = cut == std::string::npos ? std::string("a") : input.substr(cut + 1);
    const Pos start = size > 0 ? static_cast<Pos>(data[0] % 8) - 2 : 1;

    for (bool ignoreCase : {false, true}) {
        const Pos found = Find(text, part, start, ignoreCase);
        Check(found == -1 || (found >= 1 && static_cast<std::size_t>(found) <= text.size()));
        if (found != -1 && !part.empty()) {
            Check(OnBoundary(text, found));
            Check(ignoreCase ||
                  text.compare(static_cast<std::size_t>(found - 1), part.size(), part) == 0);
        }
    }
    const Pos last = FindLast(text, part);
    Check(last == -1 || part.empty() || OnBoundary(text, last));
    Check((last == -1) == (Find(text, part) == -1));

    Check(Left(text, start).size() <= text.size());
    Check(Right(text, start).size() <= text.size());
    Check(Middle(text, start, static_cast<Pos>(part.size())).size() <= part.size());
    Check(Lower(text).size() == text.size());
    const std::string trimmed = Trim(text);
    Check(trimmed.size() <= text.size());
    Check(Trim(trimmed) == trimmed);
    const std::string compact = RemoveAllSpaces(text);
    Check(RemoveAllSpaces(compact) == compact);

    const std::string replaced = Replace(text, part, "", true);
    if (!part.empty()) {
        Check(replaced.size() <= text.size());
    }
    Replace(text, part, text, false);

    std::size_t joined = 0;
    const auto pieces = Split(text, part);
    for (const auto& piece : pieces) {
        joined += piece.size();
    }
    Check(joined <= text.size());
    ToInteger(text);
    return 0;
}
