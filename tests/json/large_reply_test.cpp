// Replies as large as the service may legitimately send must fit the default budget and cap.
#include <gtest/gtest.h>

#include <string>

#include "json/json_document.h"
#include "json/script_engine.h"
#include "merge_path.h"

namespace quill {
namespace {

std::string Base64Like(std::size_t size, unsigned seed) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text(size, 'A');
    for (char& c : text) {
        seed = seed * 1103515245U + 12345U;
        c = kAlphabet[(seed >> 16) % 64];
    }
    return text;
}

TEST(LargeReply, TwentyMegabytePictureWithinTheDefaultLimits) {
    const EngineLimits limits = CurrentEngineLimits();
    ASSERT_EQ(limits.timeBudget, DefaultEngineLimits().timeBudget);
    const std::string image = Base64Like(std::size_t{20} << 20, 1);
    JsonDocument global;
    EXPECT_EQ(MergeImage(global,
                         "{\"errno\":0,\"msg\":\"success\",\"data\":{\"result\":{"
                         "\"merge_image\":\"" +
                             image + "\"}}}"),
              image);
    EXPECT_LE(global.engine()->PeakHeapBytes(), limits.heapCap);
}

TEST(LargeReply, TwentyMegabytesOfManyMembersWithinTheDefaultLimits) {
    std::string faces;
    for (unsigned i = 0; faces.size() < (std::size_t{20} << 20); ++i) {
        faces += (i == 0 ? "" : ",");
        faces += "{\"id\":" + std::to_string(i) + ",\"mark\":\"" + Base64Like(1000, i) + "\"}";
    }
    const std::string reply =
        "{\"data\":{\"faces\":[" + faces + "],\"result\":{\"merge_image\":\"done\"}}}";
    JsonDocument global;
    EXPECT_EQ(MergeImage(global, reply), "done");
    EXPECT_GT(global.Count(), 0);
}

}  // namespace
}  // namespace quill
