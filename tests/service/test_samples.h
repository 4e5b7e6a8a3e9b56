// Sample photographs and the models, shared by the service's tests.
#pragma once

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "service/face_models.h"
#include "service/face_service.h"

namespace quill::service::testing {

inline std::string Sample(const std::string& name) {
    std::ifstream in(std::string(QUILL_SAMPLES_DIR) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline const char* const kFacePhotos[] = {"astronaut.png", "grace_hopper.png"};
inline const char* const kNoFacePhotos[] = {"coffee.png", "chelsea.png", "rocket.jpg"};

inline std::shared_ptr<const FaceModels> Models() {
    std::string error;
    auto models = FaceModels::Load(ServiceConfig::Defaults().modelPath, error);
    EXPECT_TRUE(models) << error;
    return models;
}

}  // namespace quill::service::testing
