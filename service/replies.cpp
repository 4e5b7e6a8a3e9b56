#include "service/replies.h"

#include <cmath>

#include <nlohmann/json.hpp>

namespace quill::service {

namespace {

struct FailureText {
    Failure failure;
    int code;
    int httpStatus;
    std::string_view message;
};

// Codes are grouped by stage: 1xx request, 2xx download, 3xx image, 4xx faces, 5xx service.
constexpr FailureText kFailures[] = {
    {Failure::BadRequest, 100, 400, "invalid request body"},
    {Failure::NotJson, 101, 400, "request body is not valid JSON"},
    {Failure::MissingImage, 102, 400, "missing image parameter"},
    {Failure::BadImageType, 103, 400, "image_type must be BASE64 or URL"},
    {Failure::RequestTooLarge, 104, 413, "request body too large"},
    {Failure::RequestTimedOut, 105, 408, "request body took too long"},
    {Failure::DownloadFailed, 200, 200, "image download fail"},
    {Failure::DownloadNotHttp, 201, 200, "image download fail: only http and https addresses"},
    {Failure::DownloadStatus, 202, 200, "image download fail: the server answered with an error"},
    {Failure::DownloadTooLarge, 203, 200, "image download fail: the image exceeds the size limit"},
    {Failure::DownloadTimedOut, 204, 200, "image download fail: timed out"},
    {Failure::ImageEmpty, 300, 200, "image is empty"},
    {Failure::ImageNotBase64, 305, 200, "image decode fail: not valid Base64"},
    {Failure::ImageUndecodable, 301, 200, "image decode fail"},
    {Failure::ImageTruncated, 302, 200, "image decode fail: the image data is truncated"},
    {Failure::ImageFormat, 303, 200, "image format not supported: use JPEG, PNG or BMP"},
    {Failure::ImageTooLarge, 304, 200, "image too large"},
    {Failure::NoFace, 400, 200, "pic not has face"},
    {Failure::TemplateNoFace, 401, 200, "pic not has face: image_template"},
    {Failure::TargetNoFace, 402, 200, "pic not has face: image_target"},
    {Failure::FaceTooSmall, 403, 200, "face too small to merge"},
    {Failure::Busy, 500, 503, "service busy, try again"},
    {Failure::NotFound, 501, 404, "not found"},
    {Failure::Internal, 502, 500, "internal error"},
};

const FailureText& Find(Failure failure) {
    for (const auto& entry : kFailures) {
        if (entry.failure == failure) {
            return entry;
        }
    }
    return kFailures[std::size(kFailures) - 1];
}

}  // namespace

const std::vector<Failure>& AllFailures() {
    static const std::vector<Failure> all = [] {
        std::vector<Failure> list;
        for (const auto& entry : kFailures) {
            list.push_back(entry.failure);
        }
        return list;
    }();
    return all;
}

int FailureCode(Failure failure) {
    return Find(failure).code;
}
int FailureHttpStatus(Failure failure) {
    return Find(failure).httpStatus;
}
std::string_view FailureMessage(Failure failure) {
    return Find(failure).message;
}

std::string ErrorReply(Failure failure) {
    const auto& entry = Find(failure);
    const std::string message(entry.message);
    nlohmann::ordered_json reply;
    reply["errno"] = entry.code;
    reply["msg"] = message;
    reply["data"] = {{"error_code", entry.code}, {"error_msg", message}};
    return reply.dump();
}

std::string FaceCheckReply(int imageWidth, int imageHeight, const std::vector<FaceBox>& faces) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const auto& face : faces) {
        nlohmann::ordered_json item;
        item["location"] = {
            {"left", face.left}, {"top", face.top}, {"width", face.width}, {"height", face.height}};
        item["score"] = std::round(face.score * 1000.0) / 1000.0;
        list.push_back(std::move(item));
    }
    nlohmann::ordered_json reply;
    reply["errno"] = 0;
    reply["msg"] = "SUCCESS";
    reply["data"] = {{"error_code", 0},
                     {"error_msg", "SUCCESS"},
                     {"result",
                      {{"face_num", faces.size()},
                       {"image_width", imageWidth},
                       {"image_height", imageHeight},
                       {"face_list", std::move(list)}}}};
    return reply.dump();
}

std::string MergeReply(std::string_view mergeImageBase64) {
    // Written by hand: the picture is megabytes of Base64, which needs no escaping.
    constexpr std::string_view head =
        R"({"errno":0,"msg":"success","data":{"error_code":0,"error_msg":"SUCCESS",)"
        R"("result":{"merge_image":")";
    constexpr std::string_view tail = R"("}}})";
    std::string reply;
    reply.reserve(head.size() + mergeImageBase64.size() + tail.size());
    reply.append(head).append(mergeImageBase64).append(tail);
    return reply;
}

}  // namespace quill::service
