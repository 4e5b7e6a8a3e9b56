#include "service/request_parsing.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace quill::service {
namespace {

TEST(PercentDecodeTest, DecodesEscapesAndPlus) {
    struct Case {
        std::string in;
        bool ok;
        std::string out;
    };
    const Case cases[] = {
        {"a%20b", true, "a b"},
        {"a+b", true, "a b"},
        {"%2B%2F%3D", true, "+/="},
        {"%e4%B8%ad", true, "\xe4\xb8\xad"},
        {"%00", true, std::string(1, '\0')},
        {"100%", false, ""},
        {"%2", false, ""},
        {"%zz", false, ""},
        {"%%41", false, ""},
    };
    for (const Case& c : cases) {
        std::string out;
        EXPECT_EQ(PercentDecode(c.in, out), c.ok) << c.in;
        if (c.ok) {
            EXPECT_EQ(out, c.out) << c.in;
        }
    }
}

TEST(ParseFormTest, SplitsFieldsInOrder) {
    std::vector<std::pair<std::string, std::string>> fields;
    ASSERT_TRUE(ParseForm("type=face&&flag&image_url=a%3Db%26c&=x", fields));
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"type", "face"}, {"flag", ""}, {"image_url", "a=b&c"}, {"", "x"}};
    EXPECT_EQ(fields, expected);
    EXPECT_FALSE(ParseForm("image=%G1", fields));
}

TEST(Base64Test, RoundTripsEveryLengthAndByte) {
    std::string bytes;
    for (int i = 0; i < 300; ++i) {
        bytes.push_back(static_cast<char>(i * 7));
        const std::string text = EncodeBase64(bytes);
        ASSERT_EQ(text.size() % 4, 0u);
        std::string back;
        ASSERT_TRUE(DecodeBase64(text, back)) << text;
        ASSERT_EQ(back, bytes);
        EXPECT_LE(back.size(), Base64DecodedSizeBound(text));
    }
    EXPECT_EQ(EncodeBase64(""), "");
    EXPECT_EQ(EncodeBase64("\xfb\xff"), "+/8=");
}

TEST(Base64Test, DecodesOnlyCanonicalText) {
    struct Case {
        const char* text;
        bool ok;
        const char* bytes;
    };
    const Case cases[] = {
        {"", true, ""},      {"QQ==", true, "A"},     {"QQ", true, "A"},   {"QUI=", true, "AB"},
        {"QUI", true, "AB"}, {"Q", false, ""},        {"QQ=", false, ""},  {"Q===", false, ""},
        {"QR==", false, ""}, {"QQ==QQ==", false, ""}, {"QU I", false, ""}, {"QUJD\n", false, ""},
        {"QUJ-", false, ""}, {"====", false, ""},
    };
    for (const Case& c : cases) {
        std::string out;
        EXPECT_EQ(DecodeBase64(c.text, out), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(out, c.bytes) << c.text;
        }
    }
}

TEST(DataUrlTest, TakesBase64PayloadOfAnyMediaType) {
    struct Case {
        const char* url;
        bool ok;
        const char* payload;
    };
    const Case cases[] = {
        {"data:image/png;base64,QUJD", true, "QUJD"},
        {"DATA:image/jpeg;BASE64,QUJD", true, "QUJD"},
        {"data:;base64,", true, ""},
        {"data:image/png;base64,a,b", true, "a,b"},
        {"data:image/png,QUJD", false, ""},
        {"data:image/png;base64", false, ""},
        {"image/png;base64,QUJD", false, ""},
    };
    for (const Case& c : cases) {
        const auto payload = DataUrlPayload(c.url);
        EXPECT_EQ(payload.has_value(), c.ok) << c.url;
        if (payload) {
            EXPECT_EQ(*payload, c.payload) << c.url;
        }
    }
}

TEST(ParseFaceCheckTest, ReadsWhatTheClientSends) {
    struct Case {
        std::string body;
        std::optional<Failure> failure;
        ImageSource::Kind kind;
        std::string text;
    };
    const Case cases[] = {
        {"type=face&image_type=BASE64&image=data%3Aimage%2Fpng%3Bbase64%2CiVBO%2B%2F%3D",
         std::nullopt, ImageSource::Kind::Base64, "iVBO+/="},
        {"type=face&image_type=BASE64&image_url=https%3A%2F%2Fh%2F%B2%E2%2520.png%3Fa%3D1%26b",
         std::nullopt, ImageSource::Kind::Url, "https://h/\xb2\xe2%20.png?a=1&b"},
        {"type=face&image_type=BASE64&image_url=%20%20", std::nullopt, ImageSource::Kind::Url,
         "  "},
        // An inline image wins over an address; bare Base64 is taken too.
        {"image_url=http%3A%2F%2Fh%2F&image=QUJD", std::nullopt, ImageSource::Kind::Base64, "QUJD"},
        {"type=face&image_type=BASE64&image=data%3Aimage%2Fpng%3Bbase64%2C", std::nullopt,
         ImageSource::Kind::Base64, ""},
        {"type=face&image_type=BASE64", Failure::MissingImage, {}, ""},
        {"", Failure::MissingImage, {}, ""},
        {"image=%ZZ", Failure::BadRequest, {}, ""},
        {"image=data%3Aimage%2Fpng%2CQUJD", Failure::BadRequest, {}, ""},
    };
    for (const Case& c : cases) {
        FaceCheckRequest request;
        EXPECT_EQ(ParseFaceCheck(c.body, request), c.failure) << c.body;
        if (!c.failure) {
            EXPECT_EQ(request.image.kind, c.kind) << c.body;
            EXPECT_EQ(request.image.text, c.text) << c.body;
        }
    }
}

std::string MergeBody(const std::string& templateImage, const std::string& templateType,
                      const std::string& targetImage, const std::string& targetType) {
    return R"({"image_template":{"image":")" + templateImage + R"(","image_type":")" +
           templateType + R"("},"image_target":{"image":")" + targetImage + R"(","image_type":")" +
           targetType + R"("},"version":"2.0"})";
}

TEST(ParseMergeTest, ReadsTheClientsUnescapedBody) {
    struct Case {
        std::string body;
        std::string templateText;
        ImageSource::Kind templateKind;
        std::string targetText;
        ImageSource::Kind targetKind;
    };
    using K = ImageSource::Kind;
    const Case cases[] = {
        {MergeBody("QUJD", "BASE64", "https://h/t.png", "URL"), "QUJD", K::Base64,
         "https://h/t.png", K::Url},
        // Backslashes and local-code-page bytes travel unescaped and come out as they went in.
        {MergeBody("http://h/a\\b\\q.png", "URL", "http://h/\xc8\xcb.png", "url"),
         "http://h/a\\b\\q.png", K::Url, "http://h/\xc8\xcb.png", K::Url},
        // A properly escaped body from another sender is read as JSON.
        {MergeBody("http:\\/\\/h\\/x.png", "URL", "\\u0041\\u00e9", "base64"), "http://h/x.png",
         K::Url, "A\xc3\xa9", K::Base64},
        {MergeBody("data:image/png;base64,QUJD", "BASE64", "", "BASE64"), "QUJD", K::Base64, "",
         K::Base64},
        // Member order, extra members and white space do not matter; a repeated member wins.
        {R"( { "version" : 2, "extra": {"image_template": {"image":"no"}, "a":[1,{"b":null}]},
              "image_target" : { "image_type" : "URL", "image" : "u1", "more": [true] },
              "image_template" : { "image" : "old", "image_type" : "URL" },
              "image_template" : { "image" : "new", "image_type" : "URL" } } )",
         "new", K::Url, "u1", K::Url},
    };
    for (const Case& c : cases) {
        MergeRequest request;
        ASSERT_EQ(ParseMerge(c.body, request), std::nullopt) << c.body;
        EXPECT_EQ(request.templateImage.text, c.templateText) << c.body;
        EXPECT_EQ(request.templateImage.kind, c.templateKind) << c.body;
        EXPECT_EQ(request.targetImage.text, c.targetText) << c.body;
        EXPECT_EQ(request.targetImage.kind, c.targetKind) << c.body;
    }
}

TEST(ParseMergeTest, RefusesBrokenBodies) {
    struct Case {
        std::string body;
        Failure failure;
    };
    const Case cases[] = {
        {"", Failure::NotJson},
        {"type=face&image=QUJD", Failure::NotJson},
        // An address holding a double quote ends its string early.
        {MergeBody("http://h/a\"b.png", "URL", "QUJD", "BASE64"), Failure::NotJson},
        {MergeBody("QUJD", "BASE64", "QUJD", "BASE64") + "}", Failure::NotJson},
        {std::string(100000, '[') + std::string(100000, ']'), Failure::NotJson},
        {"[1,2]", Failure::BadRequest},
        {R"({"image_template":{"image":"QUJD","image_type":"BASE64"}})", Failure::MissingImage},
        {R"({"image_template":"QUJD","image_target":{"image":"QUJD","image_type":"BASE64"}})",
         Failure::MissingImage},
        {R"({"image_template":{"image_type":"URL"},"image_target":{"image":"a","image_type":"URL"}})",
         Failure::MissingImage},
        {R"({"image_template":{"image":1,"image_type":"URL"},"image_target":{"image":"a","image_type":"URL"}})",
         Failure::BadRequest},
        {R"({"image_template":{"image":["a"],"image_type":"URL"},"image_target":{"image":"a","image_type":"URL"}})",
         Failure::BadRequest},
        {MergeBody("QUJD", "FILE", "QUJD", "BASE64"), Failure::BadImageType},
        {R"({"image_template":{"image":"a"},"image_target":{"image":"a","image_type":"URL"}})",
         Failure::BadImageType},
        {MergeBody("data:image/png,QUJD", "BASE64", "QUJD", "BASE64"), Failure::BadRequest},
    };
    for (const Case& c : cases) {
        MergeRequest request;
        EXPECT_EQ(ParseMerge(c.body, request), c.failure) << c.body.substr(0, 200);
    }
}

}  // namespace
}  // namespace quill::service
