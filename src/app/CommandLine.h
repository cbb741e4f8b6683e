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

} // namespace Plenvo
