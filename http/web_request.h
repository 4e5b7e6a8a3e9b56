// The program's one general HTTP routine.
#pragma once

#include <string>
#include <string_view>

#include "http/optional_arg.h"
#include "http/text.h"

namespace quill {

// Sends one GET (method 0, and any number outside 0..2), POST (1) or HEAD (2) request and
// returns the reply body exactly as received, whatever its status. Every failure gives no bytes.
//
// Host, port and path come from UrlHost, UrlPort and UrlPath alone. Default request headers are
// added to what the caller wrote; the block that went out comes back in `headers`.
// `cookies`, when supplied (even empty), is sent and then merged with what the reply set;
// `cookiesOut` receives the reply's cookies (merged the same way). `headersOut` receives the raw
// header block of the final reply. `postBytes` wins over `postText` and, when empty for a POST or
// HEAD, receives the bytes of `postText`. `proxy` is "host:port"; with an http address it carries
// plain http only.
//
// Nothing is written back when the request cannot even be formed (no host, a port outside
// 1..65535, a control byte in the path). Never throws, never shows anything.
Bytes WebRequest(std::string_view url, OptionalArg<int> method = {},
                 OptionalArg<std::string_view> postText = {}, OptionalRef<std::string> cookies = {},
                 OptionalRef<std::string> cookiesOut = {}, OptionalRef<std::string> headers = {},
                 OptionalRef<std::string> headersOut = {}, OptionalArg<bool> noRedirect = {},
                 OptionalRef<Bytes> postBytes = {},
                 OptionalArg<std::string_view> proxy = {}) noexcept;

}  // namespace quill
