#pragma once
// The client's application object with its main window off screen, against the reference service
// running in this process on a free port, in a fresh current directory (cfg.ini lands there).
#include "LessonPlanService.h"
#include "Store.h"
#include "app/MainThread.h"
#include "support/TempDir.h"
#include "view/View.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace pagestest {

using namespace Plenvo;

class PagesTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    CView& Main() { return *app_->Views().front(); }
    // Runs the loop until the condition holds; fails the test with the text after 10 s.
    void WaitFor(const std::function<bool()>& done, const std::string& what);
    void Click(const std::string& name);
    void RightClickHistoryItem(std::uint32_t id);
    void Type(const std::string& field, const std::string& text);
    // The message of the bottom message shown, empty when none is.
    std::string BottomMessage();
    // Signs in through the login page and waits until the main page has its first content.
    void SignIn(const std::string& id, const std::string& name, const std::string& password);
    // Requests the service received whose path starts with the text.
    std::vector<std::string> Requests(const std::string& prefix);
    std::string ReadConfig() const;
    // Whether the content area shows the named form element.
    bool Shows(const std::string& name) { return Main().FindByName(name) != nullptr; }

    testsupport::TempDir dir_;
    std::filesystem::path oldDirectory_;
    std::unique_ptr<PlenvoService::Store> store_;
    std::unique_ptr<PlenvoService::LessonPlanService> service_;
    std::thread serviceThread_;
    std::mutex logMutex_;
    std::vector<std::string> log_;
    std::unique_ptr<CMainThread> app_;
};

} // namespace pagestest
