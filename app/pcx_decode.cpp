#include <algorithm>
#include <array>

#include "app/picture_decode.h"

namespace quill {
namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kTailPaletteSize = 769;  // the 0x0C marker and 256 RGB entries

struct PcxHeader {
    int version = 0;
    int encoding = 0;
    int bitsPerPixel = 0;
    int planes = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::size_t bytesPerLine = 0;
    const std::uint8_t* palette16 = nullptr;
};

unsigned Word(const std::uint8_t* at) {
    return at[0] | (unsigned{at[1]} << 8);
}

bool ReadHeader(const std::uint8_t* data, std::size_t size, PcxHeader& header) {
    if (size <= kHeaderSize || data[0] != 0x0A) {
        return false;
    }
    header.version = data[1];
    header.encoding = data[2];
    header.bitsPerPixel = data[3];
    const int xMin = static_cast<int>(Word(data + 4));
    const int yMin = static_cast<int>(Word(data + 6));
    const int xMax = static_cast<int>(Word(data + 8));
    const int yMax = static_cast<int>(Word(data + 10));
    header.palette16 = data + 16;
    header.planes = data[65];
    header.bytesPerLine = Word(data + 66);
    if (xMax < xMin || yMax < yMin || (header.encoding != 0 && header.encoding != 1)) {
        return false;
    }
    header.width = xMax - xMin + 1;
    header.height = yMax - yMin + 1;
    return true;
}

bool SupportedLayout(const PcxHeader& h) {
    switch (h.bitsPerPixel) {
        case 1:
            return h.planes >= 1 && h.planes <= 4;
        case 2:
        case 4:
            return h.planes == 1;
        case 8:
            return h.planes == 1 || h.planes == 3 || h.planes == 4;
        default:
            return false;
    }
}

// Expands the run-length (or plain) stream into `out`, which it fills exactly; false when the
// stream ends first.
bool Unpack(const PcxHeader& h, const std::uint8_t* in, std::size_t inSize,
            std::vector<std::uint8_t>& out) {
    const std::size_t total = out.size();
    if (h.encoding == 0) {
        if (inSize < total) {
            return false;
        }
        std::copy(in, in + total, out.begin());
        return true;
    }
    std::size_t filled = 0;
    std::size_t pos = 0;
    while (filled < total) {
        if (pos >= inSize) {
            return false;
        }
        std::uint8_t byte = in[pos++];
        std::size_t count = 1;
        if ((byte & 0xC0) == 0xC0) {
            count = byte & 0x3F;
            if (pos >= inSize) {
                return false;
            }
            byte = in[pos++];
        }
        // Runs may cross line ends; the last one may overshoot the picture and is cut.
        const std::size_t take = std::min(count, total - filled);
        std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(filled), take, byte);
        filled += take;
    }
    return true;
}

using Palette = std::array<std::array<std::uint8_t, 3>, 256>;

Palette HeaderPalette(const PcxHeader& h) {
    Palette palette{};
    for (int i = 0; i < 16; ++i) {
        for (int c = 0; c < 3; ++c) {
            palette[i][c] = h.palette16[i * 3 + c];
        }
    }
    return palette;
}

}  // namespace

RgbaPicture DecodePcx(const std::uint8_t* data, std::size_t size, std::uint64_t maxPixels) {
    PcxHeader h;
    if (data == nullptr || !ReadHeader(data, size, h) || !SupportedLayout(h)) {
        return {};
    }
    const std::uint64_t pixels = static_cast<std::uint64_t>(h.width) * h.height;
    if (pixels > maxPixels) {
        return {};
    }
    const std::uint64_t minLine = (static_cast<std::uint64_t>(h.width) * h.bitsPerPixel + 7) / 8;
    if (h.bytesPerLine < minLine) {
        return {};
    }

    // 256-colour pictures keep their palette after the pixel data.
    std::size_t dataEnd = size;
    Palette palette = HeaderPalette(h);
    const bool tailPalette = h.bitsPerPixel == 8 && h.planes == 1;
    if (tailPalette) {
        if (size >= kHeaderSize + kTailPaletteSize && data[size - kTailPaletteSize] == 0x0C) {
            dataEnd = size - kTailPaletteSize;
            const std::uint8_t* entries = data + dataEnd + 1;
            for (int i = 0; i < 256; ++i) {
                for (int c = 0; c < 3; ++c) {
                    palette[i][c] = entries[i * 3 + c];
                }
            }
        } else {
            for (int i = 0; i < 256; ++i) {
                palette[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i),
                              static_cast<std::uint8_t>(i)};
            }
        }
    }
    if (h.bitsPerPixel == 1 && h.planes == 1) {
        palette[0] = {0, 0, 0};
        palette[1] = {255, 255, 255};
    }

    const std::uint64_t stride = static_cast<std::uint64_t>(h.bytesPerLine) * h.planes;
    const std::uint64_t total = stride * h.height;
    const std::size_t inSize = dataEnd - kHeaderSize;
    // A two-byte run gives at most 63 bytes: a stream too short for the picture is refused
    // before anything is allocated for it.
    if (total > static_cast<std::uint64_t>(inSize) * 32) {
        return {};
    }
    std::vector<std::uint8_t> unpacked(static_cast<std::size_t>(total));
    if (!Unpack(h, data + kHeaderSize, inSize, unpacked)) {
        return {};
    }

    RgbaPicture picture;
    picture.width = static_cast<int>(h.width);
    picture.height = static_cast<int>(h.height);
    picture.rgba.resize(static_cast<std::size_t>(pixels * 4));
    const std::size_t lineBytes = h.bytesPerLine;
    std::uint8_t* out = picture.rgba.data();
    for (std::int64_t y = 0; y < h.height; ++y) {
        const std::uint8_t* line = unpacked.data() + static_cast<std::size_t>(y) * stride;
        for (std::int64_t x = 0; x < h.width; ++x, out += 4) {
            if (h.bitsPerPixel == 8 && h.planes >= 3) {
                out[0] = line[x];
                out[1] = line[lineBytes + x];
                out[2] = line[2 * lineBytes + x];
                out[3] = h.planes == 4 ? line[3 * lineBytes + x] : 255;
                continue;
            }
            unsigned index = 0;
            if (h.bitsPerPixel == 1) {
                // One bit a plane, the first plane the lowest bit.
                for (int p = 0; p < h.planes; ++p) {
                    const std::uint8_t byte = line[p * lineBytes + static_cast<std::size_t>(x / 8)];
                    index |= ((byte >> (7 - x % 8)) & 1u) << p;
                }
            } else {
                const int perByte = 8 / h.bitsPerPixel;
                const std::uint8_t byte = line[static_cast<std::size_t>(x / perByte)];
                const int shift = 8 - h.bitsPerPixel * (static_cast<int>(x % perByte) + 1);
                index = (byte >> shift) & ((1u << h.bitsPerPixel) - 1);
            }
            out[0] = palette[index][0];
            out[1] = palette[index][1];
            out[2] = palette[index][2];
            out[3] = 255;
        }
    }
    return picture;
}

}  // namespace quill
