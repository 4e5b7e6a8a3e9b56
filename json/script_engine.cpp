#include "json/script_engine.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "duktape.h"

namespace quill {

using Clock = std::chrono::steady_clock;

struct ScriptEngine::Heap {
    explicit Heap(const EngineLimits& limits) : budget(limits.timeBudget), cap(limits.heapCap) {}

    // Once over, a call stays over until it has unwound: the executor keeps throwing only while
    // this keeps answering true.
    bool TimedOut() {
        if (!armed) {
            return false;
        }
        if (!expired && Clock::now() >= deadline) {
            expired = true;
        }
        return expired;
    }

    // For checks in hot native loops: the clock is read only every so many calls.
    bool TimedOutSampled() {
        if (!armed) {
            return false;
        }
        if (expired) {
            return true;
        }
        if ((++samples & 255U) != 0) {
            return false;
        }
        return TimedOut();
    }

    bool Reserve(std::size_t bytes) {
        if (bytes > cap - used) {
            capReached = true;
            return false;
        }
        used += bytes;
        if (used > peak) {
            peak = used;
        }
        return true;
    }

    void Arm() {
        armed = true;
        expired = false;
        capReached = false;
        deadline = Clock::now() + budget;
    }

    Clock::duration budget;
    std::size_t cap;
    std::size_t used = 0;
    std::size_t peak = 0;
    bool armed = false;
    bool expired = false;
    bool capReached = false;
    unsigned samples = 0;
    Clock::time_point deadline{};
};

namespace {

std::mutex& LimitsMutex() {
    static std::mutex mutex;
    return mutex;
}

EngineLimits& Limits() {
    static EngineLimits limits = DefaultEngineLimits();
    return limits;
}

// Each block carries its size in front, so that the cap counts what the heap really holds.
constexpr std::size_t kHeader = alignof(std::max_align_t);

std::size_t& BlockSize(void* block) {
    return *static_cast<std::size_t*>(block);
}

// Native loops (a sort, a join, a walk over a huge length) never reach the executor's check but
// allocate as they go, so the allocator refuses once the time is up.
void* Allocate(void* userData, duk_size_t size) {
    auto* heap = static_cast<ScriptEngine::Heap*>(userData);
    if (heap->TimedOutSampled() || !heap->Reserve(size)) {
        return nullptr;
    }
    void* block = std::malloc(kHeader + size);
    if (block == nullptr) {
        heap->used -= size;
        return nullptr;
    }
    BlockSize(block) = size;
    return static_cast<char*>(block) + kHeader;
}

void Release(void* userData, void* pointer) {
    if (pointer == nullptr) {
        return;
    }
    auto* heap = static_cast<ScriptEngine::Heap*>(userData);
    void* block = static_cast<char*>(pointer) - kHeader;
    heap->used -= BlockSize(block);
    std::free(block);
}

void* Reallocate(void* userData, void* pointer, duk_size_t size) {
    if (pointer == nullptr) {
        return Allocate(userData, size);
    }
    if (size == 0) {
        Release(userData, pointer);
        return nullptr;
    }
    auto* heap = static_cast<ScriptEngine::Heap*>(userData);
    void* block = static_cast<char*>(pointer) - kHeader;
    const std::size_t old = BlockSize(block);
    if (size > old && (heap->TimedOutSampled() || !heap->Reserve(size - old))) {
        return nullptr;
    }
    void* moved = std::realloc(block, kHeader + size);
    if (moved == nullptr) {
        if (size > old) {
            heap->used -= size - old;
        }
        return nullptr;
    }
    if (size < old) {
        heap->used -= old - size;
    }
    BlockSize(moved) = size;
    return static_cast<char*>(moved) + kHeader;
}

// Reached only by an error outside every protected call, which this host never makes.
void Fatal(void*, const char*) {
    std::abort();
}

struct Call {
    std::string_view code;
    EvalKind kind;
    bool program;
};

// Runs inside duk_safe_call: every error, the conversions' included, lands there. Leaves exactly
// one value: the converted result.
duk_ret_t RunCall(duk_context* context, void* userData) {
    const auto* call = static_cast<const Call*>(userData);
    if (call->program) {
        duk_compile_lstring(context, 0, call->code.data(), call->code.size());
        duk_call(context, 0);
        duk_pop(context);
        duk_push_undefined(context);
        return 1;
    }
    duk_eval_lstring(context, call->code.data(), call->code.size());
    switch (call->kind) {
        case EvalKind::kVoid:
            break;
        case EvalKind::kText:
            if (!duk_is_null_or_undefined(context, -1)) {
                duk_to_string(context, -1);
            }
            break;
        case EvalKind::kNumber: {
            double number = 0;
            switch (duk_get_type(context, -1)) {
                case DUK_TYPE_NUMBER:
                    number = duk_get_number(context, -1);
                    break;
                case DUK_TYPE_BOOLEAN:
                    number = duk_get_boolean(context, -1) ? 1 : 0;
                    break;
                case DUK_TYPE_STRING:
                    number = duk_to_number(context, -1);
                    if (std::isnan(number)) {
                        number = 0;
                    }
                    break;
                default:
                    break;
            }
            duk_pop(context);
            duk_push_number(context, number);
            break;
        }
        case EvalKind::kBool: {
            const bool truth = duk_to_boolean(context, -1) != 0;
            duk_pop(context);
            duk_push_boolean(context, truth);
            break;
        }
    }
    return 1;
}

}  // namespace

EngineLimits DefaultEngineLimits() {
    return {std::chrono::milliseconds(3000), std::size_t{256} << 20};
}

EngineLimits CurrentEngineLimits() {
    const std::lock_guard<std::mutex> lock(LimitsMutex());
    return Limits();
}

void SetEngineLimits(const EngineLimits& limits) {
    const std::lock_guard<std::mutex> lock(LimitsMutex());
    Limits() = limits;
}

std::shared_ptr<ScriptEngine> ScriptEngine::Create() {
    auto heap = std::make_unique<Heap>(CurrentEngineLimits());
    duk_context* context = duk_create_heap(Allocate, Reallocate, Release, heap.get(), Fatal);
    if (context == nullptr) {
        return nullptr;
    }
    return std::shared_ptr<ScriptEngine>(new ScriptEngine(std::move(heap), context));
}

ScriptEngine::ScriptEngine(std::unique_ptr<Heap> heap, duk_hthread* context)
    : heap_(std::move(heap)), context_(context) {}

ScriptEngine::~ScriptEngine() {
    // Finalizers a script left behind run now, so they get a budget of their own.
    heap_->Arm();
    duk_destroy_heap(context_);
}

bool ScriptEngine::AddCode(std::string_view code) {
    return Run(code, EvalKind::kVoid, true).ok;
}

EvalResult ScriptEngine::Eval(std::string_view code, EvalKind kind) {
    return Run(code, kind, false);
}

EvalResult ScriptEngine::Run(std::string_view code, EvalKind kind, bool program) {
    EvalResult result;
    Call call{code, kind, program};
    heap_->Arm();
    const duk_int_t status = duk_safe_call(context_, RunCall, &call, 0, 1);
    if (status == DUK_EXEC_SUCCESS) {
        result.ok = true;
        switch (kind) {
            case EvalKind::kVoid:
                break;
            case EvalKind::kText:
                if (duk_is_string(context_, -1)) {
                    duk_size_t length = 0;
                    const char* text = duk_get_lstring(context_, -1, &length);
                    result.text.assign(text, length);
                }
                break;
            case EvalKind::kNumber:
                result.number = duk_get_number(context_, -1);
                break;
            case EvalKind::kBool:
                result.truth = duk_get_boolean(context_, -1) != 0;
                break;
        }
        lastOutcome_ = EngineOutcome::kOk;
    } else if (heap_->expired) {
        lastOutcome_ = EngineOutcome::kTimedOut;
    } else if (heap_->capReached) {
        lastOutcome_ = EngineOutcome::kOutOfMemory;
    } else {
        lastOutcome_ = EngineOutcome::kFailed;
    }
    duk_pop(context_);
    heap_->armed = false;
    return result;
}

int ScriptEngine::StackDepth() const {
    return static_cast<int>(duk_get_top(context_));
}

std::size_t ScriptEngine::HeapBytes() const {
    return heap_->used;
}

std::size_t ScriptEngine::PeakHeapBytes() const {
    return heap_->peak;
}

}  // namespace quill

extern "C" int QuillEngineTimedOut(void* heapUserData) {
    if (heapUserData == nullptr) {
        return 0;
    }
    return static_cast<quill::ScriptEngine::Heap*>(heapUserData)->TimedOut() ? 1 : 0;
}

// Asked from inside the engine's substring searches and regular-expression matcher.
extern "C" int QuillEngineScanTimedOut(void* heapUserData) {
    if (heapUserData == nullptr) {
        return 0;
    }
    return static_cast<quill::ScriptEngine::Heap*>(heapUserData)->TimedOutSampled() ? 1 : 0;
}
