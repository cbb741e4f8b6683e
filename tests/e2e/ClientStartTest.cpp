// Started where no display can be opened, the client says so and ends instead of running on with
// a window nobody can see or close.
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

using testsupport::Process;
using testsupport::TempDir;

namespace {

// A display number no X server listens on.
std::string DeadDisplay() {
    int n = 931;
    while (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n))) {
        ++n;
    }
    return ":" + std::to_string(n);
}

} // namespace

TEST(ClientStart, WithoutADisplayItSaysWhyAndExitsNonZero) {
    for (const std::string& display : {std::string(), DeadDisplay()}) {
        SCOPED_TRACE(display.empty() ? "DISPLAY unset" : "DISPLAY=" + display);
        TempDir dir;
        std::map<std::string, std::string> env{{"NO_AT_BRIDGE", "1"}};
        if (!display.empty()) {
            env["DISPLAY"] = display;
        }
        Process client({PLENVO_CLIENT, "--service", "http://127.0.0.1:9/plenvo/"}, dir.Path(), env,
                       dir.File("client.out"), {"DISPLAY", "WAYLAND_DISPLAY"});
        // The limit only bounds a client that would otherwise run forever.
        const auto code = client.Wait(20000);
        ASSERT_TRUE(code.has_value()) << "still running; said: " << client.Output();
        EXPECT_NE(*code, 0);
        EXPECT_NE(*code, -1) << "ended by a signal";
        const std::string said = client.Output();
        EXPECT_NE(said.find("no display could be opened"), std::string::npos) << said;
        EXPECT_NE(said.find("程序启动错误!"), std::string::npos) << said;
        // It stopped before making anything of its own (cfg.ini, debug.log) in its folder.
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
            EXPECT_EQ(entry.path().filename(), "client.out");
        }
    }
}
