// Address and header functions, with the quirks callers rely on.
#include <gtest/gtest.h>

#include "http/url_header.h"

namespace quill {
namespace {

const std::string kQuoteWord = "#\xD2\xFD\xBA\xC5";  // "#引号" in GBK

TEST(TextBetweenTest, Table) {
    struct Case {
        const char* name;
        std::string text, start, end;
        Pos startPosition;
        bool ignoreCase;
        std::string expected;
    };
    const Case cases[] = {
        {"quote word on both markers", "a\"b\"c", kQuoteWord, kQuoteWord, 1, false, "b"},
        {"quote word inside a marker", "x=\"v\";", "=" + kQuoteWord, kQuoteWord + ";", 1, false,
         "v"},
        {"plain", "User-Agent: X\r\nA: b", "User-Agent:", "\r\n", 1, false, " X"},
        {"start missing", "abc", "[", "]", 1, false, ""},
        {"end only before start", "x]y[z", "[", "]", 1, false, ""},
        {"markers adjacent", "[]", "[", "]", 1, false, ""},
        {"from a start position", "[a][b]", "[", "]", 3, false, "b"},
        {"case ignored", "USER-AGENT: X\r\n", "user-agent:", "\r\n", 1, true, " X"},
        {"case kept", "USER-AGENT: X\r\n", "user-agent:", "\r\n", 1, false, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TextBetween(c.text, c.start, c.end, c.startPosition, c.ignoreCase), c.expected)
            << c.name;
    }
}

TEST(ValueAfterColonTest, Table) {
    EXPECT_EQ(ValueAfterColon("User-Agent:  X "), "X");
    EXPECT_EQ(ValueAfterColon("no colon"), "");
    EXPECT_EQ(ValueAfterColon("a:b:c"), "b:c");
    EXPECT_EQ(ValueAfterColon("Accept: */*\r\nuser-agent: Probe"), "*/*\r\nuser-agent: Probe");
    EXPECT_EQ(ValueAfterColon("k:"), "");
}

struct UrlCase {
    std::string address;
    std::string host;
    std::string hostWithPort;
    int port;
    std::string path;
};

TEST(UrlParts, Table) {
    const UrlCase cases[] = {
        {"https://Host.Example:8443/a", "host.example", "host.example:8443", 8443, "/a"},
        {"host.example/a/b", "host.example", "host.example", 80, "/a/b"},
        {"http://host.example", "host.example", "host.example", 80, "/"},
        {"https://host.example", "host.example", "host.example", 443, "/"},
        {"https://host.example/", "host.example", "host.example", 443, "/"},
        {"http://host.example/", "host.example", "host.example", 80, "/"},
        {"host.example/", "host.example", "host.example", 80, "/"},
        // A query straight after the host stays in the host.
        {"https://host.example?x=1", "host.example?x=1", "host.example?x=1", 443, "/"},
        {"http://host.example:abc/", "host.example", "host.example:abc", 0, "/"},
        {"HTTPS://Example/Path", "example", "example", 443, "/Path"},
        {"https://h.example/aidemo", "h.example", "h.example", 443, "/aidemo"},
        {"https://127.0.0.1:47815/aidemo?type=merge&apiType=face", "127.0.0.1", "127.0.0.1:47815",
         47815, "/aidemo?type=merge&apiType=face"},
        // The port test looks at five bytes only.
        {"httpsx://h.example/", "httpsx", "httpsx:", 0, "//h.example/"},
        {"httpsfoo.example/", "httpsfoo.example", "httpsfoo.example", 443, "/"},
        // The first "http://" anywhere marks the host.
        {"ftp://a.example/?u=http://b.example/c", "b.example", "b.example", 80, "/c"},
        {"http://h.example/a#frag", "h.example", "h.example", 80, "/a#frag"},
        {"", "", "", 80, "/"},
    };
    for (const UrlCase& c : cases) {
        EXPECT_EQ(UrlHost(c.address), c.host) << c.address;
        EXPECT_EQ(UrlHost(c.address, true), c.hostWithPort) << c.address;
        EXPECT_EQ(UrlPort(c.address), c.port) << c.address;
        EXPECT_EQ(UrlPath(c.address), c.path) << c.address;
    }
}

}  // namespace
}  // namespace quill
