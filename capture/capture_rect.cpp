#include "capture/capture_rect.h"

#include <dwmapi.h>

#include <climits>

#include "framework/system_dlls.h"
#include "framework/unique_handles.h"

namespace tavelin {

namespace {

// dwmapi is no KnownDLL: imported, Windows would take it from the program's folder when the
// program starts. Looked up at the first use instead, from the system folder; where it cannot
// be had, the DWM counts as not answering.
HRESULT DwmWindowAttribute(HWND window, DWORD attribute, void* value, DWORD size) {
    using Fn = decltype(&::DwmGetWindowAttribute);
    static const Fn get = FindExport<Fn>(LoadSystemDll(L"dwmapi.dll"), "DwmGetWindowAttribute");
    return get ? get(window, attribute, value, size) : E_NOTIMPL;
}

bool Covers(const RECT& outer, const RECT& inner) {
    return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
           outer.bottom >= inner.bottom;
}

}  // namespace

bool IsCloaked(HWND window) {
    DWORD cloaked = 0;
    return SUCCEEDED(DwmWindowAttribute(window, DWMWA_CLOAKED, &cloaked, sizeof(cloaked))) &&
           cloaked != 0;
}

bool HasArea(const RECT& rect) {
    // In 64 bits: a width or height beyond what an int holds would wrap around.
    const long long width = static_cast<long long>(rect.right) - rect.left;
    const long long height = static_cast<long long>(rect.bottom) - rect.top;
    return width > 0 && height > 0 && width <= INT_MAX && height <= INT_MAX;
}

std::optional<RECT> VisibleWindowRect(HWND window) {
    if (!window) return std::nullopt;
    RECT rect{};
    if (SUCCEEDED(DwmWindowAttribute(window, DWMWA_EXTENDED_FRAME_BOUNDS, &rect, sizeof(rect))) &&
        HasArea(rect)) {
        return rect;
    }
    if (!::GetWindowRect(window, &rect)) return std::nullopt;
    return rect;
}

std::optional<RECT> CaptureRectForHotkey(int hotkeyId, ScreenArea area) {
    std::optional<RECT> rect;
    if (hotkeyId == kHotkeyActiveWindow) {
        // A window not on the screen can still be the foreground: a hidden one (Tavelin's own
        // main window after a dialog it owned closes), a minimised one (its rectangle lies at
        // -32000, -32000) or a cloaked one. Its rectangle would capture whatever lies there.
        HWND foreground = ::GetForegroundWindow();
        if (foreground && ::IsWindowVisible(foreground) && !::IsIconic(foreground) &&
            !IsCloaked(foreground)) {
            rect = VisibleWindowRect(foreground);
        }
        // Maximised, a window that draws its own frame (browsers, code editors) overhangs its
        // monitor's work area by a few pixels on each side, in the bounds the DWM reports
        // too: those strips belong to the monitor beside it or to none. The user sees the
        // work area; or the whole monitor, where the window covers it, taskbar and all (full
        // screen).
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        RECT seen{};
        if (rect && ::IsZoomed(foreground) &&
            ::GetMonitorInfoW(::MonitorFromWindow(foreground, MONITOR_DEFAULTTONEAREST), &monitor)) {
            const RECT& visible = Covers(*rect, monitor.rcMonitor) ? monitor.rcMonitor : monitor.rcWork;
            if (::IntersectRect(&seen, &*rect, &visible)) rect = seen;
        }
    } else if (hotkeyId == kHotkeyWholeScreen) {
        POINT pointer{};
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        if (area == ScreenArea::AllDisplays) {
            // Displays left of or above the primary one lie at negative coordinates.
            const int left = ::GetSystemMetrics(SM_XVIRTUALSCREEN), top = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
            rect = RECT{left, top, left + ::GetSystemMetrics(SM_CXVIRTUALSCREEN), top + ::GetSystemMetrics(SM_CYVIRTUALSCREEN)};
        } else if (area == ScreenArea::UnderPointer && ::GetCursorPos(&pointer) &&
                   ::GetMonitorInfoW(::MonitorFromPoint(pointer, MONITOR_DEFAULTTONEAREST), &monitor)) {
            rect = monitor.rcMonitor;
        } else {
            // The primary display, whose top-left corner is (0, 0).
            rect = RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
        }
    }
    if (rect && !HasArea(*rect)) rect.reset();
    return rect;
}

namespace {

struct OffScreenCut {
    HRGN unseen;
    POINT origin;
};

BOOL CALLBACK CutOutDisplay(HMONITOR, HDC, RECT* shown, LPARAM parameter) {
    const auto* cut = reinterpret_cast<const OffScreenCut*>(parameter);
    const unique_hrgn display(::CreateRectRgn(shown->left - cut->origin.x, shown->top - cut->origin.y,
                                              shown->right - cut->origin.x, shown->bottom - cut->origin.y));
    if (display) ::CombineRgn(cut->unseen, cut->unseen, display.get(), RGN_DIFF);
    return TRUE;
}

}  // namespace

void BlackenOffScreenParts(HDC memory, const RECT& rect) {
    const unique_hrgn unseen(::CreateRectRgn(0, 0, rect.right - rect.left, rect.bottom - rect.top));
    if (!unseen) return;
    OffScreenCut cut{unseen.get(), {rect.left, rect.top}};
    ::EnumDisplayMonitors(nullptr, &rect, &CutOutDisplay, reinterpret_cast<LPARAM>(&cut));
    ::FillRgn(memory, unseen.get(), static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
}

}  // namespace tavelin
