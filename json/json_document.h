// A JSON value held in the global JavaScript variable "da" of a script-engine instance that the
// document owns. A document and its clones share one engine instance (and so one value); every
// other document has an engine of its own.
//
// No operation throws or reports an error: a failure gives the empty text, 0 or false, or leaves
// the value as it was. An empty name or path stands for the document's own value.
//
// Names and values are joined into script text unchanged: only trusted names belong here, and a
// reply is run as a script. Each engine call is bounded in time and memory (script_engine.h).
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace quill {

class ScriptEngine;

// Kind codes given by TypeOf and taken by Reset.
enum JsonKind : int {
    kJsonOther = -1,  // boolean, function, or a kind the engine did not report
    kJsonNull = 0,    // null or missing
    kJsonNumber = 2,
    kJsonObject = 4,
    kJsonArray = 5,
    kJsonString = 6,
};

class JsonDocument {
  public:
    // Names the variable "da" and runs Initialise.
    JsonDocument();
    // Releases the engine reference when Destroy has not done so.
    virtual ~JsonDocument();
    JsonDocument(const JsonDocument&) = delete;
    JsonDocument& operator=(const JsonDocument&) = delete;

    // The operations, in slot order.
    virtual void Destroy();
    virtual std::unique_ptr<JsonDocument> Clone();
    virtual void Initialise();
    virtual bool Parse(const std::string& text);
    virtual std::string ToJson();
    virtual void SetMember(const std::string& name, const std::string& value, bool isJson = false);
    virtual void SetMemberJson(const std::string& name, const std::string& json);
    virtual void SetMemberNumber(const std::string& name, double value);
    virtual double GetMemberNumber(const std::string& name);
    virtual std::string GetMemberJson(const std::string& name);
    virtual std::string GetMemberText(const std::string& name, bool asJson = false);
    virtual std::unique_ptr<JsonDocument> GetMemberDocument(const std::string& name);
    virtual int Count(const std::string& path = {});
    virtual void Push(const std::string& value, const std::string& path = {}, bool isJson = false);
    virtual std::unique_ptr<JsonDocument> GetElementDocument(int index,
                                                             const std::string& path = {});
    virtual std::string GetElementText(int index, const std::string& path = {},
                                       bool asJson = false);
    virtual void SetElement(int index, const std::string& value, bool isJson = false);
    virtual void RemoveElement(int index);
    virtual void Reset(int kind);
    virtual void SetValue(const std::string& value, bool isJson = false);
    virtual bool HasMember(const std::string& name);
    virtual int MemberNames(std::vector<std::string>& names, const std::string& path = {});
    virtual int TypeOf(const std::string& name = {});
    virtual void Clear();

    // The engine calls every operation is built on. Texts are GBK.
    void EvalVoid(const std::string& code);
    std::string EvalText(const std::string& code);
    double EvalNumber(const std::string& code);
    bool EvalBool(const std::string& code);
    void AddCode(const std::string& code);

    const std::string& variableName() const { return variableName_; }
    bool HasEngine() const { return engine_ != nullptr; }
    // The engine instance, shared with clones; empty without engine.
    const std::shared_ptr<ScriptEngine>& engine() const { return engine_; }

  private:
    struct CloneTag {};
    JsonDocument(CloneTag, std::string variableName, std::shared_ptr<ScriptEngine> engine);

    // The member expression for `name`: the variable itself when the name is empty, otherwise
    // "da." + name, or "da" + name when `bracketRule` holds and the name starts with "[".
    std::string Member(const std::string& name, bool bracketRule) const;
    // Constructs a working document, parses into it the JSON text that `stringifyCode` gives in
    // this document's engine, and hands back a clone of it.
    std::unique_ptr<JsonDocument> DocumentThroughJson(const std::string& stringifyCode);

    std::string variableName_;
    std::shared_ptr<ScriptEngine> engine_;
};

}  // namespace quill
