#include "plan/PlanSaving.h"

#include "net/ReplyCheck.h"
#include "net/SaveReply.h"
#include "net/ServiceEndpoints.h"
#include "net/ServiceTexts.h"
#include "net/SimpleCurlAsync.h"
#include "net/ThreadTimer.h"
#include "plan/Autosave.h"
#include "plan/PlanHooks.h"
#include "plan/VersionFolder.h"
#include "plan/ViewPlenvo.h"
#include "platform/Dialogs.h"
#include "view/IHostWindow.h"
#include "view/View.h"
#include "view/ViewHooks.h"

#include <cerrno>

namespace Plenvo {

namespace {

constexpr unsigned kToastMs = 2000;
constexpr const char* kErrorTitle = "错误";
constexpr const char* kConfirm = "确定";
constexpr const char* kDiscardQuestion =
    "教案的修改无法保存到本机，关闭窗口将丢失这些修改。\n仍要关闭吗？";

bool IsEditableCell(CGridCell& cell) {
    return cell.IsEditable();
}

void MarkAllChanged(CViewPlenvo& plan) {
    for (const auto& cell : plan.CollectCells(IsEditableCell)) {
        cell->MarkChanged();
    }
}

bool HasChanges(CViewPlenvo& plan) {
    return !plan.CollectCells([](CGridCell& cell) { return cell.IsEditable() && cell.IsChanged(); })
                .empty();
}

} // namespace

void CPlanSaving::Register() {
    PlanHooks& plan = GetPlanHooks();
    plan.loadSavedVersion = [](CViewPlenvo& opened) {
        LoadNewest(opened);
        StartAutosave(opened);
    };
    plan.saveVersion = [](CViewPlenvo& saved) { WriteVersion(saved); };
    plan.saveToService = [](CViewPlenvo& saved) { SaveToService(saved); };
    ViewHooks& view = GetViewHooks();
    view.save = [](CView& window) {
        if (CViewPlenvo* open = FindPlan(window)) {
            SaveToService(*open);
        }
    };
    view.closing = [](CView& window) { return SaveBeforeClosing(window); };
    view.replacingPlan = [](CView& window) { SaveBeforeReplacing(window); };
}

CViewPlenvo* CPlanSaving::FindPlan(CViewElement& root) {
    return dynamic_cast<CViewPlenvo*>(root.FindByName("plenvo").get());
}

nlohmann::json CPlanSaving::VersionFields(CViewPlenvo& plan) {
    const PlanRecord& record = plan.GetRecord();
    nlohmann::json fields = {{"id", record.id},
                             {"lessiontitle", record.lessiontitle},
                             {"grade", record.grade},
                             {"subject", record.subject}};
    // In grid order, so that of two cells with one name the later wins.
    for (const auto& cell : plan.CollectCells(IsEditableCell)) {
        fields[cell->Name()] = cell->GetValue();
    }
    return fields;
}

std::string CPlanSaving::WriteFailureText(int error) {
    std::string reason;
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        reason = "磁盘空间不足";
        break;
    case EACCES:
    case EPERM:
    case EROFS:
        reason = "没有写入保存文件夹的权限";
        break;
    case ENOENT:
    case ENOTDIR:
        reason = "保存文件夹不存在";
        break;
    default:
        reason = "写入出错(" + std::to_string(error) + ")";
        break;
    }
    return "教案的修改无法保存到本机：" + reason + "。修改仍在编辑中，请处理后再保存。";
}

bool CPlanSaving::WriteVersion(CViewPlenvo& plan) {
    const auto folder = CVersionFolder::Current();
    const VersionWriteResult result =
        folder ? folder->Save(plan.GetRecord().id, VersionFields(plan)) : VersionWriteResult{};
    if (result.ok) {
        return true;
    }
    MarkAllChanged(plan);
    if (IHostWindow* window = plan.GetHostWindow()) {
        window->ShowBottomMessage(WriteFailureText(folder ? result.error : ENOENT), kErrorTitle,
                                  std::string(kConfirm), std::nullopt, [window](int) {
                                      if (auto* view = dynamic_cast<CView*>(window)) {
                                          view->Overlays().DismissBottomMessages();
                                      }
                                  });
    }
    return false;
}

bool CPlanSaving::SaveChanges(CViewPlenvo& plan) {
    return !plan.TakeChanges() || WriteVersion(plan);
}

void CPlanSaving::SaveBeforeReplacing(CViewElement& root) {
    if (CViewPlenvo* open = FindPlan(root)) {
        SaveChanges(*open);
    }
}

bool CPlanSaving::SaveBeforeClosing(CView& view) {
    CViewPlenvo* open = FindPlan(view);
    if (!open || SaveChanges(*open)) {
        return true;
    }
    return platform::MessageBox(view.GetHandle(), kDiscardQuestion, kErrorTitle,
                                platform::MB_YESNO | platform::MB_ICONSTOP) == platform::IDYES;
}

void CPlanSaving::LoadNewest(CViewPlenvo& plan) {
    const auto folder = CVersionFolder::Current();
    if (!folder) {
        return;
    }
    const auto version = folder->Newest(plan.GetRecord().id);
    if (!version) {
        return;
    }
    PlanRecord& record = plan.MutableRecord();
    record.grade = version->fields.value("grade", record.grade);
    record.subject = version->fields.value("subject", record.subject);
    record.lessiontitle = version->fields.value("lessiontitle", record.lessiontitle);
    for (const auto& cell : plan.CollectCells(IsEditableCell)) {
        const auto member = version->fields.find(cell->Name());
        if (member != version->fields.end()) {
            cell->SetValue(member->get<std::string>());
        }
    }
}

void CPlanSaving::SaveToService(CViewPlenvo& plan) {
    auto* view = dynamic_cast<CView*>(plan.GetRoot());
    IHostWindow* window = plan.GetHostWindow();
    if (!view || !window) {
        return;
    }
    const std::string planId = plan.GetRecord().id;
    // What is sent, kept to learn at the reply which cells changed meanwhile.
    std::vector<std::pair<std::weak_ptr<CGridCell>, std::string>> sent;
    SimpleCurl::Parameters pairs;
    for (const auto& cell : plan.CollectCells(IsEditableCell)) {
        std::string value = cell->GetValue();
        pairs.emplace_back(cell->Name(), value);
        sent.emplace_back(cell, std::move(value));
    }
    if (pairs.empty()) {
        return;
    }
    const auto folder = CVersionFolder::Current();
    const CVersionStamp stamp = folder ? folder->NextStamp(planId) : CVersionStamp::Now();
    const std::string url =
        CServiceEndpoints(view->Services().serviceBase).SavePlan(planId, stamp.a, stamp.b, stamp.c);
    window->ShowProgress();
    const std::weak_ptr<CViewElement> weak = plan.weak_from_this();
    auto request =
        std::make_shared<SimpleCurl::CSimpleCurlAsync>(__FILE__, __LINE__, view->Services().session);
    request->Post(url, pairs, true, [weak, sent = std::move(sent), folder, planId, stamp](
                                        SimpleCurl::response& reply) {
        auto self = std::dynamic_pointer_cast<CViewPlenvo>(weak.lock());
        IHostWindow* host = self ? self->GetHostWindow() : nullptr;
        if (!host) {
            return;
        }
        host->HideProgress();
        if (reply.result == 0 && reply.status == 200 && !IsJsonReply(reply)) {
            return;
        }
        const PlanSaveResult result = EvaluatePlanSaveReply(reply);
        host->ShowToast(result.message, kToastMs);
        if (!result.ok) {
            return;
        }
        // Text typed while the request was away is not on the service: it stays changed.
        for (const auto& [weakCell, value] : sent) {
            if (auto cell = weakCell.lock(); cell && cell->GetValue() == value) {
                cell->TakeChanged();
            }
        }
        // Older versions would bring older text back when the plan opens again.
        if (folder) {
            folder->RemoveOlderThan(planId, stamp);
        }
    });
}

void CPlanSaving::StartAutosave(CViewPlenvo& plan) {
    const std::weak_ptr<CViewElement> weak = plan.weak_from_this();
    auto autosave = std::make_shared<CAutosave>();
    SimpleCurl::RegisterThreadTimer(CAutosave::kCheckMs, [weak, autosave](platform::UINT_PTR id) {
        auto self = std::dynamic_pointer_cast<CViewPlenvo>(weak.lock());
        if (!self) {
            SimpleCurl::KillThreadTimer(id);
            return;
        }
        CheckAutosave(*self, *autosave);
    });
}

void CPlanSaving::CheckAutosave(CViewPlenvo& plan, CAutosave& autosave) {
    if (!HasChanges(plan)) {
        autosave.Settled();
        return;
    }
    const std::uint64_t now = plan.GetTickCount();
    autosave.Changed(now);
    if (autosave.Due(now)) {
        autosave.Settled();
        SaveChanges(plan);
    }
}

} // namespace Plenvo
