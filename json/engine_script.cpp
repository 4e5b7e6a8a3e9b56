#include "json/engine_script.h"

#include <cstddef>
#include <string>

namespace quill {

// Generated at build time from the json.js that the npm set-up installs.
extern const unsigned char kJsonScriptBytes[];
extern const std::size_t kJsonScriptSize;

namespace {

// Counts what for-in visits, less the two names json.js adds to every object and array. `v` is
// left undeclared on purpose: the function must stay sloppy-mode code.
constexpr std::string_view kCountFunction =
    "function get__count(c){\r\n\tvar i=-2;\r\n\tfor (v in c) i++;\r\n\treturn i;\r\n}\r\n\r\n";

}  // namespace

std::string_view EngineScript() {
    static const std::string script =
        std::string(kCountFunction) +
        std::string(reinterpret_cast<const char*>(kJsonScriptBytes), kJsonScriptSize);
    return script;
}

}  // namespace quill
