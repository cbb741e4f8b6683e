#include "CommandLine.h"

#include "Text.h"

namespace PlenvoService {

std::string Usage() {
    return "Usage: plenvo-service [options]\n"
           "The reference lesson-plan service for the Plenvo client.\n\n"
           "  --port N        TCP port to listen on (default 8910; 0 picks a free one)\n"
           "  --bind ADDRESS  address to listen on (default 127.0.0.1)\n"
           "  --db FILE       SQLite database, created on first start (default "
           "plenvo-service.db)\n"
           "  --data DIR      folder for uploaded crash dumps (default data)\n"
           "  --base PATH     base path of every endpoint (default /plenvo/)\n"
           "  --threads N     requests served at once (default 32)\n"
           "  --max-connections N\n"
           "                  open connections at most (default 1000)\n"
           "  --connections-per-address N\n"
           "                  open connections from one client address at most (default 64)\n"
           "  --password-iterations N\n"
           "                  PBKDF2 work factor for new passwords (default 100000)\n"
           "  --quiet         do not log one line per request\n"
           "  --help          show this text\n";
}

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args,
                                            std::string& error) {
    CommandLine line;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size()) {
                error = option + " needs a value";
                return std::nullopt;
            }
            return args[++i];
        };
        auto number = [&](int64_t min, int64_t max) -> std::optional<int> {
            auto text = value();
            if (!text)
                return std::nullopt;
            auto parsed = ParseInteger(*text, min, max);
            if (!parsed) {
                error = option + " needs a number from " + std::to_string(min) + " to " +
                        std::to_string(max) + ", not \"" + *text + "\"";
                return std::nullopt;
            }
            return static_cast<int>(*parsed);
        };
        if (option == "--help" || option == "-h") {
            line.help = true;
        } else if (option == "--quiet") {
            line.quiet = true;
        } else if (option == "--port") {
            auto port = number(0, 65535);
            if (!port)
                return std::nullopt;
            line.port = *port;
        } else if (option == "--threads") {
            auto threads = number(1, 1024);
            if (!threads)
                return std::nullopt;
            line.threads = *threads;
        } else if (option == "--max-connections" || option == "--connections-per-address") {
            auto count = number(1, 100000);
            if (!count)
                return std::nullopt;
            (option == "--max-connections" ? line.maxConnections : line.connectionsPerAddress) =
                *count;
        } else if (option == "--password-iterations") {
            auto iterations = number(1000, 10000000);
            if (!iterations)
                return std::nullopt;
            line.passwordIterations = *iterations;
        } else if (option == "--bind" || option == "--db" || option == "--data" ||
                   option == "--base") {
            auto text = value();
            if (!text)
                return std::nullopt;
            if (text->empty()) {
                error = option + " needs a non-empty value";
                return std::nullopt;
            }
            (option == "--bind"   ? line.bind
             : option == "--db"   ? line.database
             : option == "--data" ? line.dataFolder
                                  : line.basePath) = *text;
        } else {
            error = "unknown option " + option;
            return std::nullopt;
        }
    }
    return line;
}

} // namespace PlenvoService
