// Text primitives over GBK byte strings.
//
// A text is a std::string of GBK (code page 936) bytes. Positions count bytes from 1 and -1 means
// "not found". A GBK lead byte (0x81..0xFE) followed by another byte forms one double-byte
// character: searches never start a match on its second byte, and split and replace step over it
// whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

// A byte set: file contents, picture data, request and reply bodies.
using Bytes = std::vector<std::uint8_t>;

// A 1-based byte position; -1 when nothing was found.
using Pos = std::ptrdiff_t;

// True when `byte` opens a double-byte GBK character.
constexpr bool IsGbkLeadByte(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}

// Position of the first `part` that begins at or after `start` (0 or less means 1).
// An empty part gives 1 when the searched stretch is non-empty, else -1.
Pos Find(std::string_view text, std::string_view part, Pos start = 1, bool ignoreCase = false);
// Position of the last `part` in the whole text, with the same matching rules.
Pos FindLast(std::string_view text, std::string_view part);

std::string Left(std::string_view text, Pos n);
std::string Right(std::string_view text, Pos n);
std::string Middle(std::string_view text, Pos position, Pos n);

// ASCII letters only; double-byte characters stay as they are.
std::string Lower(std::string_view text);
// Spaces and the full-width space (A1 A1) at both ends.
std::string Trim(std::string_view text);
// Every space and full-width space, wherever it stands.
std::string RemoveAllSpaces(std::string_view text);

// Every occurrence, scanned left to right; inserted text is not scanned again.
std::string Replace(std::string_view text, std::string_view part, std::string_view replacement = {},
                    bool caseSensitive = true);

// Pieces between separators; a non-empty rest after the last separator is a piece too.
std::vector<std::string> Split(std::string_view text, std::string_view separator);

// The decimal number at the start of the text, after full-width digits and signs are narrowed;
// 0 when there is none. Saturates at the limits of the type.
std::int64_t ToInteger(std::string_view text);

// Bytes to text and back, unchanged.
inline std::string ToText(const Bytes& bytes) {
    return {bytes.begin(), bytes.end()};
}
inline Bytes ToBytes(std::string_view text) {
    return {text.begin(), text.end()};
}

}  // namespace quill
