// Picture decoding from untrusted bytes: kind detection, the PNG path and the PCX decoder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "app/picture_decode.h"

namespace {

// Small enough that a hostile header cannot make the fuzzer run out of memory.
constexpr std::uint64_t kFuzzPixels = std::uint64_t{1} << 22;

void Check(const quill::RgbaPicture& picture) {
    if (picture.Empty()) {
        if (!picture.rgba.empty()) {
            std::abort();
        }
        return;
    }
    const std::uint64_t pixels = static_cast<std::uint64_t>(picture.width) * picture.height;
    if (pixels > kFuzzPixels || picture.rgba.size() != pixels * 4) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const quill::PictureKind kind = quill::DetectPictureKind(data, size);
    if (size < 6 && kind != quill::PictureKind::None) {
        std::abort();
    }
    Check(quill::DecodePng(data, size, kFuzzPixels));
    Check(quill::DecodePcx(data, size, kFuzzPixels));
    return 0;
}
