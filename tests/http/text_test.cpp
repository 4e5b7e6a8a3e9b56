// The text primitives on GBK bytes. "\xD6\xD0" is 中, "\xA1\xA1" the full-width space, and
// "\xB0\x7C" a double-byte character whose second byte is "|".
#include <gtest/gtest.h>

#include <limits>

#include "http/text.h"

namespace quill {
namespace {

struct FindCase {
    const char* name;
    std::string text;
    std::string part;
    Pos start;
    bool ignoreCase;
    Pos expected;
};

TEST(TextFind, Table) {
    const FindCase cases[] = {
        {"first", "abcabc", "c", 1, false, 3},
        {"from start", "abcabc", "c", 4, false, 6},
        {"start on match", "abcabc", "a", 4, false, 4},
        {"zero start is one", "abcabc", "a", 0, false, 1},
        {"negative start is one", "abcabc", "b", -7, false, 2},
        {"start past end", "abc", "c", 4, false, -1},
        {"case matters", "abcabc", "C", 1, false, -1},
        {"ignore case", "abcABC", "Bc", 3, true, 5},
        {"empty part", "abc", "", 1, false, 1},
        {"empty part past end", "abc", "", 4, false, -1},
        {"empty text", "", "", 1, false, -1},
        {"part longer than text", "ab", "abc", 1, false, -1},
        {"second byte of a character", "\xD6\xD0", "\xD0", 1, false, -1},
        {"lone lead byte at the end", "a\xD6\xD0\xD0", "\xD0", 1, false, 4},
        {"match across two characters' bytes", "\xD6\xD0\xD0\xD6", "\xD0\xD0", 1, false, -1},
        {"start inside a character", "\xD6\xD0\xD0\xD6", "\xD0\xD6", 2, false, 3},
        {"ascii second byte", "\xB0\x7C|", "|", 1, false, 3},
        {"ascii after double-byte",
         "\xD6\xD0"
         "A",
         "a", 1, true, 3},
        {"trail byte not folded", "\x81\x41", "\x81\x61", 1, true, -1},
    };
    for (const FindCase& c : cases) {
        EXPECT_EQ(Find(c.text, c.part, c.start, c.ignoreCase), c.expected) << c.name;
    }
}

TEST(TextFind, Last) {
    EXPECT_EQ(FindLast("abcabc", "bc"), 5);
    EXPECT_EQ(FindLast("a:b:c", ":"), 4);
    EXPECT_EQ(FindLast("abc", "x"), -1);
    EXPECT_EQ(FindLast("x\xD6\xD0", "\xD0"), -1);
    EXPECT_EQ(FindLast("\xD0x\xD6\xD0", "\xD0"), 1);
    EXPECT_EQ(FindLast("aaaa", "aa"), 3);
}

TEST(TextSlices, LeftRightMiddle) {
    EXPECT_EQ(Left("abcdef", 2), "ab");
    EXPECT_EQ(Left("abc", 0), "");
    EXPECT_EQ(Left("abc", -1), "");
    EXPECT_EQ(Left("abc", 10), "abc");
    EXPECT_EQ(Right("abcdef", 2), "ef");
    EXPECT_EQ(Right("abc", 0), "");
    EXPECT_EQ(Right("abc", 10), "abc");
    EXPECT_EQ(Middle("abcdef", 2, 3), "bcd");
    EXPECT_EQ(Middle("abcdef", 5, 10), "ef");
    EXPECT_EQ(Middle("abcdef", 0, 2), "");
    EXPECT_EQ(Middle("abcdef", 7, 1), "");
    EXPECT_EQ(Middle("abcdef", 2, 0), "");
}

TEST(TextCase, LowerLeavesDoubleByteCharactersAlone) {
    EXPECT_EQ(Lower("AbC-Z"), "abc-z");
    EXPECT_EQ(Lower("\xC4\xC1X"), "\xC4\xC1x");
    EXPECT_EQ(Lower("\x81\x41"), "\x81\x41");  // "A" as a second byte
}

struct SpaceCase {
    std::string text;
    std::string trimmed;
    std::string withoutSpaces;
};

TEST(TextSpaces, TrimAndRemoveAll) {
    const SpaceCase cases[] = {
        {"  a b  ", "a b", "ab"},
        {"\xA1\xA1x\xA1\xA1 ", "x", "x"},
        {"\tx\r\n", "\tx\r\n", "\tx\r\n"},
        {"   ", "", ""},
        {"", "", ""},
        // A1 A1 made of a character's second byte and a lone lead byte is no full-width space.
        {"x\xA1\xA1\xA1", "x\xA1\xA1\xA1", "x\xA1"},
        {"\xB0\xA1\xA1\xB0", "\xB0\xA1\xA1\xB0", "\xB0\xA1\xA1\xB0"},
        {"\xB0\xA1\xA1\xA1", "\xB0\xA1", "\xB0\xA1"},
    };
    for (const SpaceCase& c : cases) {
        EXPECT_EQ(Trim(c.text), c.trimmed) << c.text;
        EXPECT_EQ(RemoveAllSpaces(c.text), c.withoutSpaces) << c.text;
    }
}

TEST(TextReplace, Table) {
    EXPECT_EQ(Replace("aXbXc", "X", "YY"), "aYYbYYc");
    EXPECT_EQ(Replace("aaa", "a", "aa"), "aaaaaa");  // inserted text is not scanned again
    EXPECT_EQ(Replace("abab", "ab", "b"), "bb");
    EXPECT_EQ(Replace("abc", "b"), "ac");
    EXPECT_EQ(Replace("", "a", "b"), "");
    EXPECT_EQ(Replace("abc", "", "x"), "abc");
    EXPECT_EQ(Replace("AbaB", "ab", "-", false), "--");
    EXPECT_EQ(Replace("Abab", "ab", "-", true), "Ab-");
    EXPECT_EQ(Replace("\xD6\xD0\xD0", "\xD0", "x"), "\xD6\xD0x");
    EXPECT_EQ(Replace("\xB0\x7C|", "|", "/"), "\xB0\x7C/");
}

TEST(TextSplit, Table) {
    using Pieces = std::vector<std::string>;
    EXPECT_EQ(Split("a;b;", ";"), (Pieces{"a", "b"}));
    EXPECT_EQ(Split(";a", ";"), (Pieces{"", "a"}));
    EXPECT_EQ(Split("a;;b", ";"), (Pieces{"a", "", "b"}));
    EXPECT_EQ(Split(";", ";"), (Pieces{""}));
    EXPECT_EQ(Split("", ";"), Pieces{});
    EXPECT_EQ(Split("abc", ";"), (Pieces{"abc"}));
    EXPECT_EQ(Split("a; b; c", "; "), (Pieces{"a", "b", "c"}));
    EXPECT_EQ(Split("\xB0\x7C"
                    "a|b",
                    "|"),
              (Pieces{"\xB0\x7C"
                      "a",
                      "b"}));
}

TEST(TextToInteger, Table) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    const std::pair<std::string, std::int64_t> cases[] = {
        {"123abc", 123},
        {"  -42", -42},
        {"+7", 7},
        {"\t\r\n 8", 8},
        {"abc", 0},
        {"", 0},
        {"- 5", 0},
        {"\xA3\xB1\xA3\xB2", 12},         // full-width 1 2
        {"\xA3\xAD\xA3\xB5x", -5},        // full-width minus 5
        {"\xA1\xA1\xA3\xAB\xA3\xB3", 3},  // full-width space, plus, 3
        {"4\xA3\xB2", 42},
        {"9223372036854775807", kMax},
        {"99999999999999999999", kMax},
        {"-9223372036854775808", kMin},
        {"-99999999999999999999", kMin},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(ToInteger(text), expected) << text;
    }
}

}  // namespace
}  // namespace quill
