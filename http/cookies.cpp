#include "http/cookies.h"

namespace quill {

std::string MergeCookies(std::string& sent, std::string& received) {
    sent = RemoveAllSpaces(sent);
    received = RemoveAllSpaces(received);

    const std::vector<std::string> sentItems = Split(sent, ";");
    std::vector<std::string> items = Split(received, ";");
    // `items` grows while the sent cookies are appended, so among sent cookies of one name the
    // first wins, and a received cookie wins over all of them.
    for (const std::string& item : sentItems) {
        if (!HasCookieName(items, CookieName(item))) {
            items.push_back(item);
        }
    }

    std::string merged;
    for (const std::string& item : items) {
        if (Right(item, 8) != "=deleted") {
            merged += item;
            merged += "; ";
        }
    }
    if (!merged.empty()) {
        merged.resize(merged.size() - 2);
    }
    sent = RemoveDuplicateItems(merged, "; ");
    return sent;
}

std::string CookieName(std::string_view item) {
    const Pos c = Find(item, "=");
    return Trim(c == -1 ? std::string(item) : Left(item, c - 1));
}

bool HasCookieName(const std::vector<std::string>& items, std::string_view name) {
    for (const std::string& item : items) {
        if (CookieName(item) == name) {
            return true;
        }
    }
    return false;
}

std::string RemoveDuplicateItems(std::string_view text, std::string_view separator) {
    std::vector<std::string> kept;
    std::string joined;
    for (std::string& item : Split(text, separator)) {
        if (FindItem(kept, item) == -1) {
            joined += item;
            joined += separator;
            kept.push_back(std::move(item));
        }
    }
    return Left(joined, static_cast<Pos>(joined.size()) - static_cast<Pos>(separator.size()));
}

Pos FindItem(const std::vector<std::string>& items, std::string_view text) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i] == text) {
            return static_cast<Pos>(i) + 1;
        }
    }
    return -1;
}

}  // namespace quill
