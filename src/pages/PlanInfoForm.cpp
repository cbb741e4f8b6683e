#include "pages/PlanInfoForm.h"

#include "net/ReplyCheck.h"
#include "net/ServiceTexts.h"
#include "pages/IApplication.h"
#include "pages/MainPage.h"
#include "pages/PageSupport.h"
#include "platform/Messages.h"
#include "platform/Messaging.h"
#include "view/View.h"
#include "view/controls/ViewComboBox.h"
#include "view/controls/ViewEdit.h"
#include "view/controls/ViewList.h"

#include <optional>

namespace Plenvo {

namespace {

using WeakView = std::weak_ptr<CViewElement>;

CViewComboBox* Box(CView& view, const char* name) {
    return dynamic_cast<CViewComboBox*>(view.FindByName(name).get());
}

void Preselect(CView& view, const PlanChoices& choices) {
    const std::pair<const char*, int> boxes[] = {
        {CPlanInfoForm::kLessonTypeBox, choices.lessonType},
        {CPlanInfoForm::kGradeBox, choices.grade},
        {CPlanInfoForm::kSubjectBox, choices.subject}};
    for (const auto& [name, value] : boxes) {
        if (CViewComboBox* box = Box(view, name)) {
            box->SelectByValue(value);
        }
    }
}

void BindButton(CView& view, const std::shared_ptr<CViewElement>& form, const char* name,
                std::function<void(CView&)> action) {
    const auto button = form ? form->FindByName(name) : nullptr;
    if (!button) {
        return;
    }
    WeakView weak = view.weak_from_this();
    button->AddEventHandler("click", [weak, action](const auto&, const std::string&) {
        if (const auto alive = LockView(weak)) {
            action(*alive);
        }
        return 1;
    });
}

// The title and the choices of the form; none (after the message) when the title is empty.
// The choices are remembered, -1 for a box without a choice.
std::optional<std::pair<std::string, PlanChoices>> ReadForm(CView& view) {
    const auto* field = dynamic_cast<CViewEdit*>(view.FindByName(CPlanInfoForm::kTitleField).get());
    std::string title = TrimSpace(field ? field->GetText() : std::string());
    if (title.empty()) {
        ShowError(view, ServiceTexts::FillText(kEmptyFields, {CPlanInfoForm::kTitleLabel}));
        return std::nullopt;
    }
    const auto value = [&view](const char* name) {
        CViewComboBox* box = Box(view, name);
        return box ? box->GetSelectedValue() : -1;
    };
    PlanChoices choices{value(CPlanInfoForm::kLessonTypeBox), value(CPlanInfoForm::kGradeBox),
                        value(CPlanInfoForm::kSubjectBox)};
    if (IApplication* app = IApplication::Current()) {
        app->RememberPlanDefaults(choices);
    }
    return std::make_pair(std::move(title), choices);
}

void OnPlanInfo(const WeakView& weak, SimpleCurl::response& reply) {
    const auto view = LockView(weak);
    if (!view) {
        return;
    }
    view->HideProgress();
    const ReplyCheck check = CheckReply(reply, ServiceAction::PlanInfo);
    if (!check.good) {
        ShowError(*view, check.message);
        return;
    }
    const Json body = Json::parse(reply.body, nullptr, false);
    if (body.is_discarded() || !body.is_object()) {
        ShowError(*view, std::string(ServiceTexts::kServerErrorRetry));
        return;
    }
    const auto data = body.find("lpdata");
    if (!ReplyOk(body) || data == body.end() || !data->is_object()) {
        return;
    }
    const auto form = ShowInContainer(*view, CPlanInfoForm::kEditMember, true);
    const int id = IntegerMember(*data, "id", 0);
    BindButton(*view, form, CPlanInfoForm::kSaveButton,
               [id](CView& v) { CPlanInfoForm::Save(v, id); });
    if (auto* field =
            dynamic_cast<CViewEdit*>(view->FindByName(CPlanInfoForm::kTitleField).get())) {
        const auto title = data->find("lessiontitle");
        field->SetText(title != data->end() && title->is_string() ? title->get<std::string>()
                                                                  : std::string());
    }
    Preselect(*view,
              PlanChoices{IntegerMember(*data, "lessiontype", -1),
                          IntegerMember(*data, "grade", -1), IntegerMember(*data, "subject", -1)});
    view->DismissBottomMessages();
}

} // namespace

void CPlanInfoForm::ShowCreateForm(CView& view) {
    IApplication* app = IApplication::Current();
    if (!app || !app->IsSignedIn()) {
        return;
    }
    const auto form = ShowInContainer(view, kCreateMember, true);
    if (!form) {
        return;
    }
    BindButton(view, form, kCreateButton, [](CView& v) { Create(v); });
    Preselect(view, app->ReadPlanDefaults());
    if (CViewList* list = HistoryList(view)) {
        for (const std::uint32_t checked : list->GetCheckedIds()) {
            if (checked != CViewList::kNoId) {
                list->SetChecked(checked, false);
            }
        }
    }
}

void CPlanInfoForm::EditInfo(CView& view, int id) {
    view.ShowProgress();
    WeakView weak = view.weak_from_this();
    NewRequest(__FILE__, __LINE__)
        ->Get(Endpoints().PlanInfo(id),
              [weak](SimpleCurl::response& reply) { OnPlanInfo(weak, reply); });
}

void CPlanInfoForm::Create(CView& view) {
    const auto form = ReadForm(view);
    if (!form) {
        return;
    }
    const auto& [title, choices] = *form;
    view.DismissBottomMessages();
    view.ShowProgress();
    ReplyHandlers handlers = PlanReplyHandlers(view, [](CView& v, Json& reply) {
        const auto data = reply.find("lpdata");
        CMainPage::ShowPlan(v, data != reply.end() ? std::move(*data) : Json::object());
        platform::PostMessage(v.GetHandle(), platform::WM_REFRESH_HISTORY, 0, 0);
    });
    NewRequest(__FILE__, __LINE__)
        ->Get(Endpoints().CreatePlan(choices.lessonType, choices.grade, choices.subject, title),
              CheckedReply(ServiceAction::CreatePlan, std::move(handlers)));
}

void CPlanInfoForm::Save(CView& view, int id) {
    const auto form = ReadForm(view);
    if (!form) {
        return;
    }
    const auto& [title, choices] = *form;
    ReplyHandlers handlers = PlanReplyHandlers(view, [id](CView& v, Json&) {
        CMainPage::OpenPlanById(v, id);
        platform::PostMessage(v.GetHandle(), platform::WM_REFRESH_HISTORY, 0, 0);
    });
    NewRequest(__FILE__, __LINE__)
        ->Get(Endpoints().SaveInfo(id, choices.lessonType, choices.grade, choices.subject, title),
              CheckedReply(ServiceAction::SaveInfo, std::move(handlers)));
}

} // namespace Plenvo
