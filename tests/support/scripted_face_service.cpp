#include "tests/support/scripted_face_service.h"

namespace quill::test {

ScriptedFaceService::ScriptedFaceService()
    : certificate_(MakeTestCertificate({"127.0.0.1"})),
      server_([this](httplib::Server& server) { Routes(server); }, certificate_) {}

std::string ScriptedFaceService::Host() const {
    return "https://127.0.0.1:" + std::to_string(server_.Port());
}

void ScriptedFaceService::ReplyToCheck(std::string utf8) {
    std::lock_guard lock(mutex_);
    checkReplies_.push_back(std::move(utf8));
}

void ScriptedFaceService::ReplyToMerge(std::string utf8) {
    std::lock_guard lock(mutex_);
    mergeReplies_.push_back(std::move(utf8));
}

std::vector<RecordedRequest> ScriptedFaceService::Requests() {
    std::lock_guard lock(mutex_);
    return requests_;
}

void ScriptedFaceService::Routes(httplib::Server& server) {
    server.Post("/aidemo", [this](const httplib::Request& request, httplib::Response& reply) {
        std::lock_guard lock(mutex_);
        requests_.push_back(
            {request.target, request.get_header_value("Content-Type"), request.body});
        // The form body's fields count as parameters too, so tell the paths by the query.
        const bool merge = request.target.find('?') != std::string::npos;
        std::deque<std::string>& script = merge ? mergeReplies_ : checkReplies_;
        std::string answer;
        if (!script.empty()) {
            answer = std::move(script.front());
            script.pop_front();
        }
        reply.set_content(answer, "application/json;charset=UTF-8");
    });
}

std::string MergedReply(const std::string& base64) {
    return R"({"errno":0,"msg":"success","data":{"error_code":0,"error_msg":"SUCCESS",)"
           R"("result":{"merge_image":")" +
           base64 + R"("}}})";
}

}  // namespace quill::test
