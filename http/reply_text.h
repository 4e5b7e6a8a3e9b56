// Reply bytes, always taken as UTF-8, to a GBK text.
#pragma once

#include <string>

#include "http/text.h"

namespace quill {

// Malformed UTF-8 becomes U+FFFD and then GBK's default character, as does any character GBK
// lacks. The text ends at the first zero byte.
std::string Utf8ToLocal(const Bytes& bytes);

}  // namespace quill
