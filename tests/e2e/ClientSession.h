#pragma once
// A teacher at the client: the reference service and the client run as their own processes in
// the test's folder and virtual display, the client signs in from the login it remembers, and the
// test acts through the pointer and the keys as the teacher would. The client runs from a link in
// the test's folder, so that its saved versions ("Dump" beside the executable) are the test's own.
#include "ServiceProbe.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

namespace e2e {

class ClientSession {
public:
    static constexpr const char* kNumber = "1001";
    static constexpr const char* kName = "张老师";
    static constexpr const char* kPassword = "secret";

    ClientSession();
    ~ClientSession();
    ClientSession(const ClientSession&) = delete;
    ClientSession& operator=(const ClientSession&) = delete;

    const testsupport::TempDir& Folder() const { return dir_; }
    ServiceProbe& Service() { return probe_; }

    ::testing::AssertionResult StartService();
    void StopService();
    // Starts the client, with these variables added to its environment, and waits for its
    // screen template with the remembered login filled in.
    ::testing::AssertionResult
    StartClient(const std::map<std::string, std::string>& environment = {});
    // Clicks the sign-in button and waits for the newest plan to be drawn; the plan's window is
    // then raised above the suggestion window that opens beside it.
    ::testing::AssertionResult SignInToNewestPlan();
    // Closes the window as a window manager does and waits for the client to end with 0.
    ::testing::AssertionResult CloseClient();
    pid_t ClientPid() const { return clientProcess_ ? clientProcess_->Pid() : -1; }

    // Pointer and keys at client coordinates of the main window.
    void Click(int x, int y, int button = 1);
    void Type(const std::string& text);
    void Keys(const std::string& keys);
    // Answers Yes to the question box with this caption; false when none appeared.
    ::testing::AssertionResult AnswerYes(const std::string& caption);

    // Client pixels of the history list in the reference template: items 52 pixels high from
    // y 151, their titles at x 24.
    static constexpr int kItemTop = 151, kItemHeight = 52;
    static constexpr int kTitleX = 24, kTitleWidth = 150, kTitleHeight = 20;
    static int HistoryItemMiddle(int index) {
        return kItemTop + index * kItemHeight + kItemHeight / 2;
    }

    // A fresh screenshot of the main window and its pixel at (x, y), ARGB.
    unsigned Pixel(int x, int y);
    // Dark pixels (text) in a rectangle of a fresh screenshot of the main window or another.
    int DarkPixels(int x, int y, int width, int height) {
        return DarkPixels(window_, x, y, width, height);
    }
    int DarkPixels(unsigned long window, int x, int y, int width, int height);
    // Dark pixels in a rectangle at client coordinates of the main window, taken from the whole
    // screen: what other windows (a popup over the main window) show there counts too.
    int ScreenDarkPixels(int x, int y, int width, int height);
    // The visible suggestion windows (the program's other windows with the main title).
    std::vector<unsigned long> SuggestionWindows() const;
    const std::string& ShotFile() const { return shot_; }

    // Waits for a line of the service's request log, written after the mark, holding the text.
    std::size_t LogMark() const;
    ::testing::AssertionResult WaitForRequest(const std::string& text, std::size_t mark,
                                              unsigned timeoutMs = 10000) const;
    std::string ServiceLog() const;
    // Whether the client's diagnostic log (debug.log) holds the text.
    bool DebugLogHas(const std::string& text) const;
    std::string ClientOutput() const;

private:
    std::vector<unsigned long> FindWindows(const std::string& pattern, bool main) const;
    unsigned long FindWindow(const std::string& pattern, bool main) const {
        const auto found = FindWindows(pattern, main);
        return found.empty() ? 0 : found.front();
    }
    unsigned Pixel(unsigned long window, int x, int y);
    // Saves a screenshot of the window ("root" for the screen) as the shot file.
    bool Shoot(const std::string& window);
    int DarkPixelsOfShot(int x, int y, int width, int height) const;

    testsupport::TempDir dir_;
    int port_;
    ServiceProbe probe_;
    std::string client_;
    std::string shot_;
    unsigned long window_ = 0;
    int serviceRuns_ = 0;
    std::unique_ptr<testsupport::Process> service_;
    std::unique_ptr<testsupport::Process> clientProcess_;
};

} // namespace e2e
