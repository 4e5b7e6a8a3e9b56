// Downloads 50 MB from a loopback server with WebRequest and with a bare libcurl easy call that
// writes into a vector, in the same run; the bare call once more with the vector reserved from
// Content-Length, to show what is left of WebRequest's own cost.
//
// Memory counters: "capacity/size" is what the returned buffer holds per body byte, "peak/size"
// the most memory held at once through operator new during the run, per body byte.

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <httplib.h>

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "http/web_request.h"

namespace {

constexpr size_t kBodySize = 50u << 20;

class Server {
  public:
    Server() : payload_(kBodySize, '\0') {
        for (size_t i = 0; i < payload_.size(); ++i) {
            payload_[i] = static_cast<char>((i * 131) & 0xFF);
        }
        server_.Get("/big", [this](const httplib::Request&, httplib::Response& response) {
            // Streamed from the one copy, so the server adds no per-request 50 MB.
            response.set_content_provider(
                payload_.size(), "application/octet-stream",
                [this](size_t offset, size_t length, httplib::DataSink& sink) {
                    return sink.write(payload_.data() + offset, std::min<size_t>(length, 1 << 20));
                });
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
    }
    ~Server() {
        server_.stop();
        thread_.join();
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/big"; }

  private:
    std::string payload_;
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
};

Server& SharedServer() {
    static Server server;
    return server;
}

// Bytes held through operator new now and at most since the last reset: the body buffers and
// every C++ allocation of WebRequest (libcurl's own few buffers use malloc and are not counted).
std::atomic<size_t> heldBytes{0};
std::atomic<size_t> peakBytes{0};

void ResetPeak() {
    peakBytes = heldBytes.load();
}

void Report(benchmark::State& state, size_t size, size_t capacity, size_t base) {
    if (size != kBodySize) {
        state.SkipWithError("short body");
        return;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
    state.counters["capacity/size"] = static_cast<double>(capacity) / static_cast<double>(size);
    state.counters["peak/size"] =
        static_cast<double>(peakBytes.load() - base) / static_cast<double>(size);
}

struct Sink {
    std::vector<std::uint8_t> body;
    CURL* handle = nullptr;
    bool reserve = false;
};

size_t Append(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    if (sink->reserve && sink->body.empty()) {
        curl_off_t length = 0;
        curl_easy_getinfo(sink->handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        if (length > 0) {
            sink->body.reserve(static_cast<size_t>(length));
        }
    }
    sink->body.insert(sink->body.end(), data, data + size * count);
    return size * count;
}

void BareCurl(benchmark::State& state, bool reserve) {
    const std::string url = SharedServer().Url();
    size_t size = 0;
    size_t capacity = 0;
    ResetPeak();
    const size_t base = heldBytes.load();
    for (auto _ : state) {
        Sink sink;
        sink.reserve = reserve;
        sink.handle = curl_easy_init();
        curl_easy_setopt(sink.handle, CURLOPT_URL, url.c_str());
        curl_easy_setopt(sink.handle, CURLOPT_WRITEFUNCTION, &Append);
        curl_easy_setopt(sink.handle, CURLOPT_WRITEDATA, &sink);
        curl_easy_perform(sink.handle);
        curl_easy_cleanup(sink.handle);
        size = sink.body.size();
        capacity = sink.body.capacity();
        benchmark::DoNotOptimize(sink.body.data());
    }
    Report(state, size, capacity, base);
}

void BM_BareCurl(benchmark::State& state) {
    BareCurl(state, false);
}
void BM_BareCurlReserved(benchmark::State& state) {
    BareCurl(state, true);
}

void BM_WebRequest(benchmark::State& state) {
    const std::string url = SharedServer().Url();
    size_t size = 0;
    size_t capacity = 0;
    ResetPeak();
    const size_t base = heldBytes.load();
    for (auto _ : state) {
        const quill::Bytes body = quill::WebRequest(url);
        size = body.size();
        capacity = body.capacity();
        benchmark::DoNotOptimize(body.data());
    }
    Report(state, size, capacity, base);
}

// Alternating, so both see the same machine state.
BENCHMARK(BM_BareCurl)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_BareCurlReserved)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_WebRequest)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_BareCurl)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_BareCurlReserved)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_WebRequest)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace

void* operator new(size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    const size_t now = heldBytes += malloc_usable_size(p);
    size_t peak = peakBytes.load();
    while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
    }
    return p;
}

// This pair replaces the global one, so free() does match the malloc() above.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
    if (p != nullptr) {
        heldBytes -= malloc_usable_size(p);
        std::free(p);
    }
}

void operator delete(void* p, size_t) noexcept {
    operator delete(p);
}

BENCHMARK_MAIN();
