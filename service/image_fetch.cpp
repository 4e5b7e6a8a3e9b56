#include "service/image_fetch.h"

#include <cstdio>
#include <mutex>
#include <vector>

#include <curl/curl.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include "service/request_parsing.h"

namespace quill::service {

struct ImageFetcher::TrustedCerts {
    std::vector<X509*> certs;
    ~TrustedCerts() {
        for (X509* cert : certs) {
            X509_free(cert);
        }
    }
};

namespace {

struct CurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

struct SinkState {
    std::string* bytes;
    std::size_t cap;
    bool overflowed = false;
};

std::size_t Sink(char* data, std::size_t size, std::size_t count, void* user) {
    auto* state = static_cast<SinkState*>(user);
    const std::size_t length = size * count;
    if (state->bytes->size() + length > state->cap) {
        state->overflowed = true;
        return 0;  // makes libcurl stop with a write error
    }
    state->bytes->append(data, length);
    return length;
}

CURLcode AddTrustedCerts(CURL*, void* sslContext, void* user) {
    const auto* certs = static_cast<const std::vector<X509*>*>(user);
    X509_STORE* store = SSL_CTX_get_cert_store(static_cast<SSL_CTX*>(sslContext));
    for (X509* cert : *certs) {
        // Fails harmlessly when the store already holds it.
        X509_STORE_add_cert(store, cert);
    }
    ERR_clear_error();
    return CURLE_OK;
}

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

std::string NormalizeUrl(const std::string& url) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    std::size_t begin = 0;
    std::size_t end = url.size();
    while (begin < end && isSpace(url[begin])) {
        ++begin;
    }
    while (end > begin && isSpace(url[end - 1])) {
        --end;
    }
    std::string out;
    out.reserve(end - begin);
    for (std::size_t i = begin; i < end; ++i) {
        const auto byte = static_cast<unsigned char>(url[i]);
        if (byte <= 0x20 || byte >= 0x7F) {
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 15]);
        } else {
            out.push_back(static_cast<char>(byte));
        }
    }
    return out;
}

std::unique_ptr<ImageFetcher> ImageFetcher::Create(const std::string& extraCertPath,
                                                   const ServiceLimits& limits,
                                                   std::string& error) {
    InitCurlOnce();
    auto certs = std::make_shared<TrustedCerts>();
    if (!extraCertPath.empty()) {
        FILE* file = std::fopen(extraCertPath.c_str(), "rb");
        if (file == nullptr) {
            error = "cannot read the certificate " + extraCertPath;
            return nullptr;
        }
        while (X509* cert = PEM_read_X509(file, nullptr, nullptr, nullptr)) {
            certs->certs.push_back(cert);
        }
        std::fclose(file);
        ERR_clear_error();
        if (certs->certs.empty()) {
            error = "no certificate in " + extraCertPath;
            return nullptr;
        }
    }
    return std::unique_ptr<ImageFetcher>(new ImageFetcher(std::move(certs), limits));
}

ImageFetcher::ImageFetcher(std::shared_ptr<TrustedCerts> certs, const ServiceLimits& limits)
    : certs_(std::move(certs)), limits_(limits) {}

ImageFetcher::~ImageFetcher() = default;

std::optional<Failure> ImageFetcher::Fetch(const std::string& url, std::string& bytes) const {
    bytes.clear();
    const std::string address = NormalizeUrl(url);
    if (address.empty()) {
        return Failure::DownloadFailed;
    }
    if (!StartsWithNoCase(address, "http://") && !StartsWithNoCase(address, "https://")) {
        return Failure::DownloadNotHttp;
    }
    std::unique_ptr<CURL, CurlDeleter> handle(curl_easy_init());
    if (!handle) {
        return Failure::Internal;
    }
    CURL* curl = handle.get();
    SinkState sink{&bytes, limits_.maxImageBytes};
    curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, static_cast<long>(limits_.maxRedirects));
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(limits_.fetchConnectTimeout.count()));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS,
                     static_cast<long>(limits_.fetchTotalTimeout.count()));
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE,
                     static_cast<curl_off_t>(limits_.maxImageBytes));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Sink);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Quillmere face service");
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
    // The sample addresses are on loopback; a proxy from the environment must not see them.
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "localhost,127.0.0.1,::1");
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!certs_->certs.empty()) {
        curl_easy_setopt(curl, CURLOPT_SSL_CTX_FUNCTION, &AddTrustedCerts);
        curl_easy_setopt(curl, CURLOPT_SSL_CTX_DATA, &certs_->certs);
    }

    const CURLcode code = curl_easy_perform(curl);
    if (code != CURLE_OK) {
        bytes.clear();
        if (sink.overflowed || code == CURLE_FILESIZE_EXCEEDED) {
            return Failure::DownloadTooLarge;
        }
        if (code == CURLE_OPERATION_TIMEDOUT) {
            return Failure::DownloadTimedOut;
        }
        if (code == CURLE_UNSUPPORTED_PROTOCOL) {
            return Failure::DownloadNotHttp;
        }
        return Failure::DownloadFailed;
    }
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status > 299) {
        bytes.clear();
        return Failure::DownloadStatus;
    }
    return std::nullopt;
}

}  // namespace quill::service
