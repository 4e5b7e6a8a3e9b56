#include "app/encoding.h"

#include <array>
#include <cstdint>

namespace quill {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<std::int8_t, 256> DecodeTable() {
    std::array<std::int8_t, 256> table{};
    for (auto& entry : table) {
        entry = -1;
    }
    for (int i = 0; i < 64; ++i) {
        table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::int8_t>(i);
    }
    return table;
}
constexpr auto kDecode = DecodeTable();

bool KeptAsIs(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
        return true;
    }
    return std::string_view(".-~!_*()'").find(static_cast<char>(c)) != std::string_view::npos;
}

}  // namespace

std::string Base64Encode(const Bytes& bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t group =
            (std::uint32_t{bytes[i]} << 16) | (std::uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
        out.push_back(kAlphabet[(group >> 18) & 63]);
        out.push_back(kAlphabet[(group >> 12) & 63]);
        out.push_back(kAlphabet[(group >> 6) & 63]);
        out.push_back(kAlphabet[group & 63]);
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        std::uint32_t group = std::uint32_t{bytes[i]} << 16;
        if (rest == 2) {
            group |= std::uint32_t{bytes[i + 1]} << 8;
        }
        out.push_back(kAlphabet[(group >> 18) & 63]);
        out.push_back(kAlphabet[(group >> 12) & 63]);
        out.push_back(rest == 2 ? kAlphabet[(group >> 6) & 63] : '=');
        out.push_back('=');
    }
    return out;
}

Bytes Base64Decode(std::string_view text) {
    std::size_t length = text.size();
    // Up to two "=" may close the text; none may stand anywhere else.
    std::size_t padding = 0;
    while (length > 0 && padding < 2 && text[length - 1] == '=') {
        --length;
        ++padding;
    }
    if (padding > 0 && text.size() % 4 != 0) {
        return {};
    }
    if (length % 4 == 1) {
        return {};
    }
    Bytes out;
    out.reserve(length / 4 * 3 + 2);
    std::uint32_t group = 0;
    int filled = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const std::int8_t value = kDecode[static_cast<unsigned char>(text[i])];
        if (value < 0) {
            return {};
        }
        group = (group << 6) | static_cast<std::uint32_t>(value);
        if (++filled == 4) {
            out.push_back(static_cast<std::uint8_t>(group >> 16));
            out.push_back(static_cast<std::uint8_t>(group >> 8));
            out.push_back(static_cast<std::uint8_t>(group));
            group = 0;
            filled = 0;
        }
    }
    if (filled == 2) {
        out.push_back(static_cast<std::uint8_t>(group >> 4));
    } else if (filled == 3) {
        out.push_back(static_cast<std::uint8_t>(group >> 10));
        out.push_back(static_cast<std::uint8_t>(group >> 2));
    }
    return out;
}

std::string PercentEncode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (KeptAsIs(byte)) {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 15]);
        }
    }
    return out;
}

}  // namespace quill
