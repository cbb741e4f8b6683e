#include "pages/PageSupport.h"

#include "net/ServiceTexts.h"
#include "pages/IApplication.h"
#include "view/View.h"
#include "view/ViewFactory.h"
#include "view/ViewHooks.h"
#include "view/controls/ViewList.h"

#include <cstdlib>
#include <limits>

namespace Plenvo {

std::shared_ptr<CView> LockView(const std::weak_ptr<CViewElement>& weak) {
    return std::static_pointer_cast<CView>(weak.lock());
}

void ShowError(CView& view, const std::string& text) {
    std::weak_ptr<CViewElement> weak = view.weak_from_this();
    view.ShowBottomMessage(text, std::string(ServiceTexts::kErrorTitle),
                           std::string(ServiceTexts::kOkButton), std::nullopt, [weak](int) {
                               if (auto alive = LockView(weak)) {
                                   alive->DismissBottomMessages();
                               }
                           });
}

CServiceEndpoints Endpoints() {
    IApplication* app = IApplication::Current();
    return CServiceEndpoints(app ? app->GetServiceBase() : std::string());
}

std::shared_ptr<SimpleCurl::CSimpleCurlAsync> NewRequest(const char* source, int line) {
    IApplication* app = IApplication::Current();
    return std::make_shared<SimpleCurl::CSimpleCurlAsync>(source, line,
                                                          app ? app->GetSession() : nullptr);
}

void ClearContainer(CView& view, CViewElement& container) {
    // Whatever leaves the container takes its unsaved edits with it: the open plan writes them
    // first, at the moment it is really replaced (keys typed while a reply was on its way count).
    if (GetViewHooks().replacingPlan) {
        GetViewHooks().replacingPlan(view);
    }
    container.ClearChildren();
}

std::shared_ptr<CViewElement> ShowInContainer(CView& view, const std::string& member,
                                              bool clearFirst) {
    const Json& description = view.GetDescription();
    if (!description.is_object()) {
        return nullptr;
    }
    const auto it = description.find(member);
    if (it == description.end() || it->is_null() || (it->is_object() && it->empty()) ||
        (it->is_array() && it->empty())) {
        return nullptr;
    }
    const auto container = view.FindByName(kContainerName);
    if (!container) {
        return nullptr;
    }
    if (clearFirst) {
        ClearContainer(view, *container);
    }
    Json copy = *it;
    if (copy.is_object() && (!copy.contains("layer") || !copy["layer"].is_number() ||
                             copy["layer"].get<double>() == 0)) {
        const std::int32_t layer = container->GetLayer();
        copy["layer"] = layer == std::numeric_limits<std::int32_t>::max() ? layer : layer + 1;
    }
    auto subtree = CreateViewElement(std::move(copy));
    if (subtree) {
        container->AddChild(subtree);
    }
    return subtree;
}

CViewList* HistoryList(CView& view) {
    return dynamic_cast<CViewList*>(view.FindByName(kHistoryListName).get());
}

int OpenPlanId(CView& view) {
    const auto plan = view.FindByName(kPlanElementName);
    return plan ? IntegerMember(plan->GetDescription(), "id", -1) : -1;
}

ReplyHandlers PlanReplyHandlers(CView& view, std::function<void(CView&, Json&)> success) {
    std::weak_ptr<CViewElement> weak = view.weak_from_this();
    const auto lock = [weak] { return LockView(weak); };
    ReplyHandlers handlers;
    handlers.settle = [lock] {
        if (const auto alive = lock()) {
            alive->DismissBottomMessages();
            alive->HideProgress();
        }
    };
    handlers.fail = [lock](const ReplyCheck& check) {
        if (const auto alive = lock()) {
            ShowError(*alive, check.message);
        }
    };
    handlers.handle = [lock, success = std::move(success)](Json& reply) {
        const auto alive = lock();
        if (!alive) {
            return;
        }
        if (!ReplyOk(reply)) {
            ShowError(*alive, ReplyError(reply));
            return;
        }
        alive->DismissBottomMessages();
        success(*alive, reply);
    };
    return handlers;
}

bool ReplyOk(const Json& body) {
    const auto ok = body.find("ok");
    return ok != body.end() && ok->is_boolean() && ok->get<bool>();
}

std::string ReplyError(const Json& body) {
    const auto error = body.find("error");
    return error != body.end() && error->is_string() ? error->get<std::string>() : std::string();
}

int IntegerMember(const Json& object, const char* key, int fallback) {
    if (!object.is_object()) {
        return fallback;
    }
    const auto it = object.find(key);
    if (it == object.end()) {
        return fallback;
    }
    if (it->is_number_integer()) {
        const auto v = it->get<std::int64_t>();
        return v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()
                   ? fallback
                   : static_cast<int>(v);
    }
    if (it->is_number_float()) {
        const double v = it->get<double>();
        return v == v && v > std::numeric_limits<int>::min() && v < std::numeric_limits<int>::max()
                   ? static_cast<int>(v)
                   : fallback;
    }
    if (it->is_string()) {
        const std::string& text = it->get_ref<const std::string&>();
        char* end = nullptr;
        const long v = std::strtol(text.c_str(), &end, 10);
        return end != text.c_str() && v >= std::numeric_limits<int>::min() &&
                       v <= std::numeric_limits<int>::max()
                   ? static_cast<int>(v)
                   : fallback;
    }
    return fallback;
}

std::string TrimSpace(const std::string& text) {
    static constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";
    std::string_view v = text;
    for (bool trimmed = true; trimmed;) {
        trimmed = false;
        while (!v.empty() && (v.front() == ' ' || (v.front() >= '\t' && v.front() <= '\r'))) {
            v.remove_prefix(1);
            trimmed = true;
        }
        while (!v.empty() && (v.back() == ' ' || (v.back() >= '\t' && v.back() <= '\r'))) {
            v.remove_suffix(1);
            trimmed = true;
        }
        if (v.starts_with(kIdeographicSpace)) {
            v.remove_prefix(kIdeographicSpace.size());
            trimmed = true;
        }
        if (v.ends_with(kIdeographicSpace)) {
            v.remove_suffix(kIdeographicSpace.size());
            trimmed = true;
        }
    }
    return std::string(v);
}

} // namespace Plenvo
