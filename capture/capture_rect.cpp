#include "capture/capture_rect.h"

#include <dwmapi.h>

#include <climits>

namespace tavelin {

bool HasArea(const RECT& rect) {
    // In 64 bits: a width or height beyond what an int holds would wrap around.
    const long long width = static_cast<long long>(rect.right) - rect.left;
    const long long height = static_cast<long long>(rect.bottom) - rect.top;
    return width > 0 && height > 0 && width <= INT_MAX && height <= INT_MAX;
}

std::optional<RECT> VisibleWindowRect(HWND window) {
    if (!window) return std::nullopt;
    RECT rect{};
    if (SUCCEEDED(::DwmGetWindowAttribute(window, DWMWA_EXTENDED_FRAME_BOUNDS, &rect,
                                          sizeof(rect))) &&
        HasArea(rect)) {
        return rect;
    }
    if (!::GetWindowRect(window, &rect)) return std::nullopt;
    return rect;
}

std::optional<RECT> CaptureRectForHotkey(int hotkeyId) {
    std::optional<RECT> rect;
    if (hotkeyId == kHotkeyActiveWindow) {
        // A hidden window can still be the foreground (Tavelin's own main window after a
        // dialog it owned closes); its rectangle would capture whatever lies there instead.
        HWND foreground = ::GetForegroundWindow();
        if (foreground && ::IsWindowVisible(foreground)) rect = VisibleWindowRect(foreground);
    } else if (hotkeyId == kHotkeyWholeScreen) {
        // The primary monitor only, from its top-left corner at (0, 0).
        rect = RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    }
    if (rect && !HasArea(*rect)) rect.reset();
    return rect;
}

}  // namespace tavelin
