#include "service/image_decode.h"

#include <string>
#include <vector>

#include <opencv2/imgcodecs.hpp>

#include "service/image_probe.h"

namespace quill::service {

std::optional<Failure> DecodeImage(std::string_view bytes, const ServiceLimits& limits,
                                   cv::Mat& bgr) {
    if (bytes.empty()) {
        return Failure::ImageEmpty;
    }
    if (bytes.size() > limits.maxImageBytes) {
        return Failure::ImageTooLarge;
    }
    const ImageProbe probe = ProbeImage(bytes);
    if (probe.format == ImageFormat::Unknown) {
        return Failure::ImageFormat;
    }
    if (probe.truncated) {
        return Failure::ImageTruncated;
    }
    if (!probe.wellFormed || probe.scans > limits.maxJpegScans) {
        return Failure::ImageUndecodable;
    }
    const auto side = static_cast<std::uint32_t>(limits.maxSide);
    if (probe.width > side || probe.height > side ||
        std::uint64_t{probe.width} * probe.height > limits.maxPixels) {
        return Failure::ImageTooLarge;
    }
    try {
        const cv::Mat raw(1, static_cast<int>(bytes.size()), CV_8UC1,
                          const_cast<char*>(bytes.data()));
        bgr = cv::imdecode(raw, cv::IMREAD_COLOR);
    } catch (const cv::Exception&) {
        bgr.release();
    }
    if (bgr.empty() || bgr.type() != CV_8UC3) {
        return Failure::ImageUndecodable;
    }
    return std::nullopt;
}

std::string EncodeJpeg(const cv::Mat& bgr, int quality) {
    std::vector<unsigned char> file;
    try {
        if (!cv::imencode(".jpg", bgr, file, {cv::IMWRITE_JPEG_QUALITY, quality})) {
            return {};
        }
    } catch (const cv::Exception&) {
        return {};
    }
    return std::string(file.begin(), file.end());
}

}  // namespace quill::service
