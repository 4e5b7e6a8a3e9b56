// The JSON replies of the face service. The client judges replies by substrings: "SUCCESS" means
// a face, "pic not has face" no face, "image download fail" a failed fetch and lower-case
// "success" a merge. So error replies carry fixed texts only, never anything taken from the
// request, and none of them contains either success word.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quill::service {

enum class Failure {
    BadRequest,
    NotJson,
    MissingImage,
    BadImageType,
    RequestTooLarge,
    RequestTimedOut,
    DownloadFailed,
    DownloadNotHttp,
    DownloadStatus,
    DownloadTooLarge,
    DownloadTimedOut,
    ImageEmpty,
    ImageNotBase64,
    ImageUndecodable,
    ImageTruncated,
    ImageFormat,
    ImageTooLarge,
    NoFace,
    TemplateNoFace,
    TargetNoFace,
    FaceTooSmall,
    Busy,
    NotFound,
    Internal,
};

// Every failure, for tests that check all replies.
const std::vector<Failure>& AllFailures();

int FailureCode(Failure failure);
int FailureHttpStatus(Failure failure);
std::string_view FailureMessage(Failure failure);

std::string ErrorReply(Failure failure);

struct FaceBox {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    double score = 0;
};

std::string FaceCheckReply(int imageWidth, int imageHeight, const std::vector<FaceBox>& faces);

// `mergeImageBase64` is the Base64 text of the merged picture's file.
std::string MergeReply(std::string_view mergeImageBase64);

}  // namespace quill::service
