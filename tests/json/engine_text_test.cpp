#include "json/engine_text.h"

#include <gtest/gtest.h>

#include <string>

#include "http/gbk_codec.h"

namespace quill {
namespace {

struct Cesu8Case {
    const char* what;
    std::u16string utf16;
    std::string cesu8;
};

const Cesu8Case kBothWays[] = {
    {"empty", u"", ""},
    {"ascii", u"A{}\"", "A{}\""},
    {"two bytes", u"\u00e9", "\xC3\xA9"},
    {"three bytes", u"\u4e2d", "\xE4\xB8\xAD"},
    {"pair as two sequences", u"\U0001F600", "\xED\xA0\xBD\xED\xB8\x80"},
    {"lone surrogate", std::u16string(1, u'\xD800'), "\xED\xA0\x80"},
    {"nul", std::u16string(1, u'\0'), std::string(1, '\0')},
};

TEST(Cesu8, EncodesEachUnitAndDecodesBack) {
    for (const auto& c : kBothWays) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Cesu8FromUtf16(c.utf16), c.cesu8);
        EXPECT_EQ(Utf16FromCesu8(c.cesu8), c.utf16);
    }
}

TEST(Cesu8, DecodesFourByteSequencesAndReplacesMalformedBytes) {
    const Cesu8Case cases[] = {
        {"four bytes", u"\U0001F600", "\xF0\x9F\x98\x80"},
        {"stray continuation", u"a\uFFFDb",
         "a\x80"
         "b"},
        {"overlong two bytes", u"\uFFFD\uFFFD", "\xC0\x80"},
        {"overlong three bytes", u"\uFFFD\uFFFD\uFFFD", "\xE0\x80\x80"},
        {"cut short", u"\uFFFD\uFFFD", "\xE4\xB8"},
        {"beyond unicode", u"\uFFFD\uFFFD\uFFFD\uFFFD", "\xF4\x90\x80\x80"},
        {"invalid lead", u"\uFFFDz", "\xFFz"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Utf16FromCesu8(c.cesu8), c.utf16);
    }
}

TEST(EngineText, GbkCrossesThroughTheCodec) {
    struct Case {
        const char* what;
        std::string gbk;
        std::string engine;
    };
    const Case cases[] = {
        {"ascii unchanged", "{\"a\":1}", "{\"a\":1}"},
        {"chinese", "\xD6\xD0\xCE\xC4", "\xE4\xB8\xAD\xE6\x96\x87"},
        {"euro sign of code page 936", "\x80", "\xE2\x82\xAC"},
        {"mixed", "x=\xD6\xD0;", "x=\xE4\xB8\xAD;"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(EngineTextFromGbk(c.gbk), c.engine);
        EXPECT_EQ(GbkFromEngineText(c.engine), c.gbk);
    }
}

TEST(EngineText, CharacterOutsideGbkBecomesTheCodecsSubstitute) {
    const std::string thai = "\xE0\xB8\x81";  // U+0E01
    const std::string emoji = "\xED\xA0\xBD\xED\xB8\x80";
    EXPECT_EQ(GbkFromEngineText("a" + thai + "b"), GbkFromUtf16(u"a\u0E01b"));
    EXPECT_EQ(GbkFromEngineText(emoji), GbkFromUtf16(u"\U0001F600"));
    EXPECT_NE(GbkFromEngineText(thai), "");
}

}  // namespace
}  // namespace quill
