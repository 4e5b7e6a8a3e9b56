#include "service/command_line.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace quill::service {
namespace {

TEST(CommandLineTest, OverridesDefaultsAndRefusesBadValues) {
    ServiceConfig defaults;
    defaults.port = 47815;
    defaults.certPath = "/default.crt";
    defaults.workers = 2;
    struct Case {
        std::vector<std::string> args;
        CommandLine::Action action;
        int port;
        int workers;
        std::string cert;
    };
    using A = CommandLine::Action;
    const Case cases[] = {
        {{}, A::Run, 47815, 2, "/default.crt"},
        {{"--port", "0", "--workers", "3", "--cert", "/c.pem", "--key", "/k.pem", "--quiet"},
         A::Run,
         0,
         3,
         "/c.pem"},
        {{"--help"}, A::Help, 47815, 2, "/default.crt"},
        {{"--port", "65536"}, A::Error, 0, 0, ""},
        {{"--port", "12ab"}, A::Error, 0, 0, ""},
        {{"--workers", "0"}, A::Error, 0, 0, ""},
        {{"--workers"}, A::Error, 0, 0, ""},
        {{"--model", ""}, A::Error, 0, 0, ""},
        {{"--host", "0.0.0.0"}, A::Error, 0, 0, ""},
    };
    for (const Case& c : cases) {
        const CommandLine line = ParseCommandLine(c.args, defaults);
        EXPECT_EQ(line.action, c.action) << ::testing::PrintToString(c.args);
        if (c.action == A::Run) {
            EXPECT_EQ(line.config.port, c.port);
            EXPECT_EQ(line.config.workers, c.workers);
            EXPECT_EQ(line.config.certPath, c.cert);
        } else {
            EXPECT_FALSE(line.message.empty());
        }
    }
}

}  // namespace
}  // namespace quill::service
