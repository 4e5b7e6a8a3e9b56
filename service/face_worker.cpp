#include "service/face_worker.h"

#include <algorithm>

#include <opencv2/imgproc.hpp>

#include "service/face_merge.h"
#include "service/image_decode.h"

namespace quill::service {

namespace {

cv::Mat ToGray(const cv::Mat& bgr) {
    cv::Mat gray;
    cv::cvtColor(bgr, gray, cv::COLOR_BGR2GRAY);
    return gray;
}

// The face a merge uses: the largest, which is the photograph's subject.
const DetectedFace& MainFace(const std::vector<DetectedFace>& faces) {
    return *std::max_element(
        faces.begin(), faces.end(),
        [](const DetectedFace& a, const DetectedFace& b) { return a.box.area() < b.box.area(); });
}

}  // namespace

FaceWorker::FaceWorker(std::shared_ptr<const FaceModels> models, const ServiceLimits& limits)
    : limits_(limits), analyzer_(std::move(models)) {}

std::optional<Failure> FaceWorker::Check(std::string_view imageBytes, FaceCheckResult& result) {
    cv::Mat bgr;
    if (auto failure = DecodeImage(imageBytes, limits_, bgr)) {
        return failure;
    }
    result.width = bgr.cols;
    result.height = bgr.rows;
    result.faces.clear();
    const cv::Rect picture(0, 0, bgr.cols, bgr.rows);
    for (const auto& face : analyzer_.Detect(ToGray(bgr), limits_.detectMaxSide)) {
        if (static_cast<int>(result.faces.size()) >= limits_.maxFaces) {
            break;
        }
        const cv::Rect box = face.box & picture;
        if (box.empty()) {
            continue;
        }
        result.faces.push_back({box.x, box.y, box.width, box.height, face.score});
    }
    return std::nullopt;
}

std::optional<Failure> FaceWorker::Merge(std::string_view templateBytes,
                                         std::string_view targetBytes, std::string& jpeg) {
    cv::Mat templ;
    cv::Mat target;
    if (auto failure = DecodeImage(templateBytes, limits_, templ)) {
        return failure;
    }
    if (auto failure = DecodeImage(targetBytes, limits_, target)) {
        return failure;
    }
    const cv::Mat templGray = ToGray(templ);
    const auto templFaces = analyzer_.Detect(templGray, limits_.detectMaxSide);
    if (templFaces.empty()) {
        return Failure::TemplateNoFace;
    }
    const cv::Mat targetGray = ToGray(target);
    const auto targetFaces = analyzer_.Detect(targetGray, limits_.detectMaxSide);
    if (targetFaces.empty()) {
        return Failure::TargetNoFace;
    }
    const Landmarks templPoints = analyzer_.Shape(templGray, MainFace(templFaces).box);
    const Landmarks targetPoints = analyzer_.Shape(targetGray, MainFace(targetFaces).box);
    cv::Mat merged;
    if (auto failure = PlaceFace(templ, templPoints, target, targetPoints, merged)) {
        return failure;
    }
    jpeg = EncodeJpeg(merged);
    if (jpeg.empty()) {
        return Failure::Internal;
    }
    return std::nullopt;
}

}  // namespace quill::service
