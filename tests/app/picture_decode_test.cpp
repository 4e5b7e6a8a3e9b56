// Picture kinds, the PNG and PCX decoders, and the fit-mode geometry.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "app/picture_decode.h"

namespace quill {
namespace {

using ByteVector = std::vector<std::uint8_t>;

ByteVector Of(std::initializer_list<int> values) {
    ByteVector bytes;
    for (int value : values) {
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes;
}

ByteVector OfText(const std::string& text) {
    return {text.begin(), text.end()};
}

TEST(PictureKind, RecognisedByFirstBytes) {
    struct Case {
        const char* name;
        ByteVector bytes;
        PictureKind kind;
    };
    const Case cases[] = {
        {"jpeg", Of({0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10}), PictureKind::Jpeg},
        {"bmp", OfText(std::string("BM\x36\0\0\0", 6)), PictureKind::Bmp},
        {"icon", Of({0, 0, 1, 0, 1, 0}), PictureKind::Icon},
        {"cursor", Of({0, 0, 2, 0, 1, 0}), PictureKind::Cursor},
        {"gif87a", OfText("GIF87a"), PictureKind::Gif},
        {"gif89a", OfText("GIF89a\x01"), PictureKind::Gif},
        {"gif88a is no gif", OfText("GIF88a"), PictureKind::None},
        {"gif89b is no gif", OfText("GIF89b"), PictureKind::None},
        {"pcx", Of({0x0A, 5, 1, 8, 0, 0}), PictureKind::Pcx},
        {"png", Of({0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A}), PictureKind::Png},
        {"html", OfText("<!DOCTYPE html><html>"), PictureKind::None},
        {"icon with a third type", Of({0, 0, 3, 0, 1, 0}), PictureKind::None},
        {"icon with a high reserved byte", Of({0, 0, 1, 1, 1, 0}), PictureKind::None},
        {"five bytes of jpeg", Of({0xFF, 0xD8, 0xFF, 0xE0, 0}), PictureKind::None},
        {"five bytes of png", Of({0x89, 0x50, 0x4E, 0x47, 0x0D}), PictureKind::None},
        {"nothing", ByteVector{}, PictureKind::None},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DetectPictureKind(c.bytes.data(), c.bytes.size()), c.kind) << c.name;
    }
}

TEST(FitPicture, NeverEnlargesScalesByTheSmallerRatioAndCentres) {
    struct Case {
        int clientWidth, clientHeight, pictureWidth, pictureHeight;
        FitRect expected;
    };
    const Case cases[] = {
        // A slot box's client area is 255 x 162 inside its border.
        {255, 162, 1020, 324, {0, 40, 255, 81}},
        {255, 162, 100, 80, {77, 41, 100, 80}},
        {255, 162, 255, 162, {0, 0, 255, 162}},
        {255, 162, 1, 1, {127, 80, 1, 1}},
        // Limited by height; the width is truncated, not rounded (324 * 162 / 500 = 104.97).
        {255, 162, 324, 500, {75, 0, 104, 162}},
        // Only one side too large still scales both.
        {255, 162, 256, 10, {0, 76, 255, 9}},
        // The merged box.
        {492, 308, 2000, 1000, {0, 31, 492, 246}},
        {255, 162, 0, 10, {0, 0, 0, 0}},
        {0, 162, 10, 10, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FitPicture(c.clientWidth, c.clientHeight, c.pictureWidth, c.pictureHeight),
                  c.expected)
            << c.pictureWidth << "x" << c.pictureHeight << " in " << c.clientWidth << "x"
            << c.clientHeight;
    }
}

// --- PNG ---

ByteVector RgbaPattern(int width, int height) {
    ByteVector rgba;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            rgba.push_back(static_cast<std::uint8_t>(x * 40));
            rgba.push_back(static_cast<std::uint8_t>(y * 60));
            rgba.push_back(static_cast<std::uint8_t>(200));
            rgba.push_back(static_cast<std::uint8_t>(x == 0 ? 128 : 255));
        }
    }
    return rgba;
}

ByteVector EncodePng(int width, int height, const ByteVector& rgba) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    EXPECT_NE(png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr), 0);
    ByteVector bytes(size);
    EXPECT_NE(png_image_write_to_memory(&image, bytes.data(), &size, 0, rgba.data(), 0, nullptr),
              0);
    bytes.resize(size);
    return bytes;
}

void PutBigEndian(ByteVector& bytes, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

// A PNG signature and a valid IHDR chunk only.
ByteVector PngHeaderOnly(std::uint32_t width, std::uint32_t height) {
    ByteVector bytes = Of({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A});
    PutBigEndian(bytes, 13);
    ByteVector chunk = OfText("IHDR");
    PutBigEndian(chunk, width);
    PutBigEndian(chunk, height);
    for (int b : {8, 6, 0, 0, 0}) {
        chunk.push_back(static_cast<std::uint8_t>(b));
    }
    bytes.insert(bytes.end(), chunk.begin(), chunk.end());
    PutBigEndian(bytes, static_cast<std::uint32_t>(crc32(0, chunk.data(), chunk.size())));
    return bytes;
}

TEST(DecodePng, GivesTheWrittenPixels) {
    const ByteVector rgba = RgbaPattern(5, 3);
    const ByteVector png = EncodePng(5, 3, rgba);
    const RgbaPicture picture = DecodePng(png.data(), png.size());
    ASSERT_EQ(picture.width, 5);
    ASSERT_EQ(picture.height, 3);
    EXPECT_EQ(picture.rgba, rgba);
}

TEST(DecodePng, RefusesBrokenOrOversizedPictures) {
    const ByteVector png = EncodePng(40, 30, RgbaPattern(40, 30));
    ByteVector corrupt = png;
    corrupt[corrupt.size() / 2] ^= 0xFF;  // inside the image data: its CRC no longer holds
    struct Case {
        const char* name;
        ByteVector bytes;
        std::uint64_t maxPixels;
    };
    const Case cases[] = {
        {"truncated", ByteVector(png.begin(), png.begin() + static_cast<long>(png.size() / 2)),
         kMaxPicturePixels},
        {"header only", ByteVector(png.begin(), png.begin() + 33), kMaxPicturePixels},
        {"corrupt data", corrupt, kMaxPicturePixels},
        {"one pixel over the limit", png, 40 * 30 - 1},
        // Refused on its header: nothing is allocated for 10^10 pixels.
        {"declares 100000 x 100000", PngHeaderOnly(100000, 100000), kMaxPicturePixels},
        {"signature only", ByteVector(png.begin(), png.begin() + 8), kMaxPicturePixels},
    };
    for (const Case& c : cases) {
        const RgbaPicture picture = DecodePng(c.bytes.data(), c.bytes.size(), c.maxPixels);
        EXPECT_TRUE(picture.Empty()) << c.name;
        EXPECT_TRUE(picture.rgba.empty()) << c.name;
    }
    EXPECT_FALSE(DecodePng(png.data(), png.size(), 40 * 30).Empty());
}

// --- PCX ---

struct PcxLayout {
    int bitsPerPixel = 8;
    int planes = 1;
    int width = 1;
    int height = 1;
    int bytesPerLine = 2;
    int encoding = 1;
};

// Run-length codes over the whole stream, the way most writers do; bytes of C0 and above
// always go as runs.
ByteVector RunLength(const ByteVector& raw) {
    ByteVector out;
    for (std::size_t i = 0; i < raw.size();) {
        std::size_t run = 1;
        while (i + run < raw.size() && raw[i + run] == raw[i] && run < 63) {
            ++run;
        }
        if (run > 1 || raw[i] >= 0xC0) {
            out.push_back(static_cast<std::uint8_t>(0xC0 | run));
        }
        out.push_back(raw[i]);
        i += run;
    }
    return out;
}

using Palette16 = std::array<std::array<std::uint8_t, 3>, 16>;

ByteVector EncodePcx(const PcxLayout& layout, const ByteVector& raw, const Palette16& palette = {},
                     const ByteVector& tail = {}) {
    ByteVector bytes(128, 0);
    bytes[0] = 0x0A;
    bytes[1] = 5;
    bytes[2] = static_cast<std::uint8_t>(layout.encoding);
    bytes[3] = static_cast<std::uint8_t>(layout.bitsPerPixel);
    const auto word = [&bytes](int at, int value) {
        bytes[at] = static_cast<std::uint8_t>(value & 0xFF);
        bytes[at + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
    };
    word(4, 10);  // pictures need not start at 0, 0
    word(6, 20);
    word(8, 10 + layout.width - 1);
    word(10, 20 + layout.height - 1);
    for (int i = 0; i < 16; ++i) {
        for (int c = 0; c < 3; ++c) {
            bytes[16 + i * 3 + c] = palette[i][c];
        }
    }
    bytes[65] = static_cast<std::uint8_t>(layout.planes);
    word(66, layout.bytesPerLine);
    const ByteVector body = layout.encoding == 1 ? RunLength(raw) : raw;
    bytes.insert(bytes.end(), body.begin(), body.end());
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

ByteVector TailPalette(std::initializer_list<std::array<int, 3>> first) {
    ByteVector tail(769, 0);
    tail[0] = 0x0C;
    int i = 0;
    for (const auto& rgb : first) {
        for (int c = 0; c < 3; ++c) {
            tail[1 + i * 3 + c] = static_cast<std::uint8_t>(rgb[c]);
        }
        ++i;
    }
    return tail;
}

ByteVector Pixels(std::initializer_list<std::array<int, 4>> pixels) {
    ByteVector rgba;
    for (const auto& p : pixels) {
        for (int c = 0; c < 4; ++c) {
            rgba.push_back(static_cast<std::uint8_t>(p[c]));
        }
    }
    return rgba;
}

TEST(DecodePcx, DecodesEachLayout) {
    Palette16 ega{};
    ega[1] = {10, 20, 30};
    ega[2] = {40, 50, 60};
    ega[5] = {1, 2, 3};
    ega[10] = {4, 5, 6};
    ega[15] = {250, 251, 252};
    struct Case {
        const char* name;
        ByteVector file;
        int width, height;
        ByteVector rgba;
    };
    const Case cases[] = {
        {"256 colours with the palette at the end",
         EncodePcx({8, 1, 3, 2, 4, 1}, Of({0, 1, 2, 0, 2, 2, 2, 0}), {},
                   TailPalette({{255, 0, 0}, {0, 255, 0}, {0, 0, 255}})),
         3, 2,
         Pixels({{255, 0, 0, 255},
                 {0, 255, 0, 255},
                 {0, 0, 255, 255},
                 {0, 0, 255, 255},
                 {0, 0, 255, 255},
                 {0, 0, 255, 255}})},
        {"256 colours without a palette are grey", EncodePcx({8, 1, 2, 1, 2, 1}, Of({7, 200})), 2,
         1, Pixels({{7, 7, 7, 255}, {200, 200, 200, 255}})},
        {"24-bit, one plane a colour",
         EncodePcx({8, 3, 2, 2, 2, 1}, Of({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12})), 2, 2,
         Pixels({{1, 3, 5, 255}, {2, 4, 6, 255}, {7, 9, 11, 255}, {8, 10, 12, 255}})},
        {"32-bit with alpha", EncodePcx({8, 4, 1, 1, 2, 1}, Of({9, 0, 8, 0, 7, 0, 6, 0})), 1, 1,
         Pixels({{9, 8, 7, 6}})},
        {"monochrome, ten pixels over two bytes",
         EncodePcx({1, 1, 10, 1, 2, 1}, Of({0b10110000, 0b01000000})), 10, 1,
         Pixels({{255, 255, 255, 255},
                 {0, 0, 0, 255},
                 {255, 255, 255, 255},
                 {255, 255, 255, 255},
                 {0, 0, 0, 255},
                 {0, 0, 0, 255},
                 {0, 0, 0, 255},
                 {0, 0, 0, 255},
                 {0, 0, 0, 255},
                 {255, 255, 255, 255}})},
        {"16 colours in four bit planes",
         // index 5 = planes 0 and 2; index 10 = planes 1 and 3
         EncodePcx({1, 4, 2, 1, 2, 1}, Of({0x80, 0, 0x40, 0, 0x80, 0, 0x40, 0}), ega), 2, 1,
         Pixels({{1, 2, 3, 255}, {4, 5, 6, 255}})},
        {"16 colours packed four bits a pixel",
         EncodePcx({4, 1, 3, 1, 2, 1}, Of({0x12, 0xF0}), ega), 3, 1,
         Pixels({{10, 20, 30, 255}, {40, 50, 60, 255}, {250, 251, 252, 255}})},
        {"4 colours packed two bits a pixel",
         EncodePcx({2, 1, 3, 1, 2, 1}, Of({0b01100100, 0}), ega), 3, 1,
         Pixels({{10, 20, 30, 255}, {40, 50, 60, 255}, {10, 20, 30, 255}})},
        {"not run-length coded", EncodePcx({8, 1, 2, 1, 2, 0}, Of({0xC5, 0xFF})), 2, 1,
         Pixels({{0xC5, 0xC5, 0xC5, 255}, {0xFF, 0xFF, 0xFF, 255}})},
    };
    for (const Case& c : cases) {
        const RgbaPicture picture = DecodePcx(c.file.data(), c.file.size());
        ASSERT_EQ(picture.width, c.width) << c.name;
        ASSERT_EQ(picture.height, c.height) << c.name;
        EXPECT_EQ(picture.rgba, c.rgba) << c.name;
    }
}

TEST(DecodePcx, RunsMayCrossLinesAndOvershootTheEnd) {
    // One run fills both lines and goes 10 bytes past the picture.
    ByteVector file = EncodePcx({8, 1, 4, 2, 4, 1}, {});
    file.push_back(0xC0 | 18);
    file.push_back(77);
    const RgbaPicture picture = DecodePcx(file.data(), file.size());
    ASSERT_EQ(picture.width, 4);
    ASSERT_EQ(picture.height, 2);
    ByteVector grey;
    for (int i = 0; i < 8; ++i) {
        grey.insert(grey.end(), {77, 77, 77, 255});
    }
    EXPECT_EQ(picture.rgba, grey);
}

TEST(DecodePcx, RefusesWhatItCannotDecodeWhole) {
    const ByteVector good = EncodePcx({8, 3, 4, 4, 4, 1}, ByteVector(48, 0x33));
    ByteVector badEncoding = good;
    badEncoding[2] = 2;
    ByteVector inverted = good;
    inverted[8] = 5;  // xMax below xMin
    inverted[9] = 0;
    ByteVector lineTooShort = good;
    lineTooShort[66] = 3;  // 3 bytes cannot hold 4 pixels of 8 bits
    ByteVector twoPlanes = good;
    twoPlanes[65] = 2;
    ByteVector bits16 = good;
    bits16[3] = 16;
    ByteVector huge = good;
    huge[8] = 0xFF;  // 65000 x 65000 from a tiny stream
    huge[9] = 0xFF;
    huge[10] = 0xFF;
    huge[11] = 0xFF;
    ByteVector danglingRun = EncodePcx({8, 1, 2, 1, 2, 1}, {});
    danglingRun.push_back(0xC2);  // a run count with no value after it
    struct Case {
        const char* name;
        ByteVector bytes;
        std::uint64_t maxPixels = kMaxPicturePixels;
    };
    const Case cases[] = {
        {"truncated stream", ByteVector(good.begin(), good.end() - 1)},
        {"header only", ByteVector(good.begin(), good.begin() + 128)},
        {"short header", ByteVector(good.begin(), good.begin() + 60)},
        {"unknown encoding", badEncoding},
        {"inverted extent", inverted},
        {"line shorter than the picture", lineTooShort},
        {"two planes of 8 bits", twoPlanes},
        {"16 bits a pixel", bits16},
        {"pixels beyond the limit", good, 15},
        {"huge extent from a tiny stream", huge},
        {"run without a value", danglingRun},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(DecodePcx(c.bytes.data(), c.bytes.size(), c.maxPixels).Empty()) << c.name;
    }
    EXPECT_FALSE(DecodePcx(good.data(), good.size(), 16).Empty());
}

}  // namespace
}  // namespace quill
