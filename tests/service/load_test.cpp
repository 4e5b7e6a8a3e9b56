// A few hundred mixed good and bad requests from eight clients at once: every one gets the reply
// it should, and memory stays bounded.
#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "service/face_service.h"
#include "tests/service/service_client.h"
#include "tests/service/test_samples.h"

namespace quill::service {
namespace {

using namespace std::chrono_literals;
using testing::Contains;
using testing::Reply;
using testing::Sample;
using testing::ServiceClient;

long ProcessMemoryKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            return std::stol(line.substr(std::string(field).size()));
        }
    }
    return -1;
}

struct Kind {
    const char* name;
    std::function<Reply(ServiceClient&)> send;
    std::function<bool(const Reply&)> expected;
};

TEST(ServiceLoadTest, MixedRequestsFromEightClients) {
    ServiceConfig config = ServiceConfig::Defaults();
    config.port = 0;
    config.workers = 2;
    config.limits.fetchTotalTimeout = 3000ms;
    ServiceThread service(config);
    ASSERT_TRUE(service.ok()) << service.error();
    const std::string base = "https://127.0.0.1:" + std::to_string(service.Port());
    const std::string astronaut = Sample("astronaut.png");
    const std::string rocket = Sample("rocket.jpg");
    const std::string faceBody = testing::FaceCheckFileBody(astronaut);
    const std::string noFaceBody = testing::FaceCheckFileBody(Sample("coffee.png"));
    const std::string urlBody = testing::FaceCheckUrlBody(base + std::string(kTargetSamplePath));
    const std::string truncatedBody = testing::FaceCheckFileBody(rocket.substr(0, 20000));
    const std::string mergeBody = testing::MergeBody(
        EncodeBase64(astronaut), "BASE64", EncodeBase64(Sample("grace_hopper.png")), "BASE64");
    const std::string failedDownloadBody =
        testing::MergeBody(EncodeBase64(astronaut), "BASE64", "http://127.0.0.1:1/x.png", "URL");
    auto is = [](Failure failure) {
        return [failure](const Reply& r) { return r.body == ErrorReply(failure); };
    };
    const std::vector<Kind> kinds = {
        {"face", [&](ServiceClient& c) { return c.FaceCheck(faceBody); },
         [](const Reply& r) { return r.status == 200 && Contains(r.body, "SUCCESS"); }},
        {"no face", [&](ServiceClient& c) { return c.FaceCheck(noFaceBody); }, is(Failure::NoFace)},
        {"address", [&](ServiceClient& c) { return c.FaceCheck(urlBody); },
         [](const Reply& r) { return r.status == 200 && Contains(r.body, "SUCCESS"); }},
        {"merge", [&](ServiceClient& c) { return c.Merge(mergeBody); },
         [](const Reply& r) { return r.status == 200 && Contains(r.body, "\"msg\":\"success\""); }},
        {"bad form", [](ServiceClient& c) { return c.FaceCheck("image=%%%"); },
         is(Failure::BadRequest)},
        {"not json", [](ServiceClient& c) { return c.Merge("{\"image_template\":"); },
         is(Failure::NotJson)},
        {"sample", [](ServiceClient& c) { return c.Get(std::string(kTemplateSamplePath)); },
         [&](const Reply& r) { return r.status == 200 && r.body.size() == astronaut.size(); }},
        {"truncated", [&](ServiceClient& c) { return c.FaceCheck(truncatedBody); },
         is(Failure::ImageTruncated)},
        {"download", [&](ServiceClient& c) { return c.Merge(failedDownloadBody); },
         is(Failure::DownloadFailed)},
        {"unknown path", [](ServiceClient& c) { return c.Get("/nothing/here"); },
         is(Failure::NotFound)},
    };

    constexpr int kClients = 8;
    constexpr int kRequests = 320;
    std::atomic<int> next{0};
    std::mutex mutex;
    std::vector<std::string> wrong;
    long rssAfterWarmUp = -1;
    auto run = [&](int limit) {
        std::vector<std::thread> clients;
        for (int i = 0; i < kClients; ++i) {
            clients.emplace_back([&] {
                ServiceClient client(service.Port());
                for (int n = next++; n < limit; n = next++) {
                    const Kind& kind = kinds[static_cast<std::size_t>(n) % kinds.size()];
                    const Reply reply = kind.send(client);
                    if (!kind.expected(reply)) {
                        const std::lock_guard<std::mutex> lock(mutex);
                        wrong.push_back(std::string(kind.name) + ": " +
                                        std::to_string(reply.status) + " " +
                                        reply.body.substr(0, 200));
                    }
                }
            });
        }
        for (auto& c : clients) {
            c.join();
        }
    };
    const auto started = std::chrono::steady_clock::now();
    run(40);
    rssAfterWarmUp = ProcessMemoryKb("VmRSS:");
    run(kRequests);
    const auto elapsed = std::chrono::steady_clock::now() - started;
    const long rssAfter = ProcessMemoryKb("VmRSS:");
    const long peak = ProcessMemoryKb("VmHWM:");

    EXPECT_TRUE(wrong.empty()) << wrong.size() << " wrong replies, first: " << wrong.front();
    // Memory settles after the first round; the rest of the run must not keep growing it.
    EXPECT_LT(rssAfter - rssAfterWarmUp, 64 * 1024)
        << "RSS grew from " << rssAfterWarmUp << " kB to " << rssAfter << " kB";
    EXPECT_LT(peak, 1024 * 1024) << "peak RSS " << peak << " kB";
    EXPECT_LT(elapsed, 240s);
    RecordProperty("peak_rss_kb", std::to_string(peak));
    RecordProperty("seconds", std::to_string(std::chrono::duration<double>(elapsed).count()));
    std::printf("%d requests in %.1f s, RSS %ld kB after warm-up, %ld kB after, peak %ld kB\n",
                kRequests, std::chrono::duration<double>(elapsed).count(), rssAfterWarmUp, rssAfter,
                peak);
}

}  // namespace
}  // namespace quill::service
