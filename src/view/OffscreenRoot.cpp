#include "view/OffscreenRoot.h"

#include "gfx/Units.h"

namespace Plenvo {

std::shared_ptr<COffscreenRoot> COffscreenRoot::Create(Json description) {
    return Create(std::move(description), gfx::ScreenDpi());
}

std::shared_ptr<COffscreenRoot> COffscreenRoot::Create(Json description, double dpi) {
    auto root = std::make_shared<COffscreenRoot>(std::move(description), dpi);
    root->ReadProperties();
    return root;
}

COffscreenRoot::COffscreenRoot(Json description)
    : COffscreenRoot(std::move(description), gfx::ScreenDpi()) {}

COffscreenRoot::COffscreenRoot(Json description, double dpi)
    : CViewRoot(std::move(description), dpi) {}

} // namespace Plenvo
