#include "tests/support/loopback_socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quill::test {

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = other.Release();
    }
    return *this;
}

Socket::~Socket() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

int Socket::Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void Socket::Shutdown() const {
    if (fd_ >= 0) {
        ::shutdown(fd_, SHUT_RDWR);
    }
}

Socket ListenOnLoopback(int& port) {
    Socket socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket.Valid()) {
        return {};
    }
    const int yes = 1;
    ::setsockopt(socket.Fd(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(socket.Fd(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(socket.Fd(), 64) != 0) {
        return {};
    }
    socklen_t length = sizeof address;
    ::getsockname(socket.Fd(), reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return socket;
}

int ClosedLoopbackPort() {
    int port = 0;
    Socket socket = ListenOnLoopback(port);
    return port;  // closed when `socket` goes
}

Socket ConnectTo(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
        return {};
    }
    Socket connected;
    for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
        Socket candidate(::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol));
        if (candidate.Valid() && ::connect(candidate.Fd(), a->ai_addr, a->ai_addrlen) == 0) {
            connected = std::move(candidate);
            break;
        }
    }
    ::freeaddrinfo(found);
    return connected;
}

Socket AcceptFor(const Socket& listener, std::chrono::milliseconds wait) {
    pollfd p{listener.Fd(), POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(wait.count())) <= 0) {
        return {};
    }
    return Socket(::accept4(listener.Fd(), nullptr, nullptr, SOCK_CLOEXEC));
}

bool ReceiveSome(const Socket& socket, std::string& into, std::chrono::milliseconds wait) {
    pollfd p{socket.Fd(), POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(wait.count()));
    if (ready < 0) {
        return errno == EINTR;
    }
    if (ready == 0) {
        return true;
    }
    char buffer[64 * 1024];
    const ssize_t n = ::recv(socket.Fd(), buffer, sizeof buffer, 0);
    if (n <= 0) {
        return false;
    }
    into.append(buffer, static_cast<size_t>(n));
    return true;
}

bool SendAll(const Socket& socket, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(socket.Fd(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

}  // namespace quill::test
