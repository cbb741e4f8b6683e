#pragma once
// The state of the modifier keys as of the last input event, for code that asks "is Control
// down" the way GetKeyState does.
#include "platform/Types.h"

namespace platform {

// VK_SHIFT, VK_CONTROL and VK_MENU are tracked; other keys report up.
bool IsKeyDown(WPARAM virtualKey);
void SetModifierState(bool shift, bool control, bool alt);

} // namespace platform
