#include "tests/support/raw_recorder.h"

#include <sys/socket.h>

#include <algorithm>
#include <cctype>

namespace quill::test {
namespace {

constexpr std::string_view kHeadEnd = "\r\n\r\n";

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string TrimSpaces(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const size_t last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

// The declared body length of a request head, 0 when none.
size_t DeclaredLength(std::string_view head) {
    const std::string lower = LowerAscii(head);
    const size_t at = lower.find("\r\ncontent-length:");
    if (at == std::string::npos) {
        return 0;
    }
    return std::strtoull(lower.c_str() + at + 17, nullptr, 10);
}

}  // namespace

std::string RawRequest::RequestLine() const {
    return bytes.substr(0, bytes.find("\r\n"));
}

std::vector<std::string> RawRequest::HeaderLines() const {
    std::vector<std::string> lines;
    const size_t end = bytes.find(kHeadEnd);
    size_t at = bytes.find("\r\n");
    if (end == std::string::npos || at == std::string::npos) {
        return lines;
    }
    while (at < end) {
        const size_t next = bytes.find("\r\n", at + 2);
        lines.push_back(bytes.substr(at + 2, next - at - 2));
        at = next;
    }
    return lines;
}

std::string RawRequest::Body() const {
    const size_t end = bytes.find(kHeadEnd);
    return end == std::string::npos ? std::string{} : bytes.substr(end + kHeadEnd.size());
}

std::string RawRequest::Header(std::string_view name) const {
    const std::string wanted = LowerAscii(name) + ":";
    for (const std::string& line : HeaderLines()) {
        if (LowerAscii(line).starts_with(wanted)) {
            return TrimSpaces(std::string_view(line).substr(wanted.size()));
        }
    }
    return {};
}

RawRecorder::RawRecorder(Script script) : script_(std::move(script)) {
    listener_ = ListenOnLoopback(port_);
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

RawRecorder::~RawRecorder() {
    {
        // Under the lock, so a connection about to hold cannot miss the wake-up.
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (const int fd : open_) {
            ::shutdown(fd, SHUT_RDWR);
        }
    }
    stopped_.notify_all();
    acceptor_.join();
    for (std::thread& worker : workers_) {
        worker.join();
    }
}

std::string RawRecorder::Url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<RawRequest> RawRecorder::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::string RawRecorder::Reply(std::string_view status, std::vector<std::string> headerLines,
                               std::string_view body) {
    std::string reply = "HTTP/1.1 " + std::string(status) + "\r\n";
    for (const std::string& line : headerLines) {
        reply += line + "\r\n";
    }
    reply += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    reply += body;
    return reply;
}

void RawRecorder::AcceptLoop() {
    while (!stopping_) {
        Socket connection = AcceptFor(listener_, std::chrono::milliseconds(50));
        if (!connection.Valid()) {
            continue;
        }
        ++connections_;
        std::lock_guard lock(mutex_);
        open_.push_back(connection.Fd());
        workers_.emplace_back([this, fd = connection.Release()] { Serve(Socket(fd)); });
    }
}

void RawRecorder::Serve(Socket connection) {
    RawRequest request;
    // Read the head, then as much body as it declares; give up after a quiet spell.
    auto quietSince = std::chrono::steady_clock::now();
    while (!stopping_) {
        const size_t before = request.bytes.size();
        if (!ReceiveSome(connection, request.bytes, std::chrono::milliseconds(50))) {
            break;
        }
        const size_t headEnd = request.bytes.find(kHeadEnd);
        if (headEnd != std::string::npos &&
            request.bytes.size() >=
                headEnd + kHeadEnd.size() +
                    DeclaredLength(std::string_view(request.bytes).substr(0, headEnd + 2))) {
            break;
        }
        if (request.bytes.size() != before) {
            quietSince = std::chrono::steady_clock::now();
        } else if (std::chrono::steady_clock::now() - quietSince > std::chrono::seconds(5)) {
            break;
        }
    }
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
    }
    if (!stopping_ && !request.bytes.empty()) {
        const RawReply reply = script_(request);
        SendAll(connection, reply.bytes);
        if (reply.holdOpen.count() > 0) {
            std::unique_lock lock(mutex_);
            stopped_.wait_for(lock, reply.holdOpen, [this] { return stopping_.load(); });
        }
    }
    std::lock_guard lock(mutex_);
    open_.erase(std::remove(open_.begin(), open_.end(), connection.Fd()), open_.end());
}

}  // namespace quill::test
