// The merge's path (Parse, GetMemberDocument "data", GetMemberDocument "result", GetMemberText
// "merge_image") on a reply holding a 3 MB Base64 picture, against the same heap creations,
// script loads, evaluations and JSON.stringify calls made on bare Duktape.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "duktape.h"
#include "json/engine_script.h"
#include "json/json_document.h"
#include "json/script_engine.h"

namespace {

const std::string& Reply() {
    static const std::string reply = [] {
        static constexpr char kAlphabet[] =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        std::string image(std::size_t{3} << 20, 'A');
        unsigned state = 12345;
        for (char& c : image) {
            state = state * 1103515245U + 12345U;
            c = kAlphabet[(state >> 16) % 64];
        }
        image.replace(image.size() - 2, 2, "==");
        return "{\"errno\":0,\"msg\":\"success\",\"data\":{\"log_id\":\"5516012873\","
               "\"result\":{\"merge_image\":\"" +
               image + "\"}},\"success\":true}";
    }();
    return reply;
}

void ReportPeak(benchmark::State& state) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_MergePath(benchmark::State& state) {
    const std::string& reply = Reply();
    quill::JsonDocument global;
    std::size_t peakHeap = 0;
    for (auto _ : state) {
        global.Parse(reply);
        auto data = global.GetMemberDocument("data");
        auto result = data->GetMemberDocument("result");
        peakHeap = std::max({peakHeap, global.engine()->PeakHeapBytes(),
                             data->engine()->PeakHeapBytes(), result->engine()->PeakHeapBytes()});
        data->Destroy();
        data.reset();
        std::string image = result->GetMemberText("merge_image");
        result->Destroy();
        if (image.size() != std::size_t{3} << 20) {
            state.SkipWithError("picture lost");
        }
        benchmark::DoNotOptimize(image);
    }
    state.counters["peak_heap_MB"] = static_cast<double>(peakHeap) / (1 << 20);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply.size()));
    ReportPeak(state);
}
BENCHMARK(BM_MergePath)->Unit(benchmark::kMillisecond)->MinTime(3);

// Bare Duktape, default allocator, no budget, no conversions: one engine per document as above.
struct Bare {
    Bare() : context(duk_create_heap_default()) {}
    ~Bare() { duk_destroy_heap(context); }
    Bare(const Bare&) = delete;
    Bare& operator=(const Bare&) = delete;

    void Program(std::string_view code) {
        if (duk_pcompile_lstring(context, 0, code.data(), code.size()) == 0) {
            duk_pcall(context, 0);
        }
        duk_pop(context);
    }
    void Eval(std::string_view code) {
        duk_peval_lstring(context, code.data(), code.size());
        duk_pop(context);
    }
    std::string EvalText(std::string_view code) {
        std::string text;
        if (duk_peval_lstring(context, code.data(), code.size()) == 0 &&
            duk_is_string(context, -1)) {
            duk_size_t length = 0;
            const char* chars = duk_get_lstring(context, -1, &length);
            text.assign(chars, length);
        }
        duk_pop(context);
        return text;
    }
    // Construction and Initialise.
    static std::unique_ptr<Bare> Initialised() {
        auto engine = std::make_unique<Bare>();
        engine->Program(quill::EngineScript());
        engine->Eval("var da={}");
        return engine;
    }
    // Parse on a fresh engine.
    static std::unique_ptr<Bare> Parsed(std::unique_ptr<Bare> old, const std::string& text) {
        old.reset();
        auto engine = Initialised();
        engine->Eval("var da=null");
        engine->Program("var da=eval(" + text + ")");
        engine->Eval("null !=da");
        return engine;
    }
    // GetMemberDocument: a working engine, replaced by the one that parses the member's JSON.
    std::unique_ptr<Bare> Member(const std::string& name) {
        auto working = Initialised();
        const std::string json = EvalText("JSON.stringify(da." + name + ")");
        return Parsed(std::move(working), json);
    }

    duk_context* context;
};

void BM_BareDuktape(benchmark::State& state) {
    const std::string& reply = Reply();
    auto global = Bare::Initialised();
    for (auto _ : state) {
        global = Bare::Parsed(std::move(global), reply);
        auto data = global->Member("data");
        auto result = data->Member("result");
        data.reset();
        result->Eval("da.merge_image==null");
        result->EvalText("typeof (da.merge_image)");
        std::string image = result->EvalText("da.merge_image");
        result.reset();
        if (image.size() != std::size_t{3} << 20) {
            state.SkipWithError("picture lost");
        }
        benchmark::DoNotOptimize(image);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply.size()));
    ReportPeak(state);
}
BENCHMARK(BM_BareDuktape)->Unit(benchmark::kMillisecond)->MinTime(3);

}  // namespace

BENCHMARK_MAIN();
