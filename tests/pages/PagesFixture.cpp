#include "PagesFixture.h"

#include "gfx/Units.h"
#include "pages/Pages.h"
#include "platform/Dialogs.h"
#include "platform/Messages.h"
#include "platform/Messaging.h"
#include "support/Pump.h"
#include "view/controls/Controls.h"
#include "view/controls/ViewEdit.h"
#include "view/controls/ViewList.h"

#include <fstream>
#include <sstream>

namespace pagestest {

namespace {

void CollectLabels(const Json& d, std::vector<std::string>& values) {
    if (!d.is_object()) {
        return;
    }
    if (d.value("type", "") == "label" && d.contains("value") && d["value"].is_string()) {
        values.push_back(d["value"].get<std::string>());
    }
    if (d.contains("elements") && d["elements"].is_array()) {
        for (const Json& child : d["elements"]) {
            CollectLabels(child, values);
        }
    }
}

int Px(double mm) {
    return static_cast<int>(gfx::MmToPx(mm, 96));
}

} // namespace

void PagesTest::SetUp() {
    RegisterControls();
    RegisterPages();
    oldDirectory_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_.Path());
    std::filesystem::create_directories(dir_.File("service"));
    store_ = std::make_unique<PlenvoService::Store>(dir_.File("service/db"), 1000);
    PlenvoService::ServiceOptions options;
    options.dataFolder = dir_.File("service");
    options.log = [this](const std::string& line) {
        std::lock_guard lock(logMutex_);
        log_.push_back(line);
    };
    service_ = std::make_unique<PlenvoService::LessonPlanService>(*store_, options);
    const int port = service_->Bind("127.0.0.1", 0);
    ASSERT_GT(port, 0);
    serviceThread_ = std::thread([this] { service_->Run(); });
    ASSERT_TRUE(service_->WaitUntilRunning());
    app_ = std::make_unique<CMainThread>(
        CMainThread::Options{"http://127.0.0.1:" + std::to_string(port) + "/plenvo/", true});
    ASSERT_TRUE(app_->CreateMessageWindow());
    WaitFor([this] { return Shows("loginbutton"); }, "the login page");
}

void PagesTest::TearDown() {
    platform::SetMessageBoxHandler(nullptr);
    platform::SetPopupMenuHandler(nullptr);
    if (app_) {
        app_->Close();
        testsupport::PumpPending();
        app_.reset();
    }
    if (service_) {
        service_->Stop();
    }
    if (serviceThread_.joinable()) {
        serviceThread_.join();
    }
    service_.reset();
    store_.reset();
    std::filesystem::current_path(oldDirectory_);
}

void PagesTest::WaitFor(const std::function<bool()>& done, const std::string& what) {
    ASSERT_TRUE(testsupport::PumpUntil(done, 10000)) << "waited 10 s for " << what;
}

void PagesTest::Click(const std::string& name) {
    WaitFor([&] { return !Main().LayoutPending(); }, "the layout");
    const auto element = Main().FindByName(name);
    ASSERT_NE(element, nullptr) << name;
    const gfx::RectF r = element->GetContentRect();
    const platform::LPARAM at = platform::MakeLParam(Px(r.x + r.width / 2), Px(r.y + r.height / 2));
    platform::SendMessage(Main().GetHandle(), platform::WM_MOUSEMOVE, 0, at);
    platform::SendMessage(Main().GetHandle(), platform::WM_LBUTTONDOWN, platform::MK_LBUTTON, at);
    platform::SendMessage(Main().GetHandle(), platform::WM_LBUTTONUP, 0, at);
}

void PagesTest::RightClickHistoryItem(std::uint32_t id) {
    WaitFor([&] { return !Main().LayoutPending(); }, "the layout");
    auto* list = dynamic_cast<CViewList*>(Main().FindByName("historylist").get());
    ASSERT_NE(list, nullptr);
    const CViewListItem* item = list->GetItem(id);
    ASSERT_NE(item, nullptr);
    const gfx::RectF r = item->GetRect();
    const platform::LPARAM at = platform::MakeLParam(Px(r.x + r.width / 2), Px(r.y + r.height / 2));
    platform::SendMessage(Main().GetHandle(), platform::WM_RBUTTONDOWN, platform::MK_RBUTTON, at);
    platform::SendMessage(Main().GetHandle(), platform::WM_RBUTTONUP, 0, at);
}

void PagesTest::Type(const std::string& field, const std::string& text) {
    auto* edit = dynamic_cast<CViewEdit*>(Main().FindByName(field).get());
    ASSERT_NE(edit, nullptr) << field;
    edit->SetText(text);
}

std::string PagesTest::BottomMessage() {
    const auto& messages = Main().Overlays().BottomMessages();
    if (messages.empty()) {
        return {};
    }
    std::vector<std::string> labels;
    CollectLabels(messages.back()->GetDescription(), labels);
    return labels.size() >= 2 ? labels[1] : std::string();
}

void PagesTest::SignIn(const std::string& id, const std::string& name,
                       const std::string& password) {
    Type("loginidvalue", id);
    Type("loginnamevalue", name);
    Type("loginpasswordvalue", password);
    Click("loginbutton");
}

std::vector<std::string> PagesTest::Requests(const std::string& prefix) {
    std::lock_guard lock(logMutex_);
    std::vector<std::string> found;
    for (const std::string& line : log_) {
        if (line.find(" /plenvo/" + prefix) != std::string::npos) {
            found.push_back(line);
        }
    }
    return found;
}

std::string PagesTest::ReadConfig() const {
    std::ifstream file(dir_.File("cfg.ini"), std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

} // namespace pagestest
