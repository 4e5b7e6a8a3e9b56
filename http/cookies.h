// Cookie texts: "name=value" items joined by "; ".
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "http/text.h"

namespace quill {

// Joins the sent cookies with the received ones: a received cookie wins over a sent one of the
// same name, "=deleted" items drop out, exact repeats go. Writes back to both arguments:
// `received` loses its spaces and `sent` becomes the merged text, which is also returned.
std::string MergeCookies(std::string& sent, std::string& received);

// The name of one cookie item: what stands before its first "=", trimmed.
std::string CookieName(std::string_view item);

bool HasCookieName(const std::vector<std::string>& items, std::string_view name);

// The text with every item that repeats an earlier item removed.
std::string RemoveDuplicateItems(std::string_view text, std::string_view separator);

// 1-based index of the first item equal to `text`, or -1.
Pos FindItem(const std::vector<std::string>& items, std::string_view text);

}  // namespace quill
