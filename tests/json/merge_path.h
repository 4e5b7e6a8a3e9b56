// The three calls the merge makes on each reply: Parse into the long-lived document, then
// "data", "result" and the picture's Base64 text.
#pragma once

#include <string>

#include "json/json_document.h"

namespace quill {

inline std::string MergeImage(JsonDocument& global, const std::string& reply) {
    global.Parse(reply);
    auto data = global.GetMemberDocument("data");
    auto result = data->GetMemberDocument("result");
    data->Destroy();
    std::string image = result->GetMemberText("merge_image");
    result->Destroy();
    return image;
}

}  // namespace quill
