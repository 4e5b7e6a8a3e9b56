// Whole-file reads by GBK path.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/file_read.h"
#include "http/gbk_codec.h"

namespace quill {
namespace {

namespace fs = std::filesystem;

class FileReadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("quill_file_read_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }

    // Writes a file under a UTF-8 name and gives its path in GBK.
    std::string Write(const std::string& utf8Name, const std::string& contents) {
        const fs::path path = root_ / fs::path(utf8Name);
        std::ofstream(path, std::ios::binary) << contents;
        return Gbk(path);
    }
    static std::string Gbk(const fs::path& path) { return GbkFromUtf8(path.string()); }

    fs::path root_;
};

TEST_F(FileReadTest, ReadsWholeFilesByGbkPath) {
    const std::string contents("PNG\0\x01\x02 bytes", 12);
    for (const char* name : {"plain.png", "模板图 照片.jpg", "with?mark.bmp"}) {
        const std::string path = Write(name, contents);
        const Bytes bytes = ReadWholeFile(path);
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), contents) << name;
    }
}

TEST_F(FileReadTest, GivesNoBytesForWhatIsNoReadableFile) {
    Write("empty.png", "");
    Write("a?.png", "must not be read for a name that had no GBK form");
    ASSERT_EQ(::mkfifo((root_ / "pipe").c_str(), 0600), 0);
    const std::string dir = Gbk(root_);
    struct Case {
        const char* name;
        std::string path;
    };
    const Case cases[] = {
        {"missing", dir + "/missing.png"},
        {"empty file", dir + "/empty.png"},
        {"directory", dir},
        // Would block forever if opened for reading the ordinary way.
        {"fifo", dir + "/pipe"},
        {"empty path", ""},
        // A lone lead byte has no exact form; its substitute "?" would name a.png's neighbour.
        {"inexact GBK", dir + "/a\x81.png"},
        {"embedded NUL", dir + std::string("/empty.png\0x", 12)},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(ReadWholeFile(c.path).empty()) << c.name;
    }
}

TEST_F(FileReadTest, RefusesFilesLargerThanTheCap) {
    const std::string path = Write("big.bin", std::string(1000, 'x'));
    EXPECT_EQ(ReadWholeFile(path, 1000).size(), 1000u);
    EXPECT_TRUE(ReadWholeFile(path, 999).empty());
}

TEST(FileSystemPath, ConvertsOnlyExactly) {
    std::string utf8;
    ASSERT_TRUE(FileSystemPath(GbkFromUtf8("/tmp/目标图.png"), utf8));
    EXPECT_EQ(utf8, "/tmp/目标图.png");
    utf8 = "unchanged";
    EXPECT_FALSE(FileSystemPath("/tmp/\x81 .png", utf8));
    EXPECT_EQ(utf8, "unchanged");
}

}  // namespace
}  // namespace quill
