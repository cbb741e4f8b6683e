// Saved versions in the dump folder: names, stamps, writing and finding the newest.
#include "plan/VersionFileName.h"
#include "plan/VersionFolder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>

using Plenvo::CVersionFileName;
using Plenvo::CVersionFolder;
using Plenvo::CVersionStamp;
using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

namespace {

// The clock the folder stamps with: whatever the test says it is.
struct DrivenStampClock {
    CVersionStamp now{100, 200, 300};
    CVersionFolder::StampSource Source() {
        return [this] { return now; };
    }
};

std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

nlohmann::json Version(const std::string& id, const std::string& text) {
    return {{"id", id},
            {"lessiontitle", "认识分数"},
            {"grade", "3"},
            {"subject", "2"},
            {"cell.a", "__RTF__" + text}};
}

void Put(const TempDir& dir, const std::string& name, const nlohmann::json& content) {
    WriteBytes(dir.File(name), content.dump());
}

} // namespace

TEST(VersionStamp, NewerMeansLargerCThenBThenA) {
    const CVersionStamp base{5, 5, 5};
    EXPECT_LT(base, (CVersionStamp{0, 0, 6}));
    EXPECT_LT(base, (CVersionStamp{0, 6, 5}));
    EXPECT_LT(base, (CVersionStamp{6, 5, 5}));
    EXPECT_LT((CVersionStamp{0xFFFFFFFF, 0xFFFFFFFF, 1}), (CVersionStamp{0, 0, 2}));
    EXPECT_EQ(base.JustAbove(), (CVersionStamp{6, 5, 5}));
    EXPECT_EQ((CVersionStamp{0xFFFFFFFF, 0xFFFFFFFF, 1}).JustAbove(), (CVersionStamp{0, 0, 2}));
    EXPECT_EQ((CVersionStamp{0xFFFFFFFF, 7, 1}).JustAbove(), (CVersionStamp{0, 8, 1}));
}

TEST(VersionStamp, TheClockStampCountsLocalTimeFrom1601) {
    const CVersionStamp now = CVersionStamp::Now();
    const std::uint64_t fileTime = (std::uint64_t{now.c} << 32) | now.b;
    // 2020-01-01 and 2200-01-01 in 100 ns steps since 1601-01-01.
    EXPECT_GT(fileTime, 132223104000000000ULL);
    EXPECT_LT(fileTime, 189027936000000000ULL);
    EXPECT_EQ(CVersionStamp::Parse(now.Text()), now);
}

TEST(VersionFileName, OnlyWholeNamesOfTheVersionPatternAreVersions) {
    const auto name = CVersionFileName::Parse("512.1.2.3.json");
    ASSERT_TRUE(name);
    EXPECT_EQ(name->planId, "512");
    EXPECT_EQ(name->stamp, (CVersionStamp{1, 2, 3}));
    EXPECT_EQ(name->Text(), "512.1.2.3.json");
    for (const char* other :
         {"backup-7.9.9.9.json", "7.1.2.3.json.temp", "notes.txt", "abc.json", "7.1.2.json",
          "7.1.2.3.4.json", "7.1.2.3.JSON", "x7.1.2.3.json", "7.1.2.4294967296.json", ".1.2.3.json",
          "7.1.-2.3.json", "7..2.3.json"}) {
        EXPECT_FALSE(CVersionFileName::Parse(other)) << other;
    }
}

TEST(VersionFolder, SaveWritesOneCompleteFileReadableOnlyByItsOwner) {
    TempDir dir;
    DrivenStampClock clock;
    CVersionFolder folder(dir.Path(), clock.Source());
    const auto result = folder.Save("7", Version("7", "{\\rtf1 hello}"));
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"7.100.200.300.json"});
    EXPECT_EQ(result.path, dir.File("7.100.200.300.json"));
    // Compact, members in byte order of their keys.
    EXPECT_EQ(ReadBytes(result.path),
              R"({"cell.a":"__RTF__{\\rtf1 hello}","grade":"3","id":"7","lessiontitle":"认识分数",)"
              R"("subject":"2"})");
    struct stat info {};
    ASSERT_EQ(::stat(result.path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(VersionFolder, AFailedWriteLeavesNothingAndSaysSo) {
    TempDir dir;
    CVersionFolder missing(dir.File("gone"));
    const auto noFolder = missing.Save("7", Version("7", "x"));
    EXPECT_FALSE(noFolder.ok);
    EXPECT_EQ(noFolder.error, ENOENT);

    // A disk that fills up in the middle of the file.
    CVersionFolder folder(dir.Path());
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto full = folder.Save("7", Version("7", std::string(5000, 'x')));
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(full.ok);
    EXPECT_EQ(full.error, EFBIG);
    EXPECT_TRUE(Names(dir.Path()).empty()) << "the .temp file must go";

    // The plan id names the file: nothing but digits may do that.
    EXPECT_FALSE(folder.Save("../7", Version("../7", "x")).ok);
    EXPECT_TRUE(Names(dir.Path()).empty());
}

TEST(VersionFolder, ANewVersionIsNeverOlderThanTheNewestOfItsPlan) {
    TempDir dir;
    DrivenStampClock clock;
    CVersionFolder folder(dir.Path(), clock.Source());
    ASSERT_TRUE(folder.Save("7", Version("7", "first")).ok);
    // Daylight saving time ends: the wall clock goes back an hour.
    clock.now = {50, 100, 299};
    ASSERT_TRUE(folder.Save("7", Version("7", "second")).ok);
    EXPECT_TRUE(Names(dir.Path()).contains("7.101.200.300.json"));
    EXPECT_EQ(folder.Newest("7")->fields["cell.a"], "__RTF__second");
    // Still after the uploader took the versions away: the stamps handed out are remembered.
    std::filesystem::remove(dir.File("7.100.200.300.json"));
    std::filesystem::remove(dir.File("7.101.200.300.json"));
    EXPECT_EQ(folder.NextStamp("7"), (CVersionStamp{102, 200, 300}));
    // Another plan keeps the clock's own stamp.
    EXPECT_EQ(folder.NextStamp("8"), (CVersionStamp{50, 100, 299}));
    // A foreign file with a huge stamp does not count.
    WriteBytes(dir.File("9.4294967295.4294967295.4294967295.json"), "not json");
    EXPECT_EQ(folder.NextStamp("9"), (CVersionStamp{50, 100, 299}));
}

TEST(VersionFolder, NewestGoesByCThenBThenAAndMatchesTheWholeId) {
    TempDir dir;
    CVersionFolder folder(dir.Path());
    Put(dir, "7.9.1.1.json", Version("7", "a larger"));
    Put(dir, "7.1.1.2.json", Version("7", "c larger"));
    Put(dir, "7.1.2.1.json", Version("7", "b larger"));
    Put(dir, "17.1.1.9.json", Version("17", "plan 17"));
    Put(dir, "77.1.1.9.json", Version("77", "plan 77"));
    EXPECT_EQ(folder.Newest("7")->fields["cell.a"], "__RTF__c larger");
    EXPECT_EQ(folder.Newest("7")->path, dir.File("7.1.1.2.json"));
    EXPECT_EQ(folder.Newest("17")->fields["cell.a"], "__RTF__plan 17");
    EXPECT_FALSE(folder.Newest("1"));
    EXPECT_FALSE(folder.Newest(""));
}

TEST(VersionFolder, OnlyWholeObjectsOfStringsOfThePlanRank) {
    TempDir dir;
    CVersionFolder folder(dir.Path());
    Put(dir, "7.1.1.1.json", Version("7", "good"));
    WriteBytes(dir.File("7.1.1.2.json"), R"({"id":"7","cell.a":"__RTF__trunc)");
    WriteBytes(dir.File("7.1.1.3.json"), "");
    WriteBytes(dir.File("7.1.1.4.json"), R"({"id":"7","cell.a":5})");
    WriteBytes(dir.File("7.1.1.5.json"), R"(["7"])");
    Put(dir, "7.1.1.6.json", Version("8", "another plan's content"));
    Put(dir, "backup-7.9.9.9.json", Version("7", "foreign"));
    Put(dir, "7.9.9.9.json.temp", Version("7", "unfinished"));
    std::filesystem::create_directory(dir.File("7.9.9.8.json"));
    const auto newest = folder.Newest("7");
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->fields["cell.a"], "__RTF__good");

    const auto survey = folder.TakeSurvey();
    ASSERT_EQ(survey.newest.size(), 1u);
    EXPECT_EQ(survey.newest.at("7").path, dir.File("7.1.1.1.json"));
    EXPECT_TRUE(survey.superseded.empty()) << "nothing valid is newer than the good version";
}

TEST(VersionFolder, TheSurveySupersedesOnlyWhatAValidNewerVersionReplaces) {
    TempDir dir;
    CVersionFolder folder(dir.Path());
    Put(dir, "7.1.1.1.json", Version("7", "old"));
    WriteBytes(dir.File("7.1.1.2.json"), "broken but older than the newest");
    Put(dir, "7.1.1.3.json", Version("7", "newest"));
    WriteBytes(dir.File("7.1.1.4.json"), "broken and newer: kept, never ranked");
    Put(dir, "12.5.5.5.json", Version("12", "only one"));
    WriteBytes(dir.File("notes.txt"), "x");
    WriteBytes(dir.File("abc.json"), "{}");
    const auto survey = folder.TakeSurvey();
    ASSERT_EQ(survey.newest.size(), 2u);
    EXPECT_EQ(survey.newest.begin()->first, "12") << "plans in ascending order of the id text";
    EXPECT_EQ(survey.newest.at("7").stamp, (CVersionStamp{1, 1, 3}));
    EXPECT_EQ(std::set<std::string>(survey.superseded.begin(), survey.superseded.end()),
              (std::set<std::string>{dir.File("7.1.1.1.json"), dir.File("7.1.1.2.json")}));
}

TEST(VersionFolder, VersionsOlderThanAStoredSaveGo) {
    TempDir dir;
    CVersionFolder folder(dir.Path());
    Put(dir, "7.1.1.1.json", Version("7", "old"));
    Put(dir, "7.3.1.1.json", Version("7", "newer than the save"));
    Put(dir, "8.1.1.1.json", Version("8", "other plan"));
    EXPECT_EQ(folder.RemoveOlderThan("7", CVersionStamp{2, 1, 1}), 1u);
    EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{"7.3.1.1.json", "8.1.1.1.json"}));
}
