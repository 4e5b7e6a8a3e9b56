// The executable's options.
#pragma once

#include <string>
#include <vector>

#include "service/face_service.h"

namespace quill::service {

struct CommandLine {
    enum class Action { Run, Help, Error };
    Action action = Action::Run;
    ServiceConfig config;
    std::string message;  // usage text, or what was wrong
};

// `defaults` supplies every value an option leaves out.
CommandLine ParseCommandLine(const std::vector<std::string>& args, const ServiceConfig& defaults);

}  // namespace quill::service
