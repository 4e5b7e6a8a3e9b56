#include "http/file_fetch.h"

#include <string>

#include "http/curl_transfer.h"
#include "http/gbk_codec.h"
#include "http/web_request_parts.h"

namespace quill {
namespace {

// Typed addresses are GBK text; servers expect UTF-8 in percent-encoded form.
// Empty when the address cannot be sent as it stands.
std::string AddressForWire(std::string_view typed) {
    const std::string trimmed = Trim(typed);
    bool exact = true;
    const std::string utf8 = Utf8FromGbk(trimmed, &exact);
    if (!exact) {
        return {};
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string address;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            return {};
        }
        if (byte == ' ' || byte >= 0x80) {
            address += '%';
            address += kHex[byte >> 4];
            address += kHex[byte & 0x0F];
        } else {
            address += c;
        }
    }
    if (!address.empty() && address.find("://") == std::string::npos) {
        address.insert(0, "http://");
    }
    return address;
}

}  // namespace

Bytes HttpFileRead(std::string_view url) noexcept {
    try {
        const std::string address = AddressForWire(url);
        if (address.empty()) {
            return {};
        }
        const WebSettings settings = CurrentWebSettings();
        TransferPlan plan;
        plan.url = address;
        plan.verb = "GET";
        plan.headerLines = {"Accept: */*"};
        plan.userAgent = std::string(kDefaultUserAgent);
        plan.http10 = true;
        plan.bodyLimit = settings.fileReadLimit;
        TransferResult reply = RunTransfer(plan, settings);
        if (!reply.complete) {
            return {};
        }
        return std::move(reply.body);
    } catch (...) {
        return {};
    }
}

}  // namespace quill
