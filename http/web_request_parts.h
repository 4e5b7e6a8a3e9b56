// The text rules inside WebRequest, kept apart so they can be checked on their own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quill {

inline constexpr std::string_view kDefaultUserAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

// The agent named by the caller's header text, or the default one.
std::string UserAgentFor(std::string_view headers);

// The caller's header text with the default lines it lacks and the cookie line, joined by CR LF.
std::string RequestHeaderBlock(std::string_view headers, std::string_view url,
                               std::string_view cookies);

// The lines of a header block as they go on the wire. Empty lines and lines without a name
// cannot travel inside a header block and are left out; a lone CR or LF also ends a line.
std::vector<std::string> HeaderBlockLines(std::string_view block);

// The name=value part of every Set-Cookie line of a reply header block, joined by "; ".
std::string CookiesFromHeaderBlock(std::string_view headerBlock);

}  // namespace quill
