// The HTTP file read: fetches a picture named by a web address for display.
#pragma once

#include <string_view>

#include "http/text.h"

namespace quill {

// One GET over HTTP/1.0 with "Accept: */*". Returns the whole body whatever the reply's status,
// and no bytes when the address is empty, the request fails, or the body is larger than the
// settings' file-read limit. An address without a scheme is read as http. Never throws.
Bytes HttpFileRead(std::string_view url) noexcept;

}  // namespace quill
