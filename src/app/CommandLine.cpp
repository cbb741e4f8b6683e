#include "app/CommandLine.h"

#include <cstdlib>

namespace Plenvo {

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine result;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (i + 1 >= args.size()) {
            break;
        }
        if (args[i] == "-dmp") {
            result.dumpPaths.push_back(args[++i]);
        } else if (args[i] == "--service") {
            result.serviceUrl = args[++i];
        }
    }
    return result;
}

std::string ServiceUrlOfThisRun(const CommandLine& commandLine) {
    if (!commandLine.serviceUrl.empty()) {
        setenv(kInheritedServiceVariable, commandLine.serviceUrl.c_str(), 1);
        return commandLine.serviceUrl;
    }
    const char* inherited = std::getenv(kInheritedServiceVariable);
    return inherited ? inherited : "";
}

} // namespace Plenvo
