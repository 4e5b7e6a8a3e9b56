#include "service/face_service.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include <httplib.h>
#include <opencv2/core/utility.hpp>

#include "service/face_models.h"
#include "service/face_worker.h"
#include "service/image_fetch.h"
#include "service/replies.h"
#include "service/request_parsing.h"

namespace quill::service {

ServiceConfig ServiceConfig::Defaults() {
    ServiceConfig config;
    config.port = QUILL_SERVICE_PORT;
    config.certPath = QUILL_SERVICE_CERT;
    config.keyPath = QUILL_SERVICE_KEY;
    config.assetsDir = QUILL_SERVICE_ASSETS;
    config.modelPath = QUILL_LANDMARK_MODEL;
    const unsigned cores = std::thread::hardware_concurrency();
    config.workers = static_cast<int>(std::clamp(cores, 1u, 4u));
    return config;
}

namespace {

constexpr const char* kJsonType = "application/json; charset=utf-8";

// The workers, each with its own detector; a request holds one while it decodes and searches.
class WorkerPool {
  public:
    class Lease {
      public:
        Lease(WorkerPool& pool, std::unique_ptr<FaceWorker> worker)
            : pool_(&pool), worker_(std::move(worker)) {}
        Lease(Lease&& other) noexcept = default;
        Lease& operator=(Lease&&) = delete;
        ~Lease() {
            if (worker_) {
                pool_->Return(std::move(worker_));
            }
        }
        FaceWorker* operator->() { return worker_.get(); }

      private:
        WorkerPool* pool_;
        std::unique_ptr<FaceWorker> worker_;
    };

    void Add(std::unique_ptr<FaceWorker> worker) {
        const std::lock_guard<std::mutex> lock(mutex_);
        idle_.push_back(std::move(worker));
    }

    std::optional<Lease> Acquire(std::chrono::milliseconds wait) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!ready_.wait_for(lock, wait, [&] { return !idle_.empty(); })) {
            return std::nullopt;
        }
        auto worker = std::move(idle_.back());
        idle_.pop_back();
        return Lease(*this, std::move(worker));
    }

  private:
    void Return(std::unique_ptr<FaceWorker> worker) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            idle_.push_back(std::move(worker));
        }
        ready_.notify_one();
    }

    std::mutex mutex_;
    std::condition_variable ready_;
    std::vector<std::unique_ptr<FaceWorker>> idle_;
};

bool ReadFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return in.good() || in.eof();
}

void SetFailure(httplib::Response& res, Failure failure) {
    res.status = FailureHttpStatus(failure);
    res.set_content(ErrorReply(failure), kJsonType);
}

Failure FailureForStatus(int status) {
    if (status == 404) {
        return Failure::NotFound;
    }
    if (status == 413) {
        return Failure::RequestTooLarge;
    }
    if (status >= 500) {
        return Failure::Internal;
    }
    return Failure::BadRequest;
}

}  // namespace

struct FaceService::Impl {
    ServiceConfig config;
    std::shared_ptr<const FaceModels> models;
    std::unique_ptr<ImageFetcher> fetcher;
    WorkerPool workers;
    std::map<std::string, std::string, std::less<>> samples;  // path to PNG file
    std::unique_ptr<httplib::SSLServer> server;
    int port = 0;

    std::mutex stateMutex;
    bool stopRequested = false;
    bool serving = false;

    explicit Impl(ServiceConfig c) : config(std::move(c)) {}

    std::optional<Failure> LoadImage(const ImageSource& source, std::string& bytes) const {
        if (source.kind == ImageSource::Kind::Url) {
            return fetcher->Fetch(source.text, bytes);
        }
        if (source.text.empty()) {
            return Failure::ImageEmpty;
        }
        if (Base64DecodedSizeBound(source.text) > config.limits.maxImageBytes + 3) {
            return Failure::ImageTooLarge;
        }
        if (!DecodeBase64(source.text, bytes)) {
            return Failure::ImageNotBase64;
        }
        return std::nullopt;
    }

    void FaceCheck(std::string body, httplib::Response& res) {
        FaceCheckRequest request;
        const auto parsed = ParseFaceCheck(body, request);
        std::string().swap(body);
        if (parsed) {
            return SetFailure(res, *parsed);
        }
        std::string bytes;
        if (auto failure = LoadImage(request.image, bytes)) {
            return SetFailure(res, *failure);
        }
        std::string().swap(request.image.text);
        auto worker = workers.Acquire(config.limits.workerWait);
        if (!worker) {
            return SetFailure(res, Failure::Busy);
        }
        FaceCheckResult result;
        if (auto failure = (*worker)->Check(bytes, result)) {
            return SetFailure(res, *failure);
        }
        if (result.faces.empty()) {
            return SetFailure(res, Failure::NoFace);
        }
        res.status = 200;
        res.set_content(FaceCheckReply(result.width, result.height, result.faces), kJsonType);
    }

    void Merge(std::string body, httplib::Response& res) {
        MergeRequest request;
        const auto parsed = ParseMerge(body, request);
        std::string().swap(body);
        if (parsed) {
            return SetFailure(res, *parsed);
        }
        std::string templateBytes;
        std::string targetBytes;
        if (auto failure = LoadImage(request.templateImage, templateBytes)) {
            return SetFailure(res, *failure);
        }
        if (auto failure = LoadImage(request.targetImage, targetBytes)) {
            return SetFailure(res, *failure);
        }
        request = MergeRequest();
        auto worker = workers.Acquire(config.limits.workerWait);
        if (!worker) {
            return SetFailure(res, Failure::Busy);
        }
        std::string jpeg;
        if (auto failure = (*worker)->Merge(templateBytes, targetBytes, jpeg)) {
            return SetFailure(res, *failure);
        }
        res.status = 200;
        res.set_content(MergeReply(EncodeBase64(jpeg)), kJsonType);
    }

    void Post(const httplib::Request& req, httplib::Response& res,
              const httplib::ContentReader& reader) {
        std::string body;
        bool tooLarge = false;
        bool tooSlow = false;
        const auto deadline = std::chrono::steady_clock::now() + config.limits.requestBodyTimeout;
        const bool complete = reader([&](const char* data, std::size_t length) {
            if (body.size() + length > config.limits.maxRequestBytes) {
                tooLarge = true;
                return false;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                tooSlow = true;
                return false;
            }
            body.append(data, length);
            return true;
        });
        if (!complete) {
            // What is left of the body is unread, so the connection cannot carry another request.
            res.set_header("Connection", "close");
            Failure failure = Failure::BadRequest;
            if (tooLarge || res.status == 413) {
                failure = Failure::RequestTooLarge;
            } else if (tooSlow) {
                failure = Failure::RequestTimedOut;
            }
            return SetFailure(res, failure);
        }
        if (req.get_param_value("type") == "merge") {
            Merge(std::move(body), res);
        } else {
            FaceCheck(std::move(body), res);
        }
    }

    void Get(const httplib::Request& req, httplib::Response& res) const {
        const auto found = samples.find(req.path);
        if (found == samples.end()) {
            return SetFailure(res, Failure::NotFound);
        }
        res.status = 200;
        res.set_content(found->second, "image/png");
    }

    // Every handler ends here: no failure of one request may reach the server's threads.
    template <typename Work>
    void Guard(httplib::Response& res, Work&& work) {
        try {
            work();
        } catch (const std::bad_alloc&) {
            SetFailure(res, Failure::Busy);
        } catch (...) {
            SetFailure(res, Failure::Internal);
        }
    }
};

FaceService::FaceService(ServiceConfig config) : impl_(std::make_unique<Impl>(std::move(config))) {}

FaceService::~FaceService() {
    Stop();
}

bool FaceService::Start(std::string& error) {
    Impl& s = *impl_;
    const ServiceConfig& config = s.config;
    if (config.workers < 1 || config.workers > 64) {
        error = "workers must be between 1 and 64";
        return false;
    }
    s.models = FaceModels::Load(config.modelPath, error);
    if (!s.models) {
        return false;
    }
    const std::pair<std::string_view, const char*> sampleFiles[] = {
        {kTemplateSamplePath, "astronaut.png"}, {kTargetSamplePath, "grace_hopper.png"}};
    for (const auto& [path, file] : sampleFiles) {
        std::string bytes;
        const std::string filePath = config.assetsDir + "/" + file;
        if (!ReadFile(filePath, bytes) || bytes.empty()) {
            error = "cannot read the sample photograph " + filePath;
            return false;
        }
        s.samples.emplace(std::string(path), std::move(bytes));
    }
    s.fetcher = ImageFetcher::Create(config.certPath, config.limits, error);
    if (!s.fetcher) {
        return false;
    }
    for (int i = 0; i < config.workers; ++i) {
        s.workers.Add(std::make_unique<FaceWorker>(s.models, config.limits));
    }
    // Requests run side by side on the workers; OpenCV's own threads would only compete.
    cv::setNumThreads(0);

    s.server =
        std::make_unique<httplib::SSLServer>(config.certPath.c_str(), config.keyPath.c_str());
    if (!s.server->is_valid()) {
        error = "cannot use the certificate " + config.certPath + " with the key " + config.keyPath;
        return false;
    }
    httplib::SSLServer& server = *s.server;
    const int threads =
        config.connectionThreads > 0 ? config.connectionThreads : std::max(8, 4 * config.workers);
    server.new_task_queue = [threads] {
        return new httplib::ThreadPool(static_cast<std::size_t>(threads));
    };
    server.set_read_timeout(15, 0);
    server.set_write_timeout(15, 0);
    server.set_keep_alive_timeout(5);
    server.set_keep_alive_max_count(100);
    server.set_payload_max_length(config.limits.maxRequestBytes);
    server.Post("/aidemo", [&s](const httplib::Request& req, httplib::Response& res,
                                const httplib::ContentReader& reader) {
        s.Guard(res, [&] { s.Post(req, res, reader); });
    });
    server.Get(".*", [&s](const httplib::Request& req, httplib::Response& res) {
        s.Guard(res, [&] { s.Get(req, res); });
    });
    server.set_error_handler(
        httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
            if (res.body.empty()) {
                SetFailure(res, FailureForStatus(res.status));
                return httplib::Server::HandlerResponse::Handled;
            }
            return httplib::Server::HandlerResponse::Unhandled;
        }));
    server.set_exception_handler([](const httplib::Request&, httplib::Response& res,
                                    std::exception_ptr) { SetFailure(res, Failure::Internal); });
    if (config.logRequests) {
        server.set_logger([](const httplib::Request& req, const httplib::Response& res) {
            std::fprintf(stderr, "%s %s -> %d, %zu bytes\n", req.method.c_str(), req.path.c_str(),
                         res.status, res.body.size());
        });
    }
    if (config.port == 0) {
        s.port = server.bind_to_any_port("127.0.0.1");
    } else if (server.bind_to_port("127.0.0.1", config.port)) {
        s.port = config.port;
    } else {
        s.port = -1;
    }
    if (s.port <= 0) {
        error = "cannot listen on 127.0.0.1:" + std::to_string(config.port) +
                " (is another program using it?)";
        s.port = 0;
        return false;
    }
    return true;
}

int FaceService::Port() const {
    return impl_->port;
}

void FaceService::Serve() {
    Impl& s = *impl_;
    {
        const std::lock_guard<std::mutex> lock(s.stateMutex);
        if (s.stopRequested || !s.server || s.port == 0) {
            return;
        }
        s.serving = true;
    }
    s.server->listen_after_bind();
    const std::lock_guard<std::mutex> lock(s.stateMutex);
    s.serving = false;
}

void FaceService::Stop() {
    Impl& s = *impl_;
    bool stopped = false;
    while (true) {
        {
            const std::lock_guard<std::mutex> lock(s.stateMutex);
            s.stopRequested = true;
            if (!s.serving) {
                return;
            }
            // The listener may not have started yet; stop it once it has.
            if (!stopped && s.server->is_running()) {
                s.server->stop();
                stopped = true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

ServiceThread::ServiceThread(ServiceConfig config) : service_(std::move(config)) {
    if (!service_.Start(error_)) {
        if (error_.empty()) {
            error_ = "the service did not start";
        }
        return;
    }
    thread_ = std::thread([this] { service_.Serve(); });
}

ServiceThread::~ServiceThread() {
    service_.Stop();
    if (thread_.joinable()) {
        thread_.join();
    }
}

}  // namespace quill::service
