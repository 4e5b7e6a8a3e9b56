#include "service/face_merge.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include <opencv2/imgproc.hpp>
#include <opencv2/photo.hpp>

namespace quill::service {

namespace {

using Triangle = std::array<int, 3>;

// Smallest face side, in pixels, that the warp and the clone can work with.
constexpr int kMinFaceSide = 8;

// Longest side of the region the clone solves on.
constexpr int kMaxCloneSide = 384;

std::vector<cv::Point2f> ClipPoints(const Landmarks& points, const cv::Size& size) {
    std::vector<cv::Point2f> clipped(points.begin(), points.end());
    const float maxX = static_cast<float>(size.width - 1);
    const float maxY = static_cast<float>(size.height - 1);
    for (auto& p : clipped) {
        // NaN fails both comparisons; std::clamp would keep it.
        p.x = p.x >= 0.f ? std::min(p.x, maxX) : 0.f;
        p.y = p.y >= 0.f ? std::min(p.y, maxY) : 0.f;
    }
    return clipped;
}

// Points moved to a region's own coordinates and scaled with it, kept inside its `size`.
std::vector<cv::Point2f> MapPoints(const std::vector<cv::Point2f>& points, cv::Point origin,
                                   double scale, cv::Size size) {
    std::vector<cv::Point2f> mapped;
    mapped.reserve(points.size());
    const auto maxX = static_cast<float>(size.width - 1);
    const auto maxY = static_cast<float>(size.height - 1);
    for (const auto& p : points) {
        const auto x = static_cast<float>((p.x - static_cast<float>(origin.x)) * scale);
        const auto y = static_cast<float>((p.y - static_cast<float>(origin.y)) * scale);
        mapped.emplace_back(std::clamp(x, 0.f, maxX), std::clamp(y, 0.f, maxY));
    }
    return mapped;
}

double TwiceArea(const cv::Point2f& a, const cv::Point2f& b, const cv::Point2f& c) {
    return std::abs((b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y));
}

// Delaunay triangles of the points, as indices into them. Every point lies inside `bounds`.
std::vector<Triangle> Triangulate(const std::vector<cv::Point2f>& points, const cv::Rect& bounds) {
    cv::Subdiv2D subdiv(bounds);
    for (const auto& p : points) {
        subdiv.insert(p);
    }
    std::vector<cv::Vec6f> list;
    subdiv.getTriangleList(list);
    auto indexOf = [&](float x, float y) {
        for (std::size_t i = 0; i < points.size(); ++i) {
            if (std::abs(points[i].x - x) < 0.5f && std::abs(points[i].y - y) < 0.5f) {
                return static_cast<int>(i);
            }
        }
        return -1;  // one of the subdivision's outer corners
    };
    std::vector<Triangle> triangles;
    for (const auto& t : list) {
        const Triangle tri{indexOf(t[0], t[1]), indexOf(t[2], t[3]), indexOf(t[4], t[5])};
        if (tri[0] < 0 || tri[1] < 0 || tri[2] < 0 || tri[0] == tri[1] || tri[1] == tri[2] ||
            tri[0] == tri[2]) {
            continue;
        }
        triangles.push_back(tri);
    }
    return triangles;
}

// Copies one triangle of `source` into `dest` under the affine map between the two triangles.
void WarpTriangle(const cv::Mat& source, const std::array<cv::Point2f, 3>& from, cv::Mat& dest,
                  const std::array<cv::Point2f, 3>& to) {
    if (TwiceArea(from[0], from[1], from[2]) < 1.0 || TwiceArea(to[0], to[1], to[2]) < 1.0) {
        return;
    }
    const cv::Rect fromBox = cv::boundingRect(std::vector<cv::Point2f>(from.begin(), from.end())) &
                             cv::Rect(0, 0, source.cols, source.rows);
    const cv::Rect toBox = cv::boundingRect(std::vector<cv::Point2f>(to.begin(), to.end())) &
                           cv::Rect(0, 0, dest.cols, dest.rows);
    if (fromBox.empty() || toBox.empty()) {
        return;
    }
    std::array<cv::Point2f, 3> fromLocal;
    std::array<cv::Point2f, 3> toLocal;
    std::array<cv::Point, 3> toPixels;
    for (int i = 0; i < 3; ++i) {
        fromLocal[i] = from[i] - cv::Point2f(fromBox.tl());
        toLocal[i] = to[i] - cv::Point2f(toBox.tl());
        toPixels[i] = cv::Point(cvRound(toLocal[i].x), cvRound(toLocal[i].y));
    }
    const cv::Mat map = cv::getAffineTransform(fromLocal.data(), toLocal.data());
    cv::Mat patch;
    cv::warpAffine(source(fromBox), patch, map, toBox.size(), cv::INTER_LINEAR,
                   cv::BORDER_REFLECT_101);
    cv::Mat mask = cv::Mat::zeros(toBox.size(), CV_8UC1);
    cv::fillConvexPoly(mask, toPixels.data(), 3, cv::Scalar(255));
    patch.copyTo(dest(toBox), mask);
}

// Shifts the colours of `face` inside `mask` so that their mean and spread in Lab match those of
// `scene` there: skin tone and lighting of the template, features of the target.
void MatchColours(cv::Mat& face, const cv::Mat& scene, const cv::Mat& mask) {
    cv::Mat faceLab;
    cv::Mat sceneLab;
    cv::cvtColor(face, faceLab, cv::COLOR_BGR2Lab);
    cv::cvtColor(scene, sceneLab, cv::COLOR_BGR2Lab);
    cv::Scalar faceMean;
    cv::Scalar faceDev;
    cv::Scalar sceneMean;
    cv::Scalar sceneDev;
    cv::meanStdDev(faceLab, faceMean, faceDev, mask);
    cv::meanStdDev(sceneLab, sceneMean, sceneDev, mask);
    std::vector<cv::Mat> channels;
    cv::split(faceLab, channels);
    for (int c = 0; c < 3; ++c) {
        // A flat patch has no spread to scale; keep the gain within reason.
        const double gain = faceDev[c] > 1.0 ? std::clamp(sceneDev[c] / faceDev[c], 0.5, 2.0) : 1.0;
        channels[c].convertTo(channels[c], CV_8U, gain, sceneMean[c] - faceMean[c] * gain);
    }
    cv::merge(channels, faceLab);
    cv::Mat corrected;
    cv::cvtColor(faceLab, corrected, cv::COLOR_Lab2BGR);
    corrected.copyTo(face, mask);
}

// Seamless (Poisson) clone of `face` into `scene` inside `mask`, all of one size.
std::optional<Failure> Clone(const cv::Mat& face, const cv::Mat& scene, const cv::Mat& mask,
                             cv::Mat& cloned) {
    // The clone works on the mask's bounding box placed around `centre`, which must lie wholly
    // inside the picture, and it blanks the outermost ring of the mask; a face touching the
    // picture's edge would lose that ring. So pad, clone around the box's own centre, and cut
    // the padding off again.
    constexpr int pad = 2;
    cv::Mat scenePadded;
    cv::Mat facePadded;
    cv::Mat maskPadded;
    cv::copyMakeBorder(scene, scenePadded, pad, pad, pad, pad, cv::BORDER_REPLICATE);
    cv::copyMakeBorder(face, facePadded, pad, pad, pad, pad, cv::BORDER_REPLICATE);
    cv::copyMakeBorder(mask, maskPadded, pad, pad, pad, pad, cv::BORDER_CONSTANT, cv::Scalar(0));
    const cv::Rect maskBox = cv::boundingRect(maskPadded);
    if (std::min(maskBox.width, maskBox.height) < kMinFaceSide) {
        return Failure::FaceTooSmall;
    }
    const cv::Point centre(maskBox.x + maskBox.width / 2, maskBox.y + maskBox.height / 2);
    cv::Mat blended;
    cv::seamlessClone(facePadded, scenePadded, maskPadded, centre, blended, cv::NORMAL_CLONE);
    cloned = blended(cv::Rect(pad, pad, face.cols, face.rows)).clone();
    return std::nullopt;
}

}  // namespace

std::optional<Failure> PlaceFace(const cv::Mat& templ, const Landmarks& templPoints,
                                 const cv::Mat& target, const Landmarks& targetPoints,
                                 cv::Mat& merged) {
    CV_Assert(templ.type() == CV_8UC3 && target.type() == CV_8UC3);
    const std::vector<cv::Point2f> to = ClipPoints(templPoints, templ.size());
    const std::vector<cv::Point2f> from = ClipPoints(targetPoints, target.size());
    const cv::Rect toFace = cv::boundingRect(to);
    const cv::Rect fromFace = cv::boundingRect(from);
    if (std::min(toFace.width, toFace.height) < kMinFaceSide ||
        std::min(fromFace.width, fromFace.height) < kMinFaceSide) {
        return Failure::FaceTooSmall;
    }

    // Everything below works on the face's surroundings only, so its cost follows the face
    // and not the picture.
    const int margin = std::max(4, std::max(toFace.width, toFace.height) / 10);
    const cv::Rect region = cv::Rect(toFace.x - margin, toFace.y - margin,
                                     toFace.width + 2 * margin, toFace.height + 2 * margin) &
                            cv::Rect(0, 0, templ.cols, templ.rows);
    const std::vector<cv::Point2f> toLocal = MapPoints(to, region.tl(), 1.0, region.size());

    // Bilinear sampling aliases when it shrinks by more than half, so a target face much larger
    // than its place is shrunk first.
    const double shrink = std::min(1.0, 2.0 * std::max(toFace.width, toFace.height) /
                                            std::max(fromFace.width, fromFace.height));
    cv::Mat source = target;
    std::vector<cv::Point2f> fromLocal = from;
    if (shrink < 1.0) {
        const int around = std::max(fromFace.width, fromFace.height) / 10 + 2;
        const cv::Rect crop = cv::Rect(fromFace.x - around, fromFace.y - around,
                                       fromFace.width + 2 * around, fromFace.height + 2 * around) &
                              cv::Rect(0, 0, target.cols, target.rows);
        const cv::Size shrunk(std::max(1, cvFloor(crop.width * shrink)),
                              std::max(1, cvFloor(crop.height * shrink)));
        cv::resize(target(crop), source, shrunk, 0, 0, cv::INTER_AREA);
        fromLocal = MapPoints(from, crop.tl(), shrink, shrunk);
    }

    cv::Mat warped = cv::Mat::zeros(region.size(), CV_8UC3);
    for (const Triangle& tri : Triangulate(toLocal, cv::Rect(0, 0, region.width, region.height))) {
        WarpTriangle(source, {fromLocal[tri[0]], fromLocal[tri[1]], fromLocal[tri[2]]}, warped,
                     {toLocal[tri[0]], toLocal[tri[1]], toLocal[tri[2]]});
    }

    std::vector<cv::Point2f> hull;
    cv::convexHull(toLocal, hull);
    std::vector<cv::Point> hullPixels;
    for (const auto& p : hull) {
        hullPixels.emplace_back(cvRound(p.x), cvRound(p.y));
    }
    cv::Mat mask = cv::Mat::zeros(region.size(), CV_8UC1);
    cv::fillConvexPoly(mask, hullPixels, cv::Scalar(255));

    const cv::Mat scene = templ(region);
    MatchColours(warped, scene, mask);

    merged = templ.clone();
    const double scale =
        std::min(1.0, static_cast<double>(kMaxCloneSide) / std::max(region.width, region.height));
    if (scale >= 1.0) {
        cv::Mat face;
        if (auto failure = Clone(warped, scene, mask, face)) {
            return failure;
        }
        face.copyTo(merged(region));
        return std::nullopt;
    }

    // The clone adds a smooth correction to the face, the solution of a membrane problem, and
    // its cost grows fast with its size (2.5 s at 1024 pixels). So the correction is found on a
    // smaller copy and added, scaled up, to the face at full detail.
    const cv::Size small(std::max(1, cvRound(region.width * scale)),
                         std::max(1, cvRound(region.height * scale)));
    cv::Mat warpedSmall;
    cv::Mat sceneSmall;
    cv::Mat maskSmall;
    cv::resize(warped, warpedSmall, small, 0, 0, cv::INTER_AREA);
    cv::resize(scene, sceneSmall, small, 0, 0, cv::INTER_AREA);
    cv::resize(mask, maskSmall, small, 0, 0, cv::INTER_NEAREST);
    cv::Mat cloned;
    if (auto failure = Clone(warpedSmall, sceneSmall, maskSmall, cloned)) {
        return failure;
    }
    cv::Mat correction;
    cv::subtract(cloned, warpedSmall, correction, cv::noArray(), CV_16SC3);
    cv::resize(correction, correction, region.size(), 0, 0, cv::INTER_LINEAR);
    cv::Mat face;
    cv::add(warped, correction, face, cv::noArray(), CV_8UC3);
    // The coarse correction cannot follow the mask's edge pixel for pixel, so the face fades
    // into the template over a few pixels inside the edge.
    const int fade = std::max(2, cvCeil(1.5 / scale));
    cv::Mat weight;
    cv::erode(mask, weight,
              cv::getStructuringElement(cv::MORPH_ELLIPSE, {2 * fade + 1, 2 * fade + 1}));
    weight.convertTo(weight, CV_32F, 1.0 / 255.0);
    cv::GaussianBlur(weight, weight, {2 * fade + 1, 2 * fade + 1}, 0);
    const cv::Mat sceneWeight = 1.0f - weight;
    cv::Mat blended;
    cv::blendLinear(face, scene, weight, sceneWeight, blended);
    blended.copyTo(merged(region), mask);
    return std::nullopt;
}

}  // namespace quill::service
