#pragma once
// The application object: one per process, an invisible message-only window with the message
// loop of the user-interface thread. It owns the shared HTTP session, the signed-in user, the
// configuration path, the data folder and the list of page windows, and runs the shutdown
// sequence when the main page window goes away.
#include "app/Configuration.h"
#include "app/UserInfo.h"
#include "platform/Event.h"
#include "platform/Types.h"

#include <memory>
#include <stdexcept>
#include <string>

namespace Plenvo {

// Start-up cannot go on (a folder that cannot be made, the HTTP worker not starting).
class StartupError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class CMainThread {
public:
    struct Options {
        // Overrides the configured service URL when not empty.
        std::string serviceUrl;
    };

    explicit CMainThread(Options options);
    ~CMainThread();
    CMainThread(const CMainThread&) = delete;
    CMainThread& operator=(const CMainThread&) = delete;

    // The current application object, set while the main page window is open.
    static CMainThread* Current();

    // Creates the message-only window; its WM_CREATE opens the main page window. Returns false
    // when creation failed.
    bool CreateMessageWindow();
    // The message loop: get, dispatch, until WM_QUIT; returns the quit code.
    int Run();
    // Destroys the message-only window, which runs the shutdown sequence.
    void Close();

    platform::HWND Handle() const { return hwnd_; }
    const std::shared_ptr<CUserInfo>& User() const { return user_; }
    void SetUser(std::shared_ptr<CUserInfo> user) { user_ = std::move(user); }
    const std::string& DataFolder() const { return dataFolder_; }
    const std::string& ConfigPath() const { return configPath_; }
    CConfiguration Config() const { return CConfiguration(configPath_); }
    platform::Event& ExitEvent() { return exitEvent_; }
    const Options& StartOptions() const { return options_; }

    // The folder for saved plan versions: beside the executable, or the user's data folder when
    // that cannot be written (an installed program must still start).
    static std::string ChooseDataFolder(const std::string& executableFolder);

private:
    platform::LRESULT WindowProc(platform::HWND hwnd, platform::UINT message, platform::WPARAM w,
                                 platform::LPARAM l);
    platform::LRESULT OnCreate();
    void OnDestroy();

    platform::HWND hwnd_ = 0;
    std::shared_ptr<CUserInfo> user_;
    std::string dataFolder_;
    platform::Event exitEvent_{true, false};
    std::string configPath_;
    Options options_;
};

} // namespace Plenvo
