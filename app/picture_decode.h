// Picture kinds recognised by their first bytes, and the decoders that need no Qt: PNG through
// libpng's simplified API and PCX through our own decoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quill {

enum class PictureKind { None, Jpeg, Bmp, Icon, Cursor, Gif, Pcx, Png };

// None for fewer than 6 bytes or an unknown signature.
PictureKind DetectPictureKind(const std::uint8_t* data, std::size_t size);

// Decoded pixels, 4 bytes a pixel in R, G, B, A order, rows without padding.
struct RgbaPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;

    bool Empty() const { return width <= 0 || height <= 0; }
};

// Larger pictures are refused rather than decoded (64 megapixels, 256 MiB of pixels).
constexpr std::uint64_t kMaxPicturePixels = std::uint64_t{1} << 26;

// An empty picture when the bytes are not a whole, valid picture of that kind, or when it has
// more than `maxPixels` pixels.
RgbaPicture DecodePng(const std::uint8_t* data, std::size_t size,
                      std::uint64_t maxPixels = kMaxPicturePixels);
RgbaPicture DecodePcx(const std::uint8_t* data, std::size_t size,
                      std::uint64_t maxPixels = kMaxPicturePixels);

// Where a picture of `pictureWidth` x `pictureHeight` goes in a client area: at its natural size
// when it fits, else scaled by the smaller of the two ratios with the sizes truncated; centred,
// and never enlarged.
struct FitRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool operator==(const FitRect&) const = default;
};
FitRect FitPicture(int clientWidth, int clientHeight, int pictureWidth, int pictureHeight);

}  // namespace quill
