#include "json/engine_text.h"

#include <cstdint>
#include <cstring>

#include "http/gbk_codec.h"

namespace quill {
namespace {

// ASCII is the same in GBK and CESU-8, and replies are mostly ASCII (Base64 pictures): such texts
// cross unchanged instead of twice through the converter.
bool IsAscii(std::string_view text) {
    const char* data = text.data();
    std::size_t size = text.size();
    std::uint64_t seen = 0;
    while (size >= 8) {
        std::uint64_t word;
        std::memcpy(&word, data, 8);
        seen |= word;
        data += 8;
        size -= 8;
    }
    while (size > 0) {
        seen |= static_cast<unsigned char>(*data);
        ++data;
        --size;
    }
    return (seen & 0x8080808080808080ULL) == 0;
}

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

}  // namespace

std::string Cesu8FromUtf16(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (const char16_t unit : utf16) {
        if (unit < 0x80) {
            out.push_back(static_cast<char>(unit));
        } else if (unit < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (unit >> 6)));
            out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (unit >> 12)));
            out.push_back(static_cast<char>(0x80 | ((unit >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
        }
    }
    return out;
}

std::u16string Utf16FromCesu8(std::string_view cesu8) {
    std::u16string out;
    out.reserve(cesu8.size());
    const auto* bytes = reinterpret_cast<const unsigned char*>(cesu8.data());
    const std::size_t size = cesu8.size();
    std::size_t i = 0;
    while (i < size) {
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        std::size_t length = 0;
        char32_t codePoint = 0;
        char32_t smallest = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            codePoint = lead & 0x1F;
            smallest = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            codePoint = lead & 0x0F;
            smallest = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            codePoint = lead & 0x07;
            smallest = 0x10000;
        }
        bool wellFormed = length != 0 && i + length <= size;
        for (std::size_t k = 1; wellFormed && k < length; ++k) {
            wellFormed = IsContinuation(bytes[i + k]);
            codePoint = (codePoint << 6) | (bytes[i + k] & 0x3F);
        }
        if (!wellFormed || codePoint < smallest || codePoint > 0x10FFFF) {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        if (codePoint >= 0x10000) {
            codePoint -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 | (codePoint >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 | (codePoint & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(codePoint));
        }
        i += length;
    }
    return out;
}

std::string EngineTextFromGbk(std::string gbk) {
    if (IsAscii(gbk)) {
        return gbk;
    }
    return Cesu8FromUtf16(Utf16FromGbk(gbk));
}

std::string GbkFromEngineText(std::string engineText) {
    if (IsAscii(engineText)) {
        return engineText;
    }
    return GbkFromUtf16(Utf16FromCesu8(engineText));
}

}  // namespace quill
