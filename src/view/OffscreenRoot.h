#pragma once
// The root of an element tree that lives outside a window, at the resolution of whatever it is
// rendered on: for rendering trees off screen (a print job at the printer's resolution), for
// tools, and for tests and benchmarks that drive a tree without a display.
#include "view/ViewRoot.h"

namespace Plenvo {

class COffscreenRoot : public CViewRoot {
public:
    // Builds the tree of the description; the result is always a root, even for bad input.
    static std::shared_ptr<COffscreenRoot> Create(Json description);
    static std::shared_ptr<COffscreenRoot> Create(Json description, double dpi);
    // Without a resolution: the desktop's.
    explicit COffscreenRoot(Json description);
    COffscreenRoot(Json description, double dpi);
};

} // namespace Plenvo
