#include "app/picture_decode.h"

namespace quill {

PictureKind DetectPictureKind(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size < 6) {
        return PictureKind::None;
    }
    const auto at = [data](std::size_t i) { return data[i]; };
    if (at(0) == 0xFF && at(1) == 0xD8) {
        return PictureKind::Jpeg;
    }
    if (at(0) == 0x42 && at(1) == 0x4D) {
        return PictureKind::Bmp;
    }
    if (at(0) == 0x00 && at(1) == 0x00 && at(3) == 0x00) {
        if (at(2) == 0x01) {
            return PictureKind::Icon;
        }
        if (at(2) == 0x02) {
            return PictureKind::Cursor;
        }
    }
    if (at(0) == 0x47 && at(1) == 0x49 && at(2) == 0x46 && at(3) == 0x38 &&
        (at(4) == 0x37 || at(4) == 0x39) && at(5) == 0x61) {
        return PictureKind::Gif;
    }
    if (at(0) == 0x0A) {
        return PictureKind::Pcx;
    }
    if (at(0) == 0x89 && at(1) == 0x50 && at(2) == 0x4E && at(3) == 0x47) {
        return PictureKind::Png;
    }
    return PictureKind::None;
}

FitRect FitPicture(int clientWidth, int clientHeight, int pictureWidth, int pictureHeight) {
    if (clientWidth <= 0 || clientHeight <= 0 || pictureWidth <= 0 || pictureHeight <= 0) {
        return {};
    }
    std::int64_t width = pictureWidth;
    std::int64_t height = pictureHeight;
    if (width > clientWidth || height > clientHeight) {
        // Integer cross-multiplication keeps the limiting side exact; the other is truncated.
        if (std::int64_t{clientWidth} * pictureHeight <=
            std::int64_t{clientHeight} * pictureWidth) {
            width = clientWidth;
            height = std::int64_t{pictureHeight} * clientWidth / pictureWidth;
        } else {
            height = clientHeight;
            width = std::int64_t{pictureWidth} * clientHeight / pictureHeight;
        }
    }
    FitRect rect;
    rect.width = static_cast<int>(width);
    rect.height = static_cast<int>(height);
    rect.x = static_cast<int>((clientWidth - width) / 2);
    rect.y = static_cast<int>((clientHeight - height) / 2);
    return rect;
}

}  // namespace quill
