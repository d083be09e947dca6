#include "app/foreground_return.h"

#include <cwchar>

#include "capture/capture_rect.h"

namespace tavelin {

namespace {

// The event hook's procedure has no argument for its object; one watch is all there is.
UserWindowWatch* g_watch = nullptr;

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

void CALLBACK UserWindowWatch::OnEvent(HWINEVENTHOOK, DWORD, HWND window, LONG, LONG, DWORD, DWORD) {
    // The focus may be in a control: its top-level window is what takes the foreground back.
    const HWND topLevel = window ? ::GetAncestor(window, GA_ROOT) : nullptr;
    if (g_watch && IsUsersWindow(topLevel)) g_watch->m_last = topLevel;
}

ForegroundReturn::ForegroundReturn(const UserWindowWatch& users, Taker taker)
    : m_taker(taker), m_back(users.Last()) {
    if (!m_back && IsUsersWindow(::GetForegroundWindow())) m_back = ::GetForegroundWindow();
}

ForegroundReturn::~ForegroundReturn() {
    const HWND now = ::GetForegroundWindow();
    // A click outside closes the menu while its button is still down, and goes on to the
    // window the user clicked (the taskbar, Start, another icon), which takes the foreground
    // after the menu has gone: that is where the user wants to be.
    const auto down = [](int button) { return (::GetAsyncKeyState(button) & 0x8000) != 0; };
    if (m_cancelled || (m_taker == Taker::Menu && (IsUsersWindow(now) || down(VK_LBUTTON) ||
                                                    down(VK_RBUTTON) || down(VK_MBUTTON)))) {
        return;
    }
    const HWND back = IsUsersWindow(m_back) ? m_back : TopUsersWindow();
    if (back && back != now) ::SetForegroundWindow(back);
}

}  // namespace tavelin
