#include "view/ViewFactory.h"

#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace Plenvo {

namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::string, ElementCreator, std::less<>> creators;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

// Descriptions nest by recursion (each element builds its children while reading itself); a
// hostile description must not be able to exhaust the stack. Real screens nest a few dozen deep.
constexpr int kMaxNesting = 100;
thread_local int t_nesting = 0;

struct NestingGuard {
    NestingGuard() { ++t_nesting; }
    ~NestingGuard() { --t_nesting; }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;
};

// Each element level is an object and its "elements" array, plus room for members' own values.
constexpr int kMaxJsonDepth = 2 * kMaxNesting + 16;

} // namespace

void LimitDescriptionDepth(Json& description) {
    std::vector<std::pair<Json*, int>> pending{{&description, 0}};
    while (!pending.empty()) {
        const auto [value, depth] = pending.back();
        pending.pop_back();
        if (!value->is_structured()) {
            continue;
        }
        if (depth >= kMaxJsonDepth) {
            *value = nullptr;
            continue;
        }
        for (Json& child : *value) {
            pending.emplace_back(&child, depth + 1);
        }
    }
}

std::shared_ptr<CViewElement> CreateViewElement(Json description) {
    if (t_nesting >= kMaxNesting) {
        return nullptr;
    }
    if (t_nesting == 0) {
        LimitDescriptionDepth(description);
    }
    const NestingGuard guard;
    ElementCreator creator;
    if (description.is_object()) {
        const auto type = description.find("type");
        if (type != description.end() && type->is_string()) {
            Registry& registry = TheRegistry();
            std::lock_guard lock(registry.mutex);
            const auto it = registry.creators.find(type->get_ref<const std::string&>());
            if (it != registry.creators.end()) {
                creator = it->second;
            }
        }
    }
    std::shared_ptr<CViewElement> element =
        creator ? creator(std::move(description))
                : std::make_shared<CViewElement>(std::move(description));
    if (!element || !element->ReadProperties()) {
        return nullptr;
    }
    return element;
}

void RegisterElementType(const std::string& type, ElementCreator creator) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    registry.creators[type] = std::move(creator);
}

void UnregisterElementType(const std::string& type) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    registry.creators.erase(type);
}

} // namespace Plenvo
