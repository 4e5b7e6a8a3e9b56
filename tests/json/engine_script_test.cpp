#include "json/engine_script.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "json/json_document.h"

namespace quill {
namespace {

constexpr std::string_view kCountFunction =
    "function get__count(c){\r\n\tvar i=-2;\r\n\tfor (v in c) i++;\r\n\treturn i;\r\n}\r\n\r\n";

TEST(EngineScript, CountFunctionThenJsonJsWithoutLeadingCommentsInCrLfLines) {
    const std::string_view script = EngineScript();
    ASSERT_EQ(kCountFunction.size(), 74U);
    ASSERT_GT(script.size(), kCountFunction.size());
    EXPECT_EQ(script.substr(0, kCountFunction.size()), kCountFunction);

    const std::string_view json = script.substr(kCountFunction.size());
    EXPECT_FALSE(json.starts_with("/*"));
    EXPECT_FALSE(json.starts_with("//"));
    EXPECT_NE(json.front(), ' ');
    EXPECT_NE(json.front(), '\r');
    EXPECT_TRUE(json.ends_with("}());"));
    EXPECT_NE(json.find("Object.prototype.toJSONString = function"), std::string_view::npos);
    for (std::size_t i = 0; i < script.size(); ++i) {
        if (script[i] == '\n') {
            ASSERT_TRUE(i > 0 && script[i - 1] == '\r') << "bare LF at " << i;
        }
        if (script[i] == '\r') {
            ASSERT_TRUE(i + 1 < script.size() && script[i + 1] == '\n') << "bare CR at " << i;
        }
    }
}

// Count and MemberNames subtract and delete exactly these two inherited names.
TEST(EngineScript, ObjectsAndArraysEnumerateTheTwoInheritedNamesAfterTheirOwn) {
    struct Case {
        const char* value;
        const char* names;
        int count;
    };
    const Case cases[] = {
        {"{}", "toJSONString,parseJSON,", 0},
        {"{b: 1, a: {c: 2}}", "b,a,toJSONString,parseJSON,", 2},
        {"[]", "toJSONString,parseJSON,", 0},
        {"[7, 8, 9]", "0,1,2,toJSONString,parseJSON,", 3},
        {"({x: {y: 1}}).x", "y,toJSONString,parseJSON,", 1},
        {"new Array()", "toJSONString,parseJSON,", 0},
    };
    JsonDocument doc;
    ASSERT_TRUE(doc.HasEngine());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const std::string value = std::string("(") + c.value + ")";
        EXPECT_EQ(doc.EvalText("var seen=''; for (var k in " + value + ") seen += k + ','; seen"),
                  c.names);
        EXPECT_EQ(doc.EvalNumber("get__count(" + value + ")"), c.count);
    }
    // The counter's loop variable is left an implicit global, as written.
    EXPECT_EQ(doc.EvalText("typeof v"), "string");
}

}  // namespace
}  // namespace quill
