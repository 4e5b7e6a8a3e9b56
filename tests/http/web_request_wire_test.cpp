// WebRequest against a recorder that keeps the exact request bytes and answers scripted bytes.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <string>
#include <vector>

#include "http/web_request.h"
#include "http/web_request_parts.h"
#include "tests/http/web_request_fixture.h"
#include "tests/support/raw_recorder.h"

namespace quill::test {
namespace {

using Lines = std::vector<std::string>;

std::string Text(const Bytes& bytes) {
    return ToText(bytes);
}

RawRecorder::Script Answer(std::string reply) {
    return [reply](const RawRequest&) { return RawReply{reply}; };
}

Lines DefaultLines(const std::string& url) {
    return {"Accept: */*", "Referer: " + url, "Accept-Language: zh-cn",
            "Content-Type: application/x-www-form-urlencoded"};
}

class WebRequestWire : public WebFixture {};

// The callers' form: three arguments, the rest left out.
TEST_F(WebRequestWire, PostWithDefaultsSendsExactlyTheFourDefaultLines) {
    RawRecorder server(Answer(RawRecorder::Reply("200 OK", {}, "SUCCESS")));
    const std::string url = server.Url("/aidemo");
    const std::string form = "image=abc&type=url";

    EXPECT_EQ(Text(WebRequest(url, 1, form)), "SUCCESS");

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const RawRequest& request = requests[0];
    EXPECT_EQ(request.RequestLine(), "POST /aidemo HTTP/1.1");
    EXPECT_EQ(LinesBeyondClientOwn(request), DefaultLines(url));
    EXPECT_EQ(request.Header("Host"), "127.0.0.1:" + std::to_string(server.Port()));
    EXPECT_EQ(request.Header("User-Agent"), kDefaultUserAgent);
    EXPECT_EQ(request.Header("Content-Length"), std::to_string(form.size()));
    EXPECT_EQ(request.Body(), form);
}

struct MethodCase {
    int method;
    const char* postText;
    const char* requestLine;
    const char* bodySent;
    const char* contentLength;
};

class WebRequestMethod : public WebFixture, public ::testing::WithParamInterface<MethodCase> {};

TEST_P(WebRequestMethod, MapsTheMethodAndSendsABodyOnlyWhenNotGet) {
    const MethodCase c = GetParam();
    RawRecorder server(Answer(RawRecorder::Reply("200 OK", {"Set-Cookie: s=1"}, "reply body")));
    const std::string url = server.Url("/m?x=1");
    Bytes postBytes;
    std::string headersOut = "old";
    std::string cookiesOut = "old";

    const Bytes body =
        WebRequest(url, c.method, c.postText, {}, cookiesOut, {}, headersOut, {}, postBytes);

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].RequestLine(), c.requestLine);
    EXPECT_EQ(LinesBeyondClientOwn(requests[0]), DefaultLines(url));
    EXPECT_EQ(requests[0].Body(), c.bodySent);
    EXPECT_EQ(requests[0].Header("Content-Length"), c.contentLength);
    EXPECT_EQ(Text(postBytes), c.bodySent);
    // A HEAD reply has no body, but its headers and cookies still come back.
    EXPECT_EQ(Text(body), c.method == 2 ? "" : "reply body");
    EXPECT_TRUE(headersOut.starts_with("HTTP/1.1 200 OK\r\n")) << headersOut;
    EXPECT_EQ(cookiesOut, "s=1");
}

INSTANTIATE_TEST_SUITE_P(Methods, WebRequestMethod,
                         ::testing::Values(MethodCase{0, "abc", "GET /m?x=1 HTTP/1.1", "", ""},
                                           MethodCase{1, "abc", "POST /m?x=1 HTTP/1.1", "abc", "3"},
                                           MethodCase{1, "", "POST /m?x=1 HTTP/1.1", "", "0"},
                                           MethodCase{2, "abc", "HEAD /m?x=1 HTTP/1.1", "abc", "3"},
                                           MethodCase{2, "", "HEAD /m?x=1 HTTP/1.1", "", ""},
                                           MethodCase{7, "abc", "GET /m?x=1 HTTP/1.1", "", ""},
                                           MethodCase{-1, "abc", "GET /m?x=1 HTTP/1.1", "", ""}));

TEST_F(WebRequestWire, PostBytesWinOverPostTextAndAreNotRewritten) {
    RawRecorder server(Answer(RawRecorder::Reply("200 OK", {}, "")));
    Bytes postBytes = ToBytes(std::string("\x00\x01zz", 4));

    WebRequest(server.Url("/b"), 1, "ignored", {}, {}, {}, {}, {}, postBytes);

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Body(), std::string("\x00\x01zz", 4));
    EXPECT_EQ(Text(postBytes), std::string("\x00\x01zz", 4));
}

TEST_F(WebRequestWire, LargeBodyGoesOutWholeWithoutExpect) {
    RawRecorder server(Answer(RawRecorder::Reply("200 OK", {}, "ok")));
    std::string big(3 << 20, 'x');
    for (size_t i = 0; i < big.size(); i += 4096) {
        big[i] = static_cast<char>('a' + (i / 4096) % 26);
    }

    EXPECT_EQ(Text(WebRequest(server.Url("/big"), 1, big)), "ok");

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Header("Expect"), "");
    EXPECT_EQ(requests[0].Body().size(), big.size());
    EXPECT_TRUE(requests[0].Body() == big);
}

struct HeaderCase {
    const char* name;
    std::string callerHeaders;
    Lines
        expectedLines;  // beyond Host, Content-Length and User-Agent; {url} stands for the address
    std::string expectedAgent;
};

class WebRequestHeaders : public WebFixture, public ::testing::WithParamInterface<HeaderCase> {};

TEST_P(WebRequestHeaders, SendsCallerLinesFirstAndAddsOnlyWhatIsMissing) {
    const HeaderCase& c = GetParam();
    RawRecorder server(Answer(RawRecorder::Reply("200 OK", {}, "")));
    const std::string url = server.Url("/h");
    std::string headers = c.callerHeaders;

    WebRequest(url, 1, "", {}, {}, headers);

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    Lines expected;
    for (std::string line : c.expectedLines) {
        const size_t at = line.find("{url}");
        if (at != std::string::npos) {
            line.replace(at, 5, url);
        }
        expected.push_back(line);
    }
    Lines sent;
    for (const std::string& line : requests[0].HeaderLines()) {
        if (!line.starts_with("Host: ") && !line.starts_with("Content-Length: ")) {
            sent.push_back(line);
        }
    }
    // The one agent line on the wire, whoever wrote it.
    Lines agents;
    for (const std::string& line : sent) {
        if (Lower(line).starts_with("user-agent:")) {
            agents.push_back(line);
        }
    }
    ASSERT_EQ(agents.size(), 1u) << c.name;
    EXPECT_EQ(Lower(agents[0]), Lower(c.expectedAgent)) << c.name;
    Lines others;
    for (const std::string& line : sent) {
        if (!line.starts_with("User-Agent: ")) {
            others.push_back(line);
        }
    }
    EXPECT_EQ(others, expected) << c.name;
    // The caller's variable holds the block as built, caller's text first.
    EXPECT_TRUE(headers.starts_with(c.callerHeaders)) << c.name;
    EXPECT_EQ(headers, RequestHeaderBlock(c.callerHeaders, url, "")) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WebRequestHeaders,
    ::testing::Values(
        HeaderCase{"lower-case accept is not an Accept line",
                   "accept: text/html",
                   {"accept: text/html", "Accept: */*", "Referer: {url}", "Accept-Language: zh-cn",
                    "Content-Type: application/x-www-form-urlencoded"},
                   std::string("User-Agent: ") + std::string(kDefaultUserAgent)},
        HeaderCase{"own Referer and Accept kept, the rest added",
                   "Referer: http://elsewhere/\r\nAccept: image/png",
                   {"Referer: http://elsewhere/", "Accept: image/png", "Accept-Language: zh-cn",
                    "Content-Type: application/x-www-form-urlencoded"},
                   std::string("User-Agent: ") + std::string(kDefaultUserAgent)},
        HeaderCase{"lower-case content type gets the form type too",
                   "content-type: application/json",
                   {"content-type: application/json", "Accept: */*", "Referer: {url}",
                    "Accept-Language: zh-cn", "Content-Type: application/x-www-form-urlencoded"},
                   std::string("User-Agent: ") + std::string(kDefaultUserAgent)},
        HeaderCase{"caller's agent line is the only agent",
                   "User-Agent: Probe/1",
                   {"Accept: */*", "Referer: {url}", "Accept-Language: zh-cn",
                    "Content-Type: application/x-www-form-urlencoded"},
                   "User-Agent: Probe/1"},
        HeaderCase{"lower-case agent line goes out as written, once",
                   "user-agent: Probe",
                   {"user-agent: Probe", "Accept: */*", "Referer: {url}", "Accept-Language: zh-cn",
                    "Content-Type: application/x-www-form-urlencoded"},
                   "user-agent: Probe"},
        HeaderCase{"trailing CR LF: the empty line cannot travel",
                   "X-One: 1\r\n",
                   {"X-One: 1", "Accept: */*", "Referer: {url}", "Accept-Language: zh-cn",
                    "Content-Type: application/x-www-form-urlencoded"},
                   std::string("User-Agent: ") + std::string(kDefaultUserAgent)},
        HeaderCase{"an empty value still goes out",
                   "X-Empty:",
                   {"X-Empty:", "Accept: */*", "Referer: {url}", "Accept-Language: zh-cn",
                    "Content-Type: application/x-www-form-urlencoded"},
                   std::string("User-Agent: ") + std::string(kDefaultUserAgent)}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

struct AddressCase {
    const char* name;
    std::string address;  // {port} stands for the recorder's port
    std::string requestLine;
};

class WebRequestAddress : public WebFixture, public ::testing::WithParamInterface<AddressCase> {};

TEST_P(WebRequestAddress, ConnectsToTheAddressFunctionsHostAndPortAndSendsTheirPath) {
    const AddressCase& c = GetParam();
    RawRecorder server(Answer(RawRecorder::Reply("200 OK", {}, "here")));
    std::string address = c.address;
    address.replace(address.find("{port}"), 6, std::to_string(server.Port()));

    EXPECT_EQ(Text(WebRequest(address)), "here") << c.name;

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u) << c.name;
    EXPECT_EQ(requests[0].RequestLine(), c.requestLine) << c.name;
    EXPECT_EQ(requests[0].Header("Referer"), address) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WebRequestAddress,
    ::testing::Values(AddressCase{"query and fragment stay on the request line",
                                  "http://127.0.0.1:{port}/p/q?a=1&b=%20#frag",
                                  "GET /p/q?a=1&b=%20#frag HTTP/1.1"},
                      AddressCase{"scheme in capitals, path case kept",
                                  "HTTP://127.0.0.1:{port}/Path", "GET /Path HTTP/1.1"},
                      AddressCase{"no scheme is plain http", "127.0.0.1:{port}/noscheme",
                                  "GET /noscheme HTTP/1.1"},
                      AddressCase{"the port after the last colon",
                                  "http://127.0.0.1:1:{port}/two-ports", "GET /two-ports HTTP/1.1"},
                      AddressCase{"a query before the first slash belongs to the host",
                                  "http://127.0.0.1:{port}?x=1/after", "GET /after HTTP/1.1"},
                      AddressCase{"dot segments are not squashed",
                                  "http://127.0.0.1:{port}/a/../b/./c", "GET /a/../b/./c HTTP/1.1"},
                      AddressCase{"no path asks for the root", "http://127.0.0.1:{port}",
                                  "GET / HTTP/1.1"}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

// An address whose host a standard parser would read as 127.0.0.1 must not reach it.
TEST_F(WebRequestWire, HostWithUserPartIsNotReinterpreted) {
    RawRecorder server(Answer(RawRecorder::Reply("200 OK", {}, "wrong host")));
    std::string headersOut = "old";
    std::string headers;

    const Bytes body = WebRequest("http://user@127.0.0.1:" + std::to_string(server.Port()) + "/", 0,
                                  {}, {}, {}, headers, headersOut);

    EXPECT_TRUE(body.empty());
    EXPECT_EQ(server.Connections(), 0);
    // The request was formed; it just found no server.
    EXPECT_EQ(headersOut, "");
    EXPECT_TRUE(headers.starts_with("Accept: */*\r\n"));
}

struct UnformableCase {
    const char* name;
    std::string address;
};

class WebRequestUnformable : public WebFixture,
                             public ::testing::WithParamInterface<UnformableCase> {};

TEST_P(WebRequestUnformable, FailsBeforeWritingAnyArgumentBack) {
    const UnformableCase& c = GetParam();
    RawRecorder server(Answer(RawRecorder::Reply("200 OK", {}, "x")));
    std::string address = c.address;
    const size_t at = address.find("{port}");
    if (at != std::string::npos) {
        address.replace(at, 6, std::to_string(server.Port()));
    }
    std::string cookies = "c=1";
    std::string cookiesOut = "kept out";
    std::string headers = "X-Mine: 1";
    std::string headersOut = "kept headers";
    Bytes postBytes;

    const Bytes body = WebRequest(address, 1, "text", cookies, cookiesOut, headers, headersOut,
                                  false, postBytes, "");

    EXPECT_TRUE(body.empty()) << c.name;
    EXPECT_EQ(cookies, "c=1") << c.name;
    EXPECT_EQ(cookiesOut, "kept out") << c.name;
    EXPECT_EQ(headers, "X-Mine: 1") << c.name;
    EXPECT_EQ(headersOut, "kept headers") << c.name;
    EXPECT_TRUE(postBytes.empty()) << c.name;
    EXPECT_EQ(server.Connections(), 0) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WebRequestUnformable,
    ::testing::Values(UnformableCase{"port that is no number", "http://127.0.0.1:abc/"},
                      UnformableCase{"port beyond 65535", "http://127.0.0.1:65616/"},
                      UnformableCase{"negative port", "http://127.0.0.1:-80/"},
                      UnformableCase{"no host", "http:///nothing"},
                      UnformableCase{"line break in the path",
                                     "http://127.0.0.1:{port}/a\r\nX-Injected: 1"},
                      UnformableCase{"empty address", ""}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

struct CookieCase {
    const char* name;
    bool supplied;
    std::string cookies;
    std::vector<std::string> setCookies;  // reply lines
    std::string cookieLine;               // the Cookie line sent, empty for none
    std::string cookiesAfter;             // the caller's cookies afterwards (when supplied)
    std::string cookiesOut;
};

class WebRequestCookies : public WebFixture, public ::testing::WithParamInterface<CookieCase> {};

TEST_P(WebRequestCookies, SendsMergesAndReturnsCookies) {
    const CookieCase& c = GetParam();
    RawRecorder server(Answer(RawRecorder::Reply("200 OK", c.setCookies, "")));
    std::string cookies = c.cookies;
    std::string cookiesOut = "stale";

    if (c.supplied) {
        WebRequest(server.Url("/c"), 0, {}, cookies, cookiesOut);
    } else {
        WebRequest(server.Url("/c"), 0, {}, {}, cookiesOut);
    }

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u) << c.name;
    Lines cookieLines;
    for (const std::string& line : requests[0].HeaderLines()) {
        if (Lower(line).starts_with("cookie")) {
            cookieLines.push_back(line);
        }
    }
    EXPECT_EQ(cookieLines, c.cookieLine.empty() ? Lines{} : Lines{c.cookieLine}) << c.name;
    EXPECT_EQ(cookiesOut, c.cookiesOut) << c.name;
    if (c.supplied) {
        EXPECT_EQ(cookies, c.cookiesAfter) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WebRequestCookies,
    ::testing::Values(CookieCase{"left out: only what the reply set",
                                 false,
                                 "",
                                 {"Set-Cookie: a=9; path=/"},
                                 "",
                                 "",
                                 "a=9"},
                      CookieCase{"left out, no Set-Cookie", false, "", {}, "", "", ""},
                      CookieCase{"supplied: sent, then merged",
                                 true,
                                 "a=1; b=2",
                                 {"Set-Cookie: b=3; HttpOnly", "Set-Cookie: c=4"},
                                 "Cookie: a=1; b=2",
                                 "b=3; c=4; a=1",
                                 "b=3; c=4; a=1"},
                      CookieCase{"supplied with its own Cookie: prefix",
                                 true,
                                 "Cookie: a=1",
                                 {},
                                 "Cookie: a=1",
                                 "Cookie:a=1",
                                 "Cookie:a=1"},
                      CookieCase{"supplied but empty: no line, still merged",
                                 true,
                                 "",
                                 {"Set-Cookie: x = 1; path=/"},
                                 "",
                                 "x=1",
                                 "x=1"},
                      CookieCase{"deleted by the server",
                                 true,
                                 "a=1; b=2",
                                 {"Set-Cookie: a=deleted"},
                                 "Cookie: a=1; b=2",
                                 "b=2",
                                 "b=2"}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST_F(WebRequestWire, SetCookieInAnyCaseIsNormalisedAndExtracted) {
    const std::string reply =
        "HTTP/1.1 200 OK\r\nSet-Cookie: A=1; path=/\r\nset-cookie: B=2\r\nSET-COOKIE: C=3; "
        "Secure\r\nContent-Length: 2\r\n\r\nok";
    RawRecorder server(Answer(reply));
    std::string cookiesOut;
    std::string headersOut;

    EXPECT_EQ(Text(WebRequest(server.Url("/"), 0, {}, {}, cookiesOut, {}, headersOut)), "ok");

    EXPECT_EQ(cookiesOut, "A=1; B=2; C=3");
    EXPECT_EQ(headersOut,
              "HTTP/1.1 200 OK\r\nSet-Cookie: A=1; path=/\r\nSet-Cookie: B=2\r\nSet-Cookie: C=3; "
              "Secure\r\nContent-Length: 2\r\n\r\n");
}

TEST_F(WebRequestWire, HeaderBlockLinesEndInCrLfEvenWhenTheServerSentBareLf) {
    RawRecorder server(Answer("HTTP/1.1 201 Created\nX-A: 1\nContent-Length: 3\n\nabc"));
    std::string headersOut;

    EXPECT_EQ(Text(WebRequest(server.Url("/"), 0, {}, {}, {}, {}, headersOut)), "abc");

    EXPECT_EQ(headersOut, "HTTP/1.1 201 Created\r\nX-A: 1\r\nContent-Length: 3\r\n\r\n");
}

TEST_F(WebRequestWire, InterimContinueReplyIsNotTheHeaderBlock) {
    RawRecorder server(Answer("HTTP/1.1 100 Continue\r\n\r\n" +
                              RawRecorder::Reply("200 OK", {"Set-Cookie: z=1"}, "done")));
    std::string headersOut;
    std::string cookiesOut;

    EXPECT_EQ(Text(WebRequest(server.Url("/"), 1, "x", {}, cookiesOut, {}, headersOut)), "done");

    EXPECT_TRUE(headersOut.starts_with("HTTP/1.1 200 OK\r\n")) << headersOut;
    EXPECT_EQ(cookiesOut, "z=1");
}

TEST_F(WebRequestWire, OversizedHeaderBlockKeepsTheWholeLinesThatFit) {
    Lines lines = {"Set-Cookie: early=1"};
    for (int i = 0; i < 80; ++i) {
        lines.push_back("X-Filler-" + std::to_string(i) + ": " + std::string(90, 'f'));
    }
    lines.push_back("Set-Cookie: late=2");
    const std::string reply = RawRecorder::Reply("200 OK", lines, "body");
    RawRecorder server(Answer(reply));
    std::string headersOut;
    std::string cookiesOut;

    EXPECT_EQ(Text(WebRequest(server.Url("/"), 0, {}, {}, cookiesOut, {}, headersOut)), "body");

    EXPECT_LE(headersOut.size() + 1, 5000u);
    EXPECT_GT(headersOut.size(), 4800u);
    EXPECT_TRUE(reply.starts_with(headersOut));
    EXPECT_TRUE(headersOut.ends_with("\r\n"));
    EXPECT_EQ(cookiesOut, "early=1");
}

TEST_F(WebRequestWire, ErrorStatusBodiesComeBackAsTheyAre) {
    for (const char* status : {"404 Not Found", "500 Internal Server Error"}) {
        const std::string body = std::string("page for ") + status;
        RawRecorder server(Answer(RawRecorder::Reply(status, {}, body)));
        std::string headersOut;
        EXPECT_EQ(Text(WebRequest(server.Url("/missing"), 1, "a=b", {}, {}, {}, headersOut)), body);
        EXPECT_TRUE(headersOut.starts_with(std::string("HTTP/1.1 ") + status)) << headersOut;
    }
}

TEST_F(WebRequestWire, UnreachableServerGivesNoBytesButWritesBack) {
    const std::string url = "http://127.0.0.1:" + std::to_string(ClosedLoopbackPort()) + "/x";
    std::string cookies = "a = 1";
    std::string cookiesOut = "old";
    std::string headers;
    std::string headersOut = "old";
    Bytes postBytes;

    const Bytes body =
        WebRequest(url, 1, "abc", cookies, cookiesOut, headers, headersOut, {}, postBytes);

    EXPECT_TRUE(body.empty());
    EXPECT_EQ(headersOut, "");
    EXPECT_EQ(cookies, "a=1");  // the merge with nothing
    EXPECT_EQ(cookiesOut, "a=1");
    EXPECT_EQ(headers, RequestHeaderBlock("", url, "a = 1"));
    EXPECT_EQ(Text(postBytes), "abc");
}

struct StallCase {
    const char* name;
    std::string sentBeforeStall;
};

class WebRequestStall : public WebFixture, public ::testing::WithParamInterface<StallCase> {};

TEST_P(WebRequestStall, StalledServerEndsWithNoBytes) {
    const StallCase& c = GetParam();
    RawRecorder server([&](const RawRequest&) {
        return RawReply{c.sentBeforeStall, std::chrono::seconds(60)};
    });
    const auto start = std::chrono::steady_clock::now();

    const Bytes body = WebRequest(server.Url("/slow"), 1, "x");

    EXPECT_TRUE(body.empty()) << c.name;
    // Bounded by the one-second stall window of the fixture, far below the server's minute.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WebRequestStall,
    ::testing::Values(StallCase{"nothing at all", ""},
                      StallCase{"headers, then nothing",
                                "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n"},
                      StallCase{"part of the body, then nothing",
                                "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nhalf of it"}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

// A listener that never accepts, with its queue full: further handshakes get no answer.
TEST_F(WebRequestWire, ConnectTimeoutEndsAnUnansweredHandshake) {
    int port = 0;
    Socket listener = ListenOnLoopback(port);
    ASSERT_EQ(::listen(listener.Fd(), 0), 0);
    std::vector<Socket> queued;
    for (int i = 0; i < 8; ++i) {
        queued.push_back(Socket(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0)));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        ::connect(queued.back().Fd(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    WebSettings settings = CurrentWebSettings();
    settings.connectTimeout = std::chrono::milliseconds(500);
    settings.stallTime = std::chrono::seconds(60);
    SetWebSettings(settings);
    const auto start = std::chrono::steady_clock::now();

    EXPECT_TRUE(WebRequest("http://127.0.0.1:" + std::to_string(port) + "/", 1, "x").empty());

    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

// A body cut short by a closed connection is a failure, not a shorter body.
TEST_F(WebRequestWire, TruncatedBodyGivesNoBytes) {
    RawRecorder server(Answer("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly this"));
    std::string headersOut;

    EXPECT_TRUE(WebRequest(server.Url("/"), 0, {}, {}, {}, {}, headersOut).empty());
    EXPECT_TRUE(headersOut.starts_with("HTTP/1.1 200 OK\r\n"));
}

TEST_F(WebRequestWire, BodyEndedByCloseIsWhole) {
    RawRecorder server(Answer("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nuntil the end"));
    EXPECT_EQ(Text(WebRequest(server.Url("/"))), "until the end");
}

}  // namespace
}  // namespace quill::test
