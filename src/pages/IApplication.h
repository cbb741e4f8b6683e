#pragma once
// What the pages need of the application object: the session and service, the signed-in
// teacher, the one pending login, cfg.ini, the page windows, the suggestion window and the
// upload thread. The application implements it and makes itself current at start-up.
#include "net/LoginRequest.h"
#include "net/Session.h"

#include <memory>
#include <string>
#include <vector>

namespace Plenvo {

class CView;

struct PlanChoices {
    int lessonType = 0;
    int grade = 0;
    int subject = 0;
};

class IApplication {
public:
    virtual ~IApplication() = default;

    // The application object of this process, none outside its lifetime.
    static IApplication* Current();
    static void SetCurrent(IApplication* application);

    virtual std::shared_ptr<SimpleCurl::CSession> GetSession() const = 0;
    virtual std::string GetServiceBase() const = 0;

    virtual bool IsSignedIn() const = 0;
    // A successful login: the teacher as sent becomes the signed-in user.
    virtual void SignIn(const LoginValues& sent) = 0;
    // Holds the login in flight, so that a second click (or a template applied again) sends
    // nothing while one is pending.
    virtual CLoginRequest& GetLoginRequest() = 0;

    // cfg.ini: the last login (with the defaults of a first start) and the last choices of the
    // plan form (-1 for no choice).
    virtual LoginValues ReadRememberedLogin() const = 0;
    virtual void RememberLogin(const LoginValues& sent) = 0;
    virtual PlanChoices ReadPlanDefaults() const = 0;
    virtual void RememberPlanDefaults(const PlanChoices& choices) = 0;

    // The open page windows in the order they were opened.
    virtual std::vector<std::shared_ptr<CView>> GetViews() const = 0;
    virtual void OpenSuggestionWindow(int planId) = 0;
    // Starts the upload of saved versions once; later calls do nothing.
    virtual void StartUploadThread() = 0;
};

} // namespace Plenvo
