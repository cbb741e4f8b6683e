// The restarted program's report: the dump's upload to "dmp?ver=" without a session, its three
// tries, its size limit and time limit, and the question that follows whatever the upload did.
#include "app/CrashReport.h"
#include "app/Version.h"
#include "net/TestServer.h"
#include "platform/Dialogs.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Plenvo::CrashUpload;

class CrashReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("plenvo report " + std::to_string(getpid()));
        fs::create_directories(folder_);
        dump_ = (folder_ / "MyDump.dmp").string();
    }
    void TearDown() override {
        platform::SetMessageBoxHandler({});
        fs::remove_all(folder_);
    }
    void WriteDump(std::size_t size) {
        std::ofstream out(dump_, std::ios::binary | std::ios::trunc);
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<char>(i * 7 + 1);
        }
        out << bytes;
    }
    void StartServer(int status) {
        server_.Post("dmp", [status](const httplib::Request&, httplib::Response& res) {
            res.status = status;
            res.set_content("{}", "application/json");
        });
        server_.Start();
    }

    nettest::TestServer server_;
    fs::path folder_;
    std::string dump_;
};

TEST_F(CrashReportTest, UploadsTheDumpOnceWithVersionAndNoSession) {
    StartServer(200);
    WriteDump(4096);
    const CrashUpload upload = Plenvo::UploadCrashDump(server_.Base(), dump_);
    EXPECT_TRUE(upload.delivered);
    EXPECT_EQ(upload.attempts, 1);
    const auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "/plenvo/dmp?ver=" + Plenvo::FileVersionText());
    EXPECT_EQ(requests[0].fileName, "dmp.dmp");
    EXPECT_EQ(requests[0].fileContent.size(), 4096u);
    EXPECT_EQ(requests[0].Header("Cookie"), "");
    EXPECT_TRUE(fs::exists(dump_)) << "the dump is kept";
}

TEST_F(CrashReportTest, SendsExactlyTheLimitAndNotOneByteMore) {
    StartServer(200);
    WriteDump(10485760);
    EXPECT_TRUE(Plenvo::UploadCrashDump(server_.Base(), dump_).delivered);
    ASSERT_EQ(server_.Count("dmp"), 1u);
    EXPECT_EQ(server_.Requests()[0].fileContent.size(), 10485760u);

    WriteDump(10485761);
    const CrashUpload tooLarge = Plenvo::UploadCrashDump(server_.Base(), dump_);
    EXPECT_FALSE(tooLarge.delivered);
    EXPECT_EQ(tooLarge.attempts, 3);
    EXPECT_EQ(server_.Count("dmp"), 1u) << "nothing of the larger dump was sent";
}

TEST_F(CrashReportTest, TriesThreeTimesAgainstRefusedOrFailingService) {
    WriteDump(100);
    const std::string refused =
        "http://127.0.0.1:" + std::to_string(nettest::UnusedPort()) + "/plenvo/";
    const CrashUpload none = Plenvo::UploadCrashDump(refused, dump_);
    EXPECT_FALSE(none.delivered);
    EXPECT_EQ(none.attempts, 3);

    StartServer(500);
    const CrashUpload failing = Plenvo::UploadCrashDump(server_.Base(), dump_);
    EXPECT_FALSE(failing.delivered);
    EXPECT_EQ(server_.Count("dmp"), 3u);
}

TEST_F(CrashReportTest, MissingDumpSendsNothing) {
    StartServer(200);
    const CrashUpload upload = Plenvo::UploadCrashDump(server_.Base(), dump_ + ".absent");
    EXPECT_FALSE(upload.delivered);
    EXPECT_EQ(upload.attempts, 3);
    EXPECT_EQ(server_.Count("dmp"), 0u);
}

// A service that takes the connection and never answers: each try ends at the time limit.
TEST_F(CrashReportTest, SilentServiceEndsEachTryAtTheTimeLimit) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(listen(listener, 8), 0);
    socklen_t length = sizeof(address);
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    WriteDump(100);
    const CrashUpload upload = Plenvo::UploadCrashDump(
        "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/plenvo/", dump_, 200);
    close(listener);
    EXPECT_FALSE(upload.delivered);
    EXPECT_EQ(upload.attempts, 3);
}

TEST_F(CrashReportTest, AsksAfterTheUploadAndNoEndsTheProgram) {
    StartServer(200);
    WriteDump(64);
    std::vector<platform::MessageBoxRequest> asked;
    std::size_t uploadsWhenAsked = 0;
    platform::SetMessageBoxHandler([&](const platform::MessageBoxRequest& request) {
        asked.push_back(request);
        uploadsWhenAsked = server_.Count("dmp");
        return platform::IDNO;
    });
    EXPECT_FALSE(Plenvo::ReportCrash(server_.Base(), dump_));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(uploadsWhenAsked, 1u);
    EXPECT_EQ(asked[0].owner, 0u);
    EXPECT_EQ(asked[0].text, "程序崩溃了，要重新启动程序吗？");
    EXPECT_EQ(asked[0].caption, "错误");
    EXPECT_EQ(asked[0].flags, platform::MB_YESNO | platform::MB_ICONSTOP);
    EXPECT_TRUE(fs::exists(dump_));
}

TEST_F(CrashReportTest, YesGoesOnEvenWhenNothingCouldBeSent) {
    int questions = 0;
    platform::SetMessageBoxHandler([&](const platform::MessageBoxRequest&) {
        ++questions;
        return platform::IDYES;
    });
    const std::string refused =
        "http://127.0.0.1:" + std::to_string(nettest::UnusedPort()) + "/plenvo/";
    EXPECT_TRUE(Plenvo::ReportCrash(refused, dump_ + ".absent"));
    EXPECT_EQ(questions, 1);
}

} // namespace
