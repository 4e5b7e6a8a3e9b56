// One instance of the script engine (a Duktape heap), shared by reference count between a
// document and its clones.
//
// Every call runs protected and leaves the value stack as it found it. Each call has a time budget
// and each heap a memory cap, so that a runaway script or a memory bomb in a reply is stopped:
// the call then fails like any other, and the engine stays usable.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

struct duk_hthread;

namespace quill {

struct EngineLimits {
    // Wall time one engine call may take, compilation included.
    std::chrono::milliseconds timeBudget;
    // Bytes one heap may hold at a time.
    std::size_t heapCap;
};

// Generous enough for a 20 MB reply on a slow machine, short enough not to look like a hang.
EngineLimits DefaultEngineLimits();
EngineLimits CurrentEngineLimits();
// Applies to engines created afterwards; tests use it to shorten the wait for a runaway script.
void SetEngineLimits(const EngineLimits& limits);

enum class EvalKind { kVoid, kText, kNumber, kBool };

enum class EngineOutcome { kOk, kFailed, kTimedOut, kOutOfMemory };

struct EvalResult {
    bool ok = false;
    std::string text;  // CESU-8, as the engine holds it
    double number = 0;
    bool truth = false;
};

class ScriptEngine {
  public:
    // Empty when the heap cannot be created.
    static std::shared_ptr<ScriptEngine> Create();
    ~ScriptEngine();
    ScriptEngine(const ScriptEngine&) = delete;
    ScriptEngine& operator=(const ScriptEngine&) = delete;

    // Runs `code` (CESU-8) as global program code: its declarations become globals.
    bool AddCode(std::string_view code);
    // Runs `code` as global eval code and converts its completion value: undefined and null give
    // the empty text and 0, a string gives 0 unless it reads as a number.
    EvalResult Eval(std::string_view code, EvalKind kind);

    EngineOutcome lastOutcome() const { return lastOutcome_; }
    // Values left on the engine's stack; 0 between calls.
    int StackDepth() const;
    std::size_t HeapBytes() const;
    std::size_t PeakHeapBytes() const;

    struct Heap;

  private:
    ScriptEngine(std::unique_ptr<Heap> heap, duk_hthread* context);
    EvalResult Run(std::string_view code, EvalKind kind, bool program);

    std::unique_ptr<Heap> heap_;
    duk_hthread* context_ = nullptr;
    EngineOutcome lastOutcome_ = EngineOutcome::kOk;
};

}  // namespace quill
