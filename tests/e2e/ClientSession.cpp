#include "ClientSession.h"

#include "platform/Encoding.h"
#include "support/FreePort.h"
#include "support/X11Tools.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace e2e {

namespace {

namespace fs = std::filesystem;
using ::testing::AssertionFailure;
using ::testing::AssertionResult;
using ::testing::AssertionSuccess;
using testsupport::WaitFor;

// The main window sits at (20, 27) on the screen: client coordinates are offset by it.
constexpr int kWindowX = 20;
constexpr int kWindowY = 27;
// The sign-in button of the reference template's login card.
constexpr int kSignInX = 600;
constexpr int kSignInY = 475;
// Inside the read-only label "课题" of an open plan, filled light blue.
constexpr int kPlanLabelX = 300;
constexpr int kPlanLabelY = 197;
constexpr unsigned kReadOnlyFill = 0xFFD1E4F5u;

std::string Shell(const std::string& command) {
    return testsupport::RunPumping(command, {});
}

std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

// The client's executable reached through a path in the folder: a hard link where the folder
// shares the file system, a copy otherwise.
std::string ClientIn(const std::string& folder) {
    const fs::path target = fs::path(folder) / "bin" / "plenvo";
    fs::create_directories(target.parent_path());
    std::error_code error;
    fs::create_hard_link(PLENVO_CLIENT, target, error);
    if (error) {
        fs::copy_file(PLENVO_CLIENT, target, fs::copy_options::overwrite_existing);
    }
    return target.string();
}

} // namespace

ClientSession::ClientSession()
    : port_(testsupport::FreeLoopbackPort()), probe_(port_, kNumber, kName, kPassword),
      client_(ClientIn(dir_.Path())), shot_(dir_.File("shot.png")) {
    std::ofstream(dir_.File("cfg.ini"))
        << "[SERVICE]\nURL=http://127.0.0.1:" << port_ << "/plenvo/\n[LOGIN]\nID=" << kNumber
        << "\nNAME=" << kName << "\nPASSWORD=" << kPassword << "\n";
    fs::permissions(dir_.File("cfg.ini"), fs::perms::owner_read | fs::perms::owner_write);
}

ClientSession::~ClientSession() {
    clientProcess_.reset();
    service_.reset();
}

AssertionResult ClientSession::StartService() {
    const std::string output = dir_.File("service-" + std::to_string(++serviceRuns_) + ".out");
    service_ = std::make_unique<testsupport::Process>(
        std::vector<std::string>{PLENVO_SERVICE, "--port", std::to_string(port_), "--db",
                                 dir_.File("db.sqlite"), "--data", dir_.File("data")},
        dir_.Path(), std::map<std::string, std::string>{}, output);
    if (!WaitFor([&] { return service_->Output().find("serving") != std::string::npos; }, 10000)) {
        return AssertionFailure() << "the service did not start: " << service_->Output();
    }
    return AssertionSuccess();
}

void ClientSession::StopService() {
    service_.reset();
}

AssertionResult ClientSession::StartClient(const std::map<std::string, std::string>& environment) {
    std::map<std::string, std::string> variables = environment;
    variables["NO_AT_BRIDGE"] = "1";
    clientProcess_ = std::make_unique<testsupport::Process>(
        std::vector<std::string>{client_}, dir_.Path(), variables, dir_.File("client.out"));
    if (!WaitFor([&] { return (window_ = FindWindow("^Tavrin教育系统$", true)); }, 15000)) {
        return AssertionFailure() << "no window; the client said: " << ClientOutput();
    }
    // The remembered teacher number fills its field once the template is drawn.
    if (!WaitFor([&] { return DarkPixels(460, 240, 80, 25) > 0; }, 15000, 100)) {
        return AssertionFailure() << "no login card with the remembered teacher number";
    }
    return AssertionSuccess();
}

AssertionResult ClientSession::SignInToNewestPlan() {
    const std::size_t mark = LogMark();
    Click(kSignInX, kSignInY);
    if (auto opened = WaitForRequest("GET /plenvo/getsuggestion", mark); !opened) {
        return opened;
    }
    // The suggestion window opens beside the main window and covers its right edge, where the
    // line icons are; the teacher would bring the main window forward.
    unsigned long suggestion = 0;
    if (!WaitFor([&] { return (suggestion = FindWindow("^Tavrin教育系统$", false)) != 0; },
                 10000)) {
        return AssertionFailure() << "the suggestion window did not open";
    }
    Shell("xdotool windowraise " + std::to_string(window_));
    if (!WaitFor([&] { return Pixel(kPlanLabelX, kPlanLabelY) == kReadOnlyFill; }, 10000, 100)) {
        return AssertionFailure() << "the plan was not drawn";
    }
    return AssertionSuccess();
}

AssertionResult ClientSession::CloseClient() {
    if (!testsupport::SendDeleteWindow(window_)) {
        return AssertionFailure() << "the close request could not be sent";
    }
    const auto code = clientProcess_->Wait(20000);
    if (!code) {
        return AssertionFailure() << "the client did not end after its window closed";
    }
    if (*code != 0) {
        return AssertionFailure() << "the client ended with " << *code << ": " << ClientOutput();
    }
    return AssertionSuccess();
}

void ClientSession::Click(int x, int y, int button) {
    Shell("xdotool mousemove --sync " + std::to_string(kWindowX + x) + " " +
          std::to_string(kWindowY + y) + " click " + std::to_string(button));
}

void ClientSession::Type(const std::string& text) {
    EXPECT_TRUE(testsupport::BindCharacters(text)) << "not enough free keys for " << text;
    Shell("xdotool type --delay 40 " + Quoted(text));
}

void ClientSession::Keys(const std::string& keys) {
    Shell("xdotool key --delay 40 " + keys);
}

AssertionResult ClientSession::AnswerYes(const std::string& caption) {
    std::string ids;
    if (!WaitFor(
            [&] {
                return !(ids = Shell("xdotool search --onlyvisible --name " +
                                     Quoted("^" + caption + "$")))
                            .empty();
            },
            10000)) {
        return AssertionFailure() << "no question box \"" << caption << "\" appeared";
    }
    const std::string box = ids.substr(0, ids.find('\n'));
    const std::string geometry = Shell("xdotool getwindowgeometry " + box);
    int x = 0, y = 0, width = 0, height = 0;
    const auto position = geometry.find("Position: ");
    const auto size = geometry.find("Geometry: ");
    if (position == std::string::npos || size == std::string::npos ||
        std::sscanf(geometry.c_str() + position, "Position: %d,%d", &x, &y) != 2 ||
        std::sscanf(geometry.c_str() + size, "Geometry: %dx%d", &width, &height) != 2) {
        return AssertionFailure() << "the question box has no geometry: " << geometry;
    }
    // Yes and No fill the bottom row, Yes on the right.
    Shell("xdotool mousemove --sync " + std::to_string(x + width * 3 / 4) + " " +
          std::to_string(y + height - 12) + " click 1");
    if (!WaitFor(
            [&] {
                return Shell("xdotool search --onlyvisible --name " + Quoted("^" + caption + "$"))
                    .empty();
            },
            10000)) {
        return AssertionFailure() << "the question box stayed after Yes";
    }
    return AssertionSuccess();
}

unsigned ClientSession::Pixel(int x, int y) {
    return Pixel(window_, x, y);
}

unsigned ClientSession::Pixel(unsigned long window, int x, int y) {
    return Shoot(std::to_string(window)) ? testsupport::ReadPngPixel(shot_, x, y) : 0;
}

bool ClientSession::Shoot(const std::string& window) {
    int status = -1;
    testsupport::RunPumping("import -window " + window + " " + Quoted(shot_), {}, &status);
    return status == 0;
}

std::vector<unsigned long> ClientSession::SuggestionWindows() const {
    return FindWindows("^Tavrin教育系统$", false);
}

int ClientSession::DarkPixels(unsigned long window, int x, int y, int width, int height) {
    return Pixel(window, x, y) == 0 ? 0 : DarkPixelsOfShot(x, y, width, height);
}

int ClientSession::ScreenDarkPixels(int x, int y, int width, int height) {
    return Shoot("root") ? DarkPixelsOfShot(kWindowX + x, kWindowY + y, width, height) : 0;
}

int ClientSession::DarkPixelsOfShot(int x, int y, int width, int height) const {
    int dark = 0;
    for (const unsigned p : testsupport::ReadPngPixels(shot_, x, y, width, height)) {
        const unsigned sum = ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF);
        dark += sum < 3 * 0x60 ? 1 : 0;
    }
    return dark;
}

std::size_t ClientSession::LogMark() const {
    return ServiceLog().size();
}

AssertionResult ClientSession::WaitForRequest(const std::string& text, std::size_t mark,
                                              unsigned timeoutMs) const {
    if (!WaitFor([&] { return ServiceLog().find(text, mark) != std::string::npos; }, timeoutMs)) {
        return AssertionFailure() << "the service received no \"" << text
                                  << "\"; its log after the mark:\n"
                                  << ServiceLog().substr(std::min(mark, ServiceLog().size()));
    }
    return AssertionSuccess();
}

std::string ClientSession::ServiceLog() const {
    std::string log;
    for (int run = 1; run <= serviceRuns_; ++run) {
        log += testsupport::ReadBytes(dir_.File("service-" + std::to_string(run) + ".out"));
    }
    return log;
}

bool ClientSession::DebugLogHas(const std::string& text) const {
    const std::string bytes = testsupport::ReadBytes(dir_.File("debug.log"));
    std::u16string units;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                       (static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
    return platform::Utf16ToUtf8(units).find(text) != std::string::npos;
}

std::string ClientSession::ClientOutput() const {
    return clientProcess_ ? clientProcess_->Output() : std::string();
}

// A visible window whose name matches, at the main window's position or anywhere else.
std::vector<unsigned long> ClientSession::FindWindows(const std::string& pattern, bool main) const {
    std::vector<unsigned long> found;
    const std::string ids = Shell("xdotool search --onlyvisible --name " + Quoted(pattern));
    std::size_t start = 0;
    while (start < ids.size()) {
        const std::size_t end = ids.find('\n', start);
        const std::string id = ids.substr(start, end - start);
        start = end == std::string::npos ? ids.size() : end + 1;
        if (id.empty()) {
            continue;
        }
        const std::string geometry = Shell("xdotool getwindowgeometry " + id);
        const bool atMain = geometry.find("Position: " + std::to_string(kWindowX) + "," +
                                          std::to_string(kWindowY) + " ") != std::string::npos;
        if (atMain == main) {
            found.push_back(std::stoul(id));
        }
    }
    return found;
}

} // namespace e2e
