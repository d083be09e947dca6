#include "app/foreground_return.h"

#include <cwchar>

namespace tavelin {

namespace {

bool IsTaskbar(HWND window) {
    wchar_t className[32] = {};
    ::GetClassNameW(window, className, 32);
    return std::wcscmp(className, L"Shell_TrayWnd") == 0;
}

// A click on the tray icon makes the taskbar the foreground, and the user's window is the
// one Windows itself would activate next: the first visible, ordinary top-level window below
// it, in z-order, that is not ours.
HWND UserWindowBelowTaskbar(HWND taskbar, DWORD ownProcess) {
    for (HWND window = ::GetWindow(taskbar, GW_HWNDFIRST); window;
         window = ::GetWindow(window, GW_HWNDNEXT)) {
        DWORD process = 0;
        ::GetWindowThreadProcessId(window, &process);
        const LONG_PTR exStyle = ::GetWindowLongPtrW(window, GWL_EXSTYLE);
        if (window != taskbar && process != ownProcess && ::IsWindowVisible(window) &&
            !::IsIconic(window) && !(exStyle & WS_EX_TOOLWINDOW) && !IsTaskbar(window)) {
            return window;
        }
    }
    return nullptr;
}

}  // namespace

ForegroundReturn::ForegroundReturn(HWND mainWindow, HWND handedOver)
    : m_previous(handedOver ? handedOver : ::GetForegroundWindow()) {
    if (m_previous == mainWindow) m_previous = nullptr;
    if (m_previous && IsTaskbar(m_previous)) {
        m_previous = UserWindowBelowTaskbar(m_previous, ::GetCurrentProcessId());
    }
}

HWND ForegroundReturn::HandOver() { return std::exchange(m_previous, nullptr); }

ForegroundReturn::~ForegroundReturn() {
    if (m_previous && ::IsWindow(m_previous) && ::IsWindowVisible(m_previous)) {
        ::SetForegroundWindow(m_previous);
    }
}

}  // namespace tavelin
