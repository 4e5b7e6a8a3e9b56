// The script every engine receives before anything else: the function get__count, then json.js.
#pragma once

#include <string_view>

namespace quill {

std::string_view EngineScript();

}  // namespace quill
