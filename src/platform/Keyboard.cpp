#include "platform/Keyboard.h"

#include "platform/Messages.h"

#include <atomic>

namespace platform {

namespace {

std::atomic<unsigned> modifiers{0};
constexpr unsigned kShift = 1, kControl = 2, kAlt = 4;

} // namespace

bool IsKeyDown(WPARAM vk) {
    const unsigned state = modifiers.load();
    switch (vk) {
    case VK_SHIFT:
        return state & kShift;
    case VK_CONTROL:
        return state & kControl;
    case VK_MENU:
        return state & kAlt;
    default:
        return false;
    }
}

void SetModifierState(bool shift, bool control, bool alt) {
    modifiers.store((shift ? kShift : 0) | (control ? kControl : 0) | (alt ? kAlt : 0));
}

} // namespace platform
