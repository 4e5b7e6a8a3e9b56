#include "app/face_check.h"

#include "app/encoding.h"
#include "app/texts.h"
#include "http/reply_text.h"
#include "http/web_request.h"

namespace quill {

std::string FaceCheckBody(AppContext& app, UiPort& ui, const std::string& source,
                          const std::string& kind) {
    std::string body;
    if (kind == kKindUrl) {
        body = "type=face&image_type=BASE64&image_url=" + PercentEncode(source);
    }
    if (kind == kKindBase) {
        app.lastCheckBase64 = Base64Encode(ui.ReadWholeFile(source));
        // The media type is always image/png, whatever the file holds; the service sniffs it.
        body = "type=face&image_type=BASE64&image=data%3Aimage%2Fpng%3Bbase64%2C" +
               PercentEncode(app.lastCheckBase64);
    }
    return body;
}

bool FaceCheck(AppContext& app, UiPort& ui, const std::string& source, const std::string& kind) {
    const std::string body = FaceCheckBody(app, ui, source, kind);
    std::string reply;
    ui.RunWhileBusy([&] { reply = Utf8ToLocal(WebRequest(app.addresses.faceCheck, 1, body)); });

    const Texts& texts = GbkTexts();
    if (ui.CheckBoxState() == 1) {
        ui.MessageBox(texts.rawReply + reply, kStyleInformation);
    }
    if (Find(reply, kMarkerAccepted) != -1) {
        return true;
    }
    if (Find(reply, kMarkerNoFace) != -1) {
        ui.MessageBox(texts.noFace, kStyleError);
    } else {
        ui.MessageBox(texts.unknownError + reply, kStyleError);
    }
    return false;
}

}  // namespace quill
