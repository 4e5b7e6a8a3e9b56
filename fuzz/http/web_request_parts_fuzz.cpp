// The header and cookie text rules of the web request routine on any bytes. Input: caller
// headers, address and cookies separated by 0x01 bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "http/web_request_parts.h"

using namespace quill;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t a = input.find('\x01');
    const std::string headers = input.substr(0, a);
    const std::string rest = a == std::string::npos ? std::string{} : input.substr(a + 1);
    const std::size_t b = rest.find('\x01');
    const std::string url = rest.substr(0, b);
    const std::string cookies = b == std::string::npos ? std::string{} : rest.substr(b + 1);

    UserAgentFor(headers);
    const std::string block = RequestHeaderBlock(headers, url, cookies);
    if (!std::string_view(block).starts_with(headers)) {
        std::abort();  // the caller's lines come first, unchanged
    }
    // Every line that goes out is one whole header line with a name.
    for (const std::string& line : HeaderBlockLines(block)) {
        const std::size_t colon = line.find(':');
        if (line.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos ||
            colon == std::string::npos || colon == 0) {
            std::abort();
        }
    }
    CookiesFromHeaderBlock(input);
    return 0;
}
