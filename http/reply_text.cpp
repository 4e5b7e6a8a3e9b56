#include "http/reply_text.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <memory>

namespace quill {
namespace {

struct ConverterCloser {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter Open(const char* name) {
    UErrorCode status = U_ZERO_ERROR;
    Converter converter(ucnv_open(name, &status));
    return U_SUCCESS(status) ? std::move(converter) : Converter();
}

}  // namespace

std::string Utf8ToLocal(const Bytes& bytes) {
    if (bytes.empty()) {
        return {};
    }
    // The text ends at the first zero byte of the result, and only an input zero byte makes one;
    // what follows it can be left unconverted.
    const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    const auto size = static_cast<std::size_t>(end - bytes.begin());
    if (size == 0) {
        return {};
    }

    const Converter utf8 = Open("UTF-8");
    const Converter gbk = Open("windows-936");
    if (!utf8 || !gbk) {
        return {};
    }

    // Streamed through a pivot in pieces: no int32 length limit, and no whole UTF-16 copy.
    // Both converters substitute by default: U+FFFD for malformed UTF-8, then GBK's "?".
    std::string out;
    out.reserve(size + size / 2);
    const char* source = reinterpret_cast<const char*>(bytes.data());
    const char* const sourceEnd = source + size;
    UChar pivot[4096];
    UChar* pivotSource = pivot;
    UChar* pivotTarget = pivot;
    char buffer[16384];
    bool reset = true;
    while (true) {
        char* target = buffer;
        UErrorCode status = U_ZERO_ERROR;
        ucnv_convertEx(gbk.get(), utf8.get(), &target, buffer + sizeof buffer, &source, sourceEnd,
                       pivot, &pivotSource, &pivotTarget, pivot + 4096, reset,
                       /*flush=*/true, &status);
        reset = false;
        out.append(buffer, static_cast<std::size_t>(target - buffer));
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            continue;
        }
        break;
    }
    return out;
}

}  // namespace quill
