// A client of the face service for tests: HTTPS to 127.0.0.1 with the service's certificate, and
// the bodies as the tool builds them.
#pragma once

#include <memory>
#include <string>

#include <httplib.h>

#include "service/face_service.h"
#include "service/request_parsing.h"

namespace quill::service::testing {

struct Reply {
    int status = 0;  // 0: no reply at all
    std::string body;
    std::string contentType;
};

class ServiceClient {
  public:
    explicit ServiceClient(int port,
                           const std::string& certPath = ServiceConfig::Defaults().certPath)
        : client_("127.0.0.1", port) {
        client_.set_ca_cert_path(certPath.c_str());
        client_.enable_server_certificate_verification(true);
        client_.set_read_timeout(120, 0);
    }

    // The tool sends both bodies under the form content type.
    Reply Post(const std::string& pathAndQuery, const std::string& body) {
        return Wrap(client_.Post(pathAndQuery.c_str(), body, "application/x-www-form-urlencoded"));
    }
    Reply FaceCheck(const std::string& body) { return Post("/aidemo", body); }
    Reply Merge(const std::string& body) { return Post("/aidemo?type=merge&apiType=face", body); }
    Reply Get(const std::string& path) { return Wrap(client_.Get(path.c_str())); }

  private:
    static Reply Wrap(const httplib::Result& result) {
        if (!result) {
            return {};
        }
        return {result->status, result->body, result->get_header_value("Content-Type")};
    }
    httplib::SSLClient client_;
};

// Percent-encoding as the tool applies it: letters, digits and . - ~ ! _ * ( ) ' stay.
inline std::string ClientPercentEncode(const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
            (byte >= '0' && byte <= '9') ||
            std::string_view(".-~!_*()'").find(c) != std::string_view::npos) {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 15]);
        }
    }
    return out;
}

inline std::string FaceCheckFileBody(const std::string& fileBytes) {
    return "type=face&image_type=BASE64&image=data%3Aimage%2Fpng%3Bbase64%2C" +
           ClientPercentEncode(EncodeBase64(fileBytes));
}

inline std::string FaceCheckUrlBody(const std::string& url) {
    return "type=face&image_type=BASE64&image_url=" + ClientPercentEncode(url);
}

// Values go between the quotes as they are, unescaped, as the tool does.
inline std::string MergeBody(const std::string& templateImage, const std::string& templateType,
                             const std::string& targetImage, const std::string& targetType) {
    return R"({"image_template":{"image":")" + templateImage + R"(","image_type":")" +
           templateType + R"("},"image_target":{"image":")" + targetImage + R"(","image_type":")" +
           targetType + R"("},"version":"2.0"})";
}

inline bool Contains(const std::string& text, const std::string& word) {
    return text.find(word) != std::string::npos;
}

}  // namespace quill::service::testing
