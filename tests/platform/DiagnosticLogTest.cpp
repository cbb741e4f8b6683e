#include "platform/DiagnosticLog.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

using platform::DiagnosticLog;
using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

namespace {

std::string Utf16le(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

} // namespace

TEST(DiagnosticLog, NewFileStartsWithTheMarkAndEachLineEndsInCrLf) {
    TempDir dir;
    DiagnosticLog log(dir.File("debug.log"));
    log.AppendLine("已加载模板");
    log.AppendLine("second");
    EXPECT_EQ(ReadBytes(dir.File("debug.log")), "\xFF\xFE" + Utf16le(u"已加载模板\r\nsecond\r\n"));
}

TEST(DiagnosticLog, AppendingToAnExistingFileAddsNoSecondMarkButAnEmptyFileGetsOne) {
    TempDir dir;
    const std::string path = dir.File("debug.log");
    WriteBytes(path, "\xFF\xFE" + Utf16le(u"old\r\n"));
    DiagnosticLog(path).AppendLine("new");
    EXPECT_EQ(ReadBytes(path), "\xFF\xFE" + Utf16le(u"old\r\nnew\r\n"));
    WriteBytes(path, "");
    DiagnosticLog(path).AppendLine("x");
    EXPECT_EQ(ReadBytes(path), "\xFF\xFE" + Utf16le(u"x\r\n"));
}

TEST(DiagnosticLog, LinesCarryTheLocalTimeAndKeepCallOrderWithinOneMillisecond) {
    const std::string line = DiagnosticLog::FormatLine("text");
    EXPECT_TRUE(std::regex_match(line, std::regex(R"(\[\d\d:\d\d:\d\d\.\d\d\d\]text)"))) << line;
    TempDir dir;
    DiagnosticLog log(dir.File("debug.log"));
    for (int i = 0; i < 50; ++i) {
        log.Log("line " + std::to_string(i));
    }
    const std::string bytes = ReadBytes(dir.File("debug.log"));
    std::size_t at = 0;
    for (int i = 0; i < 50; ++i) {
        const std::string number = std::to_string(i);
        const std::string needle = Utf16le(u"]line ") +
                                   Utf16le(std::u16string(number.begin(), number.end())) +
                                   Utf16le(u"\r\n");
        const std::size_t found = bytes.find(needle, at);
        ASSERT_NE(found, std::string::npos) << "line " << i << " missing or out of order";
        at = found + needle.size();
    }
}

TEST(DiagnosticLog, AnUnwritableLogDropsTheLineSilently) {
    TempDir dir;
    // A missing folder is not created, and a log path that is a folder stays an empty folder.
    const std::string missing = dir.File("missing/debug.log");
    EXPECT_NO_THROW(DiagnosticLog(missing).Log("lost"));
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
    const std::string folder = dir.File("debug.log");
    std::filesystem::create_directory(folder);
    EXPECT_NO_THROW(DiagnosticLog(folder).Log("lost"));
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    // The next writable log is unaffected.
    const std::string good = dir.File("good.log");
    DiagnosticLog(good).AppendLine("kept");
    EXPECT_EQ(ReadBytes(good), "\xFF\xFE" + Utf16le(u"kept\r\n"));
}
