#include "app/foreground_return.h"

#include <cwchar>

#include "capture/capture_rect.h"

namespace tavelin {

namespace {

// The hooks' procedures have no argument for their object; one of each is all there is.
UserWindowWatch* g_watch = nullptr;
MenuClickWatch* g_menuClicks = nullptr;

bool IsButtonDown(UINT message) {
    switch (message) {
        case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN: case WM_XBUTTONDOWN:
        case WM_LBUTTONDBLCLK: case WM_RBUTTONDBLCLK: case WM_MBUTTONDBLCLK: case WM_XBUTTONDBLCLK:
        case WM_NCLBUTTONDOWN: case WM_NCRBUTTONDOWN: case WM_NCMBUTTONDOWN: case WM_NCXBUTTONDOWN:
        case WM_NCLBUTTONDBLCLK: case WM_NCRBUTTONDBLCLK: case WM_NCMBUTTONDBLCLK: case WM_NCXBUTTONDBLCLK:
            return true;
        default:
            return false;
    }
}

// The taskbars of the first and of other monitors, and the notification area's overflow
// flyout of Windows 10 and of Windows 11.
bool IsTaskbarOrFlyout(HWND window) {
    static constexpr const wchar_t* kClasses[] = {L"Shell_TrayWnd", L"Shell_SecondaryTrayWnd",
                                                  L"NotifyIconOverflowWindow",
                                                  L"TopLevelWindowForOverflowXamlIsland"};
    wchar_t className[64] = {};
    ::GetClassNameW(window, className, 64);
    for (const wchar_t* shellClass : kClasses)
        if (std::wcscmp(className, shellClass) == 0) return true;
    return false;
}

// The window Windows itself would activate next: the first user's window in z-order.
HWND TopUsersWindow() {
    for (HWND window = ::GetTopWindow(nullptr); window; window = ::GetWindow(window, GW_HWNDNEXT))
        if (IsUsersWindow(window)) return window;
    return nullptr;
}

}  // namespace

bool IsUsersWindow(HWND window) {
    if (!window || window == ::GetDesktopWindow() || !::IsWindowVisible(window) || ::IsIconic(window)) {
        return false;
    }
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    return process != ::GetCurrentProcessId() &&
           !(::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) &&
           !IsTaskbarOrFlyout(window) && !IsCloaked(window);
}

void UserWindowWatch::Start() {
    Stop();
    g_watch = this;
    const auto hook = [](DWORD event) {
        return ::SetWinEventHook(event, event, nullptr, &UserWindowWatch::OnEvent, 0, 0,
                                 WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    };
    m_foreground.reset(hook(EVENT_SYSTEM_FOREGROUND));
    m_focus.reset(hook(EVENT_OBJECT_FOCUS));
    const HWND foreground = ::GetForegroundWindow();
    if (IsUsersWindow(foreground)) m_last = foreground;
}

void UserWindowWatch::Stop() {
    m_foreground.reset();
    m_focus.reset();
    if (g_watch == this) g_watch = nullptr;
}

void CALLBACK UserWindowWatch::OnEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG, LONG, DWORD, DWORD) {
    if (!g_watch) return;
    if (event == EVENT_SYSTEM_FOREGROUND) g_watch->m_focus.reset();
    // The focus may be in a control: its top-level window is what takes the foreground back.
    const HWND topLevel = window ? ::GetAncestor(window, GA_ROOT) : nullptr;
    if (IsUsersWindow(topLevel)) g_watch->m_last = topLevel;
}

MenuClickWatch::MenuClickWatch(const RECT& spared) : m_spared(spared) {
    g_menuClicks = this;
    m_hook.reset(::SetWindowsHookExW(WH_MSGFILTER, &MenuClickWatch::OnMenuMessage, nullptr, ::GetCurrentThreadId()));
}

MenuClickWatch::~MenuClickWatch() {
    m_hook.reset();
    if (g_menuClicks == this) g_menuClicks = nullptr;
}

LRESULT CALLBACK MenuClickWatch::OnMenuMessage(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const MSG*>(lParam);
    // The menu has the mouse captured: every click comes to it, inside the menu or not.
    if (code == MSGF_MENU && g_menuClicks && IsButtonDown(message->message)) {
        const HWND under = ::WindowFromPoint(message->pt);
        wchar_t className[16] = {};
        ::GetClassNameW(under, className, 16);
        if (under && std::wcscmp(className, L"#32768") != 0 && !::PtInRect(&g_menuClicks->m_spared, message->pt)) {
            g_menuClicks->m_clicked = ::GetAncestor(under, GA_ROOT);
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

void UserWindowWatch::Saw(HWND window) {
    if (IsUsersWindow(window)) m_last = window;
}

ForegroundReturn::ForegroundReturn(UserWindowWatch& users, Taker taker)
    : m_users(users), m_taker(taker), m_atStart(users.Last()) {
    if (!m_atStart && IsUsersWindow(::GetForegroundWindow())) m_atStart = ::GetForegroundWindow();
}

ForegroundReturn::~ForegroundReturn() {
    if (m_cancelled) return;
    HWND back = m_taker == Taker::Dialog ? m_users.Last() : nullptr;
    if (!back) back = IsUsersWindow(m_atStart) ? m_atStart : TopUsersWindow();
    if (back && back != ::GetForegroundWindow()) ::SetForegroundWindow(back);
    if (back) m_users.Saw(back);
}

}  // namespace tavelin
