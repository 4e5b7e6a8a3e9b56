// The work behind the two endpoints, from image file bytes to the reply's content. One worker is
// used by one thread at a time.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "service/face_models.h"
#include "service/replies.h"
#include "service/service_limits.h"

namespace quill::service {

struct FaceCheckResult {
    int width = 0;
    int height = 0;
    std::vector<FaceBox> faces;  // best first, at most the limit's count, clipped to the picture
};

class FaceWorker {
  public:
    FaceWorker(std::shared_ptr<const FaceModels> models, const ServiceLimits& limits);

    // Decodes the image and finds its faces. No face is a result, not a failure.
    std::optional<Failure> Check(std::string_view imageBytes, FaceCheckResult& result);

    // The target's face on the template photograph, as a JPEG file of the template's size.
    std::optional<Failure> Merge(std::string_view templateBytes, std::string_view targetBytes,
                                 std::string& jpeg);

  private:
    ServiceLimits limits_;
    FaceAnalyzer analyzer_;
};

}  // namespace quill::service
