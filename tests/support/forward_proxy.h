// A small forward HTTP proxy on loopback: plain requests in absolute form are passed on to their
// server, CONNECT opens a tunnel. It keeps the head of every request it was sent.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/loopback_socket.h"

namespace quill::test {

class ForwardProxy {
  public:
    ForwardProxy();
    ~ForwardProxy();
    ForwardProxy(const ForwardProxy&) = delete;
    ForwardProxy& operator=(const ForwardProxy&) = delete;

    int Port() const { return port_; }
    // "127.0.0.1:<port>", the form a caller hands over as its proxy.
    std::string Address() const;
    // The request heads received, each up to and including its blank line.
    std::vector<std::string> Heads() const;
    // The first line of each head.
    std::vector<std::string> RequestLines() const;

  private:
    void AcceptLoop();
    void Serve(Socket client);
    void Relay(const Socket& a, const Socket& b);

    Socket listener_;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> heads_;
    std::vector<int> open_;
    std::vector<std::thread> workers_;
    std::thread acceptor_;
};

}  // namespace quill::test
