// A self-signed certificate and key made in memory when a test runs; nothing is written to disk.
#pragma once

#include <string>
#include <vector>

namespace quill::test {

struct TestCertificate {
    std::string certificatePem;
    std::string keyPem;
};

// A P-256 key and a certificate valid from an hour ago for a day, for the given IP addresses and
// DNS names. Empty PEM texts when OpenSSL fails.
TestCertificate MakeTestCertificate(const std::vector<std::string>& ipAddresses,
                                    const std::vector<std::string>& dnsNames = {});

}  // namespace quill::test
