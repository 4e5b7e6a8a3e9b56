// The selection handlers, the face check and the merge, driven through the recording fake UI
// against a scripted HTTPS face service on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "app/encoding.h"
#include "app/face_check.h"
#include "app/handlers.h"
#include "app/merge_faces.h"
#include "app/texts.h"
#include "http/gbk_codec.h"
#include "http/web_settings.h"
#include "json/json_document.h"
#include "tests/support/fake_ui.h"
#include "tests/support/scripted_face_service.h"

namespace quill {
namespace {

using testing::FakeUi;
using Message = FakeUi::Message;

}  // namespace
namespace testing {
void PrintTo(const FakeUi::Message& message, std::ostream* out) {
    *out << "{" << message.style << ", \"" << Utf8FromGbk(message.text) << "\"}";
}
}  // namespace testing
namespace {

std::string Gbk(const char* utf8) {
    return GbkFromUtf8(utf8);
}

using test::MergedReply;
using test::RecordedRequest;
constexpr const char* kAccepted = test::kAcceptedReply;
constexpr const char* kNoFace = test::kNoFaceReply;
constexpr char kBodyPrefixBase[] =
    "type=face&image_type=BASE64&image=data%3Aimage%2Fpng%3Bbase64%2C";
constexpr char kBodyPrefixUrl[] = "type=face&image_type=BASE64&image_url=";

class HandlersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = CurrentWebSettings();
        WebSettings settings = saved_;
        settings.connectTimeout = std::chrono::milliseconds(3000);
        settings.stallTime = std::chrono::milliseconds(3000);
        settings.extraCertificatePem = service_.Certificate().certificatePem;
        SetWebSettings(settings);
        app_.addresses = ServiceAddresses::ForHost(service_.Host());
        app_.json = std::make_unique<JsonDocument>();
    }
    void TearDown() override {
        app_.json->Destroy();
        SetWebSettings(saved_);
    }

    ImageSlot& Slot(SlotId slot) {
        return slot == SlotId::Template ? app_.templateSlot : app_.targetSlot;
    }
    void Ready(ImageSlot& slot, const std::string& kind, const std::string& source) {
        slot = {1, kind, source};
    }

    test::ScriptedFaceService service_;
    AppContext app_;
    FakeUi ui_;
    WebSettings saved_;
    const Texts& texts_ = GbkTexts();
};

// ---------------------------------------------------------------------------------------------
// Face check

TEST_F(HandlersTest, FaceCheckSendsExactFormBodies) {
    ui_.files["/photos/a.jpg"] = ToBytes("\xFF\xD8\xFF\xE0 jpeg bytes");
    struct Case {
        const char* name;
        std::string source;
        const char* kind;
        std::string body;
    };
    const Case cases[] = {
        {"address with space, GBK and %41", "https://h.example/a b/" + Gbk("中") + "%41.png", "url",
         std::string(kBodyPrefixUrl) + "https%3A%2F%2Fh.example%2Fa%20b%2F%D6%D0%2541.png"},
        {"unreserved characters stay", "x.-~!_*()'", "url",
         std::string(kBodyPrefixUrl) + "x.-~!_*()'"},
        // "/9j/4CBqcGVnIGJ5dGVz" with "/" and "+" encoded; the prefix says png whatever the file.
        {"local file", "/photos/a.jpg", "base",
         std::string(kBodyPrefixBase) + PercentEncode(Base64Encode(ui_.files["/photos/a.jpg"]))},
        {"unreadable file sends the prefix alone", "/photos/missing.png", "base", kBodyPrefixBase},
        {"other kind sends an empty body", "x", "file", ""},
    };
    for (const Case& c : cases) {
        service_.ReplyToCheck(kAccepted);
        EXPECT_TRUE(FaceCheck(app_, ui_, c.source, c.kind)) << c.name;
        const RecordedRequest request = service_.Requests().back();
        EXPECT_EQ(request.target, "/aidemo") << c.name;
        EXPECT_EQ(request.contentType, "application/x-www-form-urlencoded") << c.name;
        EXPECT_EQ(request.body, c.body) << c.name;
    }
    EXPECT_EQ(PercentEncode(Base64Encode(ui_.files["/photos/a.jpg"])), "%2F9j%2F4CBqcGVnIGJ5dGVz");
}

TEST_F(HandlersTest, FaceCheckVerdictByMarkers) {
    struct Case {
        const char* name;
        std::string reply;  // UTF-8 on the wire
        bool accepted;
        std::vector<Message> messages;
    };
    const std::string lowerOnly = R"({"msg":"success"})";
    const Case cases[] = {
        {"SUCCESS", kAccepted, true, {}},
        {"both markers", "SUCCESS pic not has face", true, {}},
        {"no face", kNoFace, false, {{texts_.noFace, kStyleError}}},
        {"lower-case success only",
         lowerOnly,
         false,
         {{texts_.unknownError + lowerOnly, kStyleError}}},
        {"reply text converted from UTF-8",
         "错误 busy",
         false,
         {{texts_.unknownError + Gbk("错误 busy"), kStyleError}}},
    };
    for (const Case& c : cases) {
        FakeUi ui;
        service_.ReplyToCheck(c.reply);
        EXPECT_EQ(FaceCheck(app_, ui, "https://h.example/p.png", "url"), c.accepted) << c.name;
        EXPECT_EQ(ui.messages, c.messages) << c.name;
        EXPECT_EQ(ui.busyRuns, 1) << c.name;
    }
}

TEST_F(HandlersTest, FaceCheckWithTickedBoxShowsRawReplyFirst) {
    ui_.checkBox = 1;
    service_.ReplyToCheck(kNoFace);
    EXPECT_FALSE(FaceCheck(app_, ui_, "https://h.example/p.png", "url"));
    const std::vector<Message> expected = {{texts_.rawReply + kNoFace, kStyleInformation},
                                           {texts_.noFace, kStyleError}};
    EXPECT_EQ(ui_.messages, expected);
}

TEST_F(HandlersTest, FaceCheckAgainstDeadServerReportsEmptyReply) {
    app_.addresses = ServiceAddresses::ForHost("https://127.0.0.1:1");
    ui_.checkBox = 1;
    EXPECT_FALSE(FaceCheck(app_, ui_, "https://h.example/p.png", "url"));
    const std::vector<Message> expected = {{texts_.rawReply, kStyleInformation},
                                           {texts_.unknownError, kStyleError}};
    EXPECT_EQ(ui_.messages, expected);
}

TEST_F(HandlersTest, FaceCheckKeepsTheLastFilesBase64) {
    ui_.files["/a.png"] = ToBytes("first");
    ui_.files["/b.png"] = ToBytes("second");
    service_.ReplyToCheck(kAccepted);
    service_.ReplyToCheck(kAccepted);
    FaceCheck(app_, ui_, "/a.png", "base");
    FaceCheck(app_, ui_, "/b.png", "base");
    EXPECT_EQ(app_.lastCheckBase64, Base64Encode(ToBytes("second")));
    FaceCheck(app_, ui_, "https://h.example/c.png", "url");  // an address leaves it alone
    EXPECT_EQ(app_.lastCheckBase64, Base64Encode(ToBytes("second")));
}

// ---------------------------------------------------------------------------------------------
// Slot transitions

TEST_F(HandlersTest, AddressAcceptedFillsSlotAndShowsFetchedPicture) {
    const std::string address = "https://h.example/face.png";
    ui_.inputAnswers.push_back(address);
    ui_.webFiles[address] = ToBytes("picture");
    service_.ReplyToCheck(kAccepted);

    SelectByAddress(app_, ui_, SlotId::Target);

    ASSERT_EQ(ui_.inputs.size(), 1u);
    EXPECT_EQ(ui_.inputs[0].prompt, texts_.addressPrompt);
    EXPECT_EQ(ui_.inputs[0].initial, app_.addresses.targetSample);
    EXPECT_EQ(app_.targetSlot.ready, 1);
    EXPECT_EQ(app_.targetSlot.kind, "url");
    EXPECT_EQ(app_.targetSlot.source, address);
    EXPECT_EQ(ui_.webReads, std::vector<std::string>{address});
    EXPECT_EQ(ui_.LastPicture(PictureBox::Target), ToBytes("picture"));
    EXPECT_FALSE(ui_.LastPicture(PictureBox::Template).has_value());
    EXPECT_EQ(app_.templateSlot.ready, 0);  // the other slot is never touched
}

TEST_F(HandlersTest, InputBoxAlwaysOffersTheSampleAddress) {
    ui_.inputAnswers = {std::string("https://h.example/1.png"), std::nullopt};
    service_.ReplyToCheck(kAccepted);
    SelectByAddress(app_, ui_, SlotId::Template);
    SelectByAddress(app_, ui_, SlotId::Template);
    ASSERT_EQ(ui_.inputs.size(), 2u);
    EXPECT_EQ(ui_.inputs[1].initial, app_.addresses.templateSample);
    EXPECT_TRUE(app_.addresses.templateSample.ends_with("/face-merge/tpl2.png"));
    EXPECT_TRUE(app_.addresses.targetSample.ends_with("/face-merge/tar2.png"));
}

TEST_F(HandlersTest, CancelledOrEmptyAddressOnlyEmptiesTheSource) {
    for (const std::optional<std::string>& answer :
         {std::optional<std::string>(), std::optional<std::string>("")}) {
        FakeUi ui;
        Ready(app_.templateSlot, "url", "https://h.example/old.png");
        ui.inputAnswers.push_back(answer);
        SelectByAddress(app_, ui, SlotId::Template);
        EXPECT_EQ(app_.templateSlot.ready, 1);
        EXPECT_EQ(app_.templateSlot.kind, "url");
        EXPECT_EQ(app_.templateSlot.source, "");
        EXPECT_TRUE(ui.pictures.empty());
        EXPECT_TRUE(ui.messages.empty());
    }
    EXPECT_TRUE(service_.Requests().empty());
}

TEST_F(HandlersTest, SpacesOnlyAddressGoesToTheCheck) {
    ui_.inputAnswers.push_back(std::string("   "));
    service_.ReplyToCheck(kNoFace);
    SelectByAddress(app_, ui_, SlotId::Target);
    EXPECT_EQ(service_.Requests().back().body, std::string(kBodyPrefixUrl) + "%20%20%20");
    EXPECT_EQ(app_.targetSlot.source, "   ");
    EXPECT_EQ(app_.targetSlot.ready, 0);
}

TEST_F(HandlersTest, RefusalClearsPictureAndKeepsKind) {
    struct Case {
        const char* name;
        std::string kindBefore;
        std::function<void(AppContext&, FakeUi&)> select;
        std::string refused;
    };
    const std::string local = Gbk("本地");
    const Case cases[] = {
        {"file after a file", local,
         [](AppContext& app, FakeUi& ui) {
             ui.dialogAnswers.push_back(std::string("/b.png"));
             SelectByDialog(app, ui, SlotId::Template);
         },
         "/b.png"},
        {"drop after an address", "url",
         [](AppContext& app, FakeUi& ui) { SelectByDrop(app, ui, SlotId::Template, "/c.png"); },
         "/c.png"},
        {"address after a file", local,
         [](AppContext& app, FakeUi& ui) {
             ui.inputAnswers.push_back(std::string("https://h.example/x.png"));
             SelectByAddress(app, ui, SlotId::Template);
         },
         "https://h.example/x.png"},
    };
    for (const Case& c : cases) {
        FakeUi ui;
        Ready(app_.templateSlot, c.kindBefore, "/earlier.png");
        service_.ReplyToCheck(kNoFace);
        c.select(app_, ui);
        EXPECT_EQ(app_.templateSlot.ready, 0) << c.name;
        EXPECT_EQ(app_.templateSlot.kind, c.kindBefore) << c.name;
        EXPECT_EQ(app_.templateSlot.source, c.refused) << c.name;
        EXPECT_EQ(ui.LastPicture(PictureBox::Template), Bytes{}) << c.name;
        EXPECT_EQ(ui.messages, (std::vector<Message>{{texts_.noFace, kStyleError}})) << c.name;
    }
}

TEST_F(HandlersTest, DialogUsesTheFilterAndAcceptsAFile) {
    const std::string path = Gbk("/照片/脸.png");
    ui_.dialogAnswers.push_back(path);
    ui_.files[path] = ToBytes("png bytes");
    service_.ReplyToCheck(kAccepted);

    SelectByDialog(app_, ui_, SlotId::Target);

    EXPECT_EQ(ui_.filters,
              std::vector<std::string>{
                  Gbk("图片文件(*.jpg;*.bmp;*.png;*.gif)|*.jpg;*.bmp;*.png|任意文件（*.*）|*.*")});
    EXPECT_EQ(app_.targetSlot.ready, 1);
    EXPECT_EQ(app_.targetSlot.kind, Gbk("本地"));
    EXPECT_EQ(app_.targetSlot.source, path);
    // Read once for the check and once for the display.
    EXPECT_EQ(ui_.fileReads, (std::vector<std::string>{path, path}));
    EXPECT_EQ(ui_.LastPicture(PictureBox::Target), ToBytes("png bytes"));
}

TEST_F(HandlersTest, CancelledDialogChangesNothing) {
    Ready(app_.targetSlot, "url", "https://h.example/keep.png");
    SelectByDialog(app_, ui_, SlotId::Target);
    EXPECT_EQ(app_.targetSlot.ready, 1);
    EXPECT_EQ(app_.targetSlot.source, "https://h.example/keep.png");
    EXPECT_TRUE(ui_.pictures.empty());
    EXPECT_TRUE(service_.Requests().empty());
}

TEST_F(HandlersTest, SeveralDroppedFilesAreCheckedAsOneText) {
    const std::string text = "/a.png\r\n/b.png\r\n";
    ui_.files["/a.png"] = ToBytes("a");
    service_.ReplyToCheck(kNoFace);
    SelectByDrop(app_, ui_, SlotId::Template, text);
    EXPECT_EQ(app_.templateSlot.source, text);
    EXPECT_EQ(service_.Requests().back().body, kBodyPrefixBase);  // the joined text reads nothing
    EXPECT_EQ(app_.templateSlot.ready, 0);
}

// A file that disappears after its check is read as nothing for the display.
class VanishingFileUi : public FakeUi {
  public:
    Bytes ReadWholeFile(const std::string& path) override {
        Bytes bytes = FakeUi::ReadWholeFile(path);
        files.erase(path);
        return bytes;
    }
};

TEST_F(HandlersTest, FileDeletedAfterItsCheckLeavesAReadySlotWithoutPicture) {
    VanishingFileUi ui;
    ui.files["/gone.png"] = ToBytes("bytes");
    service_.ReplyToCheck(kAccepted);
    SelectByDrop(app_, ui, SlotId::Target, "/gone.png");
    EXPECT_EQ(app_.targetSlot.ready, 1);
    EXPECT_EQ(app_.targetSlot.kind, Gbk("本地"));
    EXPECT_EQ(ui.LastPicture(PictureBox::Target), Bytes{});
    EXPECT_TRUE(ui.messages.empty());
}

// ---------------------------------------------------------------------------------------------
// Merge

std::string MergeBody(const std::string& templateImage, const char* templateType,
                      const std::string& targetImage, const char* targetType) {
    return R"({"image_template":{"image":")" + templateImage + R"(","image_type":")" +
           templateType + R"("},"image_target":{"image":")" + targetImage + R"(","image_type":")" +
           targetType + R"("},"version":"2.0"})";
}

TEST_F(HandlersTest, MergeNeedsBothSlotsReady) {
    Ready(app_.templateSlot, "url", "https://h.example/t.png");
    MergeFaces(app_, ui_);
    EXPECT_EQ(ui_.messages, (std::vector<Message>{{texts_.notReady, kStyleError}}));
    EXPECT_TRUE(service_.Requests().empty());
    EXPECT_TRUE(ui_.fileReads.empty());
}

TEST_F(HandlersTest, MergeBodies) {
    const std::string local = Gbk("本地");
    struct Case {
        const char* name;
        ImageSlot templateSlot;
        ImageSlot targetSlot;
        std::string body;
    };
    const Case cases[] = {
        {"both by address",
         {1, "url", "https://h.example/t.png"},
         {1, "url", "https://h.example/g.png"},
         MergeBody("https://h.example/t.png", "URL", "https://h.example/g.png", "URL")},
        {"both local",
         {1, local, "/t.png"},
         {1, local, "/g.png"},
         MergeBody(Base64Encode(ToBytes("template")), "BASE64", Base64Encode(ToBytes("target")),
                   "BASE64")},
        // Later replacements scan what earlier ones inserted.
        {"placeholders inside addresses",
         {1, "url", "http://t.example/#1"},
         {1, "url", "http://g.example/#2@1#1"},
         MergeBody("http://t.example/URL", "URL", "http://g.example/URLhttp://t.example/URLURL",
                   "URL")},
        {"empty file and empty source",
         {1, "url", ""},
         {1, local, "/empty.png"},
         MergeBody("", "URL", "", "BASE64")},
        {"ready local slot with empty source",
         {1, local, ""},
         {1, "url", "https://h.example/g.png"},
         MergeBody("", "BASE64", "https://h.example/g.png", "URL")},
        {"quote in an address is sent as it is",
         {1, "url", "https://h.example/a\"b\\.png"},
         {1, "url", "https://h.example/g.png"},
         MergeBody("https://h.example/a\"b\\.png", "URL", "https://h.example/g.png", "URL")},
    };
    for (const Case& c : cases) {
        FakeUi ui;
        ui.files["/t.png"] = ToBytes("template");
        ui.files["/g.png"] = ToBytes("target");
        ui.files["/empty.png"] = {};
        app_.templateSlot = c.templateSlot;
        app_.targetSlot = c.targetSlot;
        service_.ReplyToMerge("");
        MergeFaces(app_, ui);
        const RecordedRequest request = service_.Requests().back();
        EXPECT_EQ(request.target, "/aidemo?type=merge&apiType=face") << c.name;
        EXPECT_EQ(request.contentType, "application/x-www-form-urlencoded") << c.name;
        EXPECT_EQ(request.body, c.body) << c.name;
        EXPECT_TRUE(ui.messages.empty()) << c.name;
        EXPECT_TRUE(ui.pictures.empty()) << c.name;
    }
    EXPECT_EQ(std::string(R"({"image_template":{"image":"@1","image_type":"#1"},)"
                          R"("image_target":{"image":"@2","image_type":"#2"},"version":"2.0"})")
                  .size(),
              115u);
}

TEST_F(HandlersTest, MergeRepliesByMarkers) {
    const Bytes picture = ToBytes("\x89PNG\r\n\x1A\n merged picture bytes");
    const std::string full = MergedReply(Base64Encode(picture));
    const std::string failed = R"({"msg":"image download fail","x":"success"})";
    struct Case {
        const char* name;
        int checkBox;
        std::string reply;
        std::vector<Message> messages;
        std::optional<Bytes> picture;  // nullopt: the merged box is not touched
    };
    const Case cases[] = {
        {"full road", 0, full, {}, picture},
        {"full road with the raw reply",
         1,
         full,
         {{texts_.rawReply + full, kStyleInformation}},
         picture},
        {"download failure wins over success",
         1,
         failed,
         {{texts_.rawReply + failed, kStyleInformation}, {texts_.downloadFailed, kStyleError}},
         std::nullopt},
        {"capital SUCCESS only", 0, R"({"error_msg":"SUCCESS"})", {}, std::nullopt},
        {"no reply", 0, "", {}, std::nullopt},
        {"success that is no JSON", 0, "success <html>", {}, Bytes{}},
        {"success without the picture", 0, R"({"msg":"success","data":{}})", {}, Bytes{}},
        {"picture that is no Base64", 0, MergedReply("not base64!"), {}, Bytes{}},
    };
    for (const Case& c : cases) {
        FakeUi ui;
        ui.checkBox = c.checkBox;
        Ready(app_.templateSlot, "url", "https://h.example/t.png");
        Ready(app_.targetSlot, "url", "https://h.example/g.png");
        service_.ReplyToMerge(c.reply);
        MergeFaces(app_, ui);
        EXPECT_EQ(ui.messages, c.messages) << c.name;
        EXPECT_EQ(ui.LastPicture(PictureBox::Merged), c.picture) << c.name;
        EXPECT_FALSE(ui.LastPicture(PictureBox::Template).has_value()) << c.name;
    }
}

TEST_F(HandlersTest, MergeReadsLocalFilesAgainAtEveryPress) {
    const std::string local = Gbk("本地");
    Ready(app_.templateSlot, local, "/t.png");
    Ready(app_.targetSlot, local, "/g.png");
    ui_.files["/t.png"] = ToBytes("one");
    ui_.files["/g.png"] = ToBytes("two");
    service_.ReplyToMerge("");
    MergeFaces(app_, ui_);
    ui_.files["/t.png"] = ToBytes("changed");
    service_.ReplyToMerge("");
    MergeFaces(app_, ui_);
    // Target first, then template, at each press.
    EXPECT_EQ(ui_.fileReads, (std::vector<std::string>{"/g.png", "/t.png", "/g.png", "/t.png"}));
    EXPECT_EQ(service_.Requests().back().body, MergeBody(Base64Encode(ToBytes("changed")), "BASE64",
                                                         Base64Encode(ToBytes("two")), "BASE64"));
}

TEST_F(HandlersTest, MergeLeavesTheParsedReplyInTheGlobalDocument) {
    Ready(app_.templateSlot, "url", "https://h.example/t.png");
    Ready(app_.targetSlot, "url", "https://h.example/g.png");
    service_.ReplyToMerge(MergedReply("QUJD"));
    MergeFaces(app_, ui_);
    EXPECT_EQ(app_.json->GetMemberText("data.result.merge_image"), "QUJD");
    EXPECT_EQ(ui_.LastPicture(PictureBox::Merged), ToBytes("ABC"));
}

TEST_F(HandlersTest, RequestsRunWhileBusy) {
    Ready(app_.templateSlot, "url", "https://h.example/t.png");
    Ready(app_.targetSlot, "url", "https://h.example/g.png");
    service_.ReplyToMerge(MergedReply("QUJD"));
    MergeFaces(app_, ui_);
    // The request and the parse each run inside a busy span; the dialogs never do.
    EXPECT_EQ(ui_.busyRuns, 2);
    for (const std::string& call : ui_.callsWhileBusy) {
        EXPECT_NE(call, "MessageBox");
        EXPECT_NE(call, "SetPicture");
    }
}

// The window's events reach the handlers they name.
TEST_F(HandlersTest, EventsReachTheirHandlers) {
    const std::unique_ptr<WindowEvents> events = MakeHandlers(app_, ui_);
    events->MergePressed();
    EXPECT_EQ(ui_.messages.size(), 1u);
    events->UrlTemplatePressed();
    events->UrlTargetPressed();
    ASSERT_EQ(ui_.inputs.size(), 2u);
    EXPECT_EQ(ui_.inputs[0].initial, app_.addresses.templateSample);
    EXPECT_EQ(ui_.inputs[1].initial, app_.addresses.targetSample);
    events->LocalTemplatePressed();
    events->LocalTargetPressed();
    EXPECT_EQ(ui_.dialogOpenings, 2);
    service_.ReplyToCheck(kNoFace);
    service_.ReplyToCheck(kNoFace);
    events->FilesDroppedTemplate("/t.png");
    events->FilesDroppedTarget("/g.png");
    EXPECT_EQ(app_.templateSlot.source, "/t.png");
    EXPECT_EQ(app_.targetSlot.source, "/g.png");
}

}  // namespace
}  // namespace quill
