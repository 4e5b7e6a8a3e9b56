// Limits and trust shared by every web request of the program.
//
// The defaults are what the program runs with; tests shorten the waits and install the
// certificate of their own local server.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace quill {

struct WebSettings {
    // Name lookup, TCP connect, TLS handshake and any proxy tunnel together.
    std::chrono::milliseconds connectTimeout{15000};
    // A transfer ends as a failure when fewer than `stallBytes` move, in either direction, within
    // one `stallTime` window. Generous, as the face service may think for a while before it
    // answers.
    std::chrono::milliseconds stallTime{60000};
    std::size_t stallBytes = 64;
    // Redirects followed within one call; the redirect reply that would exceed it is returned.
    int maxRedirects = 10;
    // Largest body the HTTP file read accepts (pictures for display).
    std::size_t fileReadLimit = std::size_t{64} << 20;
    // The one certificate (PEM) trusted beside the system store: by default the reference face
    // service's own. Empty trusts the system store alone.
    std::string extraCertificatePem;
};

// The settings with their defaults, the built-in certificate included.
WebSettings DefaultWebSettings();

// A copy of the settings in force.
WebSettings CurrentWebSettings();
void SetWebSettings(WebSettings settings);

// The reference face service's certificate, embedded at build time.
const std::string& ServiceCertificatePem();

}  // namespace quill
