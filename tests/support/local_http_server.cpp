#include "tests/support/local_http_server.h"

#include <openssl/pem.h>

#include <chrono>

namespace quill::test {

LocalHttpServer::LocalHttpServer(const Routes& routes)
    : server_(std::make_unique<httplib::Server>()) {
    Start(routes);
}

LocalHttpServer::LocalHttpServer(const Routes& routes, const TestCertificate& certificate)
    : secure_(true) {
    BIO* certBio = BIO_new_mem_buf(certificate.certificatePem.data(),
                                   static_cast<int>(certificate.certificatePem.size()));
    BIO* keyBio =
        BIO_new_mem_buf(certificate.keyPem.data(), static_cast<int>(certificate.keyPem.size()));
    X509* cert = certBio ? PEM_read_bio_X509(certBio, nullptr, nullptr, nullptr) : nullptr;
    EVP_PKEY* key = keyBio ? PEM_read_bio_PrivateKey(keyBio, nullptr, nullptr, nullptr) : nullptr;
    BIO_free(certBio);
    BIO_free(keyBio);
    if (cert != nullptr && key != nullptr) {
        // The server takes its own references.
        server_ = std::make_unique<httplib::SSLServer>(cert, key);
    }
    X509_free(cert);
    EVP_PKEY_free(key);
    if (server_ && server_->is_valid()) {
        Start(routes);
    }
}

void LocalHttpServer::Start(const Routes& routes) {
    routes(*server_);
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) {
        port_ = 0;
        return;
    }
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    // stop() is lost on a server that has not entered its loop yet, and the join would then
    // wait forever; so hand the server out only once it runs.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!server_->is_running() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

LocalHttpServer::~LocalHttpServer() {
    if (thread_.joinable()) {
        server_->stop();
        thread_.join();
    }
}

std::string LocalHttpServer::Url(std::string_view path) const {
    return std::string(secure_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) +
           std::string(path);
}

}  // namespace quill::test
