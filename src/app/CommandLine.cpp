#include "app/CommandLine.h"

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

} // namespace Plenvo
