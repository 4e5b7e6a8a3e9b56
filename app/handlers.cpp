#include "app/handlers.h"

#include "app/face_check.h"
#include "app/merge_faces.h"
#include "app/texts.h"

namespace quill {
namespace {

ImageSlot& SlotOf(AppContext& app, SlotId slot) {
    return slot == SlotId::Template ? app.templateSlot : app.targetSlot;
}

PictureBox BoxOf(SlotId slot) {
    return slot == SlotId::Template ? PictureBox::Template : PictureBox::Target;
}

const std::string& SampleOf(const AppContext& app, SlotId slot) {
    return slot == SlotId::Template ? app.addresses.templateSample : app.addresses.targetSample;
}

// The check of a file already stored in the slot's source, and what follows from its verdict.
void CheckFile(AppContext& app, UiPort& ui, SlotId slotId) {
    ImageSlot& slot = SlotOf(app, slotId);
    if (FaceCheck(app, ui, slot.source, kKindBase)) {
        slot.ready = 1;
        ui.SetPicture(BoxOf(slotId), ui.ReadWholeFile(slot.source));
        slot.kind = GbkTexts().kindLocal;
    } else {
        slot.ready = 0;
        ui.SetPicture(BoxOf(slotId), {});
    }
}

class Handlers final : public WindowEvents {
  public:
    Handlers(AppContext& app, UiPort& ui) : app_(app), ui_(ui) {}

    void UrlTemplatePressed() override { SelectByAddress(app_, ui_, SlotId::Template); }
    void UrlTargetPressed() override { SelectByAddress(app_, ui_, SlotId::Target); }
    void LocalTemplatePressed() override { SelectByDialog(app_, ui_, SlotId::Template); }
    void LocalTargetPressed() override { SelectByDialog(app_, ui_, SlotId::Target); }
    void FilesDroppedTemplate(const std::string& text) override {
        SelectByDrop(app_, ui_, SlotId::Template, text);
    }
    void FilesDroppedTarget(const std::string& text) override {
        SelectByDrop(app_, ui_, SlotId::Target, text);
    }
    void MergePressed() override { MergeFaces(app_, ui_); }

  private:
    AppContext& app_;
    UiPort& ui_;
};

}  // namespace

void SelectByAddress(AppContext& app, UiPort& ui, SlotId slotId) {
    ImageSlot& slot = SlotOf(app, slotId);
    slot.source.clear();
    ui.InputBox(GbkTexts().addressPrompt, SampleOf(app, slotId), slot.source);
    if (slot.source.empty()) {
        return;
    }
    if (FaceCheck(app, ui, slot.source, kKindUrl)) {
        slot.ready = 1;
        Bytes picture;
        ui.RunWhileBusy([&] { picture = ui.HttpFileRead(slot.source); });
        ui.SetPicture(BoxOf(slotId), picture);
        slot.kind = kKindUrl;
    } else {
        slot.ready = 0;
        ui.SetPicture(BoxOf(slotId), {});
    }
}

void SelectByDialog(AppContext& app, UiPort& ui, SlotId slotId) {
    ui.SetFileDialogFilter(GbkTexts().fileFilter);
    if (!ui.OpenFileDialog()) {
        return;
    }
    SlotOf(app, slotId).source = ui.FileDialogFileName();
    CheckFile(app, ui, slotId);
}

void SelectByDrop(AppContext& app, UiPort& ui, SlotId slotId, const std::string& text) {
    SlotOf(app, slotId).source = text;
    CheckFile(app, ui, slotId);
}

std::unique_ptr<WindowEvents> MakeHandlers(AppContext& app, UiPort& ui) {
    return std::make_unique<Handlers>(app, ui);
}

}  // namespace quill
