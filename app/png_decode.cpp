#include <png.h>

#include "app/picture_decode.h"

namespace quill {
namespace {

// png_image_free is safe to call on an image that libpng already released.
class PngImage {
  public:
    PngImage() {
        image_.version = PNG_IMAGE_VERSION;
        image_.opaque = nullptr;
    }
    ~PngImage() { png_image_free(&image_); }
    PngImage(const PngImage&) = delete;
    PngImage& operator=(const PngImage&) = delete;
    png_image* get() { return &image_; }

  private:
    png_image image_{};
};

}  // namespace

RgbaPicture DecodePng(const std::uint8_t* data, std::size_t size, std::uint64_t maxPixels) {
    if (data == nullptr || size == 0) {
        return {};
    }
    PngImage image;
    if (png_image_begin_read_from_memory(image.get(), data, size) == 0) {
        return {};
    }
    const std::uint64_t width = image.get()->width;
    const std::uint64_t height = image.get()->height;
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF ||
        width * height > maxPixels) {
        return {};
    }
    image.get()->format = PNG_FORMAT_RGBA;
    RgbaPicture picture;
    picture.rgba.resize(static_cast<std::size_t>(width * height * 4));
    if (png_image_finish_read(image.get(), nullptr, picture.rgba.data(), 0, nullptr) == 0) {
        return {};
    }
    picture.width = static_cast<int>(width);
    picture.height = static_cast<int>(height);
    return picture;
}

}  // namespace quill
