#include "Text.h"
#include "CommandLine.h"

#include <gtest/gtest.h>

using namespace PlenvoService;

TEST(FormBody, DecodesPairsInOrderAndRefusesBrokenOnes) {
    auto form = ParseForm("a=1&b=x%20y%2F%C3%A7&c=&d=a+b");
    ASSERT_TRUE(form);
    EXPECT_EQ(*form, (FormFields{{"a", "1"}, {"b", "x y/ç"}, {"c", ""}, {"d", "a b"}}));
    EXPECT_EQ(ParseForm("")->size(), 0u);
    EXPECT_EQ(ParseForm("a=1&&b=2")->size(), 2u);
    for (auto bad : {"a", "a=1&b", "=1", "a=%", "a=%4", "a=%G0", "%ZZ=1"})
        EXPECT_FALSE(ParseForm(bad)) << bad;
}

TEST(TextChecks, Utf8TrimAndNumbers) {
    EXPECT_TRUE(IsValidUtf8("教案 abc"));
    for (std::string bad : {"\xFF", "\xC3", "\xE6\x95", "\xC0\xAF", "\xED\xA0\x80"})
        EXPECT_FALSE(IsValidUtf8(bad));
    EXPECT_EQ(Trim("\t 课题\xE3\x80\x80 \n"), "课题");
    EXPECT_EQ(CodePointCount("课题ab"), 4u);
    EXPECT_EQ(ParseInteger("42", 1, 100), 42);
    for (auto bad : {"", "-", "1x", " 1", "101", "0", "99999999999999999999"})
        EXPECT_FALSE(ParseInteger(bad, 1, 100)) << bad;
}

TEST(CommandLine, ReadsEveryOptionAndExplainsMistakes) {
    std::string error;
    auto line = ParseCommandLine({"--port", "0", "--bind", "0.0.0.0", "--db", "run/x.db", "--data",
                                  "run/data", "--base", "/api/", "--threads", "4", "--quiet",
                                  "--max-connections", "300", "--connections-per-address", "8"},
                                 error);
    ASSERT_TRUE(line) << error;
    EXPECT_EQ(line->port, 0);
    EXPECT_EQ(line->bind, "0.0.0.0");
    EXPECT_EQ(line->database, "run/x.db");
    EXPECT_EQ(line->dataFolder, "run/data");
    EXPECT_EQ(line->basePath, "/api/");
    EXPECT_EQ(line->threads, 4);
    EXPECT_TRUE(line->quiet);
    EXPECT_EQ(line->maxConnections, 300);
    EXPECT_EQ(line->connectionsPerAddress, 8);
    EXPECT_EQ(ParseCommandLine({}, error)->port, 8910);
    EXPECT_TRUE(ParseCommandLine({"--help"}, error)->help);
    for (std::vector<std::string> bad :
         std::vector<std::vector<std::string>>{{"--port"},
                                               {"--port", "65536"},
                                               {"--port", "x"},
                                               {"--db", ""},
                                               {"--frobnicate"},
                                               {"--connections-per-address", "0"}}) {
        error.clear();
        EXPECT_FALSE(ParseCommandLine(bad, error));
        EXPECT_FALSE(error.empty());
    }
    EXPECT_NE(Usage().find("--data"), std::string::npos);
}
