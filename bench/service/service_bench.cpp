// Detection and merge of the sample pair, alone and through the HTTPS service.
//   service_bench --benchmark_filter=Merge
// Peak memory of the process is reported as the counter peak_rss_mb.
#include <atomic>
#include <cstdint>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>
#include <httplib.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "service/face_models.h"
#include "service/face_service.h"
#include "service/face_worker.h"
#include "service/request_parsing.h"

namespace {

using namespace quill::service;

std::string ReadSample(const std::string& name) {
    std::ifstream in(std::string(QUILL_SAMPLES_DIR) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const char* const kSamples[] = {"astronaut.png", "grace_hopper.png"};

std::shared_ptr<const FaceModels> Models() {
    static const auto models = [] {
        std::string error;
        auto loaded = FaceModels::Load(ServiceConfig::Defaults().modelPath, error);
        if (!loaded) {
            std::fprintf(stderr, "%s\n", error.c_str());
            std::abort();
        }
        return loaded;
    }();
    return models;
}

double PeakRssMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024.0;
        }
    }
    return 0;
}

// CPU time of the whole process, all threads; with the merges counted it shows whether workers
// serialise (the cost per merge would rise with more workers), whatever else the machine runs.
double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void BM_Detect(benchmark::State& state) {
    // Grey as the service makes it; libpng's own grey conversion differs slightly.
    const cv::Mat bgr = cv::imread(std::string(QUILL_SAMPLES_DIR) + "/" + kSamples[state.range(0)]);
    cv::Mat gray;
    cv::cvtColor(bgr, gray, cv::COLOR_BGR2GRAY);
    FaceAnalyzer analyzer(Models());
    const int maxSide = ServiceLimits().detectMaxSide;
    for (auto _ : state) {
        auto faces = analyzer.Detect(gray, maxSide);
        if (faces.size() != 1) {
            state.SkipWithError("expected one face");
            break;
        }
        benchmark::DoNotOptimize(faces);
    }
    state.SetLabel(kSamples[state.range(0)]);
}
BENCHMARK(BM_Detect)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Everything a merge request costs apart from HTTP: decoding both files, detection, landmarks,
// warp, clone, JPEG and Base64.
void BM_MergePair(benchmark::State& state) {
    const std::string templ = ReadSample(kSamples[0]);
    const std::string target = ReadSample(kSamples[1]);
    FaceWorker worker(Models(), ServiceLimits());
    for (auto _ : state) {
        std::string jpeg;
        if (worker.Merge(templ, target, jpeg)) {
            state.SkipWithError("merge failed");
            break;
        }
        benchmark::DoNotOptimize(EncodeBase64(jpeg));
    }
    state.counters["peak_rss_mb"] = PeakRssMegabytes();
}
BENCHMARK(BM_MergePair)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

// Merges per second with 1 or 2 workers, each on its own thread with its own detector.
void BM_MergeThroughput(benchmark::State& state) {
    const std::string templ = ReadSample(kSamples[0]);
    const std::string target = ReadSample(kSamples[1]);
    const auto workers = static_cast<int>(state.range(0));
    constexpr int kMergesPerWorker = 4;
    std::vector<std::unique_ptr<FaceWorker>> pool;
    for (int i = 0; i < workers; ++i) {
        pool.push_back(std::make_unique<FaceWorker>(Models(), ServiceLimits()));
    }
    std::atomic<bool> failed{false};
    const double cpuBefore = ProcessCpuSeconds();
    for (auto _ : state) {
        std::vector<std::thread> threads;
        for (int i = 0; i < workers; ++i) {
            threads.emplace_back([&, i] {
                for (int n = 0; n < kMergesPerWorker; ++n) {
                    std::string jpeg;
                    if (pool[i]->Merge(templ, target, jpeg)) {
                        failed = true;
                    }
                }
            });
        }
        for (auto& t : threads) {
            t.join();
        }
    }
    if (failed) {
        state.SkipWithError("merge failed");
    }
    const auto merges = static_cast<double>(state.iterations() * workers * kMergesPerWorker);
    state.SetItemsProcessed(static_cast<std::int64_t>(merges));
    state.counters["cpu_ms_per_merge"] = (ProcessCpuSeconds() - cpuBefore) * 1000.0 / merges;
}
BENCHMARK(BM_MergeThroughput)
    ->Arg(1)
    ->Arg(2)
    ->ArgName("workers")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The service itself over HTTPS on loopback, with 1 or 2 workers and four clients at once.
void BM_ServiceMerge(benchmark::State& state) {
    ServiceConfig config = ServiceConfig::Defaults();
    config.port = 0;
    config.workers = static_cast<int>(state.range(0));
    ServiceThread service(config);
    if (!service.ok()) {
        state.SkipWithError(service.error().c_str());
        return;
    }
    const std::string body =
        R"({"image_template":{"image":")" + EncodeBase64(ReadSample(kSamples[0])) +
        R"(","image_type":"BASE64"},"image_target":{"image":")" +
        EncodeBase64(ReadSample(kSamples[1])) + R"(","image_type":"BASE64"},"version":"2.0"})";
    constexpr int kClients = 4;
    std::vector<std::unique_ptr<httplib::SSLClient>> clients;
    for (int i = 0; i < kClients; ++i) {
        clients.push_back(std::make_unique<httplib::SSLClient>("127.0.0.1", service.Port()));
        clients.back()->set_ca_cert_path(config.certPath.c_str());
        clients.back()->enable_server_certificate_verification(true);
        clients.back()->set_read_timeout(60, 0);
    }
    bool failed = false;
    const double cpuBefore = ProcessCpuSeconds();
    for (auto _ : state) {
        std::vector<std::thread> threads;
        std::vector<int> ok(kClients, 0);
        for (int i = 0; i < kClients; ++i) {
            threads.emplace_back([&, i] {
                auto res = clients[i]->Post("/aidemo?type=merge&apiType=face", body,
                                            "application/x-www-form-urlencoded");
                ok[i] = res && res->status == 200 &&
                        res->body.find("\"msg\":\"success\"") != std::string::npos;
            });
        }
        for (auto& t : threads) {
            t.join();
        }
        for (int v : ok) {
            failed = failed || v == 0;
        }
    }
    if (failed) {
        state.SkipWithError("a merge request failed");
    }
    state.SetItemsProcessed(state.iterations() * kClients);
    state.counters["cpu_ms_per_merge"] = (ProcessCpuSeconds() - cpuBefore) * 1000.0 /
                                         static_cast<double>(state.iterations() * kClients);
    state.counters["peak_rss_mb"] = PeakRssMegabytes();
}
BENCHMARK(BM_ServiceMerge)
    ->Arg(1)
    ->Arg(2)
    ->ArgName("workers")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
