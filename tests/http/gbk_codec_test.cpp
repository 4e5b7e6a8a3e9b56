// The GBK codec and the reply conversion.
#include <gtest/gtest.h>

#include "http/gbk_codec.h"
#include "http/reply_text.h"

namespace quill {
namespace {

Bytes B(std::string_view text) {
    return ToBytes(text);
}

TEST(Utf8ToLocalTest, Table) {
    struct Case {
        const char* name;
        Bytes input;
        std::string expected;
    };
    const Case cases[] = {
        {"empty", {}, ""},
        {"ascii", B("abc"), "abc"},
        {"chinese", {0xE4, 0xB8, 0xAD, 0xE6, 0x96, 0x87}, "\xD6\xD0\xCE\xC4"},
        {"zero byte ends the text", {0x61, 0x00, 0x62}, "a"},
        {"leading zero byte", {0x00, 0x61}, ""},
        {"emoji has no GBK form",
         B("a\xF0\x9F\x98\x80"
           "b"),
         "a?b"},
        {"malformed sequence", B("\xC3(x"), "?(x"},
        {"truncated at the end", B("ab\xE4\xB8"), "ab?"},
        {"overlong form", B("\xC0\xAF"), "??"},
        {"GBK bytes are not UTF-8", B("\xD6\xD0\xCE\xC4"), "????"},
        {"middle dot", B("\xC2\xB7"), "\xA1\xA4"},
        {"markers survive", B("{\"error_msg\":\"SUCCESS\"}"), "{\"error_msg\":\"SUCCESS\"}"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf8ToLocal(c.input), c.expected) << c.name;
    }
}

TEST(Utf8ToLocalTest, LargeInputConvertsWhole) {
    // Larger than the conversion's internal pieces, with a multi-byte character across each
    // piece boundary somewhere.
    std::string utf8;
    std::string gbk;
    for (int i = 0; i < 100000; ++i) {
        utf8 +=
            "\xE4\xB8\xAD"
            "a";
        gbk +=
            "\xD6\xD0"
            "a";
    }
    EXPECT_EQ(Utf8ToLocal(ToBytes(utf8)), gbk);
}

TEST(GbkCodec, ExactConversions) {
    bool exact = false;
    EXPECT_EQ(GbkFromUtf8("\xE4\xB8\xAD\xE6\x96\x87.png", &exact), "\xD6\xD0\xCE\xC4.png");
    EXPECT_TRUE(exact);
    EXPECT_EQ(Utf8FromGbk("\xD6\xD0\xCE\xC4", &exact), "\xE4\xB8\xAD\xE6\x96\x87");
    EXPECT_TRUE(exact);
    EXPECT_EQ(GbkFromUtf16(u"\u6A21\u677F\u56FE", &exact), "\xC4\xA3\xB0\xE5\xCD\xBC");
    EXPECT_TRUE(exact);
    EXPECT_EQ(Utf16FromGbk("\xC4\xA3\xB0\xE5\xCD\xBC", &exact), u"\u6A21\u677F\u56FE");
    EXPECT_TRUE(exact);
    // A real question mark is exact; only substitutes are not.
    EXPECT_EQ(GbkFromUtf8("a?.png", &exact), "a?.png");
    EXPECT_TRUE(exact);
}

TEST(GbkCodec, InexactConversionsAreReported) {
    struct Case {
        const char* name;
        std::string utf8;
    };
    const Case toGbk[] = {
        {"emoji", "a\xF0\x9F\x98\x80.png"},
        {"hangul", "\xED\x95\x9C.png"},
        {"malformed UTF-8", "a\xC3(.png"},
    };
    for (const Case& c : toGbk) {
        bool exact = true;
        const std::string gbk = GbkFromUtf8(c.utf8, &exact);
        EXPECT_FALSE(exact) << c.name;
        EXPECT_NE(gbk.find('?'), std::string::npos) << c.name;
    }
    bool exact = true;
    Utf8FromGbk("\x81\x30", &exact);  // no such GBK character
    EXPECT_FALSE(exact);
    exact = true;
    GbkFromUtf16(std::u16string(1, char16_t{0xD800}), &exact);  // lone surrogate
    EXPECT_FALSE(exact);
}

TEST(GbkCodec, RoundTripsEveryDoubleByteCharacter) {
    // Every assigned two-byte GBK code must come back as itself through UTF-16.
    int checked = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F) {
                continue;
            }
            const std::string gbk{static_cast<char>(lead), static_cast<char>(trail)};
            bool exact = false;
            const std::u16string units = Utf16FromGbk(gbk, &exact);
            if (!exact) {
                continue;  // unassigned
            }
            bool back = false;
            ASSERT_EQ(GbkFromUtf16(units, &back), gbk) << lead << "," << trail;
            ASSERT_TRUE(back);
            ++checked;
        }
    }
    EXPECT_GT(checked, 21000);
}

}  // namespace
}  // namespace quill
