#include "service/image_probe.h"

#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

namespace quill::service {
namespace {

std::string Sample(const std::string& name) {
    std::ifstream in(std::string(QUILL_SAMPLES_DIR) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Little32(std::uint32_t v) {
    std::string out;
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
    return out;
}

std::string BmpHeader(std::int32_t width, std::int32_t height) {
    std::string bmp = "BM" + Little32(0) + Little32(0) + Little32(54);
    bmp += Little32(40) + Little32(static_cast<std::uint32_t>(width)) +
           Little32(static_cast<std::uint32_t>(height));
    bmp += std::string(28, '\0');
    return bmp;
}

TEST(ProbeImageTest, ReadsSizesOfRealFiles) {
    struct Case {
        const char* file;
        ImageFormat format;
        std::uint32_t width;
        std::uint32_t height;
    };
    const Case cases[] = {
        {"astronaut.png", ImageFormat::Png, 512, 512},
        {"grace_hopper.png", ImageFormat::Png, 512, 600},
        {"rocket.jpg", ImageFormat::Jpeg, 640, 427},
    };
    for (const Case& c : cases) {
        const ImageProbe probe = ProbeImage(Sample(c.file));
        EXPECT_EQ(probe.format, c.format) << c.file;
        EXPECT_TRUE(probe.wellFormed) << c.file;
        EXPECT_FALSE(probe.truncated) << c.file;
        EXPECT_EQ(probe.width, c.width) << c.file;
        EXPECT_EQ(probe.height, c.height) << c.file;
    }
    EXPECT_GE(ProbeImage(Sample("rocket.jpg")).scans, 1);
}

TEST(ProbeImageTest, SeesTruncationAtEveryCut) {
    for (const char* file : {"rocket.jpg", "chelsea.png"}) {
        const std::string bytes = Sample(file);
        for (std::size_t cut : {std::size_t{10}, std::size_t{30}, bytes.size() / 3,
                                bytes.size() - 2, bytes.size() - 1}) {
            const ImageProbe probe = ProbeImage(std::string_view(bytes).substr(0, cut));
            EXPECT_TRUE(probe.truncated) << file << " cut at " << cut;
        }
    }
}

TEST(ProbeImageTest, ReadsClaimedSizeWithoutTheData) {
    // A PNG header that claims 100000 x 100000 pixels, the start of a decompression bomb.
    std::string png = Sample("chelsea.png");
    const std::string huge("\x00\x01\x86\xa0", 4);
    png.replace(16, 4, huge);
    png.replace(20, 4, huge);
    const ImageProbe bomb = ProbeImage(png);
    EXPECT_EQ(bomb.width, 100000u);
    EXPECT_EQ(bomb.height, 100000u);

    struct Case {
        std::int32_t width;
        std::int32_t height;
        bool wellFormed;
        std::uint32_t probedHeight;
    };
    const Case bmps[] = {{640, 480, true, 480},
                         {640, -480, true, 480},
                         {-640, 480, false, 0},
                         {640, 0, false, 0},
                         {640, INT32_MIN, false, 0}};
    for (const Case& c : bmps) {
        const ImageProbe probe = ProbeImage(BmpHeader(c.width, c.height));
        EXPECT_EQ(probe.format, ImageFormat::Bmp);
        EXPECT_EQ(probe.wellFormed, c.wellFormed) << c.width << "x" << c.height;
        if (c.wellFormed) {
            EXPECT_EQ(probe.height, c.probedHeight);
        }
    }
}

TEST(ProbeImageTest, RefusesOtherAndBrokenData) {
    EXPECT_EQ(ProbeImage("GIF89a\x01\x00\x01\x00").format, ImageFormat::Unknown);
    EXPECT_EQ(ProbeImage("").format, ImageFormat::Unknown);
    EXPECT_EQ(ProbeImage("hello world").format, ImageFormat::Unknown);

    // A JPEG whose segments stop making sense after the first one.
    const ImageProbe garbage =
        ProbeImage(std::string("\xff\xd8\xff\xe0\x00\x04\x00\x00garbage", 15));
    EXPECT_FALSE(garbage.wellFormed);
    EXPECT_FALSE(garbage.truncated);

    // A JPEG with no frame header before its end marker names no size.
    const ImageProbe frameless = ProbeImage(std::string("\xff\xd8\xff\xd9", 4));
    EXPECT_FALSE(frameless.wellFormed);
    EXPECT_FALSE(frameless.truncated);
}

TEST(ProbeImageTest, CountsJpegScans) {
    // Start, a frame header, then three empty scans and the end marker.
    std::string jpeg("\xff\xd8\xff\xc2\x00\x0b\x08\x00\x10\x00\x20\x01\x01\x11\x00", 15);
    for (int i = 0; i < 3; ++i) {
        jpeg += std::string("\xff\xda\x00\x08\x01\x01\x00\x00\x3f\x00\x12\x34\xff\x00\x56", 15);
    }
    jpeg += "\xff\xd9";
    const ImageProbe probe = ProbeImage(jpeg);
    EXPECT_TRUE(probe.wellFormed);
    EXPECT_EQ(probe.scans, 3);
    EXPECT_EQ(probe.width, 32u);
    EXPECT_EQ(probe.height, 16u);
}

}  // namespace
}  // namespace quill::service
