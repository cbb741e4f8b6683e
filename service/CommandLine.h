#pragma once

#include <optional>
#include <string>
#include <vector>

namespace PlenvoService {

struct CommandLine {
    std::string bind = "127.0.0.1";
    int port = 8910;
    std::string database = "plenvo-service.db";
    std::string dataFolder = "data";
    std::string basePath = "/plenvo/";
    int threads = 32;
    int maxConnections = 1000;
    int connectionsPerAddress = 64;
    int passwordIterations = 100000;
    bool quiet = false;
    bool help = false;
};

// Parses the program's arguments (without the program name); on a mistake returns none and
// puts a message for the user in `error`.
std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args,
                                            std::string& error);
std::string Usage();

} // namespace PlenvoService
