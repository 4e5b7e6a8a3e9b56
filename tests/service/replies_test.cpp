#include "service/replies.h"

#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace quill::service {
namespace {

bool Contains(const std::string& text, const char* word) {
    return text.find(word) != std::string::npos;
}

// The client reads replies by substring; an error reply must never pass for a success.
TEST(RepliesTest, ErrorRepliesCarryOnlyTheirOwnMarker) {
    for (const Failure failure : AllFailures()) {
        const std::string reply = ErrorReply(failure);
        const auto json = nlohmann::json::parse(reply);
        EXPECT_EQ(json["errno"], FailureCode(failure)) << reply;
        EXPECT_NE(FailureCode(failure), 0) << reply;
        EXPECT_EQ(json["data"]["error_msg"], json["msg"]) << reply;
        EXPECT_FALSE(Contains(reply, "success")) << reply;
        EXPECT_FALSE(Contains(reply, "SUCCESS")) << reply;
        const bool noFace = failure == Failure::NoFace || failure == Failure::TemplateNoFace ||
                            failure == Failure::TargetNoFace;
        EXPECT_EQ(Contains(reply, "pic not has face"), noFace) << reply;
        const bool download =
            failure == Failure::DownloadFailed || failure == Failure::DownloadNotHttp ||
            failure == Failure::DownloadStatus || failure == Failure::DownloadTooLarge ||
            failure == Failure::DownloadTimedOut;
        EXPECT_EQ(Contains(reply, "image download fail"), download) << reply;
        EXPECT_GE(FailureHttpStatus(failure), 200);
    }
}

TEST(RepliesTest, SuccessRepliesCarryTheirMarkers) {
    const std::string check = FaceCheckReply(512, 600, {{161, 137, 216, 216, 1.41249}});
    EXPECT_TRUE(Contains(check, "SUCCESS"));
    const auto json = nlohmann::json::parse(check);
    EXPECT_EQ(json["data"]["result"]["face_num"], 1);
    EXPECT_EQ(json["data"]["result"]["face_list"][0]["location"]["width"], 216);
    EXPECT_DOUBLE_EQ(json["data"]["result"]["face_list"][0]["score"].get<double>(), 1.412);

    EXPECT_EQ(MergeReply("QUJD"),
              R"({"errno":0,"msg":"success","data":{"error_code":0,"error_msg":"SUCCESS",)"
              R"("result":{"merge_image":"QUJD"}}})");
}

}  // namespace
}  // namespace quill::service
