#include "http/web_settings.h"

#include <mutex>
#include <utility>

namespace quill {

// Generated at build time from the service certificate.
extern const char kServiceCertificatePem[];

namespace {

std::mutex& SettingsMutex() {
    static std::mutex mutex;
    return mutex;
}

WebSettings& Settings() {
    static WebSettings settings = DefaultWebSettings();
    return settings;
}

}  // namespace

const std::string& ServiceCertificatePem() {
    static const std::string pem = kServiceCertificatePem;
    return pem;
}

WebSettings DefaultWebSettings() {
    WebSettings settings;
    settings.extraCertificatePem = ServiceCertificatePem();
    return settings;
}

WebSettings CurrentWebSettings() {
    std::lock_guard lock(SettingsMutex());
    return Settings();
}

void SetWebSettings(WebSettings settings) {
    std::lock_guard lock(SettingsMutex());
    Settings() = std::move(settings);
}

}  // namespace quill
