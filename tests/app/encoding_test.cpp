#include <gtest/gtest.h>

#include "app/encoding.h"

namespace quill {
namespace {

TEST(Base64, EncodesEveryTailLength) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},        {"f", "Zg=="},        {"fo", "Zm8="},
        {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"\xFB\xFF\xBF", "+/+/"},
    };
    for (const auto& [plain, encoded] : cases) {
        EXPECT_EQ(Base64Encode(ToBytes(plain)), encoded);
        EXPECT_EQ(ToText(Base64Decode(encoded)), plain);
    }
}

TEST(Base64, LongInputHasNoLineBreaks) {
    Bytes bytes(100000);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    }
    const std::string text = Base64Encode(bytes);
    EXPECT_EQ(text.size(), (bytes.size() + 2) / 3 * 4);
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(Base64Decode(text), bytes);
}

TEST(Base64, UndecodableTextGivesNoBytes) {
    const char* cases[] = {
        "Zm9v\r\nYg==",  // white space is not skipped
        "Zm 9v",
        "Zm9v-_",  // URL-safe alphabet
        "Zg=",     // padding without a whole group
        "Z===",
        "Zg==Zg==",  // padding in the middle
        "Zm9vY",     // a lone character left over
    };
    for (const char* text : cases) {
        EXPECT_TRUE(Base64Decode(text).empty()) << text;
    }
    EXPECT_EQ(ToText(Base64Decode("Zm9vYg")), "foob");  // missing padding is accepted
}

TEST(PercentEncoding, KeepsOnlyTheUnreservedSet) {
    const std::pair<std::string, std::string> cases[] = {
        {"AZaz09.-~!_*()'", "AZaz09.-~!_*()'"},
        {"a b", "a%20b"},
        {"https://h.example/a?b=1&c=%41", "https%3A%2F%2Fh.example%2Fa%3Fb%3D1%26c%3D%2541"},
        {"+/=", "%2B%2F%3D"},
        {"\xD6\xD0", "%D6%D0"},
        {std::string("\0\x7F\xFF", 3), "%00%7F%FF"},
        {"", ""},
    };
    for (const auto& [plain, encoded] : cases) {
        EXPECT_EQ(PercentEncode(plain), encoded);
    }
}

}  // namespace
}  // namespace quill
