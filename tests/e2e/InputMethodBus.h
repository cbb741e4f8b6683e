#pragma once
// A real input method for one test, shut off from the user's desktop: a private D-Bus session
// bus and an ibus daemon (no panel, no emoji extension) with the chosen engine, their home,
// configuration and caches in a temporary folder. Both daemons stop when the object goes, also
// when the test failed half-way.
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

namespace e2e {

class InputMethodBus {
public:
    InputMethodBus() = default;
    ~InputMethodBus();
    InputMethodBus(const InputMethodBus&) = delete;
    InputMethodBus& operator=(const InputMethodBus&) = delete;

    // Starts the bus and the daemon and makes the engine (an ibus engine name such as
    // "libpinyin") the one every input context uses; says what is missing when it cannot.
    ::testing::AssertionResult Start(const std::string& engine);
    // What a GTK program needs in its environment to type through this input method.
    std::map<std::string, std::string> ClientEnvironment() const;

private:
    // The ibus command line tool's answer, run against this daemon.
    std::string Ibus(const std::string& arguments) const;
    std::map<std::string, std::string> DaemonEnvironment() const;
    std::string BusAddress() const { return "unix:path=" + dir_.File("bus"); }
    std::string IbusAddress() const { return "unix:path=" + dir_.File("ibus"); }

    testsupport::TempDir dir_;
    std::unique_ptr<testsupport::Process> bus_;
    std::unique_ptr<testsupport::Process> ibus_;
};

} // namespace e2e
