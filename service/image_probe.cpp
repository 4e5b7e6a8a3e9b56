#include "service/image_probe.h"

#include <cstddef>

namespace quill::service {

namespace {

std::uint32_t Big16(std::string_view b, std::size_t at) {
    return (static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) << 8) |
           static_cast<unsigned char>(b[at + 1]);
}

std::uint32_t Big32(std::string_view b, std::size_t at) {
    return (Big16(b, at) << 16) | Big16(b, at + 2);
}

std::uint32_t Little32(std::string_view b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) {
        v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    }
    return v;
}

std::uint32_t Little16(std::string_view b, std::size_t at) {
    return static_cast<unsigned char>(b[at]) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8);
}

unsigned char Byte(std::string_view b, std::size_t at) {
    return static_cast<unsigned char>(b[at]);
}

void ProbePng(std::string_view bytes, ImageProbe& probe) {
    probe.format = ImageFormat::Png;
    // Signature, then the IHDR chunk: length 13, type, width, height.
    std::size_t at = 8;
    if (bytes.size() < at + 8 + 13 || Big32(bytes, at) != 13 || bytes.substr(at + 4, 4) != "IHDR") {
        probe.truncated = bytes.size() < at + 8 + 13;
        return;
    }
    probe.width = Big32(bytes, at + 8);
    probe.height = Big32(bytes, at + 12);
    probe.wellFormed = probe.width > 0 && probe.height > 0;
    // Walk the chunks to the end marker; each is length, type, data and a checksum.
    while (true) {
        if (bytes.size() - at < 12) {
            probe.truncated = true;
            return;
        }
        const std::uint64_t length = Big32(bytes, at);
        const std::string_view type = bytes.substr(at + 4, 4);
        if (length > bytes.size() - at - 12) {
            probe.truncated = true;
            return;
        }
        at += 12 + static_cast<std::size_t>(length);
        if (type == "IEND") {
            return;
        }
    }
}

bool IsStartOfFrame(unsigned char marker) {
    // SOF0..SOF15 except DHT (C4), JPG (C8) and DAC (CC).
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

void ProbeJpeg(std::string_view bytes, ImageProbe& probe) {
    probe.format = ImageFormat::Jpeg;
    std::size_t at = 2;
    bool sawFrame = false;
    while (true) {
        // Markers may be preceded by any number of fill bytes 0xFF.
        if (at >= bytes.size() || Byte(bytes, at) != 0xFF) {
            probe.truncated = at >= bytes.size();
            return;
        }
        while (at < bytes.size() && Byte(bytes, at) == 0xFF) {
            ++at;
        }
        if (at >= bytes.size()) {
            probe.truncated = true;
            return;
        }
        const unsigned char marker = Byte(bytes, at++);
        if (marker == 0xD9) {
            probe.wellFormed = sawFrame && probe.width > 0 && probe.height > 0;
            return;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
            continue;  // standalone markers carry no length
        }
        if (bytes.size() - at < 2) {
            probe.truncated = true;
            return;
        }
        const std::size_t length = Big16(bytes, at);
        if (length < 2) {
            return;
        }
        if (length > bytes.size() - at) {
            probe.truncated = true;
            return;
        }
        if (IsStartOfFrame(marker) && !sawFrame) {
            if (length < 7) {
                return;
            }
            sawFrame = true;
            probe.height = Big16(bytes, at + 3);
            probe.width = Big16(bytes, at + 5);
        }
        at += length;
        if (marker != 0xDA) {
            continue;
        }
        ++probe.scans;
        // Entropy-coded data runs to the next marker that is neither a stuffed zero nor a
        // restart marker.
        while (true) {
            while (at < bytes.size() && Byte(bytes, at) != 0xFF) {
                ++at;
            }
            if (at + 1 >= bytes.size()) {
                probe.truncated = true;
                return;
            }
            const unsigned char next = Byte(bytes, at + 1);
            if (next == 0x00 || (next >= 0xD0 && next <= 0xD7) || next == 0xFF) {
                at += next == 0xFF ? 1 : 2;
                continue;
            }
            break;
        }
    }
}

void ProbeBmp(std::string_view bytes, ImageProbe& probe) {
    probe.format = ImageFormat::Bmp;
    if (bytes.size() < 26) {
        probe.truncated = true;
        return;
    }
    const std::uint32_t headerSize = Little32(bytes, 14);
    if (headerSize == 12) {
        probe.width = Little16(bytes, 18);
        probe.height = Little16(bytes, 20);
    } else if (headerSize >= 40) {
        const auto width = static_cast<std::int32_t>(Little32(bytes, 18));
        const auto height = static_cast<std::int32_t>(Little32(bytes, 22));
        // A negative height marks rows stored top-down; a negative width means nothing.
        if (width <= 0 || height == 0 || height == INT32_MIN) {
            return;
        }
        probe.width = static_cast<std::uint32_t>(width);
        probe.height = static_cast<std::uint32_t>(height < 0 ? -height : height);
    } else {
        return;
    }
    probe.wellFormed = probe.width > 0 && probe.height > 0;
}

}  // namespace

ImageProbe ProbeImage(std::string_view bytes) {
    ImageProbe probe;
    if (bytes.size() >= 8 && bytes.substr(0, 8) == std::string_view("\x89PNG\r\n\x1a\n", 8)) {
        ProbePng(bytes, probe);
    } else if (bytes.size() >= 3 && Byte(bytes, 0) == 0xFF && Byte(bytes, 1) == 0xD8 &&
               Byte(bytes, 2) == 0xFF) {
        ProbeJpeg(bytes, probe);
    } else if (bytes.size() >= 2 && bytes.substr(0, 2) == "BM") {
        ProbeBmp(bytes, probe);
    }
    return probe;
}

}  // namespace quill::service
