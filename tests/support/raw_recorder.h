// A loopback server that keeps the exact bytes of every request and answers each one with
// scripted raw bytes, so tests can see and shape the wire.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tests/support/loopback_socket.h"

namespace quill::test {

struct RawRequest {
    std::string bytes;  // everything received on the connection, as it came

    // The request line, without its CR LF.
    std::string RequestLine() const;
    // The header lines after the request line, without their CR LF, up to the blank line.
    std::vector<std::string> HeaderLines() const;
    // What followed the blank line.
    std::string Body() const;
    // The value of the first header of that name (any letter case), trimmed; empty when absent.
    std::string Header(std::string_view name) const;
};

struct RawReply {
    std::string bytes;
    // Keep the connection open this long after the reply went out, without sending more.
    std::chrono::milliseconds holdOpen{0};
};

class RawRecorder {
  public:
    using Script = std::function<RawReply(const RawRequest&)>;

    explicit RawRecorder(Script script);
    ~RawRecorder();
    RawRecorder(const RawRecorder&) = delete;
    RawRecorder& operator=(const RawRecorder&) = delete;

    int Port() const { return port_; }
    // "http://127.0.0.1:<port>" followed by `path`.
    std::string Url(std::string_view path = "/") const;
    std::vector<RawRequest> Requests() const;
    int Connections() const { return connections_; }

    // A reply with the status line, the header lines and a Content-Length for `body`.
    static std::string Reply(std::string_view status, std::vector<std::string> headerLines,
                             std::string_view body);

  private:
    void AcceptLoop();
    void Serve(Socket connection);

    Script script_;
    Socket listener_;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    std::condition_variable stopped_;
    std::vector<RawRequest> requests_;
    std::vector<int> open_;
    std::vector<std::thread> workers_;
    std::thread acceptor_;
};

}  // namespace quill::test
