#pragma once
// Modal message boxes and popup menus. Both run on the user-interface thread and return the
// answer synchronously, as the Win32 calls do; the message loop keeps serving timers and
// completions meanwhile. Tests replace the GTK dialogs with scripted answers.
#include "platform/Types.h"

#include <functional>
#include <string>
#include <vector>

namespace platform {

inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_YESNO = 0x4;
inline constexpr UINT MB_ICONSTOP = 0x10;
inline constexpr UINT MB_ICONINFORMATION = 0x40;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

struct MessageBoxRequest {
    HWND owner = 0;
    std::string text;
    std::string caption;
    UINT flags = 0;
};

struct MenuItem {
    UINT command = 0;
    std::string text; // empty for a separator
    bool enabled = true;
};

struct PopupMenuRequest {
    HWND owner = 0;
    std::vector<MenuItem> items;
    // Where the menu opens, in screen pixels.
    int x = 0;
    int y = 0;
};

// Returns IDOK, IDYES, IDNO or IDCANCEL (a box closed without an answer).
int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags);
// Returns the chosen command, 0 when the menu was dismissed.
UINT TrackPopupMenu(const PopupMenuRequest& request);

// Replaces the dialogs (tests); an empty function restores the GTK ones.
void SetMessageBoxHandler(std::function<int(const MessageBoxRequest&)> handler);
void SetPopupMenuHandler(std::function<UINT(const PopupMenuRequest&)> handler);

} // namespace platform
