#pragma once
// Orders painting and input by layers. Elements register under their layer each time they are
// laid out; painting goes from the lowest layer up and, within a layer, in registration order,
// while input goes from the highest layer down and, within a layer, from the latest registration
// back. The table holds no ownership: entries of released elements are dropped as they are met.
#include "gfx/Geometry.h"
#include "platform/Types.h"

#include <cstdint>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

namespace gfx {
class Graphics;
}

namespace Plenvo {

class CViewElement;

class CLayeredRenderer {
public:
    virtual ~CLayeredRenderer() = default;

    void RegisterInLayer(std::int32_t layer, const std::shared_ptr<CViewElement>& element);
    void Unregister(std::int32_t layer, const CViewElement* element);

    // Offers the message to the capture element first (mouse messages), then to every live
    // registered element, top layer first, until one handles it.
    bool RouteMessage(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam,
                      platform::LRESULT& result);
    // Paints every registered element in layer order; translucent ones through a group.
    void Render(gfx::Graphics& graphics, const gfx::RectF& clip);

    // The first element, top layer first and in registration order within a layer, whose
    // rectangle contains the point (millimetres).
    std::shared_ptr<CViewElement> HitTestLayers(gfx::PointF pointMm);

    void SetCaptureElement(const std::shared_ptr<CViewElement>& element) { capture_ = element; }
    void ClearCaptureElement() { capture_.reset(); }
    std::shared_ptr<CViewElement> GetCaptureElement() const { return capture_.lock(); }

    using LayerTable = std::map<std::int32_t, std::vector<std::weak_ptr<CViewElement>>>;
    const LayerTable& GetLayers() const { return layers_; }

private:
    // Drops entries of released elements from one layer's list and index.
    void Purge(std::int32_t layer);

    LayerTable layers_;
    // Which elements each layer lists, so that registering (once per element per layout) does not
    // walk the whole list. Keys are addresses; the weak reference tells a live entry from a
    // released element whose address was reused.
    std::map<std::int32_t, std::unordered_map<const CViewElement*, std::weak_ptr<CViewElement>>>
        members_;
    std::weak_ptr<CViewElement> capture_;
};

bool IsMouseMessage(platform::UINT message);
bool IsKeyboardMessage(platform::UINT message);

} // namespace Plenvo
