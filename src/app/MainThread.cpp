#include "app/MainThread.h"

#include "platform/Display.h"
#include "platform/Messages.h"
#include "platform/Messaging.h"
#include "platform/Paths.h"

namespace Plenvo {

namespace {

CMainThread* current = nullptr;

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
    platform::InitializeUserInterface();
    // 2. The resolution every millimetre conversion uses.
    platform::SetScreenResolution(platform::ReadDesktopResolution());
    // 3. The data folder for saved plan versions.
    const std::string exe = platform::ExecutablePath();
    if (exe.empty()) {
        throw StartupError("cannot read the executable's path");
    }
    dataFolder_ = ChooseDataFolder(platform::DirectoryOf(exe));
    // 4. The HTTP worker thread starts here.
    // 5. The exit event exists from construction (exitEvent_).
    // 6. The shared HTTP session is created here.
    // 7. cfg.ini lies in the current directory, which need not be the executable's folder.
    configPath_ = platform::FullPath("cfg.ini");
    // 8. The crash filter is installed here.
}

CMainThread::~CMainThread() {
    if (hwnd_ && platform::IsWindow(hwnd_)) {
        platform::DestroyWindow(hwnd_);
    }
    if (current == this) {
        current = nullptr;
    }
}

bool CMainThread::CreateMessageWindow() {
    hwnd_ = platform::CreateMessageWindow(
        [this](platform::HWND h, platform::UINT m, platform::WPARAM w, platform::LPARAM l) {
            return WindowProc(h, m, w, l);
        });
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
    default:
        return 0;
    }
}

platform::LRESULT CMainThread::OnCreate() {
    current = this;
    // The main page window opens here.
    return 0;
}

void CMainThread::OnDestroy() {
    // 1. clientexit is sent here, blocking, with the shared session.
    // 2. The HTTP worker is stopped here (at most 5000 ms).
    // 3. Signal the exit event; the upload thread is waited for here (at most 15000 ms).
    exitEvent_.Set();
    // 4. End the message loop.
    platform::PostQuitMessage(0);
    // 5. No current application object any more.
    current = nullptr;
    hwnd_ = 0;
}

} // namespace Plenvo
