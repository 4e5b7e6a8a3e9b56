#include "service/face_models.h"

#include <algorithm>
#include <map>
#include <mutex>

#include <dlib/image_processing/frontal_face_detector.h>
#include <dlib/image_processing/shape_predictor.h>
#include <dlib/opencv/cv_image.h>
#include <opencv2/imgproc.hpp>

namespace quill::service {

struct FaceModels::Impl {
    dlib::frontal_face_detector detector;
    dlib::shape_predictor predictor;
};

struct FaceAnalyzer::Detector {
    dlib::frontal_face_detector detector;
};

FaceModels::FaceModels(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
FaceModels::~FaceModels() = default;

std::shared_ptr<const FaceModels> FaceModels::Load(const std::string& landmarkModelPath,
                                                   std::string& error) {
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<const FaceModels>> loaded;
    const std::lock_guard<std::mutex> lock(mutex);
    if (auto found = loaded.find(landmarkModelPath); found != loaded.end()) {
        return found->second;
    }
    auto impl = std::make_unique<Impl>();
    try {
        impl->detector = dlib::get_frontal_face_detector();
        dlib::deserialize(landmarkModelPath) >> impl->predictor;
    } catch (const std::exception& e) {
        error = "cannot load the landmark model " + landmarkModelPath + ": " + e.what();
        return nullptr;
    }
    if (impl->predictor.num_parts() != 68) {
        error = "the landmark model " + landmarkModelPath + " does not have 68 points";
        return nullptr;
    }
    std::shared_ptr<const FaceModels> models(new FaceModels(std::move(impl)));
    loaded.emplace(landmarkModelPath, models);
    return models;
}

FaceAnalyzer::FaceAnalyzer(std::shared_ptr<const FaceModels> models)
    : models_(std::move(models)), detector_(std::make_unique<Detector>()) {
    detector_->detector = models_->impl().detector;
}

FaceAnalyzer::~FaceAnalyzer() = default;

std::vector<DetectedFace> FaceAnalyzer::Detect(const cv::Mat& gray, int detectMaxSide) {
    CV_Assert(gray.type() == CV_8UC1);
    const int longer = std::max(gray.cols, gray.rows);
    double scale = 1.0;
    cv::Mat searched = gray;
    if (detectMaxSide > 0 && longer > detectMaxSide) {
        scale = static_cast<double>(detectMaxSide) / longer;
        cv::resize(gray, searched, cv::Size(), scale, scale, cv::INTER_AREA);
    }
    std::vector<dlib::rect_detection> found;
    detector_->detector(dlib::cv_image<unsigned char>(searched), found);
    std::vector<DetectedFace> faces;
    faces.reserve(found.size());
    for (const auto& hit : found) {
        const auto& r = hit.rect;
        DetectedFace face;
        face.box = cv::Rect(cv::Point(static_cast<int>(std::lround(r.left() / scale)),
                                      static_cast<int>(std::lround(r.top() / scale))),
                            cv::Point(static_cast<int>(std::lround((r.right() + 1) / scale)),
                                      static_cast<int>(std::lround((r.bottom() + 1) / scale))));
        face.score = hit.detection_confidence;
        faces.push_back(face);
    }
    std::stable_sort(faces.begin(), faces.end(), [](const DetectedFace& a, const DetectedFace& b) {
        return a.score > b.score;
    });
    return faces;
}

Landmarks FaceAnalyzer::Shape(const cv::Mat& gray, const cv::Rect& box) const {
    CV_Assert(gray.type() == CV_8UC1);
    const dlib::rectangle rect(box.x, box.y, box.x + box.width - 1, box.y + box.height - 1);
    const dlib::full_object_detection shape =
        models_->impl().predictor(dlib::cv_image<unsigned char>(gray), rect);
    Landmarks points;
    for (unsigned long i = 0; i < shape.num_parts() && i < points.size(); ++i) {
        points[i] = cv::Point2f(static_cast<float>(shape.part(i).x()),
                                static_cast<float>(shape.part(i).y()));
    }
    return points;
}

}  // namespace quill::service
