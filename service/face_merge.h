// Puts one face onto another: a piecewise-affine warp over Delaunay triangles of the 68
// landmarks, colour matching, and a seamless (Poisson) clone.
#pragma once

#include <optional>

#include <opencv2/core.hpp>

#include "service/face_models.h"
#include "service/replies.h"

namespace quill::service {

// Gives a copy of `templ` in which the face at `templPoints` wears the face of `target` at
// `targetPoints`. Both pictures are 8-bit BGR; the result has the size of `templ`. Landmarks may
// lie outside their picture; faces that reach past an edge are clipped there.
std::optional<Failure> PlaceFace(const cv::Mat& templ, const Landmarks& templPoints,
                                 const cv::Mat& target, const Landmarks& targetPoints,
                                 cv::Mat& merged);

}  // namespace quill::service
