// The global state's start-up and exit clean-up, and the service addresses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_lifetime.h"
#include "json/json_document.h"

namespace quill {
namespace {

std::vector<std::string> journal;

// Notes what the clean-up had already released when the document was destroyed and freed.
class RecordingDocument : public JsonDocument {
  public:
    explicit RecordingDocument(const AppContext& app) : app_(app) {}
    ~RecordingDocument() override { journal.push_back("freed"); }
    void Destroy() override {
        journal.push_back("destroy with engine=" + std::to_string(HasEngine()) +
                          " slots=" + app_.templateSlot.source + app_.targetSlot.source +
                          app_.templateSlot.kind + app_.targetSlot.kind +
                          " base64=" + app_.lastCheckBase64);
        JsonDocument::Destroy();
    }

  private:
    const AppContext& app_;
};

TEST(ExitCleanup, ReleasesSlotsThenDocumentThenBase64Once) {
    journal.clear();
    AppContext app;
    app.templateSlot = {1, "url", "http://a/x.png"};
    app.targetSlot = {0, "本地", "/tmp/y.png"};
    app.lastCheckBase64 = "QUJD";
    app.json = std::make_unique<RecordingDocument>(app);

    ExitCleanup(app);
    // Slots already empty, the Base64 text not yet, and the engine still there.
    EXPECT_EQ(journal,
              (std::vector<std::string>{"destroy with engine=1 slots= base64=QUJD", "freed"}));
    EXPECT_EQ(app.json, nullptr);
    EXPECT_TRUE(app.lastCheckBase64.empty());
    // The ready flags are plain integers and stay.
    EXPECT_EQ(app.templateSlot.ready, 1);

    ExitCleanup(app);
    EXPECT_EQ(journal.size(), 2u);
}

TEST(CreateGlobalDocument, GivesADocumentWithItsEngine) {
    AppContext app;
    CreateGlobalDocument(app);
    ASSERT_NE(app.json, nullptr);
    EXPECT_TRUE(app.json->HasEngine());
    EXPECT_TRUE(app.json->Parse("{\"a\":1}"));
    ExitCleanup(app);
    EXPECT_EQ(app.json, nullptr);
}

std::vector<int> ran;
void First() {
    ran.push_back(1);
}
void Second() {
    ran.push_back(2);
}

TEST(ExitRoutines, RunInOrderOfRegistrationOnceEach) {
    ran.clear();
    ExitRoutines routines;
    EXPECT_TRUE(routines.Register(&Second));
    EXPECT_TRUE(routines.Register(&First));
    EXPECT_FALSE(routines.Register(&Second));
    EXPECT_FALSE(routines.Register(nullptr));
    routines.RunAll();
    routines.RunAll();
    EXPECT_EQ(ran, (std::vector<int>{2, 1}));
}

TEST(GlobalApp, StartsEmptyWithTheCompiledInAddresses) {
    const AppContext& app = GlobalApp();
    EXPECT_EQ(app.templateSlot.ready, 0);
    EXPECT_EQ(app.targetSlot.ready, 0);
    EXPECT_TRUE(app.templateSlot.source.empty());
    EXPECT_EQ(app.json, nullptr);
    EXPECT_EQ(app.addresses.faceCheck, ServiceAddresses::Default().faceCheck);
    EXPECT_EQ(&app, &GlobalApp());
}

TEST(ServiceAddresses, SamePathsOnAnyHost) {
    for (const std::string host : {"https://127.0.0.1:40123", "https://127.0.0.1:40123/"}) {
        const ServiceAddresses a = ServiceAddresses::ForHost(host);
        EXPECT_EQ(a.faceCheck, "https://127.0.0.1:40123/aidemo");
        EXPECT_EQ(a.merge, "https://127.0.0.1:40123/aidemo?type=merge&apiType=face");
        EXPECT_EQ(a.templateSample,
                  "https://127.0.0.1:40123/portal-pc-node/dist/1610627249473/images/technology/"
                  "face-merge/tpl2.png");
        EXPECT_EQ(a.targetSample,
                  "https://127.0.0.1:40123/portal-pc-node/dist/1610627249473/images/technology/"
                  "face-merge/tar2.png");
    }
    EXPECT_EQ(ServiceAddresses::Default().merge,
              std::string(QUILL_FACE_SERVICE_HOST) + "/aidemo?type=merge&apiType=face");
}

}  // namespace
}  // namespace quill
