#include "service/command_line.h"

#include <charconv>

namespace quill::service {

namespace {

constexpr const char* kUsage =
    "usage: quillmere-service [options]\n"
    "Serves the face check, the face merge and the sample photographs over HTTPS on 127.0.0.1.\n"
    "  --port N      port to listen on (0: any free port)\n"
    "  --cert FILE   PEM certificate of the service\n"
    "  --key FILE    PEM private key of the certificate\n"
    "  --assets DIR  folder holding astronaut.png and grace_hopper.png\n"
    "  --model FILE  dlib 68-point landmark model\n"
    "  --workers N   requests processed at once (1 to 64)\n"
    "  --quiet       do not log requests\n"
    "  --help        show this text\n";

bool ParseInt(const std::string& text, int low, int high, int& value) {
    int parsed = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (ec != std::errc() || end != text.data() + text.size() || parsed < low || parsed > high) {
        return false;
    }
    value = parsed;
    return true;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args, const ServiceConfig& defaults) {
    CommandLine result;
    result.config = defaults;
    result.config.logRequests = true;
    auto fail = [&](const std::string& message) {
        result.action = CommandLine::Action::Error;
        result.message = message + "\n" + kUsage;
        return result;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            result.action = CommandLine::Action::Help;
            result.message = kUsage;
            return result;
        }
        if (arg == "--quiet") {
            result.config.logRequests = false;
            continue;
        }
        if (arg != "--port" && arg != "--cert" && arg != "--key" && arg != "--assets" &&
            arg != "--model" && arg != "--workers") {
            return fail("unknown option " + arg);
        }
        if (i + 1 >= args.size() || args[i + 1].empty()) {
            return fail(arg + " needs a value");
        }
        const std::string& value = args[++i];
        if (arg == "--port") {
            if (!ParseInt(value, 0, 65535, result.config.port)) {
                return fail("--port takes a number from 0 to 65535");
            }
        } else if (arg == "--workers") {
            if (!ParseInt(value, 1, 64, result.config.workers)) {
                return fail("--workers takes a number from 1 to 64");
            }
        } else if (arg == "--cert") {
            result.config.certPath = value;
        } else if (arg == "--key") {
            result.config.keyPath = value;
        } else if (arg == "--assets") {
            result.config.assetsDir = value;
        } else {
            result.config.modelPath = value;
        }
    }
    return result;
}

}  // namespace quill::service
