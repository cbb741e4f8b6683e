#include "support/FreePort.h"
#include "support/Process.h"
#include "support/TempDir.h"
#include "support/X11Tools.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using testsupport::Process;
using testsupport::TempDir;
using testsupport::WaitFor;

namespace {

std::string Shell(const std::string& command) {
    return testsupport::RunPumping(command, {});
}

unsigned PixelOf(unsigned long xid, int x, int y, const std::string& file) {
    int status = -1;
    testsupport::RunPumping("import -window " + std::to_string(xid) + " " + file, {}, &status);
    return status == 0 ? testsupport::ReadPngPixel(file, x, y) : 0;
}

// Screenshots for the README when PLENVO_SCREENSHOTS names a folder.
void Keep(const std::string& file, const std::string& name) {
    if (const char* folder = std::getenv("PLENVO_SCREENSHOTS")) {
        std::filesystem::copy_file(file, std::string(folder) + "/" + name,
                                   std::filesystem::copy_options::overwrite_existing);
    }
}

// The colour a template gives its element "sidebar", as an opaque ARGB pixel.
unsigned SidebarColour() {
    std::ifstream in(PLENVO_SOURCE_DIR "/service/templates/main.json");
    const nlohmann::json t = nlohmann::json::parse(in);
    for (const auto& e : t["elements"]) {
        if (e.value("name", "") == "sidebar") {
            unsigned a, r, g, b;
            std::sscanf(e["bkgnd"].get<std::string>().c_str(), "argb(%u,%u,%u,%u)", &a, &r, &g, &b);
            return (a << 24) | (r << 16) | (g << 8) | b;
        }
    }
    return 0;
}

std::u16string ReadUtf16(const std::string& path) {
    const std::string bytes = testsupport::ReadBytes(path);
    std::u16string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                      (static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
    return text;
}

} // namespace

TEST(ClientWindow, RetriesTheTemplateUntilTheServiceAnswersDrawsItAndExitsCleanly) {
    TempDir dir;
    const int port = testsupport::FreeLoopbackPort();
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/plenvo/";
    const std::map<std::string, std::string> env{{"NO_AT_BRIDGE", "1"}};

    // The service is not there yet: the window opens and offers to retry.
    Process client({PLENVO_CLIENT, "--service", url}, dir.Path(), env, dir.File("client.out"));
    std::string ids;
    ASSERT_TRUE(WaitFor(
        [&] { return !(ids = Shell("xdotool search --name 'Tavrin教育系统'")).empty(); }, 15000))
        << "no window; client said: " << client.Output();
    const unsigned long xid = std::stoul(ids);
    // The window may be found between its mapping and its move to the place asked for.
    std::string geometry;
    EXPECT_TRUE(WaitFor(
        [&] {
            geometry = Shell("xdotool getwindowgeometry " + std::to_string(xid));
            return geometry.find("Position: 20,27") != std::string::npos;
        },
        5000))
        << geometry;
    EXPECT_NE(geometry.find("Geometry: 1020x1026"), std::string::npos) << geometry;

    const std::string shot = dir.File("shot.png");
    ASSERT_TRUE(WaitFor([&] { return PixelOf(xid, 300, 1020, shot) == 0xFF628DBAu; }, 20000))
        << "no retry band at the bottom edge";
    Keep(shot, "retry.png");

    // The service starts; the band's button fetches the template again at once.
    Process service({PLENVO_SERVICE, "--port", std::to_string(port), "--db", dir.File("db.sqlite"),
                     "--data", dir.File("data")},
                    dir.Path(), {}, dir.File("service.out"));
    ASSERT_TRUE(
        WaitFor([&] { return service.Output().find("serving") != std::string::npos; }, 10000));
    Shell("xdotool mousemove --sync " + std::to_string(20 + 701) + " " + std::to_string(27 + 969) +
          " click 1");
    const unsigned sidebar = SidebarColour();
    ASSERT_NE(sidebar, 0u);
    ASSERT_TRUE(WaitFor([&] { return PixelOf(xid, 60, 500, shot) == sidebar; }, 8000))
        << "the template was not drawn after the retry";
    EXPECT_NE(PixelOf(xid, 300, 1020, shot), 0xFF628DBAu) << "the band stayed";
    Keep(shot, "main.png");
    EXPECT_NE(ReadUtf16(dir.File("debug.log")).find(u"已加载模板"), std::u16string::npos);

    // A window manager's close ends the program after telling the service.
    ASSERT_TRUE(testsupport::SendDeleteWindow(xid));
    const auto code = client.Wait(20000);
    ASSERT_TRUE(code.has_value()) << "the client did not exit";
    EXPECT_EQ(*code, 0) << client.Output();
    EXPECT_NE(service.Output().find("clientexit"), std::string::npos) << service.Output();
}

TEST(ClientWindow, ATeacherSignsInByTypingAndCreatesAPlanThroughTheForm) {
    TempDir dir;
    const int port = testsupport::FreeLoopbackPort();
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/plenvo/";
    Process service({PLENVO_SERVICE, "--port", std::to_string(port), "--db", dir.File("db.sqlite"),
                     "--data", dir.File("data")},
                    dir.Path(), {}, dir.File("service.out"));
    ASSERT_TRUE(
        WaitFor([&] { return service.Output().find("serving") != std::string::npos; }, 10000));
    Process client({PLENVO_CLIENT, "--service", url}, dir.Path(), {{"NO_AT_BRIDGE", "1"}},
                   dir.File("client.out"));
    std::string ids;
    ASSERT_TRUE(WaitFor(
        [&] { return !(ids = Shell("xdotool search --name 'Tavrin教育系统'")).empty(); }, 15000))
        << "no window; client said: " << client.Output();
    const unsigned long xid = std::stoul(ids.substr(0, ids.find('\n')));
    const std::string shot = dir.File("shot.png");
    const unsigned sidebar = SidebarColour();
    ASSERT_TRUE(WaitFor([&] { return PixelOf(xid, 60, 500, shot) == sidebar; }, 15000));

    // Points of the reference template's login card and create form, in client pixels; the
    // window sits at 20, 27.
    const auto at = [](int x, int y) {
        return "xdotool mousemove --sync " + std::to_string(20 + x) + " " + std::to_string(27 + y) +
               " click 1";
    };
    const auto typeInto = [&](int x, int y, const std::string& text) {
        Shell(at(x, y));
        Shell("xdotool key --delay 20 ctrl+a BackSpace");
        Shell("xdotool type --delay 80 '" + text + "'");
    };
    typeInto(600, 252, "1001");
    typeInto(600, 328, "张老师");
    typeInto(600, 404, "secret");
    Shell(at(600, 475));
    ASSERT_TRUE(
        WaitFor([&] { return service.Output().find("gethistory") != std::string::npos; }, 10000))
        << service.Output();
    std::string cfg;
    ASSERT_TRUE(WaitFor(
        [&] {
            return (cfg = testsupport::ReadBytes(dir.File("cfg.ini"))).find("PASSWORD") !=
                   std::string::npos;
        },
        5000));
    EXPECT_NE(cfg.find("NAME=张老师"), std::string::npos) << cfg;
    EXPECT_NE(cfg.find("ID=1001"), std::string::npos) << cfg;

    // No plans yet: the create form. Choose the first entry of each list, type the title.
    for (const int x : {460, 630, 795}) {
        Shell(at(x, 224));
        Shell(at(x, 258));
    }
    typeInto(600, 310, "认识图形");
    Shell(at(600, 384));
    ASSERT_TRUE(
        WaitFor([&] { return service.Output().find("createlp") != std::string::npos; }, 10000))
        << service.Output();
    const std::string log = service.Output();
    EXPECT_NE(log.find("lt=1"), std::string::npos) << log;
    EXPECT_NE(log.find("grade=1"), std::string::npos) << log;
    EXPECT_NE(log.find("lessiontitle=认识图形"), std::string::npos) << log;

    ASSERT_TRUE(testsupport::SendDeleteWindow(xid));
    const auto code = client.Wait(20000);
    ASSERT_TRUE(code.has_value()) << "the client did not exit";
}
