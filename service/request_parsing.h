// Parsing of what the client sends: the face check's form body with its data URL, and the merge's
// JSON body. Pure functions over bytes, so they can be fuzzed on their own.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "service/replies.h"

namespace quill::service {

// ASCII letters compared without case; `lowerPrefix` is in lower case.
bool StartsWithNoCase(std::string_view text, std::string_view lowerPrefix);

// Decodes one form value: "%XY" is a byte, "+" a space. False on a malformed escape.
bool PercentDecode(std::string_view text, std::string& out);

// Splits a form body into decoded name/value pairs, in order. False on a malformed escape.
bool ParseForm(std::string_view body, std::vector<std::pair<std::string, std::string>>& fields);

// Standard alphabet with "=" padding, no line breaks.
std::string EncodeBase64(std::string_view bytes);

// Standard alphabet; padding may be left off. No white space, nothing after the padding.
bool DecodeBase64(std::string_view text, std::string& out);

// Bytes that `text` decodes to at most, without decoding it.
std::size_t Base64DecodedSizeBound(std::string_view text);

// The Base64 payload of a "data:<type>;base64,<payload>" address. Any media type is accepted,
// since senders label every picture image/png whatever it holds.
std::optional<std::string_view> DataUrlPayload(std::string_view dataUrl);

// Where the bytes of one image come from.
struct ImageSource {
    enum class Kind { Base64, Url };
    Kind kind = Kind::Base64;
    std::string text;  // the Base64 payload or the address
};

struct FaceCheckRequest {
    ImageSource image;
};

// The form body of a face check: an `image` data URL (or bare Base64) or an `image_url`.
std::optional<Failure> ParseFaceCheck(std::string_view body, FaceCheckRequest& request);

struct MergeRequest {
    ImageSource templateImage;
    ImageSource targetImage;
    std::string version;
};

// The JSON body of a merge. Senders put Base64 texts and addresses between the quotes as they
// are, so a body that is not strict JSON is read once more with backslashes and bytes outside
// ASCII taken literally.
std::optional<Failure> ParseMerge(std::string_view body, MergeRequest& request);

}  // namespace quill::service
