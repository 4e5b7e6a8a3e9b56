// Turns image file bytes into pixels, refusing anything outside the limits before decoding.
#pragma once

#include <optional>
#include <string_view>

#include <opencv2/core.hpp>

#include "service/replies.h"
#include "service/service_limits.h"

namespace quill::service {

// Decodes JPEG, PNG or BMP bytes into an 8-bit BGR picture.
std::optional<Failure> DecodeImage(std::string_view bytes, const ServiceLimits& limits,
                                   cv::Mat& bgr);

// Encodes a BGR picture as a JPEG file; empty on failure.
std::string EncodeJpeg(const cv::Mat& bgr, int quality = 92);

}  // namespace quill::service
