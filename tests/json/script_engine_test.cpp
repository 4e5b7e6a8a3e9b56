#include "json/script_engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "engine_limits.h"

namespace quill {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

class ScriptEngineTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NE(engine_, nullptr); }
    void TearDown() override {
        if (engine_ != nullptr) {
            EXPECT_EQ(engine_->StackDepth(), 0);
        }
    }
    std::shared_ptr<ScriptEngine> engine_ = ScriptEngine::Create();
};

TEST_F(ScriptEngineTest, ConvertsCompletionValuesByKind) {
    struct Case {
        const char* code;
        std::string text;
        double number;
        bool truth;
    };
    const Case cases[] = {
        {"undefined", "", 0, false},
        {"null", "", 0, false},
        {"'abc'", "abc", 0, true},
        {"''", "", 0, false},
        {"' 12.5 '", " 12.5 ", 12.5, true},
        {"1.5", "1.5", 1.5, true},
        {"0", "0", 0, false},
        {"1e21", "1e+21", 1e21, true},
        {"true", "true", 1, true},
        {"false", "false", 0, false},
        {"[1,'b']", "1,b", 0, true},
        {"({})", "[object Object]", 0, true},
        {"({toString: function () { return 'mine'; }})", "mine", 0, true},
        {"for (var i = 0; i < 3; i++) { i * 10; }", "20", 20, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        const EvalResult text = engine_->Eval(c.code, EvalKind::kText);
        EXPECT_TRUE(text.ok);
        EXPECT_EQ(text.text, c.text);
        EXPECT_DOUBLE_EQ(engine_->Eval(c.code, EvalKind::kNumber).number, c.number);
        EXPECT_EQ(engine_->Eval(c.code, EvalKind::kBool).truth, c.truth);
        EXPECT_EQ(engine_->StackDepth(), 0);
    }
}

TEST_F(ScriptEngineTest, FailuresGiveTheEmptyResultAndLeaveTheStackBalanced) {
    const char* codes[] = {"1 +", "throw new Error('x')", "throw 5", "missingName", "null.x"};
    for (const char* code : codes) {
        SCOPED_TRACE(code);
        for (const EvalKind kind :
             {EvalKind::kVoid, EvalKind::kText, EvalKind::kNumber, EvalKind::kBool}) {
            const EvalResult result = engine_->Eval(code, kind);
            EXPECT_FALSE(result.ok);
            EXPECT_EQ(result.text, "");
            EXPECT_EQ(result.number, 0);
            EXPECT_FALSE(result.truth);
            EXPECT_EQ(engine_->lastOutcome(), EngineOutcome::kFailed);
            EXPECT_EQ(engine_->StackDepth(), 0);
        }
    }
    EXPECT_FALSE(engine_->AddCode("function ("));
    EXPECT_EQ(engine_->StackDepth(), 0);
}

TEST_F(ScriptEngineTest, ValueWithoutTextFormGivesTheEmptyText) {
    const char* codes[] = {
        "({toString: function () { throw 1; }})",
        "({toString: function () { return {}; }, valueOf: function () { return {}; }})",
        "Symbol('s')",
    };
    for (const char* code : codes) {
        SCOPED_TRACE(code);
        const EvalResult text = engine_->Eval(code, EvalKind::kText);
        EXPECT_FALSE(text.ok);
        EXPECT_EQ(text.text, "");
        EXPECT_EQ(engine_->StackDepth(), 0);
    }
}

TEST_F(ScriptEngineTest, DeclarationsBecomeGlobalsAndEarlierStatementsKeepTheirEffect) {
    EXPECT_TRUE(engine_->AddCode("function twice(x) { return 2 * x; }\r\nvar kept = 4;"));
    EXPECT_EQ(engine_->Eval("twice(kept)", EvalKind::kNumber).number, 8);
    engine_->Eval("var kept = 'replaced'", EvalKind::kVoid);
    EXPECT_EQ(engine_->Eval("kept", EvalKind::kText).text, "replaced");
    EXPECT_FALSE(engine_->Eval("var before = 1; null.x; var after = 1;", EvalKind::kVoid).ok);
    EXPECT_EQ(engine_->Eval("typeof before + typeof after", EvalKind::kText).text,
              "numberundefined");
}

TEST_F(ScriptEngineTest, HeapStaysUnderItsCap) {
    ScopedEngineLimits limits({milliseconds(2000), std::size_t{8} << 20});
    auto small = ScriptEngine::Create();
    ASSERT_NE(small, nullptr);
    const EvalResult result = small->Eval("var s = 'x'; while (true) s = s + s;", EvalKind::kVoid);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(small->lastOutcome(), EngineOutcome::kOutOfMemory);
    EXPECT_LE(small->HeapBytes(), std::size_t{8} << 20);
    EXPECT_EQ(small->Eval("'still' + ' here'", EvalKind::kText).text, "still here");
}

TEST(ScriptEngine, NoEngineWhenTheCapCannotHoldAHeap) {
    ScopedEngineLimits limits({milliseconds(1000), 1024});
    EXPECT_EQ(ScriptEngine::Create(), nullptr);
}

// Each of these would run for minutes or forever, or eat all memory, without the budget.
struct HostileCase {
    const char* what;
    const char* code;
    EngineOutcome outcome;
};

const HostileCase kHostile[] = {
    {"endless loop", "while (true) {}", EngineOutcome::kTimedOut},
    {"loop that swallows the timeout", "while (true) { try { while (true) {} } catch (e) {} }",
     EngineOutcome::kTimedOut},
    {"endless recursion caught each time", "function f() { try { f(); } catch (e) { f(); } } f();",
     EngineOutcome::kTimedOut},
    {"endless toString", "String({toString: function () { for (;;) {} }})",
     EngineOutcome::kTimedOut},
    {"global that keeps growing",
     "var s = 'y'.repeat(100000), hoard = []; for (var i = 0; ; i++) hoard.push(s + i);",
     EngineOutcome::kOutOfMemory},
    {"string doubling", "var s = 'x'; for (;;) s = s + s;", EngineOutcome::kOutOfMemory},
    {"native join over a huge length", "Array.prototype.join.call({length: 4e9}, '')",
     EngineOutcome::kTimedOut},
    {"native reverse over a huge length", "Array.prototype.reverse.call({length: 4e9})",
     EngineOutcome::kTimedOut},
    {"quadratic substring search",
     "var h = new Array(2000001).join('a'); h.indexOf(new Array(1000001).join('a') + 'b')",
     EngineOutcome::kTimedOut},
    {"quadratic split",
     "var h = new Array(2000001).join('a'); h.split(new Array(1000001).join('a') + 'b')",
     EngineOutcome::kTimedOut},
    {"catastrophic backtracking",
     "/^(?:a+)+$/.test('aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa!')",
     EngineOutcome::kTimedOut},
};

TEST(ScriptEngineBudget, HostileScriptsAreStoppedAndTheEngineStaysUsable) {
    for (const auto& c : kHostile) {
        SCOPED_TRACE(c.what);
        // A memory bomb gets all the time it could want, so that only the cap can stop it.
        const milliseconds budget(c.outcome == EngineOutcome::kTimedOut ? 300 : 60000);
        ScopedEngineLimits limits({budget, std::size_t{16} << 20});
        auto engine = ScriptEngine::Create();
        ASSERT_NE(engine, nullptr);
        const auto start = Clock::now();
        const EvalResult result = engine->Eval(c.code, EvalKind::kText);
        const auto spent = Clock::now() - start;
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(engine->lastOutcome(), c.outcome);
        EXPECT_LT(spent,
                  c.outcome == EngineOutcome::kTimedOut ? budget * 4 + milliseconds(1000) : budget);
        EXPECT_EQ(engine->StackDepth(), 0);
        // The next call has a budget of its own.
        EXPECT_EQ(engine->Eval("[1, 2].join('+')", EvalKind::kText).text, "1+2");
    }
}

TEST(ScriptEngineBudget, FinalizerLeftBehindCannotHoldUpTheEngineEnd) {
    const milliseconds budget(300);
    ScopedEngineLimits limits({budget, std::size_t{64} << 20});
    auto engine = ScriptEngine::Create();
    ASSERT_NE(engine, nullptr);
    ASSERT_TRUE(engine->AddCode("var trap = {}; Duktape.fin(trap, function () { for (;;) {} });"));
    const auto start = Clock::now();
    engine.reset();
    EXPECT_LT(Clock::now() - start, budget * 4 + milliseconds(1000));
}

TEST(ScriptEngineBudget, BudgetIsPerCallNotPerEngine) {
    const milliseconds budget(1000);
    ScopedEngineLimits limits({budget, std::size_t{64} << 20});
    auto engine = ScriptEngine::Create();
    ASSERT_NE(engine, nullptr);
    const auto start = Clock::now();
    int calls = 0;
    while (Clock::now() - start < budget * 3 / 2) {
        const EvalResult result = engine->Eval(
            "var n = 0; for (var i = 0; i < 100000; i++) n += i % 7; n", EvalKind::kNumber);
        ASSERT_TRUE(result.ok) << "call " << calls;
        EXPECT_EQ(result.number, 299995);
        ++calls;
    }
    EXPECT_GT(calls, 1);
}

}  // namespace
}  // namespace quill
