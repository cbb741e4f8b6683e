#include "pages/LoginPage.h"

#include "pages/IApplication.h"
#include "pages/MainPage.h"
#include "pages/PageSupport.h"
#include "platform/Messaging.h"
#include "view/View.h"
#include "view/controls/ViewEdit.h"

namespace Plenvo {

namespace {

CViewEdit* Field(CView& view, const char* name) {
    return dynamic_cast<CViewEdit*>(view.FindByName(name).get());
}

void OnSignedIn(const std::weak_ptr<CViewElement>& origin, const LoginResult& result,
                const LoginValues& sent) {
    IApplication* app = IApplication::Current();
    if (!app) {
        return;
    }
    const auto views = app->GetViews();
    if (!views.empty()) {
        views.front()->HideProgress();
    }
    if (result.outcome != LoginResult::Outcome::Accepted) {
        auto view = LockView(origin);
        if (!view && !views.empty()) {
            view = views.front();
        }
        if (view) {
            ShowError(*view, result.message);
        }
        return;
    }
    app->SignIn(sent);
    app->RememberLogin(sent);
    for (const auto& view : views) {
        CMainPage::FirstLoad(*view);
        view->HideProgress();
    }
    for (const auto& view : views) {
        view->DismissBottomMessages();
    }
    app->StartUploadThread();
}

} // namespace

std::string CLoginPage::EmptyFieldsText(bool idEmpty, bool nameEmpty, bool passwordEmpty) {
    std::string labels;
    const auto add = [&labels](bool empty, const char* label) {
        if (empty) {
            labels += labels.empty() ? label : std::string(",") + label;
        }
    };
    add(idEmpty, "[教师编号]");
    add(nameEmpty, "[教师名]");
    add(passwordEmpty, "[密码]");
    return labels + "不能为空";
}

void CLoginPage::Show(CView& view) {
    const auto page = ShowInContainer(view, kMember, false);
    if (!page) {
        return;
    }
    if (const auto button = page->FindByName(kButton)) {
        std::weak_ptr<CViewElement> weak = view.weak_from_this();
        button->AddEventHandler("click", [weak](const auto&, const std::string&) {
            if (auto alive = LockView(weak)) {
                SignIn(*alive);
            }
            return 1;
        });
    }
    IApplication* app = IApplication::Current();
    const LoginValues remembered = app ? app->ReadRememberedLogin() : LoginValues{};
    const std::pair<const char*, const std::string*> fields[] = {
        {kIdField, &remembered.id},
        {kNameField, &remembered.name},
        {kPasswordField, &remembered.password}};
    for (const auto& [name, value] : fields) {
        if (auto* field = dynamic_cast<CViewEdit*>(page->FindByName(name).get())) {
            field->SetText(*value);
        }
    }
}

void CLoginPage::SignIn(CView& view) {
    CViewEdit* id = Field(view, kIdField);
    CViewEdit* name = Field(view, kNameField);
    CViewEdit* password = Field(view, kPasswordField);
    if (!id || !name || !password) {
        ShowError(view, kTemplateError);
        return;
    }
    LoginValues values{TrimSpace(id->GetText()), TrimSpace(name->GetText()),
                       TrimSpace(password->GetText())};
    if (values.id.empty() || values.name.empty() || values.password.empty()) {
        ShowError(view,
                  EmptyFieldsText(values.id.empty(), values.name.empty(), values.password.empty()));
        return;
    }
    IApplication* app = IApplication::Current();
    if (!app || app->GetLoginRequest().Pending()) {
        return;
    }
    view.DismissBottomMessages();
    view.ShowProgress();
    std::weak_ptr<CViewElement> weak = view.weak_from_this();
    app->GetLoginRequest().Send(Endpoints(), app->GetSession(), std::move(values),
                                [weak](const LoginResult& result, const LoginValues& sent) {
                                    OnSignedIn(weak, result, sent);
                                });
}

} // namespace Plenvo
