#pragma once
// Pixel-world values exchanged between elements and their window, and the callables elements
// hand to the root services.
#include "platform/PixelGeometry.h"

#include <functional>
#include <memory>
#include <string>

namespace Plenvo {

class CViewElement;

// Client or screen pixels, as the platform's windows speak them.
using Point = platform::PointI;

// The identity of an element (or of an item an element manages) in the window-wide hover,
// focus and active slots: the address of the object itself.
using ElementId = const void*;

// Called with the element the handler is registered on and the dotted parameter; non-zero means
// handled.
using EventHandler =
    std::function<int(const std::shared_ptr<CViewElement>& element, const std::string& parameter)>;
using LeaveCallback = std::function<void()>;
using KillFocusCallback = std::function<void()>;

} // namespace Plenvo
