// Texts between the program (GBK) and the script engine. Duktape keeps its strings as CESU-8:
// every UTF-16 unit, a surrogate included, as its own UTF-8 sequence of one to three bytes.
#pragma once

#include <string>
#include <string_view>

namespace quill {

std::string Cesu8FromUtf16(std::u16string_view utf16);
// Four-byte sequences (which the engine makes for characters beyond the BMP) become surrogate
// pairs; every byte that opens no well-formed sequence becomes U+FFFD.
std::u16string Utf16FromCesu8(std::string_view cesu8);

// Through the program's one GBK codec; a character GBK cannot hold comes out as its substitute.
// Taken by value: a text that needs no conversion is handed back without a copy.
std::string EngineTextFromGbk(std::string gbk);
std::string GbkFromEngineText(std::string engineText);

}  // namespace quill
