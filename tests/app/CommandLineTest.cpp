#include "app/CommandLine.h"

#include <gtest/gtest.h>

using Plenvo::ParseCommandLine;
using Args = std::vector<std::string>;

TEST(CommandLine, DumpSwitchIsExactAndEachPairIsTaken) {
    EXPECT_EQ(ParseCommandLine({"plenvo", "-dmp", "/a.dmp"}).dumpPaths, Args{"/a.dmp"});
    EXPECT_EQ(ParseCommandLine({"plenvo", "-dmp", "/a", "-dmp", "/b"}).dumpPaths,
              (Args{"/a", "/b"}));
    EXPECT_TRUE(ParseCommandLine({"plenvo", "-DMP", "/a"}).dumpPaths.empty());
    EXPECT_TRUE(ParseCommandLine({"plenvo", "--dmp", "/a"}).dumpPaths.empty());
    // The program's own name is never a switch.
    EXPECT_TRUE(ParseCommandLine({"-dmp", "/a"}).dumpPaths.empty());
}

TEST(CommandLine, TrailingDumpSwitchWithoutPathIsIgnored) {
    EXPECT_TRUE(ParseCommandLine({"plenvo", "-dmp"}).dumpPaths.empty());
    EXPECT_EQ(ParseCommandLine({"plenvo", "-dmp", "/a", "-dmp"}).dumpPaths, Args{"/a"});
}

TEST(CommandLine, ConsumedPathIsNotReadAsASwitch) {
    // The path after -dmp is taken even when it looks like a switch.
    EXPECT_EQ(ParseCommandLine({"plenvo", "-dmp", "-dmp", "/b"}).dumpPaths, Args{"-dmp"});
    const auto parsed = ParseCommandLine({"plenvo", "--service", "http://h:1/p/", "-dmp", "x"});
    EXPECT_EQ(parsed.serviceUrl, "http://h:1/p/");
    EXPECT_EQ(parsed.dumpPaths, Args{"x"});
}
