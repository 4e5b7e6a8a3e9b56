#include "http/gbk_codec.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>
#include <unicode/ustring.h>

#include <climits>
#include <memory>

namespace quill {
namespace {

struct ConverterCloser {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// ICU converters are not thread-safe; each thread keeps its own.
UConverter* Gbk() {
    thread_local Converter converter = [] {
        UErrorCode status = U_ZERO_ERROR;
        return Converter(ucnv_open("windows-936", &status));
    }();
    if (converter) {
        ucnv_reset(converter.get());
    }
    return converter.get();
}

// Substitutes like ICU's own callback and notes that it had to.
void NoteFromUnicode(const void* context, UConverterFromUnicodeArgs* args, const UChar* units,
                     int32_t length, UChar32 codePoint, UConverterCallbackReason reason,
                     UErrorCode* status) {
    if (reason <= UCNV_IRREGULAR) {
        *static_cast<bool*>(const_cast<void*>(context)) = false;
    }
    UCNV_FROM_U_CALLBACK_SUBSTITUTE(nullptr, args, units, length, codePoint, reason, status);
}

void NoteToUnicode(const void* context, UConverterToUnicodeArgs* args, const char* bytes,
                   int32_t length, UConverterCallbackReason reason, UErrorCode* status) {
    if (reason <= UCNV_IRREGULAR) {
        *static_cast<bool*>(const_cast<void*>(context)) = false;
    }
    UCNV_TO_U_CALLBACK_SUBSTITUTE(nullptr, args, bytes, length, reason, status);
}

void SetExact(bool* exact, bool value) {
    if (exact != nullptr) {
        *exact = value;
    }
}

// ICU measures lengths in int32_t; beyond that nothing is converted rather than something wrong.
constexpr std::size_t kMaxUnits = INT32_MAX / 2;

}  // namespace

std::string GbkFromUtf16(std::u16string_view utf16, bool* exact) {
    SetExact(exact, true);
    if (utf16.empty()) {
        return {};
    }
    UConverter* converter = Gbk();
    if (converter == nullptr || utf16.size() > kMaxUnits) {
        SetExact(exact, false);
        return {};
    }
    bool clean = true;
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setFromUCallBack(converter, NoteFromUnicode, &clean, nullptr, nullptr, &status);
    // A BMP character takes at most two GBK bytes, and a surrogate pair one substitute byte.
    std::string out(utf16.size() * 2, '\0');
    const int32_t length =
        ucnv_fromUChars(converter, out.data(), static_cast<int32_t>(out.size()), utf16.data(),
                        static_cast<int32_t>(utf16.size()), &status);
    ucnv_setFromUCallBack(converter, UCNV_FROM_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr,
                          &status);
    if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING) {
        SetExact(exact, false);
        return {};
    }
    out.resize(static_cast<std::size_t>(length));
    SetExact(exact, clean);
    return out;
}

std::u16string Utf16FromGbk(std::string_view gbk, bool* exact) {
    SetExact(exact, true);
    if (gbk.empty()) {
        return {};
    }
    UConverter* converter = Gbk();
    if (converter == nullptr || gbk.size() > kMaxUnits) {
        SetExact(exact, false);
        return {};
    }
    bool clean = true;
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setToUCallBack(converter, NoteToUnicode, &clean, nullptr, nullptr, &status);
    // Every GBK byte gives at most one UTF-16 unit.
    std::u16string out(gbk.size(), u'\0');
    const int32_t length = ucnv_toUChars(converter, out.data(), static_cast<int32_t>(out.size()),
                                         gbk.data(), static_cast<int32_t>(gbk.size()), &status);
    ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr,
                        &status);
    if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING) {
        SetExact(exact, false);
        return {};
    }
    out.resize(static_cast<std::size_t>(length));
    SetExact(exact, clean);
    return out;
}

std::string GbkFromUtf8(std::string_view utf8, bool* exact) {
    SetExact(exact, true);
    if (utf8.empty()) {
        return {};
    }
    if (utf8.size() > kMaxUnits) {
        SetExact(exact, false);
        return {};
    }
    std::u16string units(utf8.size(), u'\0');
    int32_t length = 0;
    int32_t substitutions = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(units.data(), static_cast<int32_t>(units.size()), &length, utf8.data(),
                         static_cast<int32_t>(utf8.size()), 0xFFFD, &substitutions, &status);
    if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING) {
        SetExact(exact, false);
        return {};
    }
    units.resize(static_cast<std::size_t>(length));
    bool clean = true;
    std::string out = GbkFromUtf16(units, &clean);
    SetExact(exact, clean && substitutions == 0);
    return out;
}

std::string Utf8FromGbk(std::string_view gbk, bool* exact) {
    bool clean = true;
    const std::u16string units = Utf16FromGbk(gbk, &clean);
    SetExact(exact, clean);
    if (units.empty()) {
        return {};
    }
    // A UTF-16 unit takes at most three UTF-8 bytes.
    std::string out(units.size() * 3, '\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, units.data(),
                       static_cast<int32_t>(units.size()), 0xFFFD, nullptr, &status);
    if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING) {
        SetExact(exact, false);
        return {};
    }
    out.resize(static_cast<std::size_t>(length));
    return out;
}

}  // namespace quill
