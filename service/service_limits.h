// The caps that keep every request bounded in memory and time. The service uses the defaults;
// tests shrink them to reach the refusals with small inputs.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace quill::service {

struct ServiceLimits {
    // A merge carries two Base64 images inside the body, so this leaves room for two images of
    // maxImageBytes each after form or JSON framing.
    std::size_t maxRequestBytes = 32u << 20;
    // Bytes of one image file, whether sent inline or fetched.
    std::size_t maxImageBytes = 10u << 20;
    // Pixels of one image, judged from its header before anything is decoded.
    std::uint64_t maxPixels = 4096ull * 4096ull;
    int maxSide = 16384;
    // JPEG scans; a progressive file with thousands of tiny scans decodes slowly out of all
    // proportion to its size.
    int maxJpegScans = 64;
    // Faces reported per image.
    int maxFaces = 10;
    // Detection runs on a copy scaled down to this longer side; boxes are scaled back.
    int detectMaxSide = 1280;

    int maxRedirects = 3;
    std::chrono::milliseconds fetchConnectTimeout{5000};
    std::chrono::milliseconds fetchTotalTimeout{15000};

    // The whole request body must arrive within this; the read time-out alone is per receive,
    // so a body trickled a byte at a time could hold a connection for ever.
    std::chrono::milliseconds requestBodyTimeout{60000};

    // How long a request waits for a free worker before it is answered as busy.
    std::chrono::milliseconds workerWait{60000};
};

}  // namespace quill::service
