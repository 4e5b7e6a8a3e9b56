// Face detection (dlib's HOG frontal face detector) and the 68-point landmark model.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

namespace quill::service {

using Landmarks = std::array<cv::Point2f, 68>;

struct DetectedFace {
    cv::Rect box;  // may reach past the picture's edges
    double score = 0;
};

// The loaded models, shared read-only by every worker.
class FaceModels {
  public:
    // Loads the landmark model once per path for the whole process; later calls share it.
    // Null with a message when the file cannot be read.
    static std::shared_ptr<const FaceModels> Load(const std::string& landmarkModelPath,
                                                  std::string& error);

    ~FaceModels();
    FaceModels(const FaceModels&) = delete;
    FaceModels& operator=(const FaceModels&) = delete;

    struct Impl;
    const Impl& impl() const { return *impl_; }

  private:
    explicit FaceModels(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// One per worker thread: the detector keeps scratch state between calls.
class FaceAnalyzer {
  public:
    explicit FaceAnalyzer(std::shared_ptr<const FaceModels> models);
    ~FaceAnalyzer();
    FaceAnalyzer(const FaceAnalyzer&) = delete;
    FaceAnalyzer& operator=(const FaceAnalyzer&) = delete;

    // Faces in an 8-bit grey picture, best score first. Pictures whose longer side exceeds
    // `detectMaxSide` are searched at that size and the boxes scaled back.
    std::vector<DetectedFace> Detect(const cv::Mat& gray, int detectMaxSide);

    // The 68 landmarks of the face in `box` of an 8-bit grey picture.
    Landmarks Shape(const cv::Mat& gray, const cv::Rect& box) const;

  private:
    struct Detector;
    std::shared_ptr<const FaceModels> models_;
    std::unique_ptr<Detector> detector_;
};

}  // namespace quill::service
