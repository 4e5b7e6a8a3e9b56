#include "http/text.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace quill {
namespace {

using Size = std::string_view::size_type;

// Length of the character that starts at `i`: 2 for a lead byte with a byte after it, else 1.
Size CharLength(std::string_view text, Size i) {
    return (IsGbkLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
}

constexpr char kFullWidthSpaceByte = '\xA1';

bool IsSpaceAt(std::string_view text, Size i, Size length) {
    return (length == 1 && text[i] == ' ') ||
           (length == 2 && text[i] == kFullWidthSpaceByte && text[i + 1] == kFullWidthSpaceByte);
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Finds matches of `part` that begin on character boundaries, left to right. One cursor walks
// the boundaries while a byte search proposes candidates, so a whole scan stays linear.
class BoundarySearch {
  public:
    BoundarySearch(std::string_view text, std::string_view part) : text_(text), part_(part) {}

    // The first match at or after byte offset `from`; `from` never goes backwards between calls.
    Size Next(Size from) {
        while (true) {
            const Size candidate = text_.find(part_, from);
            if (candidate == std::string_view::npos) {
                return std::string_view::npos;
            }
            while (boundary_ < candidate) {
                boundary_ += CharLength(text_, boundary_);
            }
            if (boundary_ == candidate) {
                return candidate;
            }
            // The candidate was the second byte of a double-byte character.
            from = boundary_;
        }
    }

  private:
    std::string_view text_;
    std::string_view part_;
    Size boundary_ = 0;
};

Size FindOffset(std::string_view text, std::string_view part, Size from) {
    return BoundarySearch(text, part).Next(from);
}

}  // namespace

std::string Lower(std::string_view text) {
    std::string out(text);
    for (Size i = 0; i < out.size();) {
        const Size length = CharLength(text, i);
        if (length == 1) {
            out[i] = LowerAscii(out[i]);
        }
        i += length;
    }
    return out;
}

Pos Find(std::string_view text, std::string_view part, Pos start, bool ignoreCase) {
    if (start < 1) {
        start = 1;
    }
    const Size from = static_cast<Size>(start - 1);
    if (part.empty()) {
        return from < text.size() ? 1 : -1;
    }
    if (from >= text.size() || part.size() > text.size() - from) {
        return -1;
    }
    Size found;
    if (ignoreCase) {
        const std::string lowerText = Lower(text);
        const std::string lowerPart = Lower(part);
        found = FindOffset(lowerText, lowerPart, from);
    } else {
        found = FindOffset(text, part, from);
    }
    return found == std::string_view::npos ? -1 : static_cast<Pos>(found) + 1;
}

Pos FindLast(std::string_view text, std::string_view part) {
    if (part.empty()) {
        return text.empty() ? -1 : 1;
    }
    BoundarySearch search(text, part);
    Pos last = -1;
    Size from = 0;
    while (true) {
        const Size found = search.Next(from);
        if (found == std::string_view::npos) {
            return last;
        }
        last = static_cast<Pos>(found) + 1;
        from = found + CharLength(text, found);
    }
}

std::string Left(std::string_view text, Pos n) {
    if (n <= 0) {
        return {};
    }
    return std::string(text.substr(0, static_cast<Size>(n)));
}

std::string Right(std::string_view text, Pos n) {
    if (n <= 0) {
        return {};
    }
    const Size count = std::min(static_cast<Size>(n), text.size());
    return std::string(text.substr(text.size() - count));
}

std::string Middle(std::string_view text, Pos position, Pos n) {
    if (n <= 0 || position < 1 || static_cast<Size>(position) > text.size()) {
        return {};
    }
    return std::string(text.substr(static_cast<Size>(position - 1), static_cast<Size>(n)));
}

std::string Trim(std::string_view text) {
    Size begin = 0;
    Size end = 0;  // one past the last character that is not a space
    bool seenNonSpace = false;
    for (Size i = 0; i < text.size();) {
        const Size length = CharLength(text, i);
        if (!IsSpaceAt(text, i, length)) {
            if (!seenNonSpace) {
                begin = i;
                seenNonSpace = true;
            }
            end = i + length;
        }
        i += length;
    }
    return seenNonSpace ? std::string(text.substr(begin, end - begin)) : std::string();
}

std::string RemoveAllSpaces(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (Size i = 0; i < text.size();) {
        const Size length = CharLength(text, i);
        if (!IsSpaceAt(text, i, length)) {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out;
}

std::string Replace(std::string_view text, std::string_view part, std::string_view replacement,
                    bool caseSensitive) {
    if (text.empty() || part.empty()) {
        return std::string(text);
    }
    std::string lowered;
    std::string loweredPart;
    std::string_view haystack = text;
    std::string_view needle = part;
    if (!caseSensitive) {
        lowered = Lower(text);
        loweredPart = Lower(part);
        haystack = lowered;
        needle = loweredPart;
    }
    BoundarySearch search(haystack, needle);
    std::string out;
    out.reserve(text.size());
    Size copied = 0;
    Size from = 0;
    while (from < haystack.size()) {
        const Size found = search.Next(from);
        if (found == std::string_view::npos) {
            break;
        }
        out.append(text.substr(copied, found - copied));
        out.append(replacement);
        copied = found + part.size();
        from = copied;
    }
    out.append(text.substr(copied));
    return out;
}

std::vector<std::string> Split(std::string_view text, std::string_view separator) {
    std::vector<std::string> pieces;
    if (text.empty()) {
        return pieces;
    }
    if (separator.empty()) {
        pieces.emplace_back(text);
        return pieces;
    }
    BoundarySearch search(text, separator);
    Size from = 0;
    while (true) {
        const Size found = search.Next(from);
        if (found == std::string_view::npos) {
            break;
        }
        pieces.emplace_back(text.substr(from, found - from));
        from = found + separator.size();
    }
    if (from < text.size()) {
        pieces.emplace_back(text.substr(from));
    }
    return pieces;
}

std::int64_t ToInteger(std::string_view text) {
    // Narrow the full-width forms that can make up a number: digits, signs and the ideographic
    // space (GBK A3B0..A3B9, A3AB, A3AD, A1A1).
    std::string narrow;
    narrow.reserve(text.size());
    for (Size i = 0; i < text.size();) {
        const Size length = CharLength(text, i);
        if (length == 2) {
            const auto lead = static_cast<unsigned char>(text[i]);
            const auto trail = static_cast<unsigned char>(text[i + 1]);
            if (lead == 0xA3 && trail >= 0xB0 && trail <= 0xB9) {
                narrow.push_back(static_cast<char>('0' + (trail - 0xB0)));
            } else if (lead == 0xA3 && trail == 0xAB) {
                narrow.push_back('+');
            } else if (lead == 0xA3 && trail == 0xAD) {
                narrow.push_back('-');
            } else if (lead == 0xA1 && trail == 0xA1) {
                narrow.push_back(' ');
            } else {
                narrow.append(text.substr(i, 2));
            }
        } else {
            narrow.push_back(text[i]);
        }
        i += length;
    }

    Size i = 0;
    while (i < narrow.size() && (narrow[i] == ' ' || (narrow[i] >= '\t' && narrow[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < narrow.size() && (narrow[i] == '+' || narrow[i] == '-')) {
        negative = narrow[i] == '-';
        ++i;
    }
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    std::int64_t value = 0;  // accumulated as a negative number so that the minimum fits
    for (; i < narrow.size() && narrow[i] >= '0' && narrow[i] <= '9'; ++i) {
        const int digit = narrow[i] - '0';
        if (value < (kMin + digit) / 10) {
            return negative ? kMin : kMax;
        }
        value = value * 10 - digit;
    }
    if (negative) {
        return value;
    }
    return value == kMin ? kMax : -value;
}

}  // namespace quill
