#include "pages/MainPage.h"

#include "gfx/Units.h"
#include "net/ReplyCheck.h"
#include "net/ServiceTexts.h"
#include "pages/HistoryRecords.h"
#include "pages/IApplication.h"
#include "pages/PageSupport.h"
#include "pages/PlanInfoForm.h"
#include "platform/Dialogs.h"
#include "platform/Messages.h"
#include "platform/Messaging.h"
#include "view/View.h"
#include "view/ViewFactory.h"
#include "view/ViewHooks.h"
#include "view/controls/ViewList.h"

#include <cstdlib>
#include <limits>

namespace Plenvo {

namespace {

using WeakView = std::weak_ptr<CViewElement>;

// The item id of "listitem.<digits>" anywhere in an event parameter.
bool ItemId(const std::string& parameter, int& id) {
    constexpr std::string_view key = "listitem";
    for (std::size_t at = parameter.find(key); at != std::string::npos;
         at = parameter.find(key, at + 1)) {
        const std::size_t digits = at + key.size() + 1;
        if (digits < parameter.size() && parameter[digits] >= '0' && parameter[digits] <= '9') {
            id = static_cast<int>(std::strtoul(parameter.c_str() + digits, nullptr, 10));
            return true;
        }
    }
    return false;
}

bool IsChecked(CView& view, int id) {
    CViewList* list = HistoryList(view);
    const CViewListItem* item = list ? list->GetItem(static_cast<std::uint32_t>(id)) : nullptr;
    return item && item->IsChecked();
}

void Fill(CViewList& list, const HistoryRecords& history) {
    for (const HistoryRecord& record : history.records) {
        list.AddItem(record.title, record.date, static_cast<std::uint32_t>(record.id));
    }
}

// A history reply, its window and its list; false when there is nothing to fill: a failed
// transfer (silent), an unreadable body or a template without the list (after the message).
// The first load empties the list before a refusal is shown, a refresh keeps it.
bool ReadHistoryReply(const WeakView& weak, const SimpleCurl::response& reply, bool firstLoad,
                      std::shared_ptr<CView>& view, CViewList*& list, Json& body) {
    view = LockView(weak);
    if (!view || !IsJsonReply(reply)) {
        return false;
    }
    body = Json::parse(reply.body, nullptr, false);
    if (body.is_discarded() || !body.is_object()) {
        ShowError(*view, std::string(ServiceTexts::kServerErrorRetry));
        return false;
    }
    list = HistoryList(*view);
    if (!list) {
        ShowError(*view, kTemplateError);
        return false;
    }
    if (firstLoad) {
        list->ClearChildren();
    }
    if (!ReplyOk(body)) {
        ShowError(*view, ReplyError(body));
        return false;
    }
    return true;
}

void OnFirstLoad(const WeakView& weak, SimpleCurl::response& reply) {
    std::shared_ptr<CView> view;
    CViewList* list = nullptr;
    Json body;
    if (!ReadHistoryReply(weak, reply, true, view, list, body)) {
        return;
    }
    const HistoryRecords history = ReadHistoryRecords(body);
    Fill(*list, history);
    if (history.newest >= 0) {
        CMainPage::OpenPlanById(*view, history.records[history.newest].id);
    } else {
        CPlanInfoForm::ShowCreateForm(*view);
    }
    view->DismissBottomMessages();
}

void OnRefresh(const WeakView& weak, SimpleCurl::response& reply) {
    std::shared_ptr<CView> view;
    CViewList* list = nullptr;
    Json body;
    if (!ReadHistoryReply(weak, reply, false, view, list, body)) {
        return;
    }
    list->ClearChildren();
    view->DismissBottomMessages();
    Fill(*list, ReadHistoryRecords(body));
    if (const int open = OpenPlanId(*view); open >= 0) {
        list->SetChecked(static_cast<std::uint32_t>(open), true);
    }
}

void SendHistory(CView& view, void (*completion)(const WeakView&, SimpleCurl::response&)) {
    WeakView weak = view.weak_from_this();
    NewRequest(__FILE__, __LINE__)
        ->Get(Endpoints().History(),
              [weak, completion](SimpleCurl::response& reply) { completion(weak, reply); });
}

void OnListClick(CView& view, const std::string& parameter) {
    int id = 0;
    if (ItemId(parameter, id) && !IsChecked(view, id)) {
        CMainPage::OpenPlanById(view, id);
    }
}

void OnContextMenu(CView& view, const std::string& parameter) {
    int id = 0;
    if (!ItemId(parameter, id)) {
        return;
    }
    platform::PopupMenuRequest menu;
    menu.owner = view.GetHandle();
    menu.items = {{CMainPage::kOpen, "打开", true},
                  {CMainPage::kDelete, "删除", true},
                  {CMainPage::kEditInfo, "修改基本信息", true}};
    if (CViewList* list = HistoryList(view)) {
        // At the pointer: the client point of the click made a screen point.
        const gfx::PointF at = list->GetLastPoint();
        const Point origin = view.ScreenToClient({0, 0});
        const double dpi = view.GetDpi();
        menu.x = static_cast<int>(gfx::MmToPx(at.x, dpi)) - origin.x;
        menu.y = static_cast<int>(gfx::MmToPx(at.y, dpi)) - origin.y;
    }
    const auto hold = std::static_pointer_cast<CView>(view.shared_from_this());
    switch (platform::TrackPopupMenu(menu)) {
    case CMainPage::kOpen:
        if (!IsChecked(view, id)) {
            CMainPage::OpenPlanById(view, id);
        }
        break;
    case CMainPage::kDelete: {
        CViewList* list = HistoryList(view);
        const CViewListItem* item = list ? list->GetItem(static_cast<std::uint32_t>(id)) : nullptr;
        CMainPage::DeletePlan(view, id, item ? item->GetTitle() : std::string());
        break;
    }
    case CMainPage::kEditInfo:
        platform::PostMessage(view.GetHandle(), platform::WM_EDIT_PLAN_INFO,
                              static_cast<platform::WPARAM>(id), 0);
        break;
    default:
        break;
    }
}

} // namespace

void CMainPage::AttachHandlers(CView& view) {
    WeakView weak = view.weak_from_this();
    const auto bind = [&view, &weak](const char* name, const char* event,
                                     void (*action)(CView&, const std::string&)) {
        if (const auto element = view.FindByName(name)) {
            element->AddEventHandler(event, [weak, action](const auto&, const std::string& p) {
                if (const auto alive = LockView(weak)) {
                    action(*alive, p);
                }
                return 1;
            });
        }
    };
    bind(kHistoryListName, "click", &OnListClick);
    bind(kHistoryListName, "contextmenu", &OnContextMenu);
    bind(kCreateButton, "click",
         [](CView& v, const std::string&) { CPlanInfoForm::ShowCreateForm(v); });
    bind(kPrintButton, "click", [](CView& v, const std::string&) {
        if (v.FindByName(kPlanElementName) && GetViewHooks().print) {
            GetViewHooks().print(v);
        }
    });
}

void CMainPage::FirstLoad(CView& view) {
    SendHistory(view, &OnFirstLoad);
}

void CMainPage::Refresh(CView& view) {
    SendHistory(view, &OnRefresh);
}

void CMainPage::OpenPlanById(CView& view, int id) {
    view.ShowProgress();
    ReplyHandlers handlers = PlanReplyHandlers(view, [](CView& v, Json& reply) {
        const auto data = reply.find("lpdata");
        CMainPage::ShowPlan(v, data != reply.end() ? std::move(*data) : Json::object());
    });
    NewRequest(__FILE__, __LINE__)
        ->Get(Endpoints().OpenPlan(id), CheckedReply(ServiceAction::OpenPlan, std::move(handlers)));
}

void CMainPage::ShowPlan(CView& view, Json planData) {
    const auto container = view.FindByName(kContainerName);
    if (!container) {
        return;
    }
    ClearContainer(view, *container);
    if (!planData.is_object()) {
        planData = Json::object();
    }
    if (IntegerMember(planData, "layer", 0) == 0) {
        const std::int32_t layer = view.GetLayer();
        planData["layer"] = layer == std::numeric_limits<std::int32_t>::max() ? layer : layer + 1;
    }
    if (!planData.contains("type") || !planData["type"].is_string()) {
        planData["type"] = kPlanElementName;
    }
    const int id = IntegerMember(planData, "id", -1);
    // Until the plan element is registered the factory makes nothing: the area stays empty.
    if (auto plan = CreateViewElement(std::move(planData))) {
        container->AddChild(plan);
    }
    if (CViewList* list = HistoryList(view)) {
        for (const std::uint32_t checked : list->GetCheckedIds()) {
            if (checked != CViewList::kNoId) {
                list->SetChecked(checked, false);
            }
        }
        list->SetChecked(static_cast<std::uint32_t>(id), true);
    }
    if (IApplication* app = IApplication::Current()) {
        app->OpenSuggestionWindow(id);
    }
}

std::string CMainPage::DeleteQuestion(const std::string& title) {
    return "确定要删除教案《" + title + "》吗？删除后无法恢复。";
}

void CMainPage::DeletePlan(CView& view, int id, const std::string& title) {
    if (platform::MessageBox(view.GetHandle(), DeleteQuestion(title), "删除教案",
                             platform::MB_YESNO) != platform::IDYES) {
        return;
    }
    WeakView weak = view.weak_from_this();
    NewRequest(__FILE__, __LINE__)
        ->Get(Endpoints().DeletePlan(id), [weak, id](SimpleCurl::response& reply) {
            const auto alive = LockView(weak);
            if (!alive || !IsJsonReply(reply)) {
                return;
            }
            const Json body = Json::parse(reply.body, nullptr, false);
            if (!body.is_object() || !ReplyOk(body)) {
                return;
            }
            if (id == OpenPlanId(*alive)) {
                FirstLoad(*alive);
            } else {
                platform::PostMessage(alive->GetHandle(), platform::WM_REFRESH_HISTORY, 0, 0);
            }
        });
}

} // namespace Plenvo
