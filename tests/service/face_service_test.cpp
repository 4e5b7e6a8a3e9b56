#include "service/face_service.h"

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include "service/face_worker.h"
#include "service/image_decode.h"
#include "tests/service/service_client.h"
#include "tests/service/test_samples.h"

namespace quill::service {
namespace {

using namespace std::chrono_literals;
using testing::Contains;
using testing::FaceCheckFileBody;
using testing::FaceCheckUrlBody;
using testing::MergeBody;
using testing::Reply;
using testing::Sample;
using testing::ServiceClient;

// A web site on loopback that the service fetches images from.
class TestSite {
  public:
    explicit TestSite(std::unique_ptr<httplib::Server> server, std::size_t bigSize)
        : server_(std::move(server)) {
        auto& s = *server_;
        s.Get("/face.png", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(Sample("grace_hopper.png"), "image/png");
        });
        s.Get("/noface.png", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(Sample("chelsea.png"), "image/png");
        });
        s.Get("/big", [bigSize](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string(bigSize, 'x'), "image/png");
        });
        s.Get("/slow", [](const httplib::Request&, httplib::Response& res) {
            std::this_thread::sleep_for(1500ms);
            res.set_content(Sample("grace_hopper.png"), "image/png");
        });
        s.Get(R"(/redirect/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
            const int left = std::stoi(req.matches[1]);
            res.set_redirect(left > 0 ? "/redirect/" + std::to_string(left - 1) : "/face.png");
        });
        s.Get("/to-file", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("file:///etc/hostname");
        });
        port_ = s.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_->listen_after_bind(); });
    }
    ~TestSite() {
        for (int i = 0; i < 5000 && !server_->is_running(); ++i) {
            std::this_thread::sleep_for(1ms);
        }
        server_->stop();
        thread_.join();
    }
    int port() const { return port_; }

  private:
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
};

class FaceServiceTest : public ::testing::Test {
  protected:
    static constexpr std::size_t kMaxImageBytes = 1u << 20;

    static void SetUpTestSuite() {
        ServiceConfig config = ServiceConfig::Defaults();
        config.port = 0;
        config.workers = 2;
        config.limits.maxImageBytes = kMaxImageBytes;
        config.limits.maxRequestBytes = 4u << 20;
        config.limits.fetchConnectTimeout = 1000ms;
        config.limits.fetchTotalTimeout = 1000ms;
        config.limits.requestBodyTimeout = 1000ms;
        service_ = new ServiceThread(config);
        const std::string cert = ServiceConfig::Defaults().certPath;
        const std::string key = ServiceConfig::Defaults().keyPath;
        https_ = new TestSite(std::make_unique<httplib::SSLServer>(cert.c_str(), key.c_str()),
                              kMaxImageBytes + 1);
        http_ = new TestSite(std::make_unique<httplib::Server>(), kMaxImageBytes + 1);
        untrusted_ = new TestSite(
            std::make_unique<httplib::SSLServer>(QUILL_UNTRUSTED_CERT, QUILL_UNTRUSTED_KEY),
            kMaxImageBytes + 1);
    }
    static void TearDownTestSuite() {
        delete untrusted_;
        delete http_;
        delete https_;
        delete service_;
    }
    void SetUp() override { ASSERT_TRUE(service_->ok()) << service_->error(); }

    static std::string ServiceUrl(std::string_view path) {
        return "https://127.0.0.1:" + std::to_string(service_->Port()) + std::string(path);
    }
    static std::string Url(const TestSite* site, const std::string& scheme, const char* path) {
        return scheme + "://127.0.0.1:" + std::to_string(site->port()) + path;
    }
    ServiceClient Client() { return ServiceClient(service_->Port()); }

    static void ExpectFailure(const Reply& reply, Failure failure, const std::string& what) {
        EXPECT_EQ(reply.status, FailureHttpStatus(failure)) << what;
        EXPECT_EQ(reply.body, ErrorReply(failure)) << what;
        EXPECT_FALSE(Contains(reply.body, "success")) << what;
    }

    static ServiceThread* service_;
    static TestSite* https_;
    static TestSite* http_;
    static TestSite* untrusted_;
};

ServiceThread* FaceServiceTest::service_ = nullptr;
TestSite* FaceServiceTest::https_ = nullptr;
TestSite* FaceServiceTest::http_ = nullptr;
TestSite* FaceServiceTest::untrusted_ = nullptr;

TEST_F(FaceServiceTest, FaceCheckAcceptsFacePhotosAndRefusesTheOthers) {
    ServiceClient client = Client();
    for (const char* photo : testing::kFacePhotos) {
        const Reply reply = client.FaceCheck(FaceCheckFileBody(Sample(photo)));
        EXPECT_EQ(reply.status, 200) << photo;
        EXPECT_TRUE(Contains(reply.body, "SUCCESS")) << photo << ": " << reply.body;
        EXPECT_EQ(nlohmann::json::parse(reply.body)["data"]["result"]["face_num"], 1) << photo;
        EXPECT_EQ(reply.contentType, "application/json; charset=utf-8");
    }
    for (const char* photo : testing::kNoFacePhotos) {
        const Reply reply = client.FaceCheck(FaceCheckFileBody(Sample(photo)));
        ExpectFailure(reply, Failure::NoFace, photo);
        EXPECT_FALSE(Contains(reply.body, "SUCCESS")) << photo;
    }
}

TEST_F(FaceServiceTest, FaceCheckFetchesAddressesWithinBounds) {
    struct Case {
        std::string url;
        std::optional<Failure> failure;  // none: a face is found
    };
    const Case cases[] = {
        {ServiceUrl(kTemplateSamplePath), std::nullopt},
        {ServiceUrl(kTargetSamplePath), std::nullopt},
        {Url(https_, "https", "/face.png"), std::nullopt},
        {Url(http_, "http", "/face.png"), std::nullopt},
        {"  " + Url(http_, "HTTP", "/face.png?n=\xc8\xcb 1") + "\n", std::nullopt},
        {Url(http_, "http", "/noface.png"), Failure::NoFace},
        {Url(http_, "http", "/redirect/2"), std::nullopt},
        {Url(http_, "http", "/redirect/3"), Failure::DownloadFailed},
        {Url(http_, "http", "/to-file"), Failure::DownloadNotHttp},
        {Url(http_, "http", "/missing.png"), Failure::DownloadStatus},
        {Url(http_, "http", "/big"), Failure::DownloadTooLarge},
        {Url(http_, "http", "/slow"), Failure::DownloadTimedOut},
        {Url(untrusted_, "https", "/face.png"), Failure::DownloadFailed},
        {"ftp://127.0.0.1/face.png", Failure::DownloadNotHttp},
        {"file:///etc/hostname", Failure::DownloadNotHttp},
        {"http://127.0.0.1:1/face.png", Failure::DownloadFailed},
        {"   ", Failure::DownloadFailed},
    };
    ServiceClient client = Client();
    for (const Case& c : cases) {
        const auto started = std::chrono::steady_clock::now();
        const Reply reply = client.FaceCheck(FaceCheckUrlBody(c.url));
        if (c.failure) {
            ExpectFailure(reply, *c.failure, c.url);
        } else {
            EXPECT_TRUE(Contains(reply.body, "SUCCESS")) << c.url << ": " << reply.body;
        }
        // The fetch's time-out bounds every case, the slow site included.
        EXPECT_LT(std::chrono::steady_clock::now() - started, 10s) << c.url;
    }
}

TEST_F(FaceServiceTest, ServesTheSamplePhotographs) {
    ServiceClient client = Client();
    const std::pair<std::string_view, const char*> samples[] = {
        {kTemplateSamplePath, "astronaut.png"}, {kTargetSamplePath, "grace_hopper.png"}};
    for (const auto& [path, file] : samples) {
        const Reply reply = client.Get(std::string(path));
        EXPECT_EQ(reply.status, 200) << path;
        EXPECT_EQ(reply.contentType, "image/png") << path;
        EXPECT_TRUE(reply.body == Sample(file)) << path;
    }
    for (const char* path : {"/",
                             "/portal-pc-node/dist/1610627249473/images/technology/"
                             "face-merge/tpl2xpng",
                             "/aidemo"}) {
        ExpectFailure(client.Get(path), Failure::NotFound, path);
    }
    ExpectFailure(client.Post("/other", "type=face"), Failure::NotFound, "POST /other");
}

TEST_F(FaceServiceTest, MergeOfTheSamplePairGivesAPictureWithAFace) {
    ServiceClient client = Client();
    const std::string bodies[] = {
        MergeBody(EncodeBase64(Sample("astronaut.png")), "BASE64",
                  EncodeBase64(Sample("grace_hopper.png")), "BASE64"),
        MergeBody(ServiceUrl(kTemplateSamplePath), "URL", ServiceUrl(kTargetSamplePath), "URL"),
    };
    FaceWorker worker(testing::Models(), ServiceLimits());
    for (const std::string& body : bodies) {
        const Reply reply = client.Merge(body);
        ASSERT_EQ(reply.status, 200) << reply.body.substr(0, 300);
        EXPECT_TRUE(Contains(reply.body, R"("msg":"success")"));
        const auto json = nlohmann::json::parse(reply.body);
        std::string file;
        ASSERT_TRUE(DecodeBase64(json["data"]["result"]["merge_image"].get<std::string>(), file));
        FaceCheckResult result;
        ASSERT_EQ(worker.Check(file, result), std::nullopt);
        EXPECT_EQ(result.width, 512);
        EXPECT_EQ(result.height, 512);
        ASSERT_FALSE(result.faces.empty());
        // The astronaut's face is at (179, 83), 88 pixels wide.
        EXPECT_NEAR(result.faces[0].left, 179, 20);
        EXPECT_NEAR(result.faces[0].top, 83, 20);
    }
}

TEST_F(FaceServiceTest, MergeFailuresAreTellableAndNeverLookLikeSuccess) {
    const std::string face = EncodeBase64(Sample("astronaut.png"));
    struct Case {
        const char* name;
        std::string body;
        Failure failure;
    };
    const Case cases[] = {
        {"template download", MergeBody(Url(http_, "http", "/missing.png"), "URL", face, "BASE64"),
         Failure::DownloadStatus},
        {"target download", MergeBody(face, "BASE64", "http://127.0.0.1:1/a.png", "URL"),
         Failure::DownloadFailed},
        {"empty address", MergeBody(face, "BASE64", "", "URL"), Failure::DownloadFailed},
        {"target without face",
         MergeBody(face, "BASE64", EncodeBase64(Sample("coffee.png")), "BASE64"),
         Failure::TargetNoFace},
        {"template without face",
         MergeBody(Url(http_, "http", "/noface.png"), "URL", face, "BASE64"),
         Failure::TemplateNoFace},
        {"empty file", MergeBody(face, "BASE64", "", "BASE64"), Failure::ImageEmpty},
        {"address with quotes",
         MergeBody(Url(http_, "http", "/face.png?a=\"b\""), "URL", face, "BASE64"),
         Failure::NotJson},
        {"form body", FaceCheckFileBody(Sample("astronaut.png")), Failure::NotJson},
        {"unknown type", MergeBody(face, "PATH", face, "BASE64"), Failure::BadImageType},
    };
    ServiceClient client = Client();
    for (const Case& c : cases) {
        ExpectFailure(client.Merge(c.body), c.failure, c.name);
    }
}

TEST_F(FaceServiceTest, MalformedAndOversizedBodiesGetClearReplies) {
    const std::string rocket = Sample("rocket.jpg");
    std::string random(kMaxImageBytes + 1, '\0');
    for (std::size_t i = 0; i < random.size(); ++i) {
        random[i] = static_cast<char>((i * 2654435761u) >> 13);
    }
    struct Case {
        const char* name;
        std::string body;
        Failure failure;
    };
    const Case cases[] = {
        {"empty body", "", Failure::MissingImage},
        {"no image", "type=face&image_type=BASE64", Failure::MissingImage},
        {"bad escape", "type=face&image=%ZZ", Failure::BadRequest},
        {"not Base64", "image=data%3Aimage%2Fpng%3Bbase64%2C%3F%3F%3F%3F", Failure::ImageNotBase64},
        {"not a picture", FaceCheckFileBody("just some text"), Failure::ImageFormat},
        {"truncated JPEG", FaceCheckFileBody(rocket.substr(0, rocket.size() / 2)),
         Failure::ImageTruncated},
        {"oversized image", FaceCheckFileBody(random), Failure::ImageTooLarge},
        {"oversized body", std::string(5u << 20, 'a'), Failure::RequestTooLarge},
    };
    ServiceClient client = Client();
    for (const Case& c : cases) {
        ExpectFailure(client.FaceCheck(c.body), c.failure, c.name);
        // The connection, or a new one, still serves the next request.
        EXPECT_TRUE(
            Contains(client.FaceCheck(FaceCheckFileBody(Sample("astronaut.png"))).body, "SUCCESS"))
            << "after " << c.name;
    }
}

// A body trickled in slowly holds a connection only until the body deadline.
TEST_F(FaceServiceTest, SlowBodyIsCutOffAtTheDeadline) {
    httplib::SSLClient client("127.0.0.1", service_->Port());
    client.set_ca_cert_path(ServiceConfig::Defaults().certPath.c_str());
    client.enable_server_certificate_verification(true);
    constexpr std::size_t kSteps = 40;
    constexpr std::size_t kStep = 100;
    const auto started = std::chrono::steady_clock::now();
    const auto result = client.Post(
        "/aidemo", kSteps * kStep,
        [](std::size_t offset, std::size_t, httplib::DataSink& sink) {
            std::this_thread::sleep_for(200ms);
            const std::string chunk(kStep, offset == 0 ? 'i' : 'a');
            return sink.write(chunk.data(), chunk.size());
        },
        "application/x-www-form-urlencoded");
    // Sending it all would take eight seconds; the service gives up after one.
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    if (result) {
        EXPECT_EQ(result->status, 408);
        EXPECT_EQ(result->body, ErrorReply(Failure::RequestTimedOut));
    }
    EXPECT_TRUE(
        Contains(Client().FaceCheck(FaceCheckFileBody(Sample("astronaut.png"))).body, "SUCCESS"));
}

}  // namespace
}  // namespace quill::service
