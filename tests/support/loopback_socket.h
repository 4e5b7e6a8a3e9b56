// Small socket helpers for the local test servers.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace quill::test {

// Owns one file descriptor.
class Socket {
  public:
    Socket() = default;
    explicit Socket(int fd) : fd_(fd) {}
    Socket(Socket&& other) noexcept : fd_(other.Release()) {}
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    ~Socket();

    int Fd() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Release();
    // Shuts both directions, which also wakes a thread blocked on the socket.
    void Shutdown() const;

  private:
    int fd_ = -1;
};

// A listening socket on 127.0.0.1 with a port the system picked.
Socket ListenOnLoopback(int& port);

// A port on 127.0.0.1 where, right after this returns, nothing listens.
int ClosedLoopbackPort();

// Connects to host:port (a name or an address); invalid on failure.
Socket ConnectTo(const std::string& host, int port);

// Waits up to `wait` for a connection; invalid when none came.
Socket AcceptFor(const Socket& listener, std::chrono::milliseconds wait);

// Appends what arrives within `wait` to `into`. False when the peer closed or an error occurred.
bool ReceiveSome(const Socket& socket, std::string& into, std::chrono::milliseconds wait);

bool SendAll(const Socket& socket, std::string_view bytes);

}  // namespace quill::test
