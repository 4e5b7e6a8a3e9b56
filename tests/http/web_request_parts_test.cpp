// The text rules inside WebRequest, checked without a server.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/optional_arg.h"
#include "http/web_request_parts.h"

namespace quill {
namespace {

TEST(WebRequestParts, UserAgentChoice) {
    const std::string fallback(kDefaultUserAgent);
    struct Case {
        std::string headers;
        std::string agent;
    };
    const Case cases[] = {
        {"", fallback},
        {"Accept: */*", fallback},
        {"User-Agent:  Probe/2 ", "Probe/2"},
        {"X-A: 1\r\nUser-Agent: In The Middle\r\nX-B: 2", "In The Middle"},
        // Another letter case: the text after the first colon of the whole block.
        {"user-agent: Probe", "Probe"},
        {"Accept: */*\r\nuser-agent: Probe", "*/*\r\nuser-agent: Probe"},
        // An empty value falls back the same way.
        {"User-Agent:", ""},
        {"X-First: one\r\nUser-Agent: ", "one\r\nUser-Agent:"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UserAgentFor(c.headers), c.agent) << c.headers;
    }
}

TEST(WebRequestParts, HeaderBlock) {
    const std::string url = "https://h.example/aidemo";
    const std::string defaults =
        "Accept: */*\r\nReferer: https://h.example/aidemo\r\nAccept-Language: zh-cn\r\n"
        "Content-Type: application/x-www-form-urlencoded";
    struct Case {
        std::string headers;
        std::string cookies;
        std::string block;
    };
    const Case cases[] = {
        {"", "", defaults},
        {"", "a=1; b=2", defaults + "\r\nCookie: a=1; b=2"},
        {"", "Cookie: a=1", defaults + "\r\nCookie: a=1"},
        {"accept: text/html", "", "accept: text/html\r\n" + defaults},
        {"X: 1\r\n", "", "X: 1\r\n\r\n" + defaults},
        {"Referer: http://r/\r\nAccept: a\r\nAccept-Language: en\r\nContent-Type: text/json", "",
         "Referer: http://r/\r\nAccept: a\r\nAccept-Language: en\r\nContent-Type: text/json"},
        // Presence tests look anywhere in the text, even inside another value.
        {"X-Note: Accept: no", "",
         "X-Note: Accept: no\r\nReferer: https://h.example/aidemo\r\nAccept-Language: zh-cn\r\n"
         "Content-Type: application/x-www-form-urlencoded"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RequestHeaderBlock(c.headers, url, c.cookies), c.block) << c.headers;
    }
}

TEST(WebRequestParts, LinesOnTheWire) {
    using Lines = std::vector<std::string>;
    struct Case {
        std::string block;
        Lines lines;
    };
    const Case cases[] = {
        {"", {}},
        {"A: 1\r\nB: 2", {"A: 1", "B: 2"}},
        {"A: 1\r\n\r\nB: 2\r\n", {"A: 1", "B: 2"}},
        {"A: 1\nB: 2\rC: 3", {"A: 1", "B: 2", "C: 3"}},
        {"no colon\r\n: no name\r\nE:", {"E:"}},
        {std::string("A: 1\0tail\r\nB: 2", 15), {"A: 1", "B: 2"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HeaderBlockLines(c.block), c.lines) << c.block;
    }
}

TEST(WebRequestParts, CookiesFromReplyHeaders) {
    struct Case {
        std::string block;
        std::string cookies;
    };
    const Case cases[] = {
        {"HTTP/1.1 200 OK\r\nSet-Cookie: A=1; path=/\r\nSet-Cookie: B=2\r\n\r\n", "A=1; B=2"},
        {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", ""},
        {"", ""},
        {"Set-Cookie:   tok=ab==  ; Secure\r\n", "tok=ab=="},
        // Only the exact spelling counts at this stage; callers normalise first.
        {"set-cookie: x=1\r\n", ""},
        // A line naming Set-Cookie without its colon adds an empty item.
        {"X-Set-Cookie-Note; a\r\nSet-Cookie: c=3\r\n", "; c=3"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CookiesFromHeaderBlock(c.block), c.cookies) << c.block;
    }
}

TEST(OptionalArguments, KnowWhetherTheyWereSupplied) {
    const OptionalArg<int> leftOut;
    const OptionalArg<int> zero = 0;
    EXPECT_FALSE(leftOut.Supplied());
    EXPECT_EQ(leftOut.Value(), 0);
    EXPECT_TRUE(zero.Supplied());

    std::string empty;
    const OptionalRef<std::string> bound = empty;
    const OptionalRef<std::string> none;
    EXPECT_TRUE(bound.Supplied());
    EXPECT_FALSE(none.Supplied());
    bound.Set("written");
    none.Set("lost");
    EXPECT_EQ(empty, "written");
    EXPECT_EQ(none.Value(), "");
}

}  // namespace
}  // namespace quill
