#include "app/merge_faces.h"

#include "app/encoding.h"
#include "app/texts.h"
#include "http/reply_text.h"
#include "http/web_request.h"
#include "json/json_document.h"

namespace quill {
namespace {

constexpr char kBodyTemplate[] =
    "{\"image_template\":{\"image\":\"@1\",\"image_type\":\"#1\"},"
    "\"image_target\":{\"image\":\"@2\",\"image_type\":\"#2\"},\"version\":\"2.0\"}";

void FillSlot(std::string& body, const ImageSlot& slot, UiPort& ui, const char* data,
              const char* type) {
    // Two separate tests: a kind that is neither leaves the placeholders in place.
    if (slot.kind == GbkTexts().kindLocal) {
        body = Replace(body, data, Base64Encode(ui.ReadWholeFile(slot.source)));
        body = Replace(body, type, "BASE64");
    }
    if (slot.kind == kKindUrl) {
        body = Replace(body, data, slot.source);
        body = Replace(body, type, "URL");
    }
}

}  // namespace

std::string MergeRequestBody(const AppContext& app, UiPort& ui) {
    std::string body = kBodyTemplate;
    FillSlot(body, app.targetSlot, ui, "@2", "#2");
    FillSlot(body, app.templateSlot, ui, "@1", "#1");
    return body;
}

void MergeFaces(AppContext& app, UiPort& ui) {
    const Texts& texts = GbkTexts();
    if (app.templateSlot.ready != 1 || app.targetSlot.ready != 1) {
        ui.MessageBox(texts.notReady, kStyleError);
        return;
    }
    const std::string body = MergeRequestBody(app, ui);
    std::string reply;
    ui.RunWhileBusy([&] { reply = Utf8ToLocal(WebRequest(app.addresses.merge, 1, body)); });

    if (ui.CheckBoxState() == 1) {
        ui.MessageBox(texts.rawReply + reply, kStyleInformation);
    }
    if (Find(reply, kMarkerDownloadFailed) != -1) {
        ui.MessageBox(texts.downloadFailed, kStyleError);
        return;
    }
    if (Find(reply, kMarkerMerged) == -1) {
        return;
    }

    Bytes picture;
    // Evaluating a large reply takes a moment; the window stays painted meanwhile.
    ui.RunWhileBusy([&] {
        app.json->Parse(reply);
        std::unique_ptr<JsonDocument> data = app.json->GetMemberDocument("data");
        std::unique_ptr<JsonDocument> result = data->GetMemberDocument("result");
        data->Destroy();
        data.reset();
        const std::string image = result->GetMemberText("merge_image");
        result->Destroy();
        result.reset();
        picture = Base64Decode(image);
    });
    ui.SetPicture(PictureBox::Merged, picture);
}

}  // namespace quill
