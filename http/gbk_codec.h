// The program's one GBK codec (ICU's "windows-936" converter). Every edge uses it: widgets, file
// names, the script engine and service replies.
//
// `exact`, when given, is set to false when some character could not be represented and a
// substitute went in its place. Callers that turn text into a file name must refuse an inexact
// result, since the substitute "?" is a legal file-name character.
#pragma once

#include <string>
#include <string_view>

namespace quill {

std::string GbkFromUtf8(std::string_view utf8, bool* exact = nullptr);
std::string Utf8FromGbk(std::string_view gbk, bool* exact = nullptr);
std::string GbkFromUtf16(std::u16string_view utf16, bool* exact = nullptr);
std::u16string Utf16FromGbk(std::string_view gbk, bool* exact = nullptr);

}  // namespace quill
