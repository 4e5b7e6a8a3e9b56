// A face service on loopback over HTTPS that records every request and answers from a script:
// one queue for the face check ("/aidemo") and one for the merge (the same path with a query).
// Replies are UTF-8, as a real service sends them.
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/local_http_server.h"
#include "tests/support/test_certificate.h"

namespace quill::test {

struct RecordedRequest {
    std::string target;  // path and query
    std::string contentType;
    std::string body;
};

class ScriptedFaceService {
  public:
    ScriptedFaceService();

    // The certificate to trust for this service.
    const TestCertificate& Certificate() const { return certificate_; }
    // "https://127.0.0.1:<port>"
    std::string Host() const;

    void ReplyToCheck(std::string utf8);
    void ReplyToMerge(std::string utf8);
    std::vector<RecordedRequest> Requests();

  private:
    void Routes(httplib::Server& server);

    TestCertificate certificate_;
    std::mutex mutex_;
    std::deque<std::string> checkReplies_;
    std::deque<std::string> mergeReplies_;
    std::vector<RecordedRequest> requests_;
    LocalHttpServer server_;  // last: it stops before the state its handler uses goes
};

// Replies in the shape the tool expects.
inline constexpr char kAcceptedReply[] =
    R"({"errno":0,"msg":"success","data":{"error_code":0,"error_msg":"SUCCESS"}})";
inline constexpr char kNoFaceReply[] =
    R"({"errno":1,"msg":"error","data":{"error_msg":"pic not has face"}})";
std::string MergedReply(const std::string& base64);

}  // namespace quill::test
