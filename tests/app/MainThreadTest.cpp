#include "app/MainThread.h"

#include "platform/Messages.h"
#include "platform/Messaging.h"
#include "platform/Paths.h"
#include "support/TempDir.h"
#include "view/View.h"

#include <gtest/gtest.h>

#include <filesystem>

using Plenvo::CMainThread;
using testsupport::TempDir;

namespace {

// Runs a test body with another current directory.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::string& path) : old_(std::filesystem::current_path()) {
        std::filesystem::current_path(path);
    }
    ~CurrentDirectory() { std::filesystem::current_path(old_); }

private:
    std::filesystem::path old_;
};

// Windows off screen, and a service address where nothing listens.
const CMainThread::Options kOptions{"http://127.0.0.1:9/plenvo/", true};

} // namespace

TEST(MainThread, ConfigFollowsTheCurrentDirectoryWhileDumpFollowsTheExecutable) {
    TempDir dir;
    CurrentDirectory cwd(dir.Path());
    CMainThread app(kOptions);
    EXPECT_EQ(app.ConfigPath(), std::filesystem::current_path().string() + "/cfg.ini");
    const std::string exeFolder = platform::DirectoryOf(platform::ExecutablePath());
    EXPECT_EQ(app.DataFolder(), exeFolder + "/Dump");
    EXPECT_TRUE(std::filesystem::is_directory(app.DataFolder()));
    EXPECT_FALSE(std::filesystem::exists(dir.File("Dump")));
}

TEST(MainThread, DataFolderFallsBackToTheUserFolderWhenBesideTheExecutableFails) {
    TempDir exe;
    TempDir home;
    testsupport::WriteBytes(exe.File("Dump"), "a file where the folder should be");
    setenv("XDG_DATA_HOME", home.Path().c_str(), 1);
    EXPECT_EQ(CMainThread::ChooseDataFolder(exe.Path()), home.Path() + "/plenvo/Dump");
    EXPECT_TRUE(std::filesystem::is_directory(home.Path() + "/plenvo/Dump"));
    unsetenv("XDG_DATA_HOME");
}

TEST(MainThread, ClosingRunsTheShutdownAndTheLoopReturnsItsCode) {
    CMainThread app(kOptions);
    ASSERT_TRUE(app.CreateMessageWindow());
    EXPECT_EQ(CMainThread::Current(), &app);
    EXPECT_FALSE(app.ExitEvent().IsSet());
    app.Close();
    EXPECT_TRUE(app.ExitEvent().IsSet());
    EXPECT_EQ(CMainThread::Current(), nullptr);
    EXPECT_EQ(app.Run(), 0);
}

TEST(MainThread, LoopReturnsTheQuitCodeAfterServingEarlierMessages) {
    CMainThread app(kOptions);
    ASSERT_TRUE(app.CreateMessageWindow());
    int served = 0;
    platform::HWND other = platform::CreateMessageWindow(
        [&](platform::HWND, platform::UINT m, platform::WPARAM, platform::LPARAM) {
            served += m == platform::WM_USER;
            return platform::LRESULT{0};
        });
    platform::PostMessage(other, platform::WM_USER, 0, 0);
    platform::PostQuitMessage(42);
    EXPECT_EQ(app.Run(), 42);
    EXPECT_EQ(served, 1);
    platform::DestroyWindow(other);
}

TEST(MainThread, OneSuggestionWindowAtATimeAndClosingMainEndsEverything) {
    CMainThread app(kOptions);
    ASSERT_TRUE(app.CreateMessageWindow());
    ASSERT_EQ(app.Views().size(), 1u);
    EXPECT_EQ(app.Views()[0]->PageName(), "main");
    EXPECT_EQ(app.ServiceBase(), "http://127.0.0.1:9/plenvo/");

    app.OpenSuggestionWindow(7);
    auto first = app.Views().back();
    app.OpenSuggestionWindow(8);
    ASSERT_EQ(app.Views().size(), 2u);
    EXPECT_FALSE(first->WindowExists()) << "the earlier suggestion window was closed";
    auto second = app.Views().back();
    EXPECT_EQ(second->PageName(), "suggestion");
    EXPECT_EQ(second->Window()->Frame().x, 1920 - second->Window()->Frame().width - 20);

    // Closing the suggestion window alone leaves the program running.
    second->Close();
    EXPECT_EQ(app.Views().size(), 1u);
    EXPECT_FALSE(app.ExitEvent().IsSet());

    app.OpenSuggestionWindow(9);
    auto third = app.Views().back();
    auto main = app.Views().front();
    main->Close();
    EXPECT_FALSE(third->WindowExists()) << "closing main closes the suggestion window";
    EXPECT_TRUE(app.Views().empty());
    EXPECT_TRUE(app.ExitEvent().IsSet());
    EXPECT_EQ(app.Run(), 0);
}
