#include "tests/support/forward_proxy.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>

namespace quill::test {
namespace {

constexpr std::string_view kHeadEnd = "\r\n\r\n";

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

// Splits "host:port" at its last colon; `port` keeps its value when none is given.
void SplitAuthority(std::string_view authority, std::string& host, int& port) {
    const size_t colon = authority.rfind(':');
    if (colon == std::string_view::npos) {
        host = std::string(authority);
        return;
    }
    host = std::string(authority.substr(0, colon));
    port = std::atoi(std::string(authority.substr(colon + 1)).c_str());
}

}  // namespace

ForwardProxy::ForwardProxy() {
    listener_ = ListenOnLoopback(port_);
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

ForwardProxy::~ForwardProxy() {
    stopping_ = true;
    {
        std::lock_guard lock(mutex_);
        for (const int fd : open_) {
            ::shutdown(fd, SHUT_RDWR);
        }
    }
    acceptor_.join();
    for (std::thread& worker : workers_) {
        worker.join();
    }
}

std::string ForwardProxy::Address() const {
    return "127.0.0.1:" + std::to_string(port_);
}

std::vector<std::string> ForwardProxy::Heads() const {
    std::lock_guard lock(mutex_);
    return heads_;
}

std::vector<std::string> ForwardProxy::RequestLines() const {
    std::vector<std::string> lines;
    for (const std::string& head : Heads()) {
        lines.push_back(head.substr(0, head.find("\r\n")));
    }
    return lines;
}

void ForwardProxy::AcceptLoop() {
    while (!stopping_) {
        Socket client = AcceptFor(listener_, std::chrono::milliseconds(50));
        if (!client.Valid()) {
            continue;
        }
        std::lock_guard lock(mutex_);
        open_.push_back(client.Fd());
        workers_.emplace_back([this, fd = client.Release()] { Serve(Socket(fd)); });
    }
}

void ForwardProxy::Relay(const Socket& a, const Socket& b) {
    pollfd fds[2] = {{a.Fd(), POLLIN, 0}, {b.Fd(), POLLIN, 0}};
    char buffer[64 * 1024];
    while (!stopping_) {
        if (::poll(fds, 2, 50) < 0) {
            return;
        }
        for (int i = 0; i < 2; ++i) {
            if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
                continue;
            }
            const ssize_t n = ::recv(fds[i].fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                return;
            }
            if (!SendAll(i == 0 ? b : a, std::string_view(buffer, static_cast<size_t>(n)))) {
                return;
            }
        }
    }
}

void ForwardProxy::Serve(Socket client) {
    std::string received;
    size_t headEnd = std::string::npos;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!stopping_ && headEnd == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        if (!ReceiveSome(client, received, std::chrono::milliseconds(50))) {
            break;
        }
        headEnd = received.find(kHeadEnd);
    }
    if (headEnd != std::string::npos) {
        const std::string head = received.substr(0, headEnd + kHeadEnd.size());
        {
            std::lock_guard lock(mutex_);
            heads_.push_back(head);
        }
        const std::string requestLine = head.substr(0, head.find("\r\n"));
        const size_t space1 = requestLine.find(' ');
        const size_t space2 = requestLine.rfind(' ');
        const std::string method = requestLine.substr(0, space1);
        const std::string target = requestLine.substr(space1 + 1, space2 - space1 - 1);
        std::string host;
        int port = 80;
        if (method == "CONNECT") {
            SplitAuthority(target, host, port);
            Socket server = ConnectTo(host, port);
            if (!server.Valid()) {
                SendAll(client, "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n");
            } else if (SendAll(client, "HTTP/1.1 200 Connection established\r\n\r\n")) {
                SendAll(server, std::string_view(received).substr(head.size()));
                Relay(client, server);
            }
        } else if (StartsWithIgnoreCase(target, "http://")) {
            const std::string rest = target.substr(7);
            const size_t slash = rest.find('/');
            SplitAuthority(rest.substr(0, slash), host, port);
            const std::string path = slash == std::string::npos ? "/" : rest.substr(slash);
            // One request per connection, so each forwarded request reaches its own server.
            std::string forwarded = method + " " + path + requestLine.substr(space2) + "\r\n";
            size_t at = head.find("\r\n") + 2;
            while (at < headEnd + 2) {
                const size_t next = head.find("\r\n", at);
                const std::string line = head.substr(at, next - at);
                if (!StartsWithIgnoreCase(line, "Proxy-Connection:") &&
                    !StartsWithIgnoreCase(line, "Connection:")) {
                    forwarded += line + "\r\n";
                }
                at = next + 2;
            }
            forwarded += "Connection: close\r\n\r\n";
            forwarded += received.substr(head.size());
            Socket server = ConnectTo(host, port);
            if (!server.Valid()) {
                SendAll(client, "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n");
            } else if (SendAll(server, forwarded)) {
                Relay(client, server);
            }
        } else {
            SendAll(client, "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n");
        }
    }
    std::lock_guard lock(mutex_);
    open_.erase(std::remove(open_.begin(), open_.end(), client.Fd()), open_.end());
}

}  // namespace quill::test
