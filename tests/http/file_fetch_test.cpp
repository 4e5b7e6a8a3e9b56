// The HTTP file read against local servers.

#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "http/file_fetch.h"
#include "http/web_request_parts.h"
#include "tests/http/web_request_fixture.h"
#include "tests/support/local_http_server.h"
#include "tests/support/raw_recorder.h"

namespace quill::test {
namespace {

std::string Text(const Bytes& bytes) {
    return ToText(bytes);
}

class FileFetch : public WebFixture {};

TEST_F(FileFetch, OneHttp10GetWithAcceptAndNothingElse) {
    RawRecorder server([](const RawRequest&) {
        return RawReply{RawRecorder::Reply("200 OK", {"Content-Type: image/png"}, "PNGDATA")};
    });

    EXPECT_EQ(Text(HttpFileRead(server.Url("/pics/a.png?v=2"))), "PNGDATA");

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].RequestLine(), "GET /pics/a.png?v=2 HTTP/1.0");
    std::vector<std::string> lines = requests[0].HeaderLines();
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{"Accept: */*",
                                               "Host: 127.0.0.1:" + std::to_string(server.Port()),
                                               "User-Agent: " + std::string(kDefaultUserAgent)}));
}

struct ReplyCase {
    const char* name;
    std::string reply;
    std::string body;  // what the read gives
};

class FileFetchReply : public WebFixture, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(FileFetchReply, GivesTheWholeBodyWhateverTheStatusAndNothingWhenCut) {
    const ReplyCase& c = GetParam();
    RawRecorder server([&](const RawRequest&) { return RawReply{c.reply}; });
    EXPECT_EQ(Text(HttpFileRead(server.Url("/x.jpg"))), c.body) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileFetchReply,
    ::testing::Values(
        ReplyCase{"not found page", RawRecorder::Reply("404 Not Found", {}, "no such picture"),
                  "no such picture"},
        ReplyCase{"server error page", RawRecorder::Reply("503 Busy", {}, "later"), "later"},
        ReplyCase{"HTTP/1.0 reply ended by close", "HTTP/1.0 200 OK\r\n\r\nraw bytes", "raw bytes"},
        ReplyCase{"chunked reply",
                  "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                  "3\r\nabc\r\n2\r\nde\r\n0\r\n\r\n",
                  "abcde"},
        ReplyCase{"cut short", "HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\npart", ""}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

struct AddressCase {
    const char* name;
    std::string address;      // {base} stands for "127.0.0.1:<port>"
    std::string requestLine;  // empty: no request may reach the server
};

class FileFetchAddress : public WebFixture, public ::testing::WithParamInterface<AddressCase> {};

TEST_P(FileFetchAddress, SendsWhatAServerCanReadAndRefusesTheRest) {
    const AddressCase& c = GetParam();
    RawRecorder server(
        [](const RawRequest&) { return RawReply{RawRecorder::Reply("200 OK", {}, "img")}; });
    std::string address = c.address;
    const size_t at = address.find("{base}");
    if (at != std::string::npos) {
        address.replace(at, 6, "127.0.0.1:" + std::to_string(server.Port()));
    }

    const Bytes body = HttpFileRead(address);

    const auto requests = server.Requests();
    if (c.requestLine.empty()) {
        EXPECT_TRUE(body.empty()) << c.name;
        EXPECT_EQ(server.Connections(), 0) << c.name;
    } else {
        EXPECT_EQ(Text(body), "img") << c.name;
        ASSERT_EQ(requests.size(), 1u) << c.name;
        EXPECT_EQ(requests[0].RequestLine(), c.requestLine) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileFetchAddress,
    ::testing::Values(
        AddressCase{"empty", "", ""}, AddressCase{"spaces only", "   ", ""},
        AddressCase{"no scheme", "{base}/a.png", "GET /a.png HTTP/1.0"},
        AddressCase{"spaces around", "  http://{base}/a.png  ", "GET /a.png HTTP/1.0"},
        // "图" in GBK; servers expect UTF-8, percent-encoded.
        AddressCase{"Chinese file name", "http://{base}/\xCD\xBC.png",
                    "GET /%E5%9B%BE.png HTTP/1.0"},
        AddressCase{"space inside", "http://{base}/my pic.png", "GET /my%20pic.png HTTP/1.0"},
        AddressCase{"fragment stays home", "http://{base}/a.png#top", "GET /a.png HTTP/1.0"},
        AddressCase{"line break", "http://{base}/a.png\r\nX: 1", ""},
        AddressCase{"other scheme", "ftp://{base}/a.png", ""}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST_F(FileFetch, BodyOverTheLimitGivesNothing) {
    const std::string picture(3000, 'p');
    LocalHttpServer server([&](httplib::Server& s) {
        s.Get("/big.png", [&](const httplib::Request&, httplib::Response& response) {
            response.set_content(picture, "image/png");
        });
        // No declared length: the limit must hold while the body streams in.
        s.Get("/stream.png", [&](const httplib::Request&, httplib::Response& response) {
            response.set_chunked_content_provider(
                "image/png", [&](size_t offset, httplib::DataSink& sink) {
                    if (offset < picture.size()) {
                        sink.write(picture.data() + offset,
                                   std::min<size_t>(500, picture.size() - offset));
                    } else {
                        sink.done();
                    }
                    return true;
                });
        });
    });
    WebSettings settings = CurrentWebSettings();
    for (const char* path : {"/big.png", "/stream.png"}) {
        settings.fileReadLimit = 2999;
        SetWebSettings(settings);
        EXPECT_TRUE(HttpFileRead(server.Url(path)).empty()) << path;
        settings.fileReadLimit = 3000;
        SetWebSettings(settings);
        EXPECT_EQ(Text(HttpFileRead(server.Url(path))), picture) << path;
    }
}

TEST_F(FileFetch, FollowsRedirectsIncludingToHttps) {
    LocalHttpServer secure(
        [](httplib::Server& s) {
            s.Get("/real.png", [](const httplib::Request&, httplib::Response& response) {
                response.set_content("secure picture", "image/png");
            });
        },
        LoopbackCertificate());
    LocalHttpServer plain([&](httplib::Server& s) {
        s.Get("/moved.png", [&](const httplib::Request&, httplib::Response& response) {
            response.set_redirect(secure.Url("/real.png"), 301);
        });
    });
    Trust(LoopbackCertificate());

    EXPECT_EQ(Text(HttpFileRead(plain.Url("/moved.png"))), "secure picture");
    EXPECT_EQ(Text(HttpFileRead(secure.Url("/real.png"))), "secure picture");
}

TEST_F(FileFetch, UnreachableUntrustedOrStalledGivesNothing) {
    LocalHttpServer secure(
        [](httplib::Server& s) {
            s.Get("/p.png", [](const httplib::Request&, httplib::Response& response) {
                response.set_content("picture", "image/png");
            });
        },
        LoopbackCertificate());
    RawRecorder stalled([](const RawRequest&) {
        return RawReply{"HTTP/1.0 200 OK\r\n\r\nfirst bytes", std::chrono::seconds(60)};
    });

    EXPECT_TRUE(HttpFileRead("http://127.0.0.1:" + std::to_string(ClosedLoopbackPort()) + "/p.png")
                    .empty());
    EXPECT_TRUE(HttpFileRead(secure.Url("/p.png")).empty());  // test certificate not trusted
    EXPECT_TRUE(HttpFileRead(stalled.Url("/p.png")).empty());
}

}  // namespace
}  // namespace quill::test
