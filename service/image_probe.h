// Reads what an image file claims about itself from its header, without decoding it, so that
// oversized and malformed files are refused before a decoder allocates anything.
#pragma once

#include <cstdint>
#include <string_view>

namespace quill::service {

enum class ImageFormat { Unknown, Jpeg, Png, Bmp };

struct ImageProbe {
    ImageFormat format = ImageFormat::Unknown;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    // The header is readable and names a size.
    bool wellFormed = false;
    // The file ends before its closing marker (JPEG EOI, PNG IEND).
    bool truncated = false;
    // JPEG: the number of scans, each a full pass of the decoder.
    int scans = 0;
};

ImageProbe ProbeImage(std::string_view bytes);

}  // namespace quill::service
