// Every parser of the service's requests on the same input, with the invariants that tie them
// together checked as it goes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "service/image_probe.h"
#include "service/request_parsing.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quill::service;
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    FaceCheckRequest faceCheck;
    if (!ParseFaceCheck(input, faceCheck)) {
        Check(faceCheck.image.text.size() <= input.size());
    }

    MergeRequest merge;
    if (!ParseMerge(input, merge)) {
        Check(merge.templateImage.text.size() <= input.size());
        Check(merge.targetImage.text.size() <= input.size());
    }

    std::string decoded;
    if (DecodeBase64(input, decoded)) {
        Check(decoded.size() <= Base64DecodedSizeBound(input));
        // Canonical Base64 only: encoding gives the same text back, padding aside.
        const std::string again = EncodeBase64(decoded);
        Check(again.compare(0, input.size(), input) == 0);
        Check(again.size() - input.size() <= 2);
    }

    std::string plain;
    if (PercentDecode(input, plain)) {
        Check(plain.size() <= input.size());
    }

    if (const auto payload = DataUrlPayload(input)) {
        Check(payload->size() < input.size());
    }

    const ImageProbe probe = ProbeImage(input);
    if (probe.wellFormed) {
        Check(probe.format != ImageFormat::Unknown && probe.width > 0 && probe.height > 0);
    }
    return 0;
}
