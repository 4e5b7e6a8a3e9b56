// Asks the face service whether one image holds a face.
#pragma once

#include <string>

#include "app/app_state.h"
#include "app/ui_port.h"

namespace quill {

// `kind` is "url" for a web address or "base" for a local file. Shows the raw reply when the
// check box is ticked, and the refusal messages itself. True when the reply holds "SUCCESS".
bool FaceCheck(AppContext& app, UiPort& ui, const std::string& source, const std::string& kind);

// The form body for one check; a "base" check also keeps the file's Base64 text in `app`.
std::string FaceCheckBody(AppContext& app, UiPort& ui, const std::string& source,
                          const std::string& kind);

}  // namespace quill
