// links: plenvo_view
// An element description from the input is built by the factory, laid out in a window-sized space,
// painted into a small surface and fed a few mouse messages: descriptions come from the service,
// so nothing in them may crash the client.
#include "gfx/Font.h"
#include "gfx/OffscreenSurface.h"
#include "platform/Messages.h"
#include "view/OffscreenRoot.h"
#include "view/StyleValues.h"

#include <cstddef>
#include <cstdint>

using namespace Plenvo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Json description = Json::parse(data, data + size, nullptr, false);
    if (description.is_discarded()) {
        return 0;
    }
    auto root = COffscreenRoot::Create(std::move(description));
    root->LayoutAll({270, 200});
    // A second pass exercises moves and the remembered sizes.
    root->LayoutAll({120, 90});

    gfx::OffscreenSurface surface(160, 120, 96);
    root->Render(surface.GetGraphics(), {0, 0, 60, 45});
    // Font specs and texts reach the text layer through the controls; drive it the same way.
    const Json& d = root->GetDescription();
    if (d.is_object() && d.contains("font") && d["font"].is_string()) {
        const FontSet set = ParseFont(d["font"].get<std::string>());
        surface.GetGraphics().DrawString(root->GetTooltip(), *set.font, root->GetContentRect(),
                                         *set.format, *set.brush);
    }

    platform::LRESULT result = 0;
    const int x = size > 0 ? data[0] : 10;
    const int y = size > 1 ? data[size - 1] : 10;
    for (const platform::UINT message :
         {platform::WM_MOUSEMOVE, platform::WM_LBUTTONDOWN, platform::WM_LBUTTONUP,
          platform::WM_RBUTTONDOWN, platform::WM_MOUSEWHEEL, platform::WM_KEYDOWN}) {
        root->RouteMessage(message, 0, platform::MakeLParam(x, y), result);
    }
    root->LeaveHover();
    root->FindByName("a");
    root->ClearChildren();
    return 0;
}
