#include "json/json_document.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine_limits.h"
#include "http/gbk_codec.h"
#include "json/script_engine.h"
#include "merge_path.h"

namespace quill {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;
using Names = std::vector<std::string>;

// GBK spellings of the Chinese texts used below.
const std::string kZhongWenCeShi = "\xD6\xD0\xCE\xC4\xB2\xE2\xCA\xD4";  // 中文测试
const std::string kMing = "\xC3\xFB";                                   // 名
const std::string kZhi = "\xD6\xB5";                                    // 值
const std::string kChengGong = "\xB3\xC9\xB9\xA6";                      // 成功

// Nothing is left on an engine's stack between calls, failed ones included.
bool Balanced(const JsonDocument& doc) {
    return !doc.HasEngine() || doc.engine()->StackDepth() == 0;
}

class JsonDocumentTest : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_TRUE(Balanced(doc_)); }

    JsonDocument& Loaded(const std::string& json) {
        EXPECT_TRUE(doc_.Parse(json)) << json;
        return doc_;
    }

    JsonDocument doc_;
};

TEST_F(JsonDocumentTest, ConstructionGivesAnEmptyObjectInDa) {
    EXPECT_TRUE(doc_.HasEngine());
    EXPECT_EQ(doc_.variableName(), "da");
    EXPECT_EQ(doc_.ToJson(), "{}");
    EXPECT_EQ(doc_.EvalText("JSON.stringify(da)"), "{}");
    EXPECT_EQ(doc_.Count(), 0);
}

TEST_F(JsonDocumentTest, ParseEvaluatesTheTextAsAnExpression) {
    struct Case {
        const char* text;
        bool parsed;
        const char* kind;  // typeof da afterwards
        const char* json;
    };
    const Case cases[] = {
        {"", false, "undefined", ""},
        {"{\"a\":", false, "object", "null"},
        {"<html>502 Bad Gateway</html>", false, "object", "null"},
        {"0", true, "number", "0"},
        {"false", true, "boolean", "false"},
        {"null", false, "object", "null"},
        {"\"\"", false, "undefined", ""},
        // A JSON string's content runs as a script.
        {"\"1+1\"", true, "number", "2"},
        {"\"'abc'\"", true, "string", "\"abc\""},
        {"\"abc\"", false, "object", "null"},
        {"{\"a\":1} trailing", false, "object", "null"},
        {" {\"a\" : [1, {\"b\": null}], \"c\": \"x\"} ", true, "object",
         "{\"a\":[1,{\"b\":null}],\"c\":\"x\"}"},
        {"[1,2,]", true, "object", "[1,2]"},
        {"{a: 'not strict JSON'}", true, "object", "{\"a\":\"not strict JSON\"}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(doc_.Parse(c.text), c.parsed);
        EXPECT_EQ(doc_.EvalText("typeof da"), c.kind);
        EXPECT_EQ(doc_.ToJson(), c.json);
    }
}

TEST_F(JsonDocumentTest, ParseStartsFromAFreshEngine) {
    doc_.SetMember("before", "1");
    doc_.AddCode("var other = 1;");
    const std::shared_ptr<ScriptEngine> old = doc_.engine();
    auto clone = doc_.Clone();

    ASSERT_TRUE(doc_.Parse("{\"after\":2}"));
    EXPECT_NE(doc_.engine(), old);
    EXPECT_EQ(doc_.ToJson(), "{\"after\":2}");
    EXPECT_EQ(doc_.EvalText("typeof other"), "undefined");
    // The clone keeps the engine it shared.
    EXPECT_EQ(clone->engine(), old);
    EXPECT_EQ(clone->ToJson(), "{\"before\":\"1\"}");
    EXPECT_TRUE(Balanced(*clone));
    clone->Destroy();
}

TEST_F(JsonDocumentTest, GetMemberTextGivesStringsNumbersAndTextForms) {
    Loaded(
        "{\"s\":\"text\",\"e\":\"\",\"n\":null,\"x\":1.5,\"i\":3,\"neg\":-2.25,\"big\":1e21,"
        "\"tiny\":1.5e-7,\"sum\":0.30000000000000004,\"digits\":1234567890123456,\"t\":true,"
        "\"o\":{\"k\":1},\"a\":[1,\"b\"],\"deep\":{\"k\":{\"m\":\"v\"}}}");
    struct Case {
        const char* name;
        bool asJson;
        const char* text;
    };
    const Case cases[] = {
        {"missing", false, ""},
        {"n", false, ""},
        {"x", false, "1.5"},
        {"i", false, "3"},
        {"neg", false, "-2.25"},
        {"big", false, "1e+21"},
        {"tiny", false, "1.5e-07"},
        {"sum", false, "0.3"},
        {"digits", false, "1.234567890123e+15"},
        {"s", false, "text"},
        {"e", false, ""},
        {"t", false, "true"},
        {"o", false, "[object Object]"},
        {"a", false, "1,b"},
        {"deep.k.m", false, "v"},
        {"o", true, "{\"k\":1}"},
        {"s", true, "\"text\""},
        {"a", true, "[1,\"b\"]"},
        {"sum", true, "0.30000000000000004"},
        {"n", true, "null"},
        {"missing", true, ""},
        {"bad name", false, ""},
        {"-x", false, ""},
        {"missing.deeper", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(doc_.GetMemberText(c.name, c.asJson), c.text);
    }
}

TEST_F(JsonDocumentTest, BracketNamesIndexTheValueItself) {
    Loaded("[\"first\", {\"k\": 2}, 3.25, [4, 5], {\"a b\": 6}]");
    struct Case {
        const char* name;
        bool asJson;
        const char* text;
    };
    const Case cases[] = {
        {"[0]", false, "first"}, {"[0]", true, "\"first\""}, {"[1].k", false, "2"},
        {"[2]", false, "3.25"},  {"[3]", false, "4,5"},      {"[4][\"a b\"]", false, "6"},
        {"[9]", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(doc_.GetMemberText(c.name, c.asJson), c.text);
    }
    EXPECT_EQ(doc_.Count("[3]"), 2);
    EXPECT_EQ(doc_.Count("[1]"), 1);
    // TypeOf, HasMember and GetMemberNumber always put a "." in between.
    EXPECT_EQ(doc_.TypeOf("[2]"), kJsonOther);
    EXPECT_FALSE(doc_.HasMember("[0]"));
    EXPECT_EQ(doc_.GetMemberNumber("[2]"), 0);

    auto element = doc_.GetMemberDocument("[1]");
    EXPECT_EQ(element->ToJson(), "{\"k\":2}");
    EXPECT_TRUE(Balanced(*element));
    element->Destroy();
}

TEST_F(JsonDocumentTest, TypeOfGivesTheKindCodes) {
    Loaded(
        "{\"n\":null,\"x\":1,\"z\":0,\"s\":\"\",\"o\":{},\"a\":[],\"t\":true,\"f\":false,"
        "\"d\":{\"a\":[[1]]}}");
    doc_.SetMemberJson("fn", "(function () {})");
    struct Case {
        const char* name;
        int kind;
    };
    const Case cases[] = {
        {"missing", kJsonNull},   {"n", kJsonNull},
        {"x", kJsonNumber},       {"z", kJsonNumber},
        {"s", kJsonString},       {"o", kJsonObject},
        {"a", kJsonArray},        {"d.a", kJsonArray},
        {"d.a[0]", kJsonArray},   {"t", kJsonOther},
        {"f", kJsonOther},        {"fn", kJsonOther},
        {"o.missing", kJsonNull}, {"missing.deeper", kJsonOther},
        {"", kJsonObject},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(doc_.TypeOf(c.name), c.kind);
    }
}

// Left to us: an empty name stands for the document's own value, so an array is told from an
// object by the document's own JSON text.
TEST_F(JsonDocumentTest, TypeOfTheWholeValue) {
    struct Case {
        const char* text;
        int kind;
    };
    const Case cases[] = {
        {"[1]", kJsonArray}, {"[]", kJsonArray},   {"{}", kJsonObject},      {"3", kJsonNumber},
        {"null", kJsonNull}, {"true", kJsonOther}, {"\"'s'\"", kJsonString},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        doc_.Parse(c.text);
        EXPECT_EQ(doc_.TypeOf(), c.kind);
    }
}

TEST_F(JsonDocumentTest, EmptyNameStandsForTheValueItself) {
    Loaded("3");
    EXPECT_EQ(doc_.GetMemberText(""), "3");
    EXPECT_EQ(doc_.GetMemberNumber(""), 3);
    EXPECT_TRUE(doc_.HasMember(""));
    Loaded("[1,{\"k\":\"v\"}]");
    EXPECT_EQ(doc_.GetMemberJson(""), "[1,{\"k\":\"v\"}]");
    EXPECT_EQ(doc_.GetMemberText("", true), "[1,{\"k\":\"v\"}]");
    auto whole = doc_.GetMemberDocument("");
    EXPECT_EQ(whole->ToJson(), "[1,{\"k\":\"v\"}]");
    whole->Destroy();
    doc_.SetMember("", "plain");
    EXPECT_EQ(doc_.ToJson(), "\"plain\"");
    doc_.SetMemberJson("", "{\"a\":1}");
    EXPECT_EQ(doc_.ToJson(), "{\"a\":1}");
    doc_.SetMemberNumber("", 2.5);
    EXPECT_EQ(doc_.ToJson(), "2.5");
    doc_.Parse("null");
    EXPECT_FALSE(doc_.HasMember(""));
}

TEST_F(JsonDocumentTest, CountGivesMembersOrElements) {
    struct Case {
        const char* text;
        const char* path;
        int count;
    };
    const Case cases[] = {
        {"{}", "", 0},
        {"[1,2,3]", "", 3},
        {"{\"a\":1,\"b\":{}}", "", 2},
        {"[]", "", 0},
        {"{\"a\":[1,2,3,4]}", "a", 4},
        {"{\"a\":{\"b\":{\"c\":1,\"d\":2}}}", "a.b", 2},
        {"[[1,2],[3]]", "[0]", 2},
        // for-in over undefined visits nothing here, so only the -2 is left.
        {"{}", "missing", -2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Loaded(c.text);
        EXPECT_EQ(doc_.Count(c.path), c.count);
    }
}

TEST_F(JsonDocumentTest, CountStaysAnIntWhateverTheCounterGives) {
    struct Case {
        const char* counter;
        int count;
    };
    const Case cases[] = {
        {"function () { return 1e300; }", INT_MAX}, {"function () { return -1e300; }", INT_MIN},
        {"function () { return NaN; }", 0},         {"function () { return 7.9; }", 7},
        {"function () { return -7.9; }", -7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.counter);
        doc_.AddCode(std::string("get__count = ") + c.counter + ";");
        EXPECT_EQ(doc_.Count(), c.count);
    }
}

TEST_F(JsonDocumentTest, MemberNamesListsOwnNamesInEnumerationOrder) {
    struct Case {
        const char* text;
        const char* path;
        Names names;
    };
    const Case cases[] = {
        {"{\"a\":1,\"b\":2}", "", {"a", "b"}},
        {"{\"b\":1,\"a\":2}", "", {"b", "a"}},
        {"{}", "", {}},
        {"[5,6]", "", {"0", "1"}},
        {"{\"o\":{\"k\":1,\"l\":2}}", "o", {"k", "l"}},
        // The name's own "toJSONString," goes with the inherited ones.
        {"{\"xtoJSONString,y\":1,\"z\":2}", "", {"xy", "z"}},
        {"{\"p,q\":1}", "", {"p", "q"}},
        {"{\"\":1,\"b\":2}", "", {"", "b"}},
        {"{}", "missing", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Loaded(c.text);
        Names names{"held before"};
        EXPECT_EQ(doc_.MemberNames(names, c.path), static_cast<int>(c.names.size()));
        EXPECT_EQ(names, c.names);
        EXPECT_TRUE(doc_.EvalBool("ary === null"));
    }
}

TEST_F(JsonDocumentTest, MemberNamesKeepsGbkNamesWhole) {
    Loaded("{\"" + kMing + "\":1,\"" + kMing + kZhi + "\":2}");
    Names names;
    ASSERT_EQ(doc_.MemberNames(names), 2);
    EXPECT_EQ(names, (Names{kMing, kMing + kZhi}));
}

struct ChangeCase {
    const char* what;
    const char* start;
    std::function<void(JsonDocument&)> change;
    const char* json;
};

TEST_F(JsonDocumentTest, SettingOperationsChangeTheValueOrLeaveItAsItWas) {
    const ChangeCase cases[] = {
        {"plain member", "{\"keep\":1}", [](JsonDocument& d) { d.SetMember("m", "v"); },
         "{\"keep\":1,\"m\":\"v\"}"},
        {"empty plain member", "{\"keep\":1}", [](JsonDocument& d) { d.SetMember("m", ""); },
         "{\"keep\":1,\"m\":\"\"}"},
        {"empty json member is an object", "{\"keep\":1}",
         [](JsonDocument& d) { d.SetMember("m", "", true); }, "{\"keep\":1,\"m\":{}}"},
        {"json member", "{\"keep\":1}", [](JsonDocument& d) { d.SetMember("m", "[1,2]", true); },
         "{\"keep\":1,\"m\":[1,2]}"},
        {"backslash starts an escape", "{}", [](JsonDocument& d) { d.SetMember("m", "a\\tb"); },
         "{\"m\":\"a\\tb\"}"},
        {"quote breaks the text", "{\"keep\":1}",
         [](JsonDocument& d) { d.SetMember("keep", "it's"); }, "{\"keep\":1}"},
        {"missing intermediate", "{\"keep\":1}",
         [](JsonDocument& d) { d.SetMember("missing.m", "v"); }, "{\"keep\":1}"},
        {"nested member", "{\"o\":{}}", [](JsonDocument& d) { d.SetMember("o.m", "v"); },
         "{\"o\":{\"m\":\"v\"}}"},
        {"name that is no member expression", "{\"keep\":1}",
         [](JsonDocument& d) { d.SetMember("bad name", "v"); }, "{\"keep\":1}"},
        {"empty json text is undefined", "{\"keep\":1,\"m\":2}",
         [](JsonDocument& d) { d.SetMemberJson("m", ""); }, "{\"keep\":1}"},
        {"json text", "{}", [](JsonDocument& d) { d.SetMemberJson("m", "{\"a\":[true]}"); },
         "{\"m\":{\"a\":[true]}}"},
        {"number to 13 digits", "{}", [](JsonDocument& d) { d.SetMemberNumber("m", 1.0 / 3); },
         "{\"m\":0.3333333333333}"},
        {"large number", "{}", [](JsonDocument& d) { d.SetMemberNumber("m", 1e21); },
         "{\"m\":1e+21}"},
        {"negative number", "{}", [](JsonDocument& d) { d.SetMemberNumber("m", -0.5); },
         "{\"m\":-0.5}"},
        {"reset to array", "{\"a\":1}", [](JsonDocument& d) { d.Reset(kJsonArray); }, "[]"},
        {"reset to object", "[1]", [](JsonDocument& d) { d.Reset(kJsonObject); }, "{}"},
        {"reset with null code", "[1]", [](JsonDocument& d) { d.Reset(kJsonNull); }, "{}"},
        {"reset with 3", "{\"a\":1}", [](JsonDocument& d) { d.Reset(3); }, "{\"a\":1}"},
        {"reset with string code", "{\"a\":1}", [](JsonDocument& d) { d.Reset(kJsonString); },
         "{\"a\":1}"},
        {"clear", "[1,2]", [](JsonDocument& d) { d.Clear(); }, "{}"},
        {"plain value", "{}", [](JsonDocument& d) { d.SetValue("x"); }, "\"x\""},
        {"json value", "{}", [](JsonDocument& d) { d.SetValue("[1]", true); }, "[1]"},
        {"empty json value fails", "{\"a\":1}", [](JsonDocument& d) { d.SetValue("", true); },
         "{\"a\":1}"},
        {"remove last", "[10,20,30]", [](JsonDocument& d) { d.RemoveElement(-1); }, "[10,20]"},
        {"remove first", "[10,20,30]", [](JsonDocument& d) { d.RemoveElement(0); }, "[20,30]"},
        {"remove past the end", "[10]", [](JsonDocument& d) { d.RemoveElement(5); }, "[10]"},
        {"remove from an object", "{\"a\":1}", [](JsonDocument& d) { d.RemoveElement(0); },
         "{\"a\":1}"},
        {"set element", "[10,20,30]", [](JsonDocument& d) { d.SetElement(1, "x"); },
         "[10,\"x\",30]"},
        {"set element past the end", "[10]", [](JsonDocument& d) { d.SetElement(2, "7", true); },
         "[10,null,7]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Loaded(c.start);
        c.change(doc_);
        EXPECT_EQ(doc_.ToJson(), c.json);
    }
}

TEST_F(JsonDocumentTest, PushMakesAnArrayWhenNeeded) {
    struct Case {
        const char* start;
        const char* value;
        const char* path;
        bool isJson;
        const char* json;
    };
    const Case cases[] = {
        {"{\"n\":5}", "x", "n", false, "{\"n\":[\"x\"]}"},
        {"{}", "x", "m", false, "{\"m\":[\"x\"]}"},
        {"{\"a\":[1]}", "2", "a", true, "{\"a\":[1,2]}"},
        {"{\"a\":[1]}", "{\"k\":1}", "a", true, "{\"a\":[1,{\"k\":1}]}"},
        {"{\"o\":{\"k\":1}}", "y", "o", false, "{\"o\":[\"y\"]}"},
        {"{\"s\":\"str\"}", "1", "s", true, "{\"s\":[1]}"},
        {"{\"z\":null}", "1", "z", false, "{\"z\":[\"1\"]}"},
        {"[1]", "z", "", false, "[1,\"z\"]"},
        {"{\"k\":1}", "z", "", false, "[\"z\"]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.start) + " <- " + c.value);
        Loaded(c.start);
        doc_.Push(c.value, c.path, c.isJson);
        EXPECT_EQ(doc_.ToJson(), c.json);
    }
}

TEST_F(JsonDocumentTest, ReadsMembersAndElements) {
    Loaded(
        "{\"a\":[{\"k\":\"v\"},20],\"x\":2.5,\"n\":null,\"z\":0,\"e\":\"\",\"o\":{\"f\":false}}");
    EXPECT_EQ(doc_.GetMemberNumber("x"), 2.5);
    EXPECT_EQ(doc_.GetMemberNumber("missing"), 0);
    EXPECT_EQ(doc_.GetMemberJson("a"), "[{\"k\":\"v\"},20]");
    EXPECT_EQ(doc_.GetMemberJson("missing"), "");
    EXPECT_EQ(doc_.GetElementText(1, "a"), "20");
    EXPECT_EQ(doc_.GetElementText(0, "a"), "[object Object]");
    EXPECT_EQ(doc_.GetElementText(0, "a", true), "{\"k\":\"v\"}");
    EXPECT_EQ(doc_.GetElementText(7, "a"), "");

    struct Case {
        const char* name;
        bool has;
    };
    const Case cases[] = {
        {"a", true},   {"n", false},         {"missing", false},   {"z", true},         {"e", true},
        {"o.f", true}, {"o.missing", false}, {"missing.k", false}, {"bad name", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(doc_.HasMember(c.name), c.has);
    }

    auto element = doc_.GetElementDocument(0, "a");
    EXPECT_EQ(element->ToJson(), "{\"k\":\"v\"}");
    EXPECT_EQ(element->GetMemberText("k"), "v");
    EXPECT_TRUE(Balanced(*element));
    element->Destroy();

    Loaded("[3,[4]]");
    EXPECT_EQ(doc_.GetElementText(0), "3");
    auto inner = doc_.GetElementDocument(1);
    EXPECT_EQ(inner->ToJson(), "[4]");
    EXPECT_TRUE(Balanced(*inner));
    inner->Destroy();
}

TEST_F(JsonDocumentTest, CloneSharesTheValueAndOutlivesItsSource) {
    auto source = std::make_unique<JsonDocument>();
    auto clone = source->Clone();
    EXPECT_EQ(clone->engine(), source->engine());
    EXPECT_EQ(clone->variableName(), "da");

    clone->SetMember("written", "by clone");
    EXPECT_EQ(source->GetMemberText("written"), "by clone");
    source->SetMemberNumber("n", 4);
    EXPECT_EQ(clone->GetMemberText("n"), "4");

    source->Destroy();
    EXPECT_FALSE(source->HasEngine());
    EXPECT_EQ(source->ToJson(), "");
    source.reset();

    EXPECT_EQ(clone->ToJson(), "{\"written\":\"by clone\",\"n\":4}");
    clone->Push("1", "list", true);
    EXPECT_EQ(clone->Count("list"), 1);
    auto second = clone->Clone();
    EXPECT_TRUE(Balanced(*clone));
    clone->Destroy();
    EXPECT_EQ(second->GetMemberJson("list"), "[1]");
    EXPECT_TRUE(Balanced(*second));
    second->Destroy();
}

TEST_F(JsonDocumentTest, ReturnedDocumentsAreIndependentCopies) {
    Loaded("{\"a\":{\"k\":\"original\"}}");
    auto first = doc_.GetMemberDocument("a");
    auto second = doc_.GetMemberDocument("a");
    EXPECT_NE(first->engine(), second->engine());
    EXPECT_NE(first->engine(), doc_.engine());
    EXPECT_EQ(first->variableName(), "da");
    EXPECT_EQ(second->variableName(), "da");

    first->SetMember("k", "changed");
    EXPECT_EQ(first->GetMemberText("k"), "changed");
    EXPECT_EQ(second->GetMemberText("k"), "original");
    EXPECT_EQ(doc_.GetMemberText("a.k"), "original");
    doc_.SetMember("a.k", "source changed");
    EXPECT_EQ(second->GetMemberText("k"), "original");
    EXPECT_TRUE(Balanced(*first));
    first->Destroy();
    EXPECT_EQ(second->GetMemberText("k"), "original");
    EXPECT_TRUE(Balanced(*second));
    second->Destroy();
}

TEST_F(JsonDocumentTest, ReturnedDocumentOfAMissingOrStringMember) {
    Loaded("{\"s\":\"1+2\",\"code\":\"var leaked = 1; 'x'\"}");
    doc_.SetMemberJson("fn", "(function () {})");

    auto missing = doc_.GetMemberDocument("missing");
    EXPECT_TRUE(missing->HasEngine());
    EXPECT_EQ(missing->EvalText("typeof da"), "undefined");
    EXPECT_EQ(missing->GetMemberText("anything"), "");
    EXPECT_FALSE(missing->HasMember("anything"));
    EXPECT_TRUE(Balanced(*missing));
    missing->Destroy();

    // The string's content runs as a script in the new document's engine.
    auto sum = doc_.GetMemberDocument("s");
    EXPECT_EQ(sum->ToJson(), "3");
    sum->Destroy();
    auto code = doc_.GetMemberDocument("code");
    EXPECT_EQ(code->ToJson(), "\"x\"");
    EXPECT_EQ(code->EvalText("typeof leaked"), "number");
    EXPECT_EQ(doc_.EvalText("typeof leaked"), "undefined");
    EXPECT_TRUE(Balanced(*code));
    code->Destroy();

    auto function = doc_.GetMemberDocument("fn");
    EXPECT_EQ(function->EvalText("typeof da"), "undefined");
    function->Destroy();
}

TEST_F(JsonDocumentTest, MergePathTakesThePictureOutOfAReply) {
    std::string base64;
    for (int i = 0; base64.size() < 200000; ++i) {
        base64 += "iVBORw0KGgoAAAANSUhEUgAAA+/=" + std::to_string(i % 10);
    }
    const std::string reply = "{\"errno\":0,\"msg\":\"" + kChengGong +
                              "\",\"data\":{\"log_id\":\"5516012873\",\"result\":{"
                              "\"merge_image\":\"" +
                              base64 + "\",\"version\":1.5}},\"success\":true}";
    EXPECT_EQ(MergeImage(doc_, reply), base64);
    EXPECT_EQ(doc_.GetMemberText("msg"), kChengGong);

    struct Case {
        const char* what;
        std::string reply;
    };
    const Case empty[] = {
        {"no data", "{\"errno\":0,\"msg\":\"success\"}"},
        {"no result", "{\"data\":{\"merge_image\":\"abc\"}}"},
        {"image not a string", "{\"data\":{\"result\":{\"merge_image\":null}}}"},
        {"not javascript", "<html><body>success</body></html>"},
        {"empty reply", ""},
    };
    for (const auto& c : empty) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(MergeImage(doc_, c.reply), "");
    }
}

TEST_F(JsonDocumentTest, GbkTextsRoundTripThroughTheEngine) {
    doc_.SetMember("name", kZhongWenCeShi);
    EXPECT_EQ(doc_.GetMemberText("name"), kZhongWenCeShi);
    EXPECT_EQ(doc_.ToJson(), "{\"name\":\"" + kZhongWenCeShi + "\"}");
    EXPECT_EQ(doc_.EvalNumber("da.name.length"), 4);

    Loaded("{\"" + kMing + "\":\"" + kZhi + "\",\"escaped\":\"\\u4e2d\\u6587\"}");
    EXPECT_EQ(doc_.GetMemberText(kMing), kZhi);
    EXPECT_EQ(doc_.GetMemberText("escaped"), kZhongWenCeShi.substr(0, 4));
    auto copy = doc_.GetMemberDocument("[\"" + kMing + "\"]");
    copy->Destroy();

    // A character the code page lacks comes back as the codec's substitute.
    Loaded("{\"thai\":\"a\\u0e01b\"}");
    EXPECT_EQ(doc_.GetMemberText("thai"), GbkFromUtf16(u"a\u0E01b"));
}

TEST(JsonDocumentWithoutEngine, EveryOperationGivesItsEmptyResult) {
    auto doc = [] {
        ScopedEngineLimits tooSmall({milliseconds(1000), 1024});
        return std::make_unique<JsonDocument>();
    }();
    ASSERT_FALSE(doc->HasEngine());
    // Limits are back to normal: the document still gets no engine.
    EXPECT_FALSE(doc->Parse("{\"data\":1}"));
    EXPECT_FALSE(doc->HasEngine());
    EXPECT_EQ(doc->ToJson(), "");
    EXPECT_EQ(doc->GetMemberText("data"), "");
    EXPECT_EQ(doc->GetMemberText("data", true), "");
    EXPECT_EQ(doc->GetMemberNumber("data"), 0);
    EXPECT_EQ(doc->Count(), 0);
    EXPECT_FALSE(doc->HasMember("data"));
    EXPECT_EQ(doc->TypeOf(), kJsonOther);
    Names names{"old"};
    EXPECT_EQ(doc->MemberNames(names), 0);
    EXPECT_TRUE(names.empty());
    doc->SetMember("a", "b");
    doc->Push("1");
    doc->Clear();
    auto clone = doc->Clone();
    EXPECT_FALSE(clone->HasEngine());
    EXPECT_TRUE(Balanced(*clone));
    clone->Destroy();

    // A returned document gets engines of its own, and holds undefined.
    auto member = doc->GetMemberDocument("data");
    EXPECT_TRUE(member->HasEngine());
    EXPECT_EQ(member->EvalText("typeof da"), "undefined");
    EXPECT_EQ(MergeImage(*doc, "{\"data\":{\"result\":{\"merge_image\":\"x\"}}}"), "");
    EXPECT_TRUE(Balanced(*member));
    member->Destroy();
    doc->Destroy();
}

class JsonDocumentBudgetTest : public ::testing::Test {
  protected:
    static constexpr milliseconds kBudget{300};
    static constexpr milliseconds kBound = kBudget * 4 + milliseconds(1000);
    ScopedEngineLimits limits_{{kBudget, std::size_t{32} << 20}};
};

TEST_F(JsonDocumentBudgetTest, HostileRepliesAreStoppedAndTheDocumentStaysUsable) {
    struct Case {
        const char* what;
        const char* reply;
        bool parsed;
    };
    const Case cases[] = {
        {"endless loop", "(function () { for (;;) {} })()", false},
        {"endless loop in a string", "\"while (true) {}\"", false},
        // The value was set before the loop began, and keeps it.
        {"loop after the value", "1); for (;;) {}; (1", true},
        {"memory bomb", "(function () { var s = 'x'; for (;;) s += s; })()", false},
        {"memory kept in a global",
         "(hoard = [], function () { for (;;) hoard.push([1, 2, 3]); })()", false},
    };
    JsonDocument doc;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto start = Clock::now();
        EXPECT_EQ(doc.Parse(c.reply), c.parsed);
        EXPECT_LT(Clock::now() - start, kBound);
        ASSERT_TRUE(doc.HasEngine());
        EXPECT_EQ(doc.engine()->StackDepth(), 0);
        doc.Clear();
        doc.SetMember("after", "fine");
        EXPECT_EQ(doc.ToJson(), "{\"after\":\"fine\"}");
        EXPECT_TRUE(doc.Parse("{\"next\":1}"));
        EXPECT_EQ(doc.GetMemberText("next"), "1");
    }
}

TEST_F(JsonDocumentBudgetTest, HostileMemberStringIsStoppedOnTheMergePath) {
    JsonDocument doc;
    const auto start = Clock::now();
    EXPECT_EQ(MergeImage(doc, "{\"data\":\"for (;;) {}\"}"), "");
    EXPECT_LT(Clock::now() - start, kBound);
    EXPECT_EQ(MergeImage(doc, "{\"data\":{\"result\":{\"merge_image\":\"ok\"}}}"), "ok");
}

}  // namespace
}  // namespace quill
