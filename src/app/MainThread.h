#pragma once
// The application object: one per process, an invisible message-only window with the message
// loop of the user-interface thread. It owns the shared HTTP session, the signed-in user, the
// configuration path, the data folder and the list of page windows, and runs the shutdown
// sequence when the main page window goes away.
#include "app/Configuration.h"
#include "app/UserInfo.h"
#include "net/LoginRequest.h"
#include "pages/IApplication.h"
#include "platform/Event.h"
#include "platform/Types.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace SimpleCurl {
class CSession;
}

namespace Plenvo {

class CTerminationWatch;
class CVersionFolder;
class CView;

// Start-up cannot go on (a folder that cannot be made, the HTTP worker not starting).
class StartupError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class CMainThread : public IApplication {
public:
    struct Options {
        // Overrides the configured service URL when not empty.
        std::string serviceUrl;
        // Page windows kept off screen (tests).
        bool offscreenWindows = false;
        // SIGTERM closes the main window as the teacher's close does; needs
        // CTerminationWatch::BlockInProcess() before any thread starts.
        bool watchTermination = false;
    };

    static constexpr long kWorkerStopWaitMs = 5000;
    static constexpr long kUploadStopWaitMs = 15000;

    explicit CMainThread(Options options);
    ~CMainThread() override;
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

    // Closes an open suggestion window first; the panel starts once the template is applied.
    void OpenSuggestionWindow(int planId) override;
    // The one place the upload of saved versions starts, after a successful login. Only the
    // first call starts it: the login page can stay after a silent first-load failure, and a
    // second sign-in must not start a second thread.
    void StartUploadThread() override;
    bool UploadThreadStarted() const { return uploadThread_.joinable(); }

    // --- IApplication ---
    std::shared_ptr<SimpleCurl::CSession> GetSession() const override { return session_; }
    std::string GetServiceBase() const override { return serviceBase_; }
    bool IsSignedIn() const override { return user_ != nullptr; }
    void SignIn(const LoginValues& sent) override;
    CLoginRequest& GetLoginRequest() override { return loginRequest_; }
    LoginValues ReadRememberedLogin() const override;
    void RememberLogin(const LoginValues& sent) override;
    PlanChoices ReadPlanDefaults() const override;
    void RememberPlanDefaults(const PlanChoices& choices) override;
    std::vector<std::shared_ptr<CView>> GetViews() const override { return views_; }
    // Registered on every page window: the main window's end ends the program.
    void OnViewClosed(CView* view, std::uint64_t stamp);
    // Closes the main window as the teacher's close does (the desktop's SIGTERM).
    void Terminate();

    platform::HWND Handle() const { return hwnd_; }
    const std::shared_ptr<CUserInfo>& User() const { return user_; }
    void SetUser(std::shared_ptr<CUserInfo> user) { user_ = std::move(user); }
    const std::shared_ptr<SimpleCurl::CSession>& Session() const { return session_; }
    const std::string& ServiceBase() const { return serviceBase_; }
    const std::vector<std::shared_ptr<CView>>& Views() const { return views_; }
    const std::string& DataFolder() const { return dataFolder_; }
    // The saved versions of plans in the data folder, shared with the upload thread.
    const std::shared_ptr<CVersionFolder>& Versions() const { return versions_; }
    const std::string& ConfigPath() const { return configPath_; }
    CConfiguration Config() const { return CConfiguration(configPath_); }
    platform::Event& ExitEvent() { return *exitEvent_; }
    const Options& StartOptions() const { return options_; }

    // The folder for saved plan versions: beside the executable, or the user's data folder when
    // that cannot be written (an installed program must still start).
    static std::string ChooseDataFolder(const std::string& executableFolder);

private:
    platform::LRESULT WindowProc(platform::HWND hwnd, platform::UINT message, platform::WPARAM w,
                                 platform::LPARAM l);
    platform::LRESULT OnCreate();
    void OnDestroy();
    // Sets the exit event and waits, within its bound, for the upload thread's last pass.
    void StopUploadThread();
    std::shared_ptr<CView> OpenView(const std::string& pageName);

    platform::HWND hwnd_ = 0;
    std::vector<std::shared_ptr<CView>> views_;
    std::shared_ptr<CUserInfo> user_;
    std::shared_ptr<SimpleCurl::CSession> session_;
    std::string dataFolder_;
    std::shared_ptr<CVersionFolder> versions_;
    // Shared with the upload thread, which may outlive this object when it overruns its bound.
    std::shared_ptr<platform::Event> exitEvent_ = std::make_shared<platform::Event>(true, false);
    std::shared_ptr<platform::Event> uploadEnded_ = std::make_shared<platform::Event>(true, false);
    std::thread uploadThread_;
    std::unique_ptr<CTerminationWatch> terminationWatch_;
    CLoginRequest loginRequest_;
    std::string configPath_;
    std::string serviceBase_;
    Options options_;
};

} // namespace Plenvo
