#include "platform/Profile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace platform;
using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

TEST(Profile, MissingFileOrKeyGivesTheDefault) {
    TempDir dir;
    const std::string path = dir.File("cfg.ini");
    EXPECT_EQ(GetPrivateProfileString("LOGIN", "NAME", "老师", path), "老师");
    EXPECT_EQ(GetPrivateProfileInt("DEFVAL", "GRADE", 0, path), 0);
    WriteBytes(path, "[LOGIN]\nID=123\n");
    EXPECT_EQ(GetPrivateProfileString("LOGIN", "NAME", "老师", path), "老师");
    EXPECT_EQ(GetPrivateProfileString("OTHER", "ID", "x", path), "x");
}

TEST(Profile, ChineseValuesRoundTripAndNamesMatchInAnyCase) {
    TempDir dir;
    const std::string path = dir.File("cfg.ini");
    ASSERT_TRUE(WritePrivateProfileString("LOGIN", "NAME", "王老师", path));
    EXPECT_EQ(GetPrivateProfileString("login", "name", "", path), "王老师");
    ASSERT_TRUE(WritePrivateProfileString("Login", "Name", "李 老师 ", path));
    EXPECT_EQ(GetPrivateProfileString("LOGIN", "NAME", "", path), "李 老师");
    // The second write replaced the key instead of adding a second section or key.
    EXPECT_EQ(ReadBytes(path), "[LOGIN]\nNAME=李 老师 \n");
}

TEST(Profile, WritingKeepsOtherSectionsKeysAndComments) {
    TempDir dir;
    const std::string path = dir.File("cfg.ini");
    WriteBytes(path, "; settings\r\n[LOGIN]\r\nID=42\r\n\r\n[DEFVAL]\r\n; grade\r\nGRADE=3\r\n");
    ASSERT_TRUE(WritePrivateProfileString("LOGIN", "NAME", "老师", path));
    ASSERT_TRUE(WritePrivateProfileString("DEFVAL", "grade", "-1", path));
    ASSERT_TRUE(WritePrivateProfileString("SERVICE", "URL", "http://h/p/", path));
    EXPECT_EQ(ReadBytes(path), "; settings\r\n[LOGIN]\r\nID=42\r\nNAME=老师\r\n\r\n[DEFVAL]\r\n"
                               "; grade\r\nGRADE=-1\r\n[SERVICE]\r\nURL=http://h/p/\r\n");
    ASSERT_TRUE(WritePrivateProfileString("LOGIN", "ID", std::nullopt, path));
    EXPECT_EQ(GetPrivateProfileString("LOGIN", "ID", "none", path), "none");
    EXPECT_EQ(GetPrivateProfileString("LOGIN", "NAME", "", path), "老师");
}

TEST(Profile, IntegersReadAsThePlatformReadsThem) {
    TempDir dir;
    const std::string path = dir.File("cfg.ini");
    WriteBytes(path, "[D]\nA=-1\nB=12abc\nC=abc\nE=\nF= +7\n");
    EXPECT_EQ(GetPrivateProfileInt("D", "A", 5, path), -1);
    EXPECT_EQ(GetPrivateProfileInt("D", "B", 5, path), 12);
    EXPECT_EQ(GetPrivateProfileInt("D", "C", 5, path), 0);
    EXPECT_EQ(GetPrivateProfileInt("D", "E", 5, path), 5);
    EXPECT_EQ(GetPrivateProfileInt("D", "F", 5, path), 7);
}

TEST(Profile, FileWithUtf16MarkIsReadAndStaysUtf16) {
    TempDir dir;
    const std::string path = dir.File("cfg.ini");
    // "[LOGIN]\r\nNAME=张三\r\n" in UTF-16LE with its mark.
    std::string bytes = "\xFF\xFE";
    for (char16_t c : std::u16string(u"[LOGIN]\r\nNAME=张三\r\n")) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    WriteBytes(path, bytes);
    EXPECT_EQ(GetPrivateProfileString("LOGIN", "NAME", "", path), "张三");
    ASSERT_TRUE(WritePrivateProfileString("LOGIN", "ID", "7", path));
    const std::string after = ReadBytes(path);
    ASSERT_GE(after.size(), 2u);
    EXPECT_EQ(after.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(GetPrivateProfileString("LOGIN", "NAME", "", path), "张三");
    EXPECT_EQ(GetPrivateProfileString("LOGIN", "ID", "", path), "7");
}

TEST(Profile, AnInterruptedWriteLeavesTheOldFileIntact) {
    TempDir dir;
    const std::string path = dir.File("cfg.ini");
    const std::string old = "[LOGIN]\nID=1\nNAME=老师\n";
    WriteBytes(path, old);
    // A child process whose file-size limit stops the write half-way, as a full disk would.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{64, 64};
        setrlimit(RLIMIT_FSIZE, &limit);
        const bool written =
            WritePrivateProfileString("LOGIN", "PASSWORD", std::string(4096, 'x'), path);
        _exit(written ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the failed write was reported as success";
    EXPECT_EQ(ReadBytes(path), old);
    int files = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        ++files;
    }
    EXPECT_EQ(files, 1) << "a temporary file was left behind";
}
