#include "http/web_request.h"

#include <algorithm>
#include <string>
#include <utility>

#include "http/cookies.h"
#include "http/curl_transfer.h"
#include "http/url_header.h"
#include "http/web_request_parts.h"

namespace quill {
namespace {

constexpr std::string_view kCrLf = "\r\n";

bool HasControlByte(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

}  // namespace

std::string UserAgentFor(std::string_view headers) {
    if (Find(headers, "User-Agent:", 1, true) == -1) {
        return std::string(kDefaultUserAgent);
    }
    std::string copy(headers);
    copy += kCrLf;
    std::string agent = Trim(TextBetween(copy, "User-Agent:", kCrLf));
    if (agent.empty()) {
        // Only another letter case is present, or the value is empty.
        agent = ValueAfterColon(headers);
    }
    return agent;
}

std::string RequestHeaderBlock(std::string_view headers, std::string_view url,
                               std::string_view cookies) {
    std::string block(headers);
    if (block.empty()) {
        block = "Accept: */*";
    } else if (Find(block, "Accept:") == -1) {
        block += "\r\nAccept: */*";
    }
    if (Find(block, "Referer:") == -1) {
        block += "\r\nReferer: ";
        block += url;
    }
    if (Find(block, "Accept-Language:") == -1) {
        block += "\r\nAccept-Language: zh-cn";
    }
    if (Find(block, "Content-Type:") == -1) {
        block += "\r\nContent-Type: application/x-www-form-urlencoded";
    }
    if (!cookies.empty()) {
        block += Find(cookies, "Cookie:") != -1 ? "\r\n" : "\r\nCookie: ";
        block += cookies;
    }
    return block;
}

std::vector<std::string> HeaderBlockLines(std::string_view block) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= block.size()) {
        std::size_t end = block.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            end = block.size();
        }
        std::string_view line = block.substr(start, end - start);
        // A zero byte ends the text, as it would in a C string.
        line = line.substr(0, line.find('\0'));
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos && colon > 0) {
            lines.emplace_back(line);
        }
        if (end == block.size()) {
            break;
        }
        start = end + (block.substr(end, 2) == kCrLf ? 2 : 1);
    }
    return lines;
}

std::string CookiesFromHeaderBlock(std::string_view headerBlock) {
    std::string cookies;
    for (const std::string& line : Split(headerBlock, kCrLf)) {
        if (Find(line, "Set-Cookie") == -1) {
            continue;
        }
        if (Find(line, ";") != -1) {
            cookies += Trim(TextBetween(line, "Set-Cookie:", ";"));
        } else {
            cookies += Trim(Replace(line, "Set-Cookie:", "", false));
        }
        cookies += "; ";
    }
    if (!cookies.empty()) {
        cookies.resize(cookies.size() - 2);
    }
    return cookies;
}

Bytes WebRequest(std::string_view url, OptionalArg<int> method,
                 OptionalArg<std::string_view> postText, OptionalRef<std::string> cookies,
                 OptionalRef<std::string> cookiesOut, OptionalRef<std::string> headers,
                 OptionalRef<std::string> headersOut, OptionalArg<bool> noRedirect,
                 OptionalRef<Bytes> postBytes, OptionalArg<std::string_view> proxy) noexcept {
    try {
        static constexpr const char* kVerbs[] = {"GET", "POST", "HEAD"};
        int verb = method.Value();
        if (verb < 0 || verb > 2) {
            verb = 0;
        }
        const bool secure = Lower(Left(url, 8)) == "https://";
        const std::string callerHeaders = headers.Value();
        const std::string agent = UserAgentFor(callerHeaders);

        // A request that cannot be formed fails before anything is written back.
        const std::string host = UrlHost(url);
        const int port = UrlPort(url);
        if (host.empty() || port < 1 || port > 65535) {
            return {};
        }
        const std::string path = UrlPath(url);
        if (HasControlByte(path)) {
            return {};  // it would split the request line
        }

        const std::string sentCookies = cookies.Value();
        const std::string block = RequestHeaderBlock(callerHeaders, url, sentCookies);
        Bytes body = postBytes.Value();
        bool bodyFilled = false;
        if (verb != 0 && body.empty()) {
            body = ToBytes(postText.Value());
            bodyFilled = true;
        }

        // A host libcurl would read differently cannot be looked up as written: like any
        // unreachable server, it gives no reply.
        TransferResult reply;
        if (IsPlainHostName(host)) {
            TransferPlan plan;
            const std::string portText = std::to_string(port);
            plan.url = (secure ? "https://" : "http://") + host + ":" + portText + "/";
            const std::string proxyText(proxy.Value());
            plan.proxy = proxyText;
            plan.proxyServesHttps = secure;
            if (!proxyText.empty() && !secure) {
                // A proxy is asked for the whole address.
                plan.requestTarget = "http://" + host + (port == 80 ? "" : ":" + portText) + path;
            } else {
                plan.requestTarget = path;
            }
            plan.verb = kVerbs[verb];
            // An empty HEAD goes out without a Content-Length; a POST always has one.
            plan.sendBody = verb == 1 || (verb == 2 && !body.empty());
            plan.body = std::string_view(reinterpret_cast<const char*>(body.data()), body.size());
            plan.headerLines = HeaderBlockLines(block);
            plan.userAgent = agent;
            plan.followRedirects = !noRedirect.Value();
            reply = RunTransfer(plan);
        }

        std::string replyHeaders = Replace(reply.headerBlock, "Set-Cookie", "Set-Cookie", false);
        std::string received = CookiesFromHeaderBlock(replyHeaders);
        if (cookies.Supplied()) {
            std::string sent = sentCookies;
            received = MergeCookies(sent, received);
        }

        headers.Set(block);
        if (bodyFilled) {
            postBytes.Set(std::move(body));
        }
        headersOut.Set(std::move(replyHeaders));
        if (cookies.Supplied()) {
            cookies.Set(received);
        }
        cookiesOut.Set(std::move(received));
        return std::move(reply.body);
    } catch (...) {
        return {};
    }
}

}  // namespace quill
