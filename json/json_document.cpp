#include "json/json_document.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <utility>

#include "http/text.h"
#include "json/engine_script.h"
#include "json/engine_text.h"
#include "json/script_engine.h"

namespace quill {
namespace {

// "%.13g", but never with the locale's decimal comma.
std::string FormatNumber(double value) {
    char buffer[64];
    const auto converted =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 13);
    return std::string(buffer, converted.ptr);
}

// A script may have replaced get__count with anything; a count must still be a valid int.
int TruncateToInt(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= static_cast<double>(INT_MAX)) {
        return INT_MAX;
    }
    if (value <= static_cast<double>(INT_MIN)) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

}  // namespace

JsonDocument::JsonDocument() : variableName_("da") {
    Initialise();
}

JsonDocument::JsonDocument(CloneTag, std::string variableName, std::shared_ptr<ScriptEngine> engine)
    : variableName_(std::move(variableName)), engine_(std::move(engine)) {}

JsonDocument::~JsonDocument() = default;

void JsonDocument::Destroy() {
    engine_.reset();
    variableName_.clear();
}

std::unique_ptr<JsonDocument> JsonDocument::Clone() {
    return std::unique_ptr<JsonDocument>(new JsonDocument(CloneTag{}, variableName_, engine_));
}

void JsonDocument::Initialise() {
    // The old engine goes first, so that two are never alive at once for this document.
    engine_.reset();
    engine_ = ScriptEngine::Create();
    AddCode(std::string(EngineScript()));
    EvalNumber("var " + variableName_ + "={}");
}

bool JsonDocument::Parse(const std::string& text) {
    if (engine_ != nullptr) {
        Initialise();
    }
    if (engine_ == nullptr) {
        return false;
    }
    EvalNumber("var " + variableName_ + "=null");
    AddCode("var " + variableName_ + "=eval(" + text + ")");
    return EvalBool("null !=" + variableName_);
}

std::string JsonDocument::ToJson() {
    return EvalText("JSON.stringify(" + variableName_ + ")");
}

void JsonDocument::SetMember(const std::string& name, const std::string& value, bool isJson) {
    if (!isJson) {
        EvalVoid(Member(name, false) + "='" + value + "'");
        return;
    }
    EvalVoid(Member(name, false) + "= eval(" + (value.empty() ? std::string("{}") : value) + ")");
}

void JsonDocument::SetMemberJson(const std::string& name, const std::string& json) {
    EvalVoid(Member(name, false) + "= eval(" + json + ")");
}

void JsonDocument::SetMemberNumber(const std::string& name, double value) {
    EvalVoid(Member(name, false) + "=" + FormatNumber(value));
}

double JsonDocument::GetMemberNumber(const std::string& name) {
    return EvalNumber(Member(name, false));
}

std::string JsonDocument::GetMemberJson(const std::string& name) {
    return EvalText("JSON.stringify(" + Member(name, false) + ")");
}

std::string JsonDocument::GetMemberText(const std::string& name, bool asJson) {
    const std::string member = Member(name, true);
    if (asJson) {
        return EvalText("JSON.stringify(" + member + ")");
    }
    if (engine_ == nullptr) {
        return {};
    }
    if (TypeOf(name) == kJsonNumber) {
        return FormatNumber(GetMemberNumber(name));
    }
    return EvalText(member);
}

std::unique_ptr<JsonDocument> JsonDocument::GetMemberDocument(const std::string& name) {
    return DocumentThroughJson("JSON.stringify(" + Member(name, true) + ")");
}

int JsonDocument::Count(const std::string& path) {
    return TruncateToInt(EvalNumber("get__count(" + Member(path, true) + ")"));
}

void JsonDocument::Push(const std::string& value, const std::string& path, bool isJson) {
    const std::string target = Member(path, false);
    const char* quote = isJson ? "" : "'";
    EvalVoid("if (Object.prototype.toString.call(" + target + ") != '[object Array]') { " + target +
             "=new Array();} " + target + ".push(" + quote + value + quote + ")");
}

std::unique_ptr<JsonDocument> JsonDocument::GetElementDocument(int index, const std::string& path) {
    return DocumentThroughJson("JSON.stringify(" + Member(path, false) + "[" +
                               std::to_string(index) + "])");
}

std::string JsonDocument::GetElementText(int index, const std::string& path, bool asJson) {
    const std::string element = Member(path, false) + "[" + std::to_string(index) + "]";
    if (asJson) {
        return EvalText("JSON.stringify(" + element + ")");
    }
    return EvalText(element);
}

void JsonDocument::SetElement(int index, const std::string& value, bool isJson) {
    const char* quote = isJson ? "" : "'";
    EvalVoid(variableName_ + "[" + std::to_string(index) + "]=" + quote + value + quote);
}

void JsonDocument::RemoveElement(int index) {
    EvalVoid(variableName_ + ".splice(" + std::to_string(index) + ",1)");
}

void JsonDocument::Reset(int kind) {
    if (kind == kJsonNull || kind == kJsonObject) {
        EvalNumber("var " + variableName_ + "={}");
    } else if (kind == kJsonArray) {
        EvalNumber("var " + variableName_ + "=new Array()");
    }
}

void JsonDocument::SetValue(const std::string& value, bool isJson) {
    const char* quote = isJson ? "" : "'";
    EvalBool(variableName_ + "=" + quote + value + quote);
}

bool JsonDocument::HasMember(const std::string& name) {
    return EvalBool(Member(name, false) + " !=null");
}

int JsonDocument::MemberNames(std::vector<std::string>& names, const std::string& path) {
    std::string list =
        EvalText("var ary=''; for (var key in " + Member(path, false) + ") {ary=ary+ key+','; }");
    list = Replace(list, "toJSONString,");
    list = Replace(list, "parseJSON,");
    EvalVoid("ary=null");
    names = Split(list, ",");
    return static_cast<int>(names.size());
}

int JsonDocument::TypeOf(const std::string& name) {
    const std::string member = Member(name, false);
    if (EvalBool(member + "==null")) {
        return kJsonNull;
    }
    const std::string kind = EvalText("typeof (" + member + ")");
    if (kind == "string") {
        return kJsonString;
    }
    if (kind == "object") {
        const std::string json = GetMemberText(name, true);
        return !json.empty() && json[0] == '[' ? kJsonArray : kJsonObject;
    }
    if (kind == "number") {
        return kJsonNumber;
    }
    return kJsonOther;
}

void JsonDocument::Clear() {
    EvalVoid(variableName_ + "={}");
}

void JsonDocument::EvalVoid(const std::string& code) {
    if (engine_ != nullptr) {
        engine_->Eval(EngineTextFromGbk(code), EvalKind::kVoid);
    }
}

std::string JsonDocument::EvalText(const std::string& code) {
    if (engine_ == nullptr) {
        return {};
    }
    EvalResult result = engine_->Eval(EngineTextFromGbk(code), EvalKind::kText);
    return result.ok ? GbkFromEngineText(std::move(result.text)) : std::string();
}

double JsonDocument::EvalNumber(const std::string& code) {
    if (engine_ == nullptr) {
        return 0;
    }
    const EvalResult result = engine_->Eval(EngineTextFromGbk(code), EvalKind::kNumber);
    return result.ok ? result.number : 0;
}

bool JsonDocument::EvalBool(const std::string& code) {
    if (engine_ == nullptr) {
        return false;
    }
    const EvalResult result = engine_->Eval(EngineTextFromGbk(code), EvalKind::kBool);
    return result.ok && result.truth;
}

void JsonDocument::AddCode(const std::string& code) {
    if (engine_ != nullptr) {
        engine_->AddCode(EngineTextFromGbk(code));
    }
}

// An empty name stands for the document's own value, so "da." is never built.
std::string JsonDocument::Member(const std::string& name, bool bracketRule) const {
    if (name.empty()) {
        return variableName_;
    }
    if (bracketRule && name[0] == '[') {
        return variableName_ + name;
    }
    return variableName_ + "." + name;
}

std::unique_ptr<JsonDocument> JsonDocument::DocumentThroughJson(const std::string& stringifyCode) {
    auto working = std::make_unique<JsonDocument>();
    working->Parse(EvalText(stringifyCode));
    std::unique_ptr<JsonDocument> result = working->Clone();
    working->Destroy();
    return result;
}

}  // namespace quill
