// Address and header functions on any bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "http/url_header.h"

using namespace quill;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string address(reinterpret_cast<const char*>(data), size);
    const std::string host = UrlHost(address);
    const std::string hostWithPort = UrlHost(address, true);
    if (hostWithPort.size() < host.size()) {
        std::abort();
    }
    UrlPort(address);
    const std::string path = UrlPath(address);
    if (path.empty() || path[0] != '/') {
        std::abort();
    }
    ValueAfterColon(address);
    const std::size_t cut = address.find('\x01');
    if (cut != std::string::npos) {
        const std::string rest = address.substr(cut + 1);
        const std::size_t cut2 = rest.find('\x01');
        TextBetween(address.substr(0, cut), rest.substr(0, cut2),
                    cut2 == std::string::npos ? std::string("/") : rest.substr(cut2 + 1),
                    size > 0 ? data[0] % 5 : 1, size > 1 && (data[1] & 1));
    }
    return 0;
}
