// WebRequest against cpp-httplib servers on loopback: redirects, TLS trust, proxies, big replies.

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <vector>

#include "http/web_request.h"
#include "tests/http/web_request_fixture.h"
#include "tests/support/forward_proxy.h"
#include "tests/support/local_http_server.h"
#include "tests/support/raw_recorder.h"

namespace quill::test {
namespace {

std::string Text(const Bytes& bytes) {
    return ToText(bytes);
}

class WebRequestServer : public WebFixture {};

// What one request looked like on arrival.
struct Seen {
    std::string method;
    std::string path;
    std::string body;
    std::string cookie;
};

// A plain server with a handful of redirecting routes; `seen` records every request.
LocalHttpServer::Routes RedirectRoutes(std::vector<Seen>& seen, std::mutex& mutex) {
    return [&seen, &mutex](httplib::Server& server) {
        auto record = [&seen, &mutex](const httplib::Request& request) {
            std::lock_guard lock(mutex);
            seen.push_back(
                {request.method, request.path, request.body, request.get_header_value("Cookie")});
        };
        server.Get("/dir/from",
                   [record](const httplib::Request& request, httplib::Response& response) {
                       record(request);
                       response.set_redirect("to?q=1", 302);  // relative to /dir/
                       response.set_header("Set-Cookie", "hop=1; path=/");
                       response.set_content("moved", "text/plain");
                   });
        server.Get(
            "/dir/to", [record](const httplib::Request& request, httplib::Response& response) {
                record(request);
                response.set_header("Set-Cookie", "final=1; path=/");
                response.set_content("arrived " + request.get_param_value("q"), "text/plain");
            });
        server.Get("/loop", [record](const httplib::Request& request, httplib::Response& response) {
            record(request);
            response.set_redirect("/loop", 302);
            response.set_content("loop", "text/plain");
        });
        for (int status : {301, 302, 303, 307, 308}) {
            server.Post(
                "/post/" + std::to_string(status),
                [record, status](const httplib::Request& request, httplib::Response& response) {
                    record(request);
                    response.set_redirect("/landing", status);
                });
        }
        auto landing = [record](const httplib::Request& request, httplib::Response& response) {
            record(request);
            response.set_content(request.method + " " + request.body, "text/plain");
        };
        server.Get("/landing", landing);
        server.Post("/landing", landing);
    };
}

TEST_F(WebRequestServer, RedirectIsFollowedAndTheFinalReplyComesBack) {
    std::vector<Seen> seen;
    std::mutex mutex;
    LocalHttpServer server(RedirectRoutes(seen, mutex));
    ASSERT_TRUE(server.Running());
    std::string headersOut;
    std::string cookiesOut;

    const Bytes body = WebRequest(server.Url("/dir/from"), 0, {}, {}, cookiesOut, {}, headersOut);

    EXPECT_EQ(Text(body), "arrived 1");
    EXPECT_TRUE(headersOut.starts_with("HTTP/1.1 200 OK\r\n")) << headersOut;
    EXPECT_EQ(cookiesOut, "final=1");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].path, "/dir/to");
    // No cookie store: what the first hop set is not sent on.
    EXPECT_EQ(seen[1].cookie, "");
}

TEST_F(WebRequestServer, NoRedirectReturnsTheRedirectReplyItself) {
    std::vector<Seen> seen;
    std::mutex mutex;
    LocalHttpServer server(RedirectRoutes(seen, mutex));
    std::string headersOut;

    const Bytes body = WebRequest(server.Url("/dir/from"), 0, {}, {}, {}, {}, headersOut, true);

    EXPECT_EQ(Text(body), "moved");
    EXPECT_TRUE(headersOut.starts_with("HTTP/1.1 302 Found\r\n")) << headersOut;
    EXPECT_NE(headersOut.find("Location: to?q=1\r\n"), std::string::npos) << headersOut;
    EXPECT_EQ(seen.size(), 1u);
}

TEST_F(WebRequestServer, RedirectLoopEndsAtTheCap) {
    std::vector<Seen> seen;
    std::mutex mutex;
    LocalHttpServer server(RedirectRoutes(seen, mutex));
    WebSettings settings = CurrentWebSettings();
    settings.maxRedirects = 4;
    SetWebSettings(settings);
    std::string headersOut;

    const Bytes body = WebRequest(server.Url("/loop"), 0, {}, {}, {}, {}, headersOut);

    EXPECT_EQ(Text(body), "loop");
    EXPECT_TRUE(headersOut.starts_with("HTTP/1.1 302")) << headersOut;
    EXPECT_EQ(seen.size(), 5u);
}

struct PostRedirectCase {
    int status;
    std::string landing;  // what the landing page saw: method and body
};

class WebRequestPostRedirect : public WebFixture,
                               public ::testing::WithParamInterface<PostRedirectCase> {};

TEST_P(WebRequestPostRedirect, PostBecomesGetExceptOn307And308) {
    const PostRedirectCase& c = GetParam();
    std::vector<Seen> seen;
    std::mutex mutex;
    LocalHttpServer server(RedirectRoutes(seen, mutex));

    EXPECT_EQ(Text(WebRequest(server.Url("/post/" + std::to_string(c.status)), 1, "k=v")),
              c.landing);
}

INSTANTIATE_TEST_SUITE_P(Statuses, WebRequestPostRedirect,
                         ::testing::Values(PostRedirectCase{301, "GET "},
                                           PostRedirectCase{302, "GET "},
                                           PostRedirectCase{303, "GET "},
                                           PostRedirectCase{307, "POST k=v"},
                                           PostRedirectCase{308, "POST k=v"}));

TEST_F(WebRequestServer, CookieLineStaysWithItsOwnServerAcrossRedirects) {
    std::vector<Seen> otherSeen;
    std::mutex mutex;
    LocalHttpServer other(RedirectRoutes(otherSeen, mutex));
    LocalHttpServer first([&](httplib::Server& server) {
        server.Get("/same", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("/echo", 302);
        });
        server.Get("/echo", [](const httplib::Request& request, httplib::Response& response) {
            response.set_content("cookie " + request.get_header_value("Cookie"), "text/plain");
        });
        server.Get("/away", [&](const httplib::Request&, httplib::Response& response) {
            response.set_redirect(other.Url("/landing"), 302);
        });
    });
    std::string cookies = "sid=7";

    EXPECT_EQ(Text(WebRequest(first.Url("/same"), 0, {}, cookies)), "cookie sid=7");
    cookies = "sid=7";
    EXPECT_EQ(Text(WebRequest(first.Url("/away"), 0, {}, cookies)), "GET ");
    ASSERT_EQ(otherSeen.size(), 1u);
    EXPECT_EQ(otherSeen[0].cookie, "");
}

class WebRequestTls : public WebFixture {
  protected:
    static LocalHttpServer::Routes Hello() {
        return [](httplib::Server& server) {
            server.Post("/aidemo",
                        [](const httplib::Request& request, httplib::Response& response) {
                            response.set_content("secure " + request.body, "text/plain");
                        });
            server.Get("/down", [](const httplib::Request&, httplib::Response& response) {
                response.set_redirect(plainTarget, 302);
                response.set_content("refused downgrade", "text/plain");
            });
        };
    }
    static inline std::string plainTarget;
};

TEST_F(WebRequestTls, TrustedTestCertificateCarriesThePost) {
    LocalHttpServer server(Hello(), LoopbackCertificate());
    ASSERT_TRUE(server.Running());
    Trust(LoopbackCertificate());

    EXPECT_EQ(Text(WebRequest(server.Url("/aidemo"), 1, "a=1")), "secure a=1");
    // Upper-case scheme counts as secure.
    std::string upper = server.Url("/aidemo");
    upper.replace(0, 5, "HTTPS");
    EXPECT_EQ(Text(WebRequest(upper, 1, "b=2")), "secure b=2");
}

TEST_F(WebRequestTls, UntrustedOrMisnamedPeerGivesNoBytes) {
    LocalHttpServer server(Hello(), LoopbackCertificate());
    const std::string byName = "https://localhost:" + std::to_string(server.Port()) + "/aidemo";

    // The built-in certificate is not the test server's.
    EXPECT_TRUE(WebRequest(server.Url("/aidemo"), 1, "a=1").empty());
    // Trusted, but the certificate names 127.0.0.1 only.
    Trust(LoopbackCertificate());
    EXPECT_TRUE(WebRequest(byName, 1, "a=1").empty());
    // Another certificate for the right address is not trusted either.
    Trust(MakeTestCertificate({"127.0.0.1"}));
    EXPECT_TRUE(WebRequest(server.Url("/aidemo"), 1, "a=1").empty());
}

TEST_F(WebRequestTls, PlainAddressMayBeRedirectedToHttpsButNotBack) {
    LocalHttpServer secure(Hello(), LoopbackCertificate());
    std::vector<Seen> plainSeen;
    std::mutex mutex;
    LocalHttpServer plain([&](httplib::Server& server) {
        RedirectRoutes(plainSeen, mutex)(server);
        server.Post("/up", [&](const httplib::Request&, httplib::Response& response) {
            response.set_redirect(secure.Url("/aidemo"), 307);
        });
    });
    Trust(LoopbackCertificate());
    plainTarget = plain.Url("/landing");
    std::string headersOut;

    EXPECT_EQ(Text(WebRequest(plain.Url("/up"), 1, "z=9")), "secure z=9");
    EXPECT_EQ(Text(WebRequest(secure.Url("/down"), 0, {}, {}, {}, {}, headersOut)),
              "refused downgrade");
    EXPECT_TRUE(headersOut.starts_with("HTTP/1.1 302")) << headersOut;
    EXPECT_TRUE(plainSeen.empty());
}

TEST_F(WebRequestServer, FiftyMegabyteReplyArrivesWhole) {
    constexpr size_t kSize = 50u << 20;
    std::string payload(kSize, '\0');
    for (size_t i = 0; i < kSize; ++i) {
        payload[i] = static_cast<char>((i * 131 + i / 4096) & 0xFF);
    }
    LocalHttpServer server([&](httplib::Server& s) {
        s.Get("/big", [&](const httplib::Request&, httplib::Response& response) {
            response.set_content(payload, "application/octet-stream");
        });
    });

    const Bytes body = WebRequest(server.Url("/big"));

    ASSERT_EQ(body.size(), kSize);
    EXPECT_TRUE(std::equal(body.begin(), body.end(), payload.begin(), [](std::uint8_t a, char b) {
        return a == static_cast<std::uint8_t>(b);
    }));
}

class WebRequestProxy : public WebFixture {
  protected:
    static LocalHttpServer::Routes Echo(const char* tag) {
        return [tag](httplib::Server& server) {
            auto echo = [tag](const httplib::Request& request, httplib::Response& response) {
                response.set_content(std::string(tag) + " " + request.method + " " + request.target,
                                     "text/plain");
            };
            server.Get("/.*", echo);
            server.Post("/.*", echo);
        };
    }
};

TEST_F(WebRequestProxy, PlainAddressGoesThroughTheProxyWithTheWholeAddress) {
    RawRecorder origin(
        [](const RawRequest&) { return RawReply{RawRecorder::Reply("200 OK", {}, "via proxy")}; });
    ForwardProxy proxy;
    const std::string url = origin.Url("/p?q=1");

    EXPECT_EQ(Text(WebRequest(url, 1, "x=1", {}, {}, {}, {}, {}, {}, proxy.Address())),
              "via proxy");

    ASSERT_EQ(proxy.RequestLines().size(), 1u);
    EXPECT_EQ(proxy.RequestLines()[0], "POST " + url + " HTTP/1.1");
    // The proxy sees the same block as a server would, and no proxy header of libcurl's own.
    RawRequest asSeen{proxy.Heads()[0]};
    EXPECT_EQ(LinesBeyondClientOwn(asSeen),
              (std::vector<std::string>{"Accept: */*", "Referer: " + url, "Accept-Language: zh-cn",
                                        "Content-Type: application/x-www-form-urlencoded"}));
    ASSERT_EQ(origin.Requests().size(), 1u);
    EXPECT_EQ(origin.Requests()[0].RequestLine(), "POST /p?q=1 HTTP/1.1");
    EXPECT_EQ(origin.Requests()[0].Body(), "x=1");
}

TEST_F(WebRequestProxy, SecureAddressTunnelsThroughTheProxy) {
    LocalHttpServer secure(Echo("tls"), LoopbackCertificate());
    ForwardProxy proxy;
    Trust(LoopbackCertificate());

    EXPECT_EQ(Text(WebRequest(secure.Url("/s"), 1, "", {}, {}, {}, {}, {}, {}, proxy.Address())),
              "tls POST /s");

    EXPECT_EQ(proxy.RequestLines(),
              std::vector<std::string>{"CONNECT 127.0.0.1:" + std::to_string(secure.Port()) +
                                       " HTTP/1.1"});
}

// With a plain address the proxy is for plain http only: the https hop goes direct.
TEST_F(WebRequestProxy, PlainAddressRedirectedToHttpsLeavesTheProxy) {
    LocalHttpServer secure(Echo("tls"), LoopbackCertificate());
    LocalHttpServer plain([&](httplib::Server& server) {
        server.Get("/up", [&](const httplib::Request&, httplib::Response& response) {
            response.set_redirect(secure.Url("/landed"), 302);
        });
    });
    ForwardProxy proxy;
    Trust(LoopbackCertificate());

    EXPECT_EQ(Text(WebRequest(plain.Url("/up"), 0, {}, {}, {}, {}, {}, {}, {}, proxy.Address())),
              "tls GET /landed");

    EXPECT_EQ(proxy.RequestLines(),
              std::vector<std::string>{"GET " + plain.Url("/up") + " HTTP/1.1"});
}

TEST_F(WebRequestProxy, EnvironmentProxiesAreNeverConsulted) {
    LocalHttpServer plain(Echo("direct"));
    ForwardProxy proxy;
    const std::string address = "http://" + proxy.Address();
    for (const char* name :
         {"http_proxy", "HTTPS_PROXY", "https_proxy", "ALL_PROXY", "all_proxy"}) {
        setenv(name, address.c_str(), 1);
    }

    const std::string body = Text(WebRequest(plain.Url("/e"), 0));

    for (const char* name :
         {"http_proxy", "HTTPS_PROXY", "https_proxy", "ALL_PROXY", "all_proxy"}) {
        unsetenv(name);
    }
    EXPECT_EQ(body, "direct GET /e");
    EXPECT_TRUE(proxy.RequestLines().empty());
}

}  // namespace
}  // namespace quill::test
