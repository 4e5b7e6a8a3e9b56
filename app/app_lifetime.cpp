#include "app/app_lifetime.h"

#include <algorithm>
#include <string>

#include "json/json_document.h"

namespace quill {
namespace {

// Frees the text's storage, not only its contents.
void Release(std::string& text) {
    std::string().swap(text);
}

}  // namespace

AppContext& GlobalApp() {
    static AppContext app = [] {
        AppContext fresh;
        fresh.addresses = ServiceAddresses::Default();
        return fresh;
    }();
    return app;
}

void CreateGlobalDocument(AppContext& app) {
    app.json = std::make_unique<JsonDocument>();
}

void ExitCleanup(AppContext& app) {
    for (ImageSlot* slot : {&app.targetSlot, &app.templateSlot}) {
        Release(slot->kind);
        Release(slot->source);
    }
    if (app.json) {
        app.json->Destroy();
        app.json.reset();
    }
    Release(app.lastCheckBase64);
}

void GlobalExitCleanup() {
    ExitCleanup(GlobalApp());
}

bool ExitRoutines::Register(Routine routine) {
    if (routine == nullptr ||
        std::find(routines_.begin(), routines_.end(), routine) != routines_.end()) {
        return false;
    }
    routines_.push_back(routine);
    return true;
}

void ExitRoutines::RunAll() {
    if (ran_) {
        return;
    }
    ran_ = true;
    for (Routine routine : routines_) {
        routine();
    }
}

}  // namespace quill
