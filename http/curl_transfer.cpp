#include "http/curl_transfer.h"

#include <curl/curl.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace quill {
namespace {

using Clock = std::chrono::steady_clock;

// A Location value longer than this is not followed.
constexpr std::size_t kLocationLimit = 16 * 1024;
// A declared Content-Length is trusted for reserving memory only up to this much.
constexpr curl_off_t kReserveLimit = curl_off_t{256} << 20;

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, SlistDeleter>;

struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;

struct CurlTextDeleter {
    void operator()(char* text) const { curl_free(text); }
};
using CurlText = std::unique_ptr<char, CurlTextDeleter>;

bool GlobalInit() {
    static const bool ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ok;
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return AsciiLower(x) == AsciiLower(y);
           });
}

// The name of a header line, before its colon (or the ';' libcurl reads as an empty value).
std::string_view HeaderName(std::string_view line) {
    std::size_t end = line.find(':');
    if (end == std::string_view::npos) {
        end = line.find(';');
    }
    return end == std::string_view::npos ? std::string_view{} : line.substr(0, end);
}

bool HasHeader(const std::vector<std::string>& lines, std::string_view name) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        return EqualsIgnoreCase(HeaderName(line), name);
    });
}

// Everything one hop collects; the callbacks write here and never throw.
struct Hop {
    CURL* handle = nullptr;
    Bytes body;
    std::string headerBlock;
    bool headersDone = false;
    bool headerOverflow = false;
    std::string location;
    bool interimReply = false;
    // A HEAD that carries a body goes out as a POST would; its reply has no body, so the hop
    // ends at the blank line after the final reply's headers.
    bool endAtHeaders = false;
    bool endedAtHeaders = false;
    std::size_t bodyLimit = 0;
    curl_off_t headerBytes = 0;
    // Stall window.
    Clock::time_point windowStart;
    curl_off_t windowStartBytes = 0;
    std::chrono::milliseconds stallTime{};
    curl_off_t stallBytes = 0;

    void Reset() {
        body.clear();
        headerBlock.clear();
        headersDone = false;
        headerOverflow = false;
        location.clear();
        interimReply = false;
        endedAtHeaders = false;
        headerBytes = 0;
        windowStart = Clock::now();
        windowStartBytes = 0;
    }
};

size_t OnHeader(char* data, size_t size, size_t count, void* user) noexcept {
    Hop& hop = *static_cast<Hop*>(user);
    const size_t n = size * count;
    hop.headerBytes += static_cast<curl_off_t>(n);
    std::string_view line(data, n);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    if (line.starts_with("HTTP/")) {
        // A new reply: an interim 1xx one is replaced by what follows it.
        hop.body.clear();
        hop.headerBlock.clear();
        hop.headersDone = false;
        hop.headerOverflow = false;
        hop.location.clear();
        const std::size_t space = line.find(' ');
        hop.interimReply =
            space != std::string_view::npos && line.substr(space + 1).starts_with('1');
    } else if (hop.headersDone) {
        return n;  // trailers of a chunked body are no part of the header block
    }
    try {
        if (!hop.headerOverflow) {
            if (hop.headerBlock.size() + line.size() + 2 <= kReplyHeaderLimit) {
                hop.headerBlock.append(line);
                hop.headerBlock.append("\r\n");
            } else {
                hop.headerOverflow = true;
            }
        }
        if (EqualsIgnoreCase(HeaderName(line), "Location") &&
            line[HeaderName(line).size()] == ':') {
            hop.location = Trim(line.substr(9));
            while (!hop.location.empty() && hop.location.back() == '\t') {
                hop.location.pop_back();
            }
        }
    } catch (...) {
        return 0;
    }
    if (line.empty()) {
        hop.headersDone = true;
        if (hop.endAtHeaders && !hop.interimReply) {
            hop.endedAtHeaders = true;
            return 0;  // stops the transfer: nothing more belongs to this reply
        }
    }
    return n;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) noexcept {
    Hop& hop = *static_cast<Hop*>(user);
    const size_t n = size * count;
    if (hop.bodyLimit != 0 && n > hop.bodyLimit - std::min(hop.bodyLimit, hop.body.size())) {
        return 0;
    }
    try {
        if (hop.body.empty()) {
            curl_off_t declared = -1;
            if (curl_easy_getinfo(hop.handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &declared) ==
                    CURLE_OK &&
                declared > 0) {
                curl_off_t reserve = std::min(declared, kReserveLimit);
                if (hop.bodyLimit != 0) {
                    reserve = std::min(reserve, static_cast<curl_off_t>(hop.bodyLimit));
                }
                hop.body.reserve(static_cast<size_t>(reserve));
            }
        }
        hop.body.insert(hop.body.end(), data, data + n);
    } catch (...) {
        return 0;
    }
    return n;
}

int OnProgress(void* user, curl_off_t, curl_off_t downloaded, curl_off_t,
               curl_off_t uploaded) noexcept {
    Hop& hop = *static_cast<Hop*>(user);
    const Clock::time_point now = Clock::now();
    if (now - hop.windowStart < hop.stallTime) {
        return 0;
    }
    const curl_off_t moved = downloaded + uploaded + hop.headerBytes;
    if (moved - hop.windowStartBytes < hop.stallBytes) {
        return 1;  // stalled: abort
    }
    hop.windowStart = now;
    hop.windowStartBytes = moved;
    return 0;
}

// Adds the one extra trusted certificate to the store libcurl has filled from the system's.
CURLcode OnSslContext(CURL*, void* context, void* user) noexcept {
    const std::string& pem = *static_cast<const std::string*>(user);
    if (pem.empty()) {
        return CURLE_OK;
    }
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    if (bio == nullptr) {
        return CURLE_OUT_OF_MEMORY;
    }
    X509* certificate = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    if (certificate != nullptr) {
        X509_STORE_add_cert(SSL_CTX_get_cert_store(static_cast<SSL_CTX*>(context)), certificate);
        X509_free(certificate);
    }
    // A duplicate or an unreadable certificate leaves an error that libcurl must not pick up.
    ERR_clear_error();
    return CURLE_OK;
}

struct Origin {
    std::string scheme;
    std::string host;
    std::string port;
    bool operator==(const Origin&) const = default;
};

std::optional<std::string> UrlPart(CURLU* url, CURLUPart part, unsigned int flags = 0) {
    char* text = nullptr;
    if (curl_url_get(url, part, &text, flags) != CURLUE_OK || text == nullptr) {
        return std::nullopt;
    }
    CurlText owner(text);
    return std::string(text);
}

std::optional<Origin> OriginOf(CURLU* url) {
    auto scheme = UrlPart(url, CURLUPART_SCHEME);
    auto host = UrlPart(url, CURLUPART_HOST);
    auto port = UrlPart(url, CURLUPART_PORT, CURLU_DEFAULT_PORT);
    if (!scheme || !host || !port) {
        return std::nullopt;
    }
    return Origin{Lower(*scheme), Lower(*host), *port};
}

// The address the first hop's relative redirects resolve against.
std::string FirstHopAddress(const TransferPlan& plan) {
    if (plan.requestTarget.empty()) {
        return plan.url;
    }
    if (plan.requestTarget.front() != '/') {
        return plan.requestTarget;  // absolute form, as sent to a proxy
    }
    std::string base = plan.url;
    while (!base.empty() && base.back() == '/') {
        base.pop_back();
    }
    return base + plan.requestTarget;
}

constexpr unsigned int kUrlFlags = CURLU_URLENCODE | CURLU_ALLOW_SPACE | CURLU_PATH_AS_IS;

UrlHandle ParseAddress(const std::string& address, const std::string& fallback) {
    UrlHandle url(curl_url());
    if (!url) {
        return {};
    }
    if (curl_url_set(url.get(), CURLUPART_URL, address.c_str(), kUrlFlags) == CURLUE_OK ||
        curl_url_set(url.get(), CURLUPART_URL, fallback.c_str(), 0) == CURLUE_OK) {
        return url;
    }
    return {};
}

bool IsFollowedStatus(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

HeaderList MakeHeaderList(const std::vector<std::string>& lines, bool dropCredentials) {
    HeaderList list;
    auto add = [&list](const char* line) {
        curl_slist* grown = curl_slist_append(list.get(), line);
        if (grown == nullptr) {
            return false;
        }
        (void)list.release();
        list.reset(grown);
        return true;
    };
    for (const std::string& line : lines) {
        const std::string_view name = HeaderName(line);
        if (dropCredentials &&
            (EqualsIgnoreCase(name, "Cookie") || EqualsIgnoreCase(name, "Authorization") ||
             EqualsIgnoreCase(name, "Host"))) {
            continue;
        }
        // libcurl drops a "Name:" line with a blank value; "Name;" is how it sends one.
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos &&
            line.find_first_not_of(" \t", colon + 1) == std::string::npos) {
            const std::string empty = line.substr(0, colon) + ";";
            if (!add(empty.c_str())) {
                return {};
            }
        } else if (!add(line.c_str())) {
            return {};
        }
    }
    // Never wait for a "100 Continue": the body goes out at once. A caller's own Expect line
    // comes first and wins.
    if (!add("Expect:")) {
        return {};
    }
    return list;
}

bool SetBaseOptions(CURL* handle, Hop& hop, const TransferPlan& plan, const WebSettings& settings,
                    const std::string& agent, curl_slist* proxyHeaders) {
    bool ok = true;
    auto set = [&](CURLoption option, auto value) {
        ok = ok && curl_easy_setopt(handle, option, value) == CURLE_OK;
    };
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    set(CURLOPT_HTTP_VERSION,
        plan.http10 ? long{CURL_HTTP_VERSION_1_0} : long{CURL_HTTP_VERSION_1_1});
    set(CURLOPT_FOLLOWLOCATION, 0L);
    set(CURLOPT_CONNECTTIMEOUT_MS,
        static_cast<long>(std::max<long long>(1, settings.connectTimeout.count())));
    set(CURLOPT_NOPROGRESS, 0L);
    set(CURLOPT_XFERINFOFUNCTION, &OnProgress);
    set(CURLOPT_XFERINFODATA, static_cast<void*>(&hop));
    set(CURLOPT_HEADERFUNCTION, &OnHeader);
    set(CURLOPT_HEADERDATA, static_cast<void*>(&hop));
    set(CURLOPT_WRITEFUNCTION, &OnBody);
    set(CURLOPT_WRITEDATA, static_cast<void*>(&hop));
    set(CURLOPT_SSL_VERIFYPEER, 1L);
    set(CURLOPT_SSL_VERIFYHOST, 2L);
    set(CURLOPT_PROXY_SSL_VERIFYPEER, 1L);
    set(CURLOPT_PROXY_SSL_VERIFYHOST, 2L);
    set(CURLOPT_SSL_CTX_FUNCTION, &OnSslContext);
    set(CURLOPT_SSL_CTX_DATA,
        static_cast<void*>(const_cast<std::string*>(&settings.extraCertificatePem)));
#if LIBCURL_VERSION_NUM >= 0x075700
    // The store is filled anew per handle, so a changed extra certificate takes effect at once.
    set(CURLOPT_CA_CACHE_TIMEOUT, 0L);
#endif
    // Bytes exactly as they came; only the transfer encoding is undone.
    set(CURLOPT_HTTP_CONTENT_DECODING, 0L);
    set(CURLOPT_HTTP_TRANSFER_DECODING, 1L);
    set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    set(CURLOPT_HEADEROPT, long{CURLHEADER_SEPARATE});
    set(CURLOPT_PROXYHEADER, proxyHeaders);
    set(CURLOPT_NOPROXY, "");
    if (!agent.empty()) {
        set(CURLOPT_USERAGENT, agent.c_str());
    }
    if (plan.bodyLimit != 0) {
        set(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(plan.bodyLimit));
    }
    return ok;
}

bool SetMethod(CURL* handle, Hop& hop, const std::string& verb, bool sendBody,
               std::string_view body) {
    bool ok = true;
    auto set = [&](CURLoption option, auto value) {
        ok = ok && curl_easy_setopt(handle, option, value) == CURLE_OK;
    };
    set(CURLOPT_CUSTOMREQUEST, static_cast<const char*>(nullptr));
    set(CURLOPT_HTTPGET, 1L);
    hop.endAtHeaders = false;
    if (sendBody) {
        set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        set(CURLOPT_POSTFIELDS, body.empty() ? "" : body.data());
        if (verb != "POST") {
            set(CURLOPT_CUSTOMREQUEST, verb.c_str());
            hop.endAtHeaders = verb == "HEAD";
        }
    } else if (verb == "HEAD") {
        set(CURLOPT_NOBODY, 1L);
    }
    return ok;
}

}  // namespace

bool IsPlainHostName(std::string_view host) {
    return !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '-' || c == '_';
    });
}

TransferResult RunTransfer(const TransferPlan& plan) noexcept {
    try {
        return RunTransfer(plan, CurrentWebSettings());
    } catch (...) {
        return {};
    }
}

TransferResult RunTransfer(const TransferPlan& plan, const WebSettings& settings) noexcept {
    TransferResult result;
    try {
        if (!GlobalInit()) {
            return result;
        }
        EasyHandle handle(curl_easy_init());
        if (!handle) {
            return result;
        }
        Hop hop;
        hop.handle = handle.get();
        hop.bodyLimit = plan.bodyLimit;
        hop.stallTime = std::max(settings.stallTime, std::chrono::milliseconds{1});
        hop.stallBytes = static_cast<curl_off_t>(settings.stallBytes);

        // The agent goes out only when the caller's lines name none, and never with a line break.
        std::string agent;
        if (!HasHeader(plan.headerLines, "User-Agent")) {
            agent = plan.userAgent.substr(0, plan.userAgent.find_first_of("\r\n"));
        }
        HeaderList proxyHeaders;
        {
            curl_slist* list = curl_slist_append(nullptr, "Proxy-Connection:");
            if (list == nullptr) {
                return result;
            }
            proxyHeaders.reset(list);
        }
        if (!SetBaseOptions(handle.get(), hop, plan, settings, agent, proxyHeaders.get())) {
            return result;
        }

        UrlHandle current = ParseAddress(FirstHopAddress(plan), plan.url);
        std::string verb = plan.verb;
        bool sendBody = plan.sendBody;
        bool crossedOrigin = false;
        std::string nextUrl = plan.url;
        std::string proxy = plan.proxy;
        std::vector<HeaderList> lists;  // alive until the handle is gone

        for (int redirects = 0;; ++redirects) {
            const bool firstHop = redirects == 0;
            lists.push_back(MakeHeaderList(plan.headerLines, crossedOrigin));
            if (!lists.back()) {
                return result;
            }
            bool ok = curl_easy_setopt(handle.get(), CURLOPT_URL, nextUrl.c_str()) == CURLE_OK;
            ok = ok && curl_easy_setopt(handle.get(), CURLOPT_REQUEST_TARGET,
                                        firstHop && !plan.requestTarget.empty()
                                            ? plan.requestTarget.c_str()
                                            : nullptr) == CURLE_OK;
            ok = ok && curl_easy_setopt(handle.get(), CURLOPT_PROXY, proxy.c_str()) == CURLE_OK;
            ok = ok &&
                 curl_easy_setopt(handle.get(), CURLOPT_HTTPHEADER, lists.back().get()) == CURLE_OK;
            ok = ok && SetMethod(handle.get(), hop, verb, sendBody, plan.body);
            if (!ok) {
                return result;
            }

            hop.Reset();
            const CURLcode code = curl_easy_perform(handle.get());
            result.headerBlock = hop.headersDone ? hop.headerBlock : std::string{};
            if (code != CURLE_OK && !(code == CURLE_WRITE_ERROR && hop.endedAtHeaders)) {
                return result;
            }

            long status = 0;
            curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &status);
            const bool follow = plan.followRedirects && IsFollowedStatus(status) &&
                                !hop.location.empty() && hop.location.size() <= kLocationLimit &&
                                redirects < settings.maxRedirects && current;
            std::optional<Origin> from = follow ? OriginOf(current.get()) : std::nullopt;
            UrlHandle next;
            std::optional<Origin> to;
            if (from) {
                next.reset(curl_url_dup(current.get()));
                if (next && curl_url_set(next.get(), CURLUPART_URL, hop.location.c_str(),
                                         CURLU_URLENCODE | CURLU_ALLOW_SPACE) == CURLUE_OK) {
                    to = OriginOf(next.get());
                }
            }
            // Only http and https, and never from https down to plain http.
            const bool allowed = to && (to->scheme == "http" || to->scheme == "https") &&
                                 !(from->scheme == "https" && to->scheme == "http");
            std::optional<std::string> address =
                allowed ? UrlPart(next.get(), CURLUPART_URL) : std::nullopt;
            if (!address) {
                result.complete = true;
                result.body = std::move(hop.body);
                return result;
            }

            crossedOrigin = crossedOrigin || !(*from == *to);
            if (plan.proxy.empty() || (to->scheme == "https" && !plan.proxyServesHttps)) {
                proxy.clear();
            } else {
                proxy = plan.proxy;
            }
            if ((status == 303 && verb != "HEAD") ||
                ((status == 301 || status == 302) && verb == "POST")) {
                verb = "GET";
                sendBody = false;
            }
            nextUrl = std::move(*address);
            current = std::move(next);
        }
    } catch (...) {
        return TransferResult{};
    }
}

}  // namespace quill
