// The client's own face check and merge, with the recording fake UI, against the real reference
// service on loopback, trusted through the certificate the client embeds.
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "app/app_state.h"
#include "app/face_check.h"
#include "app/handlers.h"
#include "app/merge_faces.h"
#include "app/texts.h"
#include "json/json_document.h"
#include "service/face_service.h"
#include "tests/support/fake_ui.h"

namespace quill {
namespace {

using testing::FakeUi;

Bytes Sample(const std::string& name) {
    std::ifstream in(std::string(QUILL_SAMPLES_DIR) + "/" + name, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class ClientAgainstServiceTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        service::ServiceConfig config = service::ServiceConfig::Defaults();
        config.port = 0;
        service_ = std::make_unique<service::ServiceThread>(config);
    }
    static void TearDownTestSuite() { service_.reset(); }

    void SetUp() override {
        ASSERT_TRUE(service_->ok()) << service_->error();
        app_.addresses =
            ServiceAddresses::ForHost("https://127.0.0.1:" + std::to_string(service_->Port()));
        app_.json = std::make_unique<JsonDocument>();
        for (const char* name : {"astronaut.png", "grace_hopper.png", "coffee.png"}) {
            ui_.files[std::string("/samples/") + name] = Sample(name);
            ASSERT_FALSE(ui_.files[std::string("/samples/") + name].empty()) << name;
        }
    }
    void TearDown() override { app_.json->Destroy(); }

    static std::unique_ptr<service::ServiceThread> service_;
    AppContext app_;
    FakeUi ui_;
};

std::unique_ptr<service::ServiceThread> ClientAgainstServiceTest::service_;

TEST_F(ClientAgainstServiceTest, FaceCheckAcceptsFacesAndRefusesOthers) {
    EXPECT_TRUE(FaceCheck(app_, ui_, "/samples/astronaut.png", "base"));
    EXPECT_TRUE(FaceCheck(app_, ui_, app_.addresses.targetSample, "url"));
    EXPECT_TRUE(ui_.messages.empty());

    EXPECT_FALSE(FaceCheck(app_, ui_, "/samples/coffee.png", "base"));
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, GbkTexts().noFace);
}

TEST_F(ClientAgainstServiceTest, DroppedFilesMergeIntoAPictureOfTheTemplatesSize) {
    SelectByDrop(app_, ui_, SlotId::Template, "/samples/astronaut.png");
    SelectByDrop(app_, ui_, SlotId::Target, "/samples/grace_hopper.png");
    ASSERT_EQ(app_.templateSlot.ready, 1);
    ASSERT_EQ(app_.targetSlot.ready, 1);

    MergeFaces(app_, ui_);
    EXPECT_TRUE(ui_.messages.empty());
    const std::optional<Bytes> merged = ui_.LastPicture(PictureBox::Merged);
    ASSERT_TRUE(merged.has_value());
    const cv::Mat picture = cv::imdecode(*merged, cv::IMREAD_COLOR);
    ASSERT_FALSE(picture.empty());
    EXPECT_EQ(picture.cols, 512);
    EXPECT_EQ(picture.rows, 512);
}

TEST_F(ClientAgainstServiceTest, SampleAddressesMergeAndAFailedDownloadIsReported) {
    ui_.inputAnswers = {app_.addresses.templateSample, app_.addresses.targetSample};
    ui_.webFiles[app_.addresses.templateSample] = Sample("astronaut.png");
    SelectByAddress(app_, ui_, SlotId::Template);
    SelectByAddress(app_, ui_, SlotId::Target);
    ASSERT_EQ(app_.templateSlot.kind, "url");
    ASSERT_EQ(app_.targetSlot.kind, "url");

    MergeFaces(app_, ui_);
    EXPECT_TRUE(ui_.messages.empty());
    ASSERT_TRUE(ui_.LastPicture(PictureBox::Merged).has_value());
    EXPECT_FALSE(cv::imdecode(*ui_.LastPicture(PictureBox::Merged), cv::IMREAD_COLOR).empty());

    // A template address that nothing serves: the service says so, and the picture stays.
    const std::size_t pictures = ui_.pictures.size();
    app_.templateSlot.source = "https://127.0.0.1:1/nothing.png";
    MergeFaces(app_, ui_);
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, GbkTexts().downloadFailed);
    EXPECT_EQ(ui_.pictures.size(), pictures);
}

}  // namespace
}  // namespace quill
