#include "InputMethodBus.h"

#include "support/X11Tools.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace e2e {

namespace {

namespace fs = std::filesystem;
using ::testing::AssertionFailure;
using ::testing::AssertionResult;
using ::testing::AssertionSuccess;
using testsupport::WaitFor;

// The full path of a program on PATH; empty when there is none.
std::string FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const fs::path candidate = fs::path(folder) / name;
        if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate.string();
        }
    }
    return {};
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

} // namespace

InputMethodBus::~InputMethodBus() {
    // The daemon first: it takes its engine down with it while the bus is still there.
    ibus_.reset();
    bus_.reset();
}

AssertionResult InputMethodBus::Start(const std::string& engine) {
    const std::string busDaemon = FindProgram("dbus-daemon");
    const std::string ibusDaemon = FindProgram("ibus-daemon");
    if (busDaemon.empty() || ibusDaemon.empty() || FindProgram("ibus").empty()) {
        return AssertionFailure() << "no input method to type through: dbus-daemon, ibus-daemon "
                                     "and ibus must be installed (scripts/setup installs them; set "
                                     "PLENVO_NO_INPUT_METHOD=1 to skip on a machine without them)";
    }
    for (const char* folder : {"home", "config", "cache", "data"}) {
        fs::create_directories(dir_.File(folder));
    }
    // A session bus that activates no services: nothing it starts can outlive the test.
    std::ofstream(dir_.File("bus.conf"))
        << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig>\n  <type>session</type>\n  <listen>"
        << BusAddress()
        << "</listen>\n  <auth>EXTERNAL</auth>\n  <policy context=\"default\">\n"
           "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
           "    <allow eavesdrop=\"true\"/>\n    <allow own=\"*\"/>\n  </policy>\n</busconfig>\n";
    bus_ = std::make_unique<testsupport::Process>(
        std::vector<std::string>{busDaemon, "--config-file=" + dir_.File("bus.conf"), "--nofork"},
        dir_.Path(), DaemonEnvironment(), dir_.File("bus.out"));
    if (!WaitFor([&] { return fs::exists(dir_.File("bus")) || !bus_->Running(); }, 10000) ||
        !bus_->Running()) {
        return AssertionFailure() << "the private D-Bus session did not start: " << bus_->Output();
    }
    ibus_ = std::make_unique<testsupport::Process>(
        std::vector<std::string>{ibusDaemon, "--panel=disable", "--emoji-extension=disable",
                                 "--cache=none", "--address=" + IbusAddress()},
        dir_.Path(), DaemonEnvironment(), dir_.File("ibus.out"));
    if (!WaitFor([&] { return fs::exists(dir_.File("ibus")) || !ibus_->Running(); }, 10000) ||
        !ibus_->Running()) {
        return AssertionFailure() << "ibus-daemon did not start: " << ibus_->Output();
    }
    // The daemon starts the engine's process on the first request; it is ready once the daemon
    // names it as the engine in use.
    std::string current;
    if (!WaitFor(
            [&] {
                Ibus("engine " + engine);
                return (current = Trimmed(Ibus("engine"))) == engine || !ibus_->Running();
            },
            10000, 200) ||
        current != engine) {
        return AssertionFailure() << "ibus did not take the engine \"" << engine
                                  << "\" (is its package installed?); it uses \"" << current
                                  << "\" and knows:\n"
                                  << Ibus("list-engine")
                                  << "\nibus-daemon said: " << ibus_->Output();
    }
    return AssertionSuccess();
}

std::map<std::string, std::string> InputMethodBus::DaemonEnvironment() const {
    return {{"HOME", dir_.File("home")},
            {"XDG_CONFIG_HOME", dir_.File("config")},
            {"XDG_CACHE_HOME", dir_.File("cache")},
            {"XDG_DATA_HOME", dir_.File("data")},
            {"XDG_RUNTIME_DIR", dir_.Path()},
            {"GSETTINGS_BACKEND", "memory"},
            {"DBUS_SESSION_BUS_ADDRESS", BusAddress()},
            {"IBUS_ADDRESS", IbusAddress()}};
}

std::map<std::string, std::string> InputMethodBus::ClientEnvironment() const {
    return {{"GTK_IM_MODULE", "ibus"},
            {"XDG_CONFIG_HOME", dir_.File("config")},
            {"XDG_CACHE_HOME", dir_.File("cache")},
            {"DBUS_SESSION_BUS_ADDRESS", BusAddress()},
            {"IBUS_ADDRESS", IbusAddress()}};
}

std::string InputMethodBus::Ibus(const std::string& arguments) const {
    std::string command = "env";
    for (const auto& [key, value] : DaemonEnvironment()) {
        command += " " + key + "='" + value + "'";
    }
    return testsupport::RunPumping(command + " ibus " + arguments + " 2>&1", {});
}

} // namespace e2e
