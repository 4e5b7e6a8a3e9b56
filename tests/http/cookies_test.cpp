#include <gtest/gtest.h>

#include "http/cookies.h"

namespace quill {
namespace {

TEST(MergeCookiesTest, Table) {
    struct Case {
        std::string sent, received, merged, receivedAfter;
    };
    const Case cases[] = {
        {"a=1; b=2", "b=3; c=4", "b=3; c=4; a=1", "b=3;c=4"},
        {"a=1; b=2", "a=deleted", "b=2", "a=deleted"},
        {"a=1", "a=DELETED", "a=DELETED", "a=DELETED"},
        {"a=1; a=2", "", "a=1", ""},
        {"", "a=1; a=1", "a=1", "a=1;a=1"},
        {"", "a=1; a=2", "a=1; a=2", "a=1;a=2"},
        {"x = 1", "", "x=1", ""},
        {"tok=ab==", "", "tok=ab==", ""},
        {"", "", "", ""},
        {"a=1;", "", "a=1", ""},
        {";a=1", "", "; a=1", ""},
        {"a=1\xA1\xA1; b=2", "", "a=1; b=2", ""},
        {"novalue; a=1", "novalue", "novalue; a=1", "novalue"},
    };
    for (const Case& c : cases) {
        std::string sent = c.sent;
        std::string received = c.received;
        const std::string merged = MergeCookies(sent, received);
        EXPECT_EQ(merged, c.merged) << c.sent << " | " << c.received;
        EXPECT_EQ(sent, c.merged) << "sent is written back";
        EXPECT_EQ(received, c.receivedAfter) << "received loses its spaces";
    }
}

TEST(CookieItems, NamesAndLists) {
    EXPECT_EQ(CookieName(" a =1"), "a");
    EXPECT_EQ(CookieName("tok=ab=="), "tok");
    EXPECT_EQ(CookieName("flag"), "flag");
    EXPECT_EQ(CookieName(""), "");

    const std::vector<std::string> items = {"a=1", "B=2", "", "a=1"};
    EXPECT_TRUE(HasCookieName(items, "a"));
    EXPECT_FALSE(HasCookieName(items, "b"));  // names keep their case
    EXPECT_TRUE(HasCookieName(items, ""));
    EXPECT_EQ(FindItem(items, "a=1"), 1);
    EXPECT_EQ(FindItem(items, ""), 3);
    EXPECT_EQ(FindItem(items, "c"), -1);

    EXPECT_EQ(RemoveDuplicateItems("a; b; a; c; b", "; "), "a; b; c");
    EXPECT_EQ(RemoveDuplicateItems("", "; "), "");
    EXPECT_EQ(RemoveDuplicateItems("x", "; "), "x");
}

}  // namespace
}  // namespace quill
