// Address and header text functions. The address is never given to a URL parser: host, port and
// path come only from these rules, also for addresses a standard parser would read differently.
#pragma once

#include <string>
#include <string_view>

#include "http/text.h"

namespace quill {

// The text between the first start marker at or after `startPosition` and the next end marker.
// "#引号" in a marker stands for a double quote. Empty when a marker is missing.
std::string TextBetween(std::string_view text, std::string_view startMarker,
                        std::string_view endMarker, Pos startPosition = 1, bool ignoreCase = false);

// Everything after the first colon, trimmed; empty without a colon.
std::string ValueAfterColon(std::string_view text);

// The host of an address, lower-cased, without its port unless `keepPort`.
std::string UrlHost(std::string_view address, bool keepPort = false);

// The port after the host's last colon, or 443 / 80 by the address's first five bytes.
int UrlPort(std::string_view address);

// Everything from the first "/" after the host, query included; "/" when there is none.
std::string UrlPath(std::string_view address);

}  // namespace quill
