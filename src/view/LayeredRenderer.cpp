#include "view/LayeredRenderer.h"

#include "gfx/Graphics.h"
#include "platform/Messages.h"
#include "view/ViewElement.h"

#include <algorithm>

namespace Plenvo {

bool IsMouseMessage(platform::UINT message) {
    return message >= platform::WM_MOUSEMOVE && message <= platform::WM_MOUSEHWHEEL;
}

bool IsKeyboardMessage(platform::UINT message) {
    return message >= platform::WM_KEYDOWN && message <= platform::WM_UNICHAR;
}

void CLayeredRenderer::RegisterInLayer(std::int32_t layer,
                                       const std::shared_ptr<CViewElement>& element) {
    if (!element) {
        return;
    }
    auto& members = members_[layer];
    const auto it = members.find(element.get());
    if (it != members.end()) {
        if (it->second.lock() == element) {
            return;
        }
        // A released element's address, now used by another: its entry is stale.
        members.erase(it);
    }
    layers_[layer].push_back(element);
    members.emplace(element.get(), element);
}

void CLayeredRenderer::Unregister(std::int32_t layer, const CViewElement* element) {
    const auto it = layers_.find(layer);
    if (it == layers_.end()) {
        return;
    }
    std::erase_if(it->second, [&](const std::weak_ptr<CViewElement>& entry) {
        const auto e = entry.lock();
        return !e || e.get() == element;
    });
    auto& members = members_[layer];
    members.erase(element);
    std::erase_if(members, [](const auto& entry) { return entry.second.expired(); });
}

void CLayeredRenderer::Purge(std::int32_t layer) {
    auto& list = layers_[layer];
    const std::size_t before = list.size();
    std::erase_if(list, [](const std::weak_ptr<CViewElement>& e) { return e.expired(); });
    if (list.size() != before) {
        std::erase_if(members_[layer], [](const auto& entry) { return entry.second.expired(); });
    }
}

bool CLayeredRenderer::RouteMessage(platform::UINT message, platform::WPARAM wParam,
                                    platform::LPARAM lParam, platform::LRESULT& result) {
    if (IsMouseMessage(message)) {
        if (const auto capture = capture_.lock()) {
            if (capture->HandleMessage(message, wParam, lParam, result)) {
                return true;
            }
        }
    }
    // Handlers may register, unregister or release elements while the message travels; walk a
    // snapshot and hold each element while it handles the message.
    std::vector<std::weak_ptr<CViewElement>> order;
    for (auto layer = layers_.rbegin(); layer != layers_.rend(); ++layer) {
        order.insert(order.end(), layer->second.rbegin(), layer->second.rend());
    }
    for (const auto& entry : order) {
        if (const auto element = entry.lock()) {
            if (element->HandleMessage(message, wParam, lParam, result)) {
                return true;
            }
        }
    }
    return false;
}

void CLayeredRenderer::Render(gfx::Graphics& graphics, const gfx::RectF& clip) {
    for (auto& [layer, list] : layers_) {
        Purge(layer);
        const auto snapshot = list;
        for (const auto& entry : snapshot) {
            const auto element = entry.lock();
            if (!element) {
                continue;
            }
            if (element->GetOpacity() >= 1.0f) {
                element->Paint(graphics, clip, layer);
                continue;
            }
            // Translucent: paint into a group limited to the element and compose it at the
            // element's opacity.
            const int state = graphics.Save();
            graphics.SetClip(element->GetRect(), gfx::CombineMode::Intersect);
            graphics.BeginTranslucent();
            element->Paint(graphics, clip, layer);
            graphics.EndTranslucent(std::max(0.0f, element->GetOpacity()));
            graphics.Restore(state);
        }
    }
}

std::shared_ptr<CViewElement> CLayeredRenderer::HitTestLayers(gfx::PointF pointMm) {
    for (auto layer = layers_.rbegin(); layer != layers_.rend(); ++layer) {
        for (const auto& entry : layer->second) {
            const auto element = entry.lock();
            if (element && element->GetRect().Contains(pointMm)) {
                return element;
            }
        }
    }
    return nullptr;
}

} // namespace Plenvo
