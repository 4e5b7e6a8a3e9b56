#include "service/face_worker.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "service/face_merge.h"
#include "service/image_decode.h"
#include "tests/service/test_samples.h"

namespace quill::service {
namespace {

using testing::kFacePhotos;
using testing::kNoFacePhotos;
using testing::Models;
using testing::Sample;

TEST(FaceWorkerTest, FindsOneFaceInEachFacePhotoAndNoneElsewhere) {
    FaceWorker worker(Models(), ServiceLimits());
    for (const char* photo : kFacePhotos) {
        FaceCheckResult result;
        ASSERT_EQ(worker.Check(Sample(photo), result), std::nullopt) << photo;
        ASSERT_EQ(result.faces.size(), 1u) << photo;
        const FaceBox& box = result.faces[0];
        EXPECT_GE(box.width, 80) << photo;
        EXPECT_GE(box.left, 0);
        EXPECT_GE(box.top, 0);
        EXPECT_LE(box.left + box.width, result.width);
        EXPECT_LE(box.top + box.height, result.height);
    }
    for (const char* photo : kNoFacePhotos) {
        FaceCheckResult result;
        ASSERT_EQ(worker.Check(Sample(photo), result), std::nullopt) << photo;
        EXPECT_TRUE(result.faces.empty()) << photo;
    }
}

// Grace Hopper's photograph at four times its size, as a PNG file.
std::string LargeHopper() {
    cv::Mat photo;
    EXPECT_EQ(DecodeImage(Sample("grace_hopper.png"), ServiceLimits(), photo), std::nullopt);
    cv::resize(photo, photo, cv::Size(), 4.0, 4.0, cv::INTER_LINEAR);
    std::vector<unsigned char> png;
    cv::imencode(".png", photo, png);
    return std::string(png.begin(), png.end());
}

TEST(FaceWorkerTest, SearchesLargePicturesScaledDown) {
    FaceWorker worker(Models(), ServiceLimits());
    FaceCheckResult result;
    ASSERT_EQ(worker.Check(LargeHopper(), result), std::nullopt);
    ASSERT_EQ(result.faces.size(), 1u);
    EXPECT_EQ(result.width, 2048);
    // The face sits at about (161, 137) and is 216 wide in the original.
    EXPECT_NEAR(result.faces[0].left, 4 * 161, 40);
    EXPECT_NEAR(result.faces[0].width, 4 * 216, 80);
}

// A face far larger than the sample's takes the path that blends on a smaller copy.
TEST(FaceWorkerTest, MergeOntoALargeFaceKeepsTheRestOfThePicture) {
    const std::string large = LargeHopper();
    FaceWorker worker(Models(), ServiceLimits());
    std::string jpeg;
    ASSERT_EQ(worker.Merge(large, Sample("astronaut.png"), jpeg), std::nullopt);
    cv::Mat merged;
    cv::Mat original;
    ASSERT_EQ(DecodeImage(jpeg, ServiceLimits(), merged), std::nullopt);
    ASSERT_EQ(DecodeImage(large, ServiceLimits(), original), std::nullopt);
    ASSERT_EQ(merged.size(), original.size());
    FaceCheckResult after;
    ASSERT_EQ(worker.Check(jpeg, after), std::nullopt);
    ASSERT_FALSE(after.faces.empty());
    EXPECT_NEAR(after.faces[0].left, 4 * 161, 80);
    const auto meanDifference = [&](const cv::Rect& r) {
        return cv::norm(merged(r), original(r), cv::NORM_L1) / static_cast<double>(r.area()) / 3;
    };
    // Below the chin and beside the face the picture is the template's; the face is new.
    EXPECT_LT(meanDifference(cv::Rect(0, 2000, 400, 400)), 3.0);
    EXPECT_LT(meanDifference(cv::Rect(1700, 200, 300, 300)), 3.0);
    EXPECT_GT(meanDifference(cv::Rect(4 * 200, 4 * 200, 4 * 140, 4 * 100)), 8.0);
}

TEST(FaceWorkerTest, ReportsAtMostTheFaceLimitBestFirst) {
    cv::Mat astronaut;
    cv::Mat hopper;
    ASSERT_EQ(DecodeImage(Sample("astronaut.png"), ServiceLimits(), astronaut), std::nullopt);
    ASSERT_EQ(DecodeImage(Sample("grace_hopper.png"), ServiceLimits(), hopper), std::nullopt);
    cv::Mat collage(600, 1536, CV_8UC3, cv::Scalar(128, 128, 128));
    astronaut.copyTo(collage(cv::Rect(0, 0, 512, 512)));
    hopper.copyTo(collage(cv::Rect(512, 0, 512, 600)));
    cv::flip(astronaut, collage(cv::Rect(1024, 88, 512, 512)), 1);
    std::vector<unsigned char> png;
    cv::imencode(".png", collage, png);
    const std::string bytes(png.begin(), png.end());
    auto check = [&](int limit) {
        ServiceLimits limits;
        limits.maxFaces = limit;
        limits.detectMaxSide = 2000;  // keeps the astronaut's small faces findable
        FaceWorker worker(Models(), limits);
        FaceCheckResult result;
        EXPECT_EQ(worker.Check(bytes, result), std::nullopt);
        return result.faces;
    };
    const std::vector<FaceBox> all = check(100);
    ASSERT_GE(all.size(), 3u);
    for (std::size_t i = 1; i < all.size(); ++i) {
        EXPECT_GE(all[i - 1].score, all[i].score);
    }
    for (const int limit : {2, 1}) {
        const std::vector<FaceBox> capped = check(limit);
        ASSERT_EQ(capped.size(), static_cast<std::size_t>(limit));
        EXPECT_EQ(capped[0].left, all[0].left);
        EXPECT_EQ(capped.back().left, all[limit - 1].left);
    }
}

TEST(FaceWorkerTest, MergeGivesTheTemplatesSizeWithAFace) {
    FaceWorker worker(Models(), ServiceLimits());
    const std::pair<const char*, const char*> pairs[] = {{"astronaut.png", "grace_hopper.png"},
                                                         {"grace_hopper.png", "astronaut.png"}};
    for (const auto& [templ, target] : pairs) {
        std::string jpeg;
        ASSERT_EQ(worker.Merge(Sample(templ), Sample(target), jpeg), std::nullopt) << templ;
        cv::Mat merged;
        ASSERT_EQ(DecodeImage(jpeg, ServiceLimits(), merged), std::nullopt) << templ;
        cv::Mat original;
        ASSERT_EQ(DecodeImage(Sample(templ), ServiceLimits(), original), std::nullopt);
        EXPECT_EQ(merged.size(), original.size()) << templ;
        // The best face of the merged picture is where the template's face was. JPEG noise may
        // add a faint second hit elsewhere, so only the best one counts.
        FaceCheckResult before;
        FaceCheckResult after;
        ASSERT_EQ(worker.Check(Sample(templ), before), std::nullopt);
        ASSERT_EQ(worker.Check(jpeg, after), std::nullopt);
        ASSERT_FALSE(after.faces.empty()) << templ;
        const auto rect = [](const FaceBox& b) {
            return cv::Rect(b.left, b.top, b.width, b.height);
        };
        const cv::Rect face = rect(before.faces[0]);
        EXPECT_GT((face & rect(after.faces[0])).area(), face.area() / 2) << templ;
        // The face changed, the far corner did not.
        const cv::Rect corner(0, original.rows - 40, 40, 40);
        EXPECT_LT(cv::norm(merged(corner), original(corner), cv::NORM_L1) / (40 * 40 * 3), 4.0);
        EXPECT_GT(cv::norm(merged(face), original(face), cv::NORM_L1) / face.area() / 3, 8.0);
    }
}

TEST(FaceWorkerTest, MergeNamesThePictureWithoutAFace) {
    FaceWorker worker(Models(), ServiceLimits());
    std::string jpeg;
    EXPECT_EQ(worker.Merge(Sample("coffee.png"), Sample("astronaut.png"), jpeg),
              Failure::TemplateNoFace);
    EXPECT_EQ(worker.Merge(Sample("astronaut.png"), Sample("rocket.jpg"), jpeg),
              Failure::TargetNoFace);
    EXPECT_EQ(worker.Merge(Sample("astronaut.png"), "", jpeg), Failure::ImageEmpty);
}

class DecodeImageTest : public ::testing::Test {
  protected:
    static std::string Png(int width, int height) {
        std::vector<unsigned char> png;
        cv::imencode(".png", cv::Mat(height, width, CV_8UC3, cv::Scalar(40, 80, 120)), png);
        return std::string(png.begin(), png.end());
    }
};

TEST_F(DecodeImageTest, RefusesBeforeDecodingWhatIsOutOfBounds) {
    ServiceLimits limits;
    limits.maxImageBytes = 600 * 1024;
    limits.maxPixels = 300 * 300;
    limits.maxSide = 1000;
    std::string bomb = Png(64, 64);
    bomb.replace(16, 8, std::string("\x00\x01\x86\xa0\x00\x01\x86\xa0", 8));  // 100000 square
    const std::string rocket = Sample("rocket.jpg");
    cv::Mat noise(200, 200, CV_8UC3);
    cv::randu(noise, cv::Scalar::all(0), cv::Scalar::all(255));
    std::vector<unsigned char> noisePng;
    cv::imencode(".png", noise, noisePng);
    std::string corruptPng(noisePng.begin(), noisePng.end());
    for (std::size_t i = corruptPng.size() / 2; i < corruptPng.size() / 2 + 64; ++i) {
        corruptPng[i] = static_cast<char>(corruptPng[i] ^ 0x5A);
    }
    struct Case {
        const char* name;
        std::string bytes;
        std::optional<Failure> failure;
    };
    const Case cases[] = {
        {"fits", Png(300, 300), std::nullopt},
        {"too many pixels", Png(301, 300), Failure::ImageTooLarge},
        {"too long a side", Png(1001, 10), Failure::ImageTooLarge},
        {"bomb header", bomb, Failure::ImageTooLarge},
        {"too many bytes", Sample("astronaut.png"), Failure::ImageTooLarge},
        {"truncated jpeg", rocket.substr(0, rocket.size() * 6 / 10), Failure::ImageTruncated},
        {"jpeg without end marker", rocket.substr(0, rocket.size() - 2), Failure::ImageTruncated},
        {"truncated png header", Png(10, 10).substr(0, 20), Failure::ImageTruncated},
        {"corrupt png data", corruptPng, Failure::ImageUndecodable},
        {"gif", "GIF89a\x01\x00\x01\x00\x80\x00\x00", Failure::ImageFormat},
        {"text", "not a picture", Failure::ImageFormat},
        {"nothing", "", Failure::ImageEmpty},
    };
    for (const Case& c : cases) {
        cv::Mat bgr;
        EXPECT_EQ(DecodeImage(c.bytes, limits, bgr), c.failure) << c.name;
        EXPECT_EQ(bgr.empty(), c.failure.has_value()) << c.name;
    }
}

// Faces at or past the picture's edges, degenerate shapes and tiny pictures: every one gives
// a picture of the template's size or a refusal, never an exception.
TEST(PlaceFaceTest, SurvivesFacesAtEdgesAndDegenerateShapes) {
    FaceAnalyzer analyzer(Models());
    cv::Mat templ;
    cv::Mat target;
    ASSERT_EQ(DecodeImage(Sample("astronaut.png"), ServiceLimits(), templ), std::nullopt);
    ASSERT_EQ(DecodeImage(Sample("grace_hopper.png"), ServiceLimits(), target), std::nullopt);
    cv::Mat templGray;
    cv::Mat targetGray;
    cv::cvtColor(templ, templGray, cv::COLOR_BGR2GRAY);
    cv::cvtColor(target, targetGray, cv::COLOR_BGR2GRAY);
    const Landmarks templPoints =
        analyzer.Shape(templGray, analyzer.Detect(templGray, 1280).at(0).box);
    const Landmarks targetPoints =
        analyzer.Shape(targetGray, analyzer.Detect(targetGray, 1280).at(0).box);

    auto moved = [&](cv::Point2f shift, float scale) {
        Landmarks points = templPoints;
        const cv::Point2f centre = points[30];
        for (auto& p : points) {
            p = (p - centre) * scale + centre + shift;
        }
        return points;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Landmarks collapsed;
    collapsed.fill(cv::Point2f(200, 200));
    Landmarks withNan = templPoints;
    withNan[5] = cv::Point2f(nan, nan);
    struct Case {
        const char* name;
        cv::Mat templ;
        Landmarks points;
        bool mayRefuse;
    };
    const Case cases[] = {
        {"in place", templ, templPoints, false},
        {"past the left edge", templ, moved({-240, 0}, 1), false},
        {"past the top edge", templ, moved({0, -150}, 1), false},
        {"past the right edge", templ, moved({300, 0}, 1), false},
        {"past the bottom edge", templ, moved({0, 380}, 1), false},
        {"larger than the picture", templ, moved({0, 0}, 8), false},
        {"wholly outside", templ, moved({2000, 2000}, 1), true},
        {"collapsed to a point", templ, collapsed, true},
        {"a point not a number", templ, withNan, false},
        {"tiny picture", templ(cv::Rect(150, 100, 12, 12)).clone(), moved({-150, -100}, 0.1f),
         true},
        {"one row", templ(cv::Rect(0, 120, 512, 1)).clone(), templPoints, true},
    };
    for (const Case& c : cases) {
        cv::Mat merged;
        std::optional<Failure> failure;
        ASSERT_NO_THROW(failure = PlaceFace(c.templ, c.points, target, targetPoints, merged))
            << c.name;
        if (failure) {
            EXPECT_TRUE(c.mayRefuse) << c.name;
            EXPECT_EQ(*failure, Failure::FaceTooSmall) << c.name;
        } else {
            EXPECT_EQ(merged.size(), c.templ.size()) << c.name;
        }
    }
}

}  // namespace
}  // namespace quill::service
