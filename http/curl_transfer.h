// One HTTP exchange over a fresh libcurl handle, with the redirects it leads to.
//
// Both the web request routine and the HTTP file read go through here, so they share trust,
// time-outs, the redirect cap and the capture of the final reply's header block.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "http/text.h"
#include "http/web_settings.h"

namespace quill {

// The header block kept of a reply: 5000 bytes with a terminating NUL.
inline constexpr std::size_t kReplyHeaderLimit = 4999;

struct TransferPlan {
    // What libcurl parses and connects to. The web request routine gives only scheme, host and
    // port here and the exact path in `requestTarget`.
    std::string url;
    // The request target of the first hop, sent as it is; empty takes it from `url`.
    std::string requestTarget;
    std::string verb = "GET";  // "GET", "POST" or "HEAD"
    // The body goes out only when `sendBody` is set, with a Content-Length (also for HEAD).
    bool sendBody = false;
    std::string_view body;
    // Request header lines in the order they go out, each without its CR LF.
    std::vector<std::string> headerLines;
    // Used only when `headerLines` hold no User-Agent line.
    std::string userAgent;
    // "host:port"; empty is a direct connection. Environment proxies are never consulted.
    std::string proxy;
    // False: the proxy carries plain-http hops only, https hops go direct.
    bool proxyServesHttps = false;
    bool followRedirects = true;
    bool http10 = false;
    // Largest body accepted; a longer one fails the transfer. 0: no limit.
    std::size_t bodyLimit = 0;
};

struct TransferResult {
    // The final reply arrived whole.
    bool complete = false;
    // The body of the final reply; empty unless `complete`.
    Bytes body;
    // The final reply's header block as it arrived: status line first, every line ending in
    // CR LF, the blank line last. Only whole lines that fit in kReplyHeaderLimit bytes are kept.
    std::string headerBlock;
};

// Never throws. Redirects are followed up to the settings' cap; an https hop is never
// redirected to plain http (that redirect reply is returned as it came).
TransferResult RunTransfer(const TransferPlan& plan, const WebSettings& settings) noexcept;

// Same, with the current settings.
TransferResult RunTransfer(const TransferPlan& plan) noexcept;

// True for a host libcurl can be given exactly as it is: letters, digits, '.', '-' and '_'.
bool IsPlainHostName(std::string_view host);

}  // namespace quill
