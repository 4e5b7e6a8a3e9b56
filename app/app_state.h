// The tool's global state: two image slots, the JSON document, the last-check Base64 text, and
// the face service's addresses. One instance lives for the whole run; tests make their own.
#pragma once

#include <memory>
#include <string>

namespace quill {

class JsonDocument;

struct ImageSlot {
    int ready = 0;       // 1 once the latest checked selection was accepted
    std::string kind;    // "", "url" or "本地" (GBK)
    std::string source;  // web address or file path of the latest selection (GBK)
};

struct ServiceAddresses {
    std::string faceCheck;       // host + "/aidemo"
    std::string merge;           // host + "/aidemo?type=merge&apiType=face"
    std::string templateSample;  // sample address ending in "tpl2.png"
    std::string targetSample;    // sample address ending in "tar2.png"

    // The addresses of the compiled-in face service host.
    static ServiceAddresses Default();
    // The same paths on another host, e.g. "https://127.0.0.1:40123".
    static ServiceAddresses ForHost(const std::string& host);
};

struct AppContext {
    ImageSlot templateSlot;
    ImageSlot targetSlot;
    std::unique_ptr<JsonDocument> json;
    std::string lastCheckBase64;
    ServiceAddresses addresses;
};

}  // namespace quill
