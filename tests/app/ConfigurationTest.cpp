#include "app/Configuration.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

using Plenvo::CConfiguration;
using testsupport::TempDir;

TEST(Configuration, FirstStartGivesTheDefaults) {
    TempDir dir;
    CConfiguration config(dir.File("cfg.ini"));
    EXPECT_EQ(config.ReadLoginValue(CConfiguration::kId, CConfiguration::kDefaultId), "000000");
    EXPECT_EQ(config.ReadLoginValue(CConfiguration::kName, CConfiguration::kDefaultName), "老师");
    EXPECT_EQ(config.ReadLoginValue(CConfiguration::kPassword, ""), "");
    EXPECT_EQ(config.ReadDefaultValue(CConfiguration::kGrade), 0);
}

TEST(Configuration, LoginValuesAndChoicesAreStoredExactly) {
    TempDir dir;
    CConfiguration config(dir.File("cfg.ini"));
    config.WriteLoginValues("20261208", "张 老师", "p=a;ss");
    EXPECT_EQ(config.ReadLoginValue(CConfiguration::kId, ""), "20261208");
    EXPECT_EQ(config.ReadLoginValue(CConfiguration::kName, ""), "张 老师");
    EXPECT_EQ(config.ReadLoginValue(CConfiguration::kPassword, ""), "p=a;ss");
    config.WriteDefaultValue(CConfiguration::kSubject, -1);
    config.WriteDefaultValue(CConfiguration::kGrade, 12);
    EXPECT_EQ(config.ReadDefaultValue(CConfiguration::kSubject), -1);
    EXPECT_EQ(config.ReadDefaultValue(CConfiguration::kGrade), 12);
}

TEST(Configuration, LongValuesAreCutAtTheBufferLength) {
    TempDir dir;
    CConfiguration config(dir.File("cfg.ini"));
    std::string name;
    for (int i = 0; i < 1200; ++i) {
        name += "字";
    }
    config.WriteLoginValues("1", name, "");
    const std::string read = config.ReadLoginValue(CConfiguration::kName, "");
    EXPECT_EQ(read.size(), 999u * 3u);
}
