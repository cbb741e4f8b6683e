#pragma once
// The command line with which a crashed program starts its successor, and the split of such a
// line into an argument vector (the rules of the platform the line format comes from: blanks
// separate, double quotes group, backslashes escape only before a double quote).
#include <string>
#include <vector>

namespace platform {

// "\"EXE\" -dmp \"DUMP\"": each path quoted, so blanks survive; a double quote or trailing
// backslashes inside a path are escaped so that SplitCommandLine gives the path back unchanged.
std::string RestartCommandLine(const std::string& executable, const std::string& dumpPath);
std::string QuoteArgument(const std::string& argument);
std::vector<std::string> SplitCommandLine(const std::string& line);

} // namespace platform
