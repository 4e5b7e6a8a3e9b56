#include "app/app_state.h"

#include <string_view>

#ifndef QUILL_FACE_SERVICE_HOST
#error "QUILL_FACE_SERVICE_HOST must name the face service's scheme, host and port"
#endif

namespace quill {
namespace {

constexpr std::string_view kSampleFolder =
    "/portal-pc-node/dist/1610627249473/images/technology/face-merge/";

}  // namespace

ServiceAddresses ServiceAddresses::ForHost(const std::string& host) {
    // A host written with a trailing slash must not give "//aidemo".
    std::string base = host;
    while (!base.empty() && base.back() == '/') {
        base.pop_back();
    }
    ServiceAddresses addresses;
    addresses.faceCheck = base + "/aidemo";
    addresses.merge = base + "/aidemo?type=merge&apiType=face";
    addresses.templateSample = base + std::string(kSampleFolder) + "tpl2.png";
    addresses.targetSample = base + std::string(kSampleFolder) + "tar2.png";
    return addresses;
}

ServiceAddresses ServiceAddresses::Default() {
    return ForHost(QUILL_FACE_SERVICE_HOST);
}

}  // namespace quill
