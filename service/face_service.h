// The reference face service: HTTPS on loopback, with the face check, the merge and the two
// sample photographs.
//
// In a test, either run it in-process with ServiceThread (port 0 picks a free port), or spawn
// the quillmere-service executable with --port, --cert and --key and poll a sample address until
// it answers.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "service/service_limits.h"

namespace quill::service {

inline constexpr std::string_view kTemplateSamplePath =
    "/portal-pc-node/dist/1610627249473/images/technology/face-merge/tpl2.png";
inline constexpr std::string_view kTargetSamplePath =
    "/portal-pc-node/dist/1610627249473/images/technology/face-merge/tar2.png";

struct ServiceConfig {
    int port = 0;  // 0: any free port
    std::string certPath;
    std::string keyPath;
    std::string assetsDir;  // holds astronaut.png and grace_hopper.png
    std::string modelPath;  // the 68-point landmark model
    int workers = 2;        // requests decoded, searched and merged at once
    // Threads that read requests and fetch images; 0 picks a number well above `workers`, so
    // that a request fetching a sample from this very service finds a thread to serve it.
    int connectionThreads = 0;
    bool logRequests = false;
    ServiceLimits limits;

    // The values compiled into this build: the fixed port, this machine's certificate, the
    // landmark model of libdlib-data, and the sample photographs of the source tree.
    static ServiceConfig Defaults();
};

class FaceService {
  public:
    explicit FaceService(ServiceConfig config);
    ~FaceService();
    FaceService(const FaceService&) = delete;
    FaceService& operator=(const FaceService&) = delete;

    // Loads the models and samples and binds 127.0.0.1; false with a message on any failure.
    bool Start(std::string& error);
    int Port() const;
    // Answers requests until Stop(); returns once the requests under way have ended.
    void Serve();
    // From any thread, also before Serve() has begun.
    void Stop();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A service answering on a background thread from construction until destruction.
class ServiceThread {
  public:
    explicit ServiceThread(ServiceConfig config);
    ~ServiceThread();
    ServiceThread(const ServiceThread&) = delete;
    ServiceThread& operator=(const ServiceThread&) = delete;

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    int Port() const { return service_.Port(); }

  private:
    FaceService service_;
    std::string error_;
    std::thread thread_;
};

}  // namespace quill::service
