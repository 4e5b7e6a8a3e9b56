// Cookie merging: whatever the input, the result carries no spaces, no "=deleted" item and no
// exact repeat, and both arguments end as documented.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "http/cookies.h"

using namespace quill;

namespace {
void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = input.find('\n');
    std::string sent = input.substr(0, cut);
    std::string received = cut == std::string::npos ? std::string() : input.substr(cut + 1);
    const std::string merged = MergeCookies(sent, received);
    Check(sent == merged);
    Check(RemoveAllSpaces(received) == received);
    const auto items = Split(merged, "; ");
    for (std::size_t i = 0; i < items.size(); ++i) {
        Check(FindItem(items, items[i]) == static_cast<Pos>(i) + 1);
    }
    return 0;
}
