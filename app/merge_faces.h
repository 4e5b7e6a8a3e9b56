// The merge: sends both accepted images to the face service and shows the merged picture.
#pragma once

#include <string>

#include "app/app_state.h"
#include "app/ui_port.h"

namespace quill {

void MergeFaces(AppContext& app, UiPort& ui);

// The filled request body: target first ("@2", "#2"), then template ("@1", "#1"), each
// replacement scanning the whole body as it then stands.
std::string MergeRequestBody(const AppContext& app, UiPort& ui);

}  // namespace quill
