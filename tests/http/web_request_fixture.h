// Shared set-up for the web request and file read tests: short waits, and restoring the
// settings afterwards.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "http/web_settings.h"
#include "tests/support/raw_recorder.h"
#include "tests/support/test_certificate.h"

namespace quill::test {

class WebFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = CurrentWebSettings();
        WebSettings settings = saved_;
        settings.connectTimeout = std::chrono::milliseconds(3000);
        settings.stallTime = std::chrono::milliseconds(1000);
        SetWebSettings(settings);
    }
    void TearDown() override { SetWebSettings(saved_); }

    // Trusts `certificate` in place of the built-in one.
    static void Trust(const TestCertificate& certificate) {
        WebSettings settings = CurrentWebSettings();
        settings.extraCertificatePem = certificate.certificatePem;
        SetWebSettings(settings);
    }

    // One certificate for 127.0.0.1 only, made once per run.
    static const TestCertificate& LoopbackCertificate() {
        static const TestCertificate certificate = MakeTestCertificate({"127.0.0.1"});
        return certificate;
    }

    // The request header lines without the three libcurl may add.
    static std::vector<std::string> LinesBeyondClientOwn(const RawRequest& request) {
        std::vector<std::string> lines;
        for (const std::string& line : request.HeaderLines()) {
            if (!line.starts_with("Host: ") && !line.starts_with("Content-Length: ") &&
                !line.starts_with("User-Agent: ")) {
                lines.push_back(line);
            }
        }
        return lines;
    }

  private:
    WebSettings saved_;
};

}  // namespace quill::test
