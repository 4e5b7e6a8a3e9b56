#include "http/url_header.h"

#include <limits>

namespace quill {
namespace {

// "#引号" in GBK: lets a caller write a marker that holds a double quote.
constexpr std::string_view kQuoteWord = "#\xD2\xFD\xBA\xC5";

}  // namespace

std::string TextBetween(std::string_view text, std::string_view startMarker,
                        std::string_view endMarker, Pos startPosition, bool ignoreCase) {
    const std::string start = Replace(startMarker, kQuoteWord, "\"");
    const std::string end = Replace(endMarker, kQuoteWord, "\"");
    Pos p = Find(text, start, startPosition, ignoreCase);
    if (p != -1) {
        p += static_cast<Pos>(start.size());
    }
    const Pos q = Find(text, end, p, ignoreCase);
    if (p == -1 || q == -1) {
        return {};
    }
    return Middle(text, p, q - p);
}

std::string ValueAfterColon(std::string_view text) {
    const Pos c = Find(text, ":");
    if (c == -1) {
        return {};
    }
    return Trim(Right(text, static_cast<Pos>(text.size()) - c));
}

std::string UrlHost(std::string_view address, bool keepPort) {
    std::string s = Lower(address);
    if (s.empty() || s.back() != '/') {
        s.push_back('/');
    }
    if (Left(s, 8) == "https://") {
        s = TextBetween(s, "https://", "/");
    } else {
        if (Find(s, "http://") == -1) {
            s.insert(0, "http://");
        }
        s = TextBetween(s, "http://", "/");
    }
    const Pos colon = Find(s, ":");
    if (keepPort || colon == -1) {
        return s;
    }
    return Left(s, colon - 1);
}

int UrlPort(std::string_view address) {
    const std::string host = UrlHost(address, true);
    const Pos c = FindLast(host, ":");
    if (c == -1) {
        // Five bytes, not "https://": "httpsx://h/" counts as secure here.
        return Left(Lower(address), 5) == "https" ? 443 : 80;
    }
    const std::int64_t port = ToInteger(Right(host, static_cast<Pos>(host.size()) - c));
    constexpr std::int64_t kMax = std::numeric_limits<int>::max();
    constexpr std::int64_t kMin = std::numeric_limits<int>::min();
    return static_cast<int>(port > kMax ? kMax : (port < kMin ? kMin : port));
}

std::string UrlPath(std::string_view address) {
    const std::string host = UrlHost(address);
    const Pos a = Find(address, host, 1, true);
    const Pos b = Find(address, "/", a, true);
    if (b <= 0) {
        return "/";
    }
    return Right(address, static_cast<Pos>(address.size()) - b + 1);
}

}  // namespace quill
