#pragma once
#include <string>
#include <vector>

namespace Plenvo {

// What the entry point reads from its arguments.
struct CommandLine {
    // The path after each "-dmp" (compared exactly), in order; a trailing "-dmp" is ignored.
    std::vector<std::string> dumpPaths;
    // "--service URL": the service's base URL, overriding cfg.ini; empty when absent.
    std::string serviceUrl;
};

// args[0] is the program; the scan starts at the second argument.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The environment variable that hands "--service" on to a client restarted after a crash, whose
// command line carries only the dump.
inline constexpr const char* kInheritedServiceVariable = "PLENVO_SERVICE_URL";

// The service this run was told to use: its own "--service", which is then left in the
// environment for a successor, else the one a crashed predecessor left there; empty for neither.
std::string ServiceUrlOfThisRun(const CommandLine& commandLine);

} // namespace Plenvo
