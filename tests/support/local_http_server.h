// A cpp-httplib server on 127.0.0.1 with a port the system picked, plain or over TLS, run on
// its own thread for the life of the object.
#pragma once

#include <httplib.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "tests/support/test_certificate.h"

namespace quill::test {

class LocalHttpServer {
  public:
    using Routes = std::function<void(httplib::Server&)>;

    // Plain HTTP.
    explicit LocalHttpServer(const Routes& routes);
    // HTTPS with the given certificate and key.
    LocalHttpServer(const Routes& routes, const TestCertificate& certificate);
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    bool Running() const { return port_ > 0; }
    int Port() const { return port_; }
    // "http://127.0.0.1:<port>" (or https) followed by `path`.
    std::string Url(std::string_view path = "/") const;

  private:
    void Start(const Routes& routes);

    std::unique_ptr<httplib::Server> server_;
    bool secure_ = false;
    int port_ = 0;
    std::thread thread_;
};

}  // namespace quill::test
