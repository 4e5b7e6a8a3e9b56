#include "service/request_parsing.h"

#include <array>
#include <cstdint>

#include <nlohmann/json.hpp>

namespace quill::service {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

bool EqualsNoCase(std::string_view text, std::string_view lowerWord) {
    return text.size() == lowerWord.size() && StartsWithNoCase(text, lowerWord);
}

constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<std::int8_t, 256> MakeBase64Table() {
    std::array<std::int8_t, 256> table{};
    for (auto& entry : table) {
        entry = -1;
    }
    for (int i = 0; i < 64; ++i) {
        table[static_cast<unsigned char>(kBase64Alphabet[i])] = static_cast<std::int8_t>(i);
    }
    return table;
}

constexpr std::array<std::int8_t, 256> kBase64Table = MakeBase64Table();

ImageSource ImageFromFormValue(std::string value) {
    ImageSource source;
    source.kind = ImageSource::Kind::Base64;
    source.text = std::move(value);
    return source;
}

}  // namespace

bool StartsWithNoCase(std::string_view text, std::string_view lowerPrefix) {
    if (text.size() < lowerPrefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < lowerPrefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != lowerPrefix[i]) {
            return false;
        }
    }
    return true;
}

bool PercentDecode(std::string_view text, std::string& out) {
    out.clear();
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out.push_back(' ');
        } else if (c == '%') {
            if (i + 2 >= text.size()) {
                return false;
            }
            const int high = HexValue(text[i + 1]);
            const int low = HexValue(text[i + 2]);
            if (high < 0 || low < 0) {
                return false;
            }
            out.push_back(static_cast<char>(high * 16 + low));
            i += 2;
        } else {
            out.push_back(c);
        }
    }
    return true;
}

bool ParseForm(std::string_view body, std::vector<std::pair<std::string, std::string>>& fields) {
    fields.clear();
    std::size_t start = 0;
    while (start <= body.size()) {
        std::size_t end = body.find('&', start);
        if (end == std::string_view::npos) {
            end = body.size();
        }
        const std::string_view field = body.substr(start, end - start);
        if (!field.empty()) {
            const std::size_t equals = field.find('=');
            std::string name;
            std::string value;
            if (!PercentDecode(field.substr(0, equals), name)) {
                return false;
            }
            if (equals != std::string_view::npos &&
                !PercentDecode(field.substr(equals + 1), value)) {
                return false;
            }
            fields.emplace_back(std::move(name), std::move(value));
        }
        start = end + 1;
    }
    return true;
}

std::string EncodeBase64(std::string_view bytes) {
    std::string out;
    out.resize((bytes.size() + 2) / 3 * 4);
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t o = 0;
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t v = (in[i] << 16) | (in[i + 1] << 8) | in[i + 2];
        out[o++] = kBase64Alphabet[(v >> 18) & 63];
        out[o++] = kBase64Alphabet[(v >> 12) & 63];
        out[o++] = kBase64Alphabet[(v >> 6) & 63];
        out[o++] = kBase64Alphabet[v & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        std::uint32_t v = in[i] << 16;
        if (rest == 2) {
            v |= in[i + 1] << 8;
        }
        out[o++] = kBase64Alphabet[(v >> 18) & 63];
        out[o++] = kBase64Alphabet[(v >> 12) & 63];
        out[o++] = rest == 2 ? kBase64Alphabet[(v >> 6) & 63] : '=';
        out[o++] = '=';
    }
    return out;
}

std::size_t Base64DecodedSizeBound(std::string_view text) {
    return text.size() / 4 * 3 + 3;
}

bool DecodeBase64(std::string_view text, std::string& out) {
    out.clear();
    std::size_t length = text.size();
    std::size_t padding = 0;
    while (length > 0 && text[length - 1] == '=' && padding < 2) {
        --length;
        ++padding;
    }
    // Padding, when present, completes the last group to four characters.
    if (padding > 0 && (length + padding) % 4 != 0) {
        return false;
    }
    if (length % 4 == 1) {
        return false;
    }
    out.reserve(length / 4 * 3 + 2);
    std::uint32_t accumulator = 0;
    int bits = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const int value = kBase64Table[static_cast<unsigned char>(text[i])];
        if (value < 0) {
            return false;
        }
        accumulator = (accumulator << 6) | static_cast<std::uint32_t>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<char>((accumulator >> bits) & 0xFF));
        }
    }
    // The bits left over in a short last group must be zero in canonical Base64; a sender that
    // set them made some other mistake, so refuse rather than guess.
    if (bits > 0 && (accumulator & ((1u << bits) - 1)) != 0) {
        return false;
    }
    return true;
}

std::optional<std::string_view> DataUrlPayload(std::string_view dataUrl) {
    if (!StartsWithNoCase(dataUrl, "data:")) {
        return std::nullopt;
    }
    const std::size_t comma = dataUrl.find(',');
    if (comma == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view header = dataUrl.substr(5, comma - 5);
    constexpr std::string_view marker = ";base64";
    if (header.size() < marker.size() ||
        !EqualsNoCase(header.substr(header.size() - marker.size()), marker)) {
        return std::nullopt;
    }
    return dataUrl.substr(comma + 1);
}

std::optional<Failure> ParseFaceCheck(std::string_view body, FaceCheckRequest& request) {
    std::vector<std::pair<std::string, std::string>> fields;
    if (!ParseForm(body, fields)) {
        return Failure::BadRequest;
    }
    const std::string* image = nullptr;
    const std::string* imageUrl = nullptr;
    for (const auto& [name, value] : fields) {
        if (name == "image") {
            image = &value;
        } else if (name == "image_url") {
            imageUrl = &value;
        }
    }
    if (image != nullptr) {
        if (StartsWithNoCase(*image, "data:")) {
            const auto payload = DataUrlPayload(*image);
            if (!payload) {
                return Failure::BadRequest;
            }
            request.image = ImageFromFormValue(std::string(*payload));
        } else {
            request.image = ImageFromFormValue(*image);
        }
        return std::nullopt;
    }
    if (imageUrl != nullptr) {
        request.image.kind = ImageSource::Kind::Url;
        request.image.text = *imageUrl;
        return std::nullopt;
    }
    return Failure::MissingImage;
}

namespace {

using Json = nlohmann::json;

// Deeper nesting than this is no merge request; refusing it keeps the parser's stack small.
constexpr std::size_t kMaxJsonDepth = 32;

struct ImageFields {
    bool seen = false;
    bool notObject = false;
    bool badField = false;
    std::optional<std::string> image;
    std::optional<std::string> imageType;
};

// Keeps only the members a merge needs, so a body full of other values costs no memory beyond
// its own text.
class MergeSax : public nlohmann::json_sax<Json> {
  public:
    ImageFields templateImage;
    ImageFields targetImage;
    std::optional<std::string> version;
    bool rootIsObject = false;

    bool null() override { return Scalar(nullptr); }
    bool boolean(bool) override { return Scalar(nullptr); }
    bool number_integer(number_integer_t) override { return Scalar(nullptr); }
    bool number_unsigned(number_unsigned_t) override { return Scalar(nullptr); }
    bool number_float(number_float_t, const string_t&) override { return Scalar(nullptr); }
    bool string(string_t& value) override { return Scalar(&value); }
    bool binary(binary_t&) override { return Scalar(nullptr); }

    bool start_object(std::size_t) override { return Open(true); }
    bool start_array(std::size_t) override { return Open(false); }
    bool end_object() override { return Close(); }
    bool end_array() override { return Close(); }

    bool key(string_t& name) override {
        if (containers_.size() == 1) {
            topKey_ = name;
        } else if (containers_.size() == 2) {
            innerKey_ = name;
        }
        return true;
    }

    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        return false;
    }

  private:
    ImageFields* TopImage() {
        if (topKey_ == "image_template") {
            return &templateImage;
        }
        if (topKey_ == "image_target") {
            return &targetImage;
        }
        return nullptr;
    }

    // A value that is not a container, at the current position.
    bool Scalar(string_t* text) {
        if (containers_.size() == 1 && containers_[0]) {
            if (ImageFields* fields = TopImage()) {
                fields->seen = true;
                fields->notObject = true;
            } else if (topKey_ == "version" && text != nullptr) {
                version = std::move(*text);
            }
        } else if (containers_.size() == 2 && containers_[0] && containers_[1]) {
            ImageFields* fields = TopImage();
            if (fields != nullptr && (innerKey_ == "image" || innerKey_ == "image_type")) {
                auto& slot = innerKey_ == "image" ? fields->image : fields->imageType;
                if (text != nullptr) {
                    slot = std::move(*text);
                } else {
                    fields->badField = true;
                }
            }
        }
        return true;
    }

    bool Open(bool isObject) {
        if (containers_.empty()) {
            rootIsObject = isObject;
        } else if (containers_.size() == 1 && containers_[0]) {
            if (ImageFields* fields = TopImage()) {
                fields->seen = true;
                fields->notObject = !isObject;
                // A repeated member replaces the earlier one.
                fields->image.reset();
                fields->imageType.reset();
                fields->badField = false;
            }
        } else if (containers_.size() == 2 && containers_[0] && containers_[1]) {
            ImageFields* fields = TopImage();
            if (fields != nullptr && (innerKey_ == "image" || innerKey_ == "image_type")) {
                fields->badField = true;
            }
        }
        if (containers_.size() >= kMaxJsonDepth) {
            return false;
        }
        containers_.push_back(isObject);
        return true;
    }

    bool Close() {
        if (!containers_.empty()) {
            containers_.pop_back();
        }
        return true;
    }

    std::vector<bool> containers_;  // true for an object, false for an array
    std::string topKey_;
    std::string innerKey_;
};

// Literal reading of a sender that does no JSON escaping: inside strings, a backslash is itself
// and bytes outside ASCII are themselves. Those are escaped here so that a strict parser takes
// them; LiteralBytes undoes the mapping of high bytes afterwards.
std::string EscapeLiterally(std::string_view body) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(body.size() + body.size() / 8);
    bool inString = false;
    for (const char c : body) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"') {
            inString = !inString;
            out.push_back(c);
        } else if (inString && c == '\\') {
            out.append("\\\\");
        } else if (inString && (byte < 0x20 || byte >= 0x80)) {
            out.append("\\u00");
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 15]);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// UTF-8 of code points up to U+00FF back to one byte each.
std::string LiteralBytes(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if ((byte == 0xC2 || byte == 0xC3) && i + 1 < utf8.size()) {
            const auto next = static_cast<unsigned char>(utf8[i + 1]);
            out.push_back(static_cast<char>(((byte & 0x03) << 6) | (next & 0x3F)));
            ++i;
        } else {
            out.push_back(utf8[i]);
        }
    }
    return out;
}

std::optional<Failure> TakeImage(ImageFields& fields, bool literal, ImageSource& source) {
    if (!fields.seen || fields.notObject || (!fields.image && !fields.badField)) {
        return Failure::MissingImage;
    }
    if (fields.badField) {
        return Failure::BadRequest;
    }
    if (!fields.imageType) {
        return Failure::BadImageType;
    }
    std::string image = literal ? LiteralBytes(*fields.image) : std::move(*fields.image);
    if (EqualsNoCase(*fields.imageType, "base64")) {
        source.kind = ImageSource::Kind::Base64;
        // A data URL is taken too, as the face check takes it.
        if (StartsWithNoCase(image, "data:")) {
            const auto payload = DataUrlPayload(image);
            if (!payload) {
                return Failure::BadRequest;
            }
            image = std::string(*payload);
        }
    } else if (EqualsNoCase(*fields.imageType, "url")) {
        source.kind = ImageSource::Kind::Url;
    } else {
        return Failure::BadImageType;
    }
    source.text = std::move(image);
    return std::nullopt;
}

bool RunMergeSax(std::string_view body, MergeSax& sax) {
    return Json::sax_parse(body.begin(), body.end(), &sax, nlohmann::detail::input_format_t::json,
                           true);
}

std::optional<Failure> TakeMerge(MergeSax& sax, bool literal, MergeRequest& request) {
    if (!sax.rootIsObject) {
        return Failure::BadRequest;
    }
    if (auto failure = TakeImage(sax.templateImage, literal, request.templateImage)) {
        return failure;
    }
    if (auto failure = TakeImage(sax.targetImage, literal, request.targetImage)) {
        return failure;
    }
    request.version = sax.version.value_or(std::string());
    if (literal) {
        request.version = LiteralBytes(request.version);
    }
    return std::nullopt;
}

}  // namespace

std::optional<Failure> ParseMerge(std::string_view body, MergeRequest& request) {
    if (MergeSax strict; RunMergeSax(body, strict)) {
        return TakeMerge(strict, false, request);
    }
    if (MergeSax literal; RunMergeSax(EscapeLiterally(body), literal)) {
        return TakeMerge(literal, true, request);
    }
    return Failure::NotJson;
}

}  // namespace quill::service
