// The tool's own fixed texts, in GBK like every text inside the program. They are written here
// in UTF-8 for reading and converted once.
#pragma once

#include <string>

namespace quill {

struct Texts {
    std::string kindLocal;       // 本地
    std::string addressPrompt;   // input-box prompt
    std::string fileFilter;      // file-dialog filter
    std::string rawReply;        // prefix of the raw-reply box
    std::string noFace;          // face check: no face found
    std::string unknownError;    // face check: neither marker
    std::string notReady;        // merge before both slots are ready
    std::string downloadFailed;  // merge: the service could not fetch an image
};

const Texts& GbkTexts();

// Fixed ASCII texts; the same bytes in GBK.
inline constexpr char kKindUrl[] = "url";
inline constexpr char kKindBase[] = "base";
inline constexpr char kMarkerAccepted[] = "SUCCESS";
inline constexpr char kMarkerNoFace[] = "pic not has face";
inline constexpr char kMarkerDownloadFailed[] = "image download fail";
inline constexpr char kMarkerMerged[] = "success";

}  // namespace quill
