// Reply conversion and the codec: never a zero byte in a result, and exact conversions round-trip.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "http/gbk_codec.h"
#include "http/reply_text.h"

using namespace quill;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Bytes bytes(data, data + size);
    const std::string local = Utf8ToLocal(bytes);
    if (local.find('\0') != std::string::npos) {
        std::abort();
    }
    const std::string input(reinterpret_cast<const char*>(data), size);
    bool exact = false;
    const std::string gbk = GbkFromUtf8(input, &exact);
    if (exact && Utf8FromGbk(gbk) != input) {
        std::abort();
    }
    const std::string utf8 = Utf8FromGbk(input, &exact);
    if (exact && GbkFromUtf8(utf8) != input) {
        std::abort();
    }
    return 0;
}
