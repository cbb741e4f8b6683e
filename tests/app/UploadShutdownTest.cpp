// The upload thread's life in the application: started once by a sign-in, and at the end its last
// pass delivers what the closing window wrote while the session and the worker still serve it.
#include "app/MainThread.h"
#include "net/TestServer.h"
#include "plan/VersionFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

using Plenvo::CMainThread;

TEST(UploadShutdown, TheLastPassRunsBeforeTheExitNoticeAndTheWorkerStop) {
    nettest::TestServer server;
    server.Post("event/save", [](const auto&, auto& res) {
        res.set_content(R"({"ok":true})", "application/json");
    });
    server.Get("clientexit", [](const auto&, auto& res) {
        res.set_content(R"({"ok":true})", "application/json");
    });
    server.Start();
    CMainThread app(CMainThread::Options{server.Base(), true});
    ASSERT_TRUE(app.CreateMessageWindow());
    ASSERT_EQ(Plenvo::CVersionFolder::Current(), app.Versions());
    app.StartUploadThread();
    app.StartUploadThread();
    EXPECT_TRUE(app.UploadThreadStarted());

    // What the closing window writes just before the program ends.
    const auto written = app.Versions()->Save(
        "7", {{"id", "7"}, {"lessiontitle", "t"}, {"grade", "3"}, {"subject", "2"}, {"c", "x"}});
    ASSERT_TRUE(written.ok);
    app.Close();
    EXPECT_EQ(app.Run(), 0);

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].path, "/plenvo/event/save");
    EXPECT_EQ(requests[1].path, "/plenvo/clientexit");
    EXPECT_FALSE(std::filesystem::exists(written.path)) << "the accepted version is deleted";
}
