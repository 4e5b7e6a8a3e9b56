// Base64 and percent-encoding with exactly the rules the face service protocol needs.
#pragma once

#include <string>
#include <string_view>

#include "http/text.h"

namespace quill {

// Standard alphabet, "=" padding, no line breaks; no bytes give the empty text.
std::string Base64Encode(const Bytes& bytes);

// Standard alphabet. White space is not skipped: any byte outside the alphabet, padding that is
// not at the end, or a length that leaves a lone character makes the text undecodable, and that
// gives no bytes, as does the empty text. Missing padding is accepted.
Bytes Base64Decode(std::string_view text);

// Keeps A-Z a-z 0-9 and . - ~ ! _ * ( ) ' as they are; every other byte becomes %XX in upper
// case (a space %20). The bytes are taken as they are: no character-set conversion.
std::string PercentEncode(std::string_view text);

}  // namespace quill
