// Feeds arbitrary reply texts through Parse and the merge's path, as a hostile or broken face
// service could. Every input must end within the budget, leave the engine stacks balanced and
// keep each heap under its cap.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "json/json_document.h"
#include "json/script_engine.h"

namespace {

constexpr std::size_t kHeapCap = std::size_t{32} << 20;

void Check(const quill::JsonDocument& doc) {
    if (doc.HasEngine() &&
        (doc.engine()->StackDepth() != 0 || doc.engine()->HeapBytes() > kHeapCap)) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    quill::SetEngineLimits({std::chrono::milliseconds(250), kHeapCap});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One long-lived document, as the program keeps its global one.
    static quill::JsonDocument* global = new quill::JsonDocument();
    const std::string reply(reinterpret_cast<const char*>(data), size);

    global->Parse(reply);
    Check(*global);
    std::unique_ptr<quill::JsonDocument> dataDoc = global->GetMemberDocument("data");
    Check(*dataDoc);
    std::unique_ptr<quill::JsonDocument> result = dataDoc->GetMemberDocument("result");
    dataDoc->Destroy();
    const std::string image = result->GetMemberText("merge_image");
    Check(*result);
    result->Destroy();

    // The reading operations the window's raw view and tests lean on must hold up as well.
    std::vector<std::string> names;
    global->MemberNames(names);
    global->Count();
    global->TypeOf();
    global->ToJson();
    Check(*global);
    return 0;
}
