#include "pages/Pages.h"

#include "pages/IApplication.h"
#include "pages/LoginPage.h"
#include "pages/MainPage.h"
#include "pages/PlanInfoForm.h"
#include "view/View.h"
#include "view/ViewHooks.h"

namespace Plenvo {

void RegisterPages() {
    ViewHooks& hooks = GetViewHooks();
    hooks.templateApplied = [](CView& view) {
        if (view.PageName() == "main") {
            IApplication* app = IApplication::Current();
            if (app && app->IsSignedIn()) {
                CPlanInfoForm::ShowCreateForm(view);
            } else {
                CLoginPage::Show(view);
            }
        }
        CMainPage::AttachHandlers(view);
    };
    hooks.refreshHistory = [](CView& view) { CMainPage::Refresh(view); };
    hooks.editPlanInfo = [](CView& view, int id) { CPlanInfoForm::EditInfo(view, id); };
}

} // namespace Plenvo
