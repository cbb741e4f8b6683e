#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <cstdlib>

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

// A client restarted after a crash keeps the service its predecessor was told to use, though its
// command line carries only the dump.
TEST(CommandLine, TheServiceGivenOnTheCommandLineGoesOnToTheSuccessor) {
    unsetenv(Plenvo::kInheritedServiceVariable);
    EXPECT_EQ(Plenvo::ServiceUrlOfThisRun(ParseCommandLine({"plenvo"})), "");
    EXPECT_EQ(Plenvo::ServiceUrlOfThisRun(ParseCommandLine({"plenvo", "--service", "http://a/"})),
              "http://a/");
    EXPECT_EQ(Plenvo::ServiceUrlOfThisRun(ParseCommandLine({"plenvo", "-dmp", "/d.dmp"})),
              "http://a/");
    // One told anew wins over what was inherited.
    EXPECT_EQ(Plenvo::ServiceUrlOfThisRun(ParseCommandLine({"plenvo", "--service", "http://b/"})),
              "http://b/");
    EXPECT_STREQ(std::getenv(Plenvo::kInheritedServiceVariable), "http://b/");
    unsetenv(Plenvo::kInheritedServiceVariable);
}
