// Downloads an image for a request that names it by address: http and https only, a few
// redirects, time-outs and a size cap. Peers are verified against the system's store and, beside
// it, the service's own certificate, since the sample addresses point at the service itself.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "service/replies.h"
#include "service/service_limits.h"

namespace quill::service {

class ImageFetcher {
  public:
    // `extraCertPath` names a PEM file of certificates to trust; empty for none. Null with a
    // message when the file cannot be read.
    static std::unique_ptr<ImageFetcher> Create(const std::string& extraCertPath,
                                                const ServiceLimits& limits, std::string& error);
    ~ImageFetcher();

    // Safe to call from several threads at once.
    std::optional<Failure> Fetch(const std::string& url, std::string& bytes) const;

  private:
    struct TrustedCerts;
    ImageFetcher(std::shared_ptr<TrustedCerts> certs, const ServiceLimits& limits);
    std::shared_ptr<TrustedCerts> certs_;
    ServiceLimits limits_;
};

// The address as the fetch uses it: outer white space trimmed, and spaces, control bytes and
// bytes outside ASCII percent-encoded.
std::string NormalizeUrl(const std::string& url);

}  // namespace quill::service
