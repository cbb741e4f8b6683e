#include "app/MainThread.h"

#include "app/TerminationWatch.h"
#include "gfx/Units.h"
#include "net/ClientExit.h"
#include "net/ServiceUrl.h"
#include "net/Session.h"
#include "net/Worker.h"
#include "platform/Dialogs.h"
#include "platform/Display.h"
#include "platform/Messages.h"
#include "platform/Messaging.h"
#include "platform/Paths.h"
#include "platform/Tick.h"
#include "plan/Uploader.h"
#include "plan/VersionFolder.h"
#include "view/View.h"

#include <algorithm>

namespace Plenvo {

namespace {

CMainThread* current = nullptr;

// String resource 104.
constexpr const char* kStartupFailed = "程序启动错误!";

// Posted by the termination watch to the message-only window.
constexpr platform::UINT kTerminateMessage = 0x0903;

} // namespace

CMainThread* CMainThread::Current() {
    return current;
}

std::string CMainThread::ChooseDataFolder(const std::string& executableFolder) {
    const std::string beside = platform::JoinPath(executableFolder, "Dump");
    if (platform::CreateDirectories(beside) && platform::IsWritableDirectory(beside)) {
        return beside;
    }
    const std::string user = platform::JoinPath(platform::UserDataDirectory(), "Dump");
    if (platform::CreateDirectories(user) && platform::IsWritableDirectory(user)) {
        return user;
    }
    throw StartupError("cannot create the data folder " + beside + " or " + user);
}

CMainThread::CMainThread(Options options) : options_(std::move(options)) {
    // 1. Platform services: GTK, with this thread's queue served by its main loop.
    if (!options_.offscreenWindows) {
        platform::InitializeUserInterface();
    }
    // 2. The resolution every millimetre conversion uses.
    gfx::SetScreenDpi(platform::ReadDesktopResolution());
    // 3. The data folder for saved plan versions.
    const std::string exe = platform::ExecutablePath();
    if (exe.empty()) {
        throw StartupError("cannot read the executable's path");
    }
    dataFolder_ = ChooseDataFolder(platform::DirectoryOf(exe));
    versions_ = std::make_shared<CVersionFolder>(dataFolder_);
    CVersionFolder::SetCurrent(versions_);
    // 4. The HTTP worker thread.
    try {
        SimpleCurl::StartWorker();
    } catch (const std::runtime_error& e) {
        throw StartupError(e.what());
    }
    // 5. The exit event exists from construction (exitEvent_).
    // 6. The session every request shares.
    session_ = std::make_shared<SimpleCurl::CSession>();
    // 7. cfg.ini lies in the current directory, which need not be the executable's folder.
    configPath_ = platform::FullPath("cfg.ini");
    serviceBase_ = ReadServiceUrl(configPath_, options_.serviceUrl);
    // 8. The crash filter is installed here.
}

void CMainThread::SignIn(const LoginValues& sent) {
    user_ = std::make_shared<CUserInfo>(CUserInfo{sent.id, sent.name, sent.password});
}

LoginValues CMainThread::ReadRememberedLogin() const {
    const CConfiguration config = Config();
    return {config.ReadLoginValue(CConfiguration::kId, CConfiguration::kDefaultId),
            config.ReadLoginValue(CConfiguration::kName, CConfiguration::kDefaultName),
            config.ReadLoginValue(CConfiguration::kPassword, "")};
}

void CMainThread::RememberLogin(const LoginValues& sent) {
    Config().WriteLoginValues(sent.id, sent.name, sent.password);
}

PlanChoices CMainThread::ReadPlanDefaults() const {
    const CConfiguration config = Config();
    return {config.ReadDefaultValue(CConfiguration::kLessonType),
            config.ReadDefaultValue(CConfiguration::kGrade),
            config.ReadDefaultValue(CConfiguration::kSubject)};
}

void CMainThread::RememberPlanDefaults(const PlanChoices& choices) {
    const CConfiguration config = Config();
    config.WriteDefaultValue(CConfiguration::kLessonType, choices.lessonType);
    config.WriteDefaultValue(CConfiguration::kGrade, choices.grade);
    config.WriteDefaultValue(CConfiguration::kSubject, choices.subject);
}

CMainThread::~CMainThread() {
    terminationWatch_.reset();
    if (hwnd_ && platform::IsWindow(hwnd_)) {
        platform::DestroyWindow(hwnd_);
    }
    StopUploadThread();
    if (CVersionFolder::Current() == versions_) {
        CVersionFolder::SetCurrent(nullptr);
    }
    if (current == this) {
        current = nullptr;
    }
    if (IApplication::Current() == this) {
        IApplication::SetCurrent(nullptr);
    }
}

bool CMainThread::CreateMessageWindow() {
    hwnd_ = platform::CreateMessageWindow(
        [this](platform::HWND h, platform::UINT m, platform::WPARAM w, platform::LPARAM l) {
            return WindowProc(h, m, w, l);
        });
    if (hwnd_ != 0 && options_.watchTermination && CTerminationWatch::Blocked() &&
        !terminationWatch_) {
        const platform::HWND target = hwnd_;
        terminationWatch_ = std::make_unique<CTerminationWatch>(
            [target] { platform::PostMessage(target, kTerminateMessage, 0, 0); });
    }
    return hwnd_ != 0;
}

int CMainThread::Run() {
    platform::MSG msg;
    while (platform::GetMessage(msg)) {
        platform::DispatchMessage(msg);
    }
    return static_cast<int>(msg.wParam);
}

void CMainThread::Close() {
    if (hwnd_) {
        platform::DestroyWindow(hwnd_);
    }
}

platform::LRESULT CMainThread::WindowProc(platform::HWND hwnd, platform::UINT message,
                                          platform::WPARAM, platform::LPARAM) {
    switch (message) {
    case platform::WM_CREATE:
        hwnd_ = hwnd;
        return OnCreate();
    case platform::WM_DESTROY:
        OnDestroy();
        return 0;
    case kTerminateMessage:
        Terminate();
        return 0;
    default:
        return 0;
    }
}

std::shared_ptr<CView> CMainThread::OpenView(const std::string& pageName) {
    auto view = std::make_shared<CView>(
        pageName, ViewServices{session_, serviceBase_, options_.offscreenWindows});
    if (!view->Create()) {
        return nullptr;
    }
    view->AddCloseCallback(
        [this](CView* closed, std::uint64_t stamp) { OnViewClosed(closed, stamp); });
    return view;
}

platform::LRESULT CMainThread::OnCreate() {
    current = this;
    IApplication::SetCurrent(this);
    auto main = OpenView("main");
    if (!main) {
        platform::MessageBox(hwnd_, kStartupFailed, "", platform::MB_ICONINFORMATION);
        return -1;
    }
    views_.push_back(main);
    return 0;
}

void CMainThread::OpenSuggestionWindow(int planId) {
    for (auto it = views_.begin(); it != views_.end();) {
        if ((*it)->PageName() == "suggestion") {
            auto view = *it;
            it = views_.erase(it);
            view->Destroy();
        } else {
            ++it;
        }
    }
    auto view = OpenView("suggestion");
    if (!view) {
        return;
    }
    view->AddReadyCallback([planId](CView* ready) {
        if (GetViewHooks().startSuggestions) {
            GetViewHooks().startSuggestions(*ready, planId);
        }
    });
    views_.push_back(view);
}

void CMainThread::OnViewClosed(CView* view, std::uint64_t stamp) {
    const auto it = std::find_if(views_.begin(), views_.end(), [&](const auto& entry) {
        return entry.get() == view && entry->Stamp() == stamp;
    });
    if (it == views_.end()) {
        return;
    }
    const bool wasMain = (*it)->PageName() == "main";
    views_.erase(it);
    if (wasMain) {
        const auto remaining = views_;
        for (const auto& other : remaining) {
            other->Destroy();
        }
        Close();
    }
}

void CMainThread::StartUploadThread() {
    if (uploadThread_.joinable()) {
        return;
    }
    auto uploader =
        std::make_shared<CUploader>(versions_, serviceBase_, session_, &platform::GetTickCount);
    uploadThread_ = std::thread([uploader, exit = exitEvent_, ended = uploadEnded_] {
        uploader->Run(*exit);
        ended->Set();
    });
}

void CMainThread::StopUploadThread() {
    exitEvent_->Set();
    if (!uploadThread_.joinable()) {
        return;
    }
    if (uploadEnded_->Wait(kUploadStopWaitMs)) {
        uploadThread_.join();
    } else {
        // Overran its bound: the program ends without it; what it holds is shared with it.
        uploadThread_.detach();
    }
}

void CMainThread::Terminate() {
    for (const auto& view : views_) {
        if (view->PageName() == "main") {
            // As the teacher's close: the open plan's version is written first, and when it
            // cannot be, the teacher is asked before the changes are lost.
            const auto keep = view;
            keep->Close();
            return;
        }
    }
    Close();
}

void CMainThread::OnDestroy() {
    // 1. The upload thread's last pass sends what the closing window just wrote. It runs while
    //    the session is still signed in (the exit notice ends it on the service) and while the
    //    worker still performs transfers.
    StopUploadThread();
    // 2. Tell the service the client ends; reply and failure do not matter.
    NotifyClientExit(CServiceEndpoints(serviceBase_), session_);
    // 3. Stop the HTTP worker.
    if (SimpleCurl::WorkerRunning()) {
        SimpleCurl::StopWorker(kWorkerStopWaitMs);
    }
    // 4. End the message loop.
    platform::PostQuitMessage(0);
    // 5. No current application object any more.
    current = nullptr;
    IApplication::SetCurrent(nullptr);
    hwnd_ = 0;
}

} // namespace Plenvo
