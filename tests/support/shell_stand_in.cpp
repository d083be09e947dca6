#include "tests/support/shell_stand_in.h"

#include <cstdio>
#include <utility>

namespace tavelin::test {

namespace {
ShellStandIn* g_standIn = nullptr;
constexpr int kIdA = 1;
constexpr int kIdS = 2;
}  // namespace

std::string Describe(const std::vector<SeenKey>& keys) {
    std::string text;
    char one[16];
    for (const SeenKey& key : keys) {
        snprintf(one, sizeof(one), "%02lX%s ", key.virtualKey, key.up ? "^" : "v");
        text += one;
    }
    return text;
}

ShellStandIn::ShellStandIn(bool holdA, bool holdS) : m_holdA(holdA), m_holdS(holdS) {
    g_standIn = this;
    m_started = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_thread = ::CreateThread(nullptr, 0, &ShellStandIn::Run, this, 0, &m_threadId);
    ::WaitForSingleObject(m_started, 10000);
}

ShellStandIn::~ShellStandIn() {
    ::PostThreadMessageW(m_threadId, WM_QUIT, 0, 0);
    ::WaitForSingleObject(m_thread, 10000);
    ::CloseHandle(m_thread);
    ::CloseHandle(m_started);
    g_standIn = nullptr;
}

// The hotkeys belong to this thread and its hook is called on it, so it runs a loop of its
// own, apart from the test's thread that sends the keys.
DWORD WINAPI ShellStandIn::Run(void* parameter) {
    auto* self = static_cast<ShellStandIn*>(parameter);
    MSG message;
    ::PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    const bool heldA = !self->m_holdA || ::RegisterHotKey(nullptr, kIdA, MOD_WIN, 'A');
    const bool heldS = !self->m_holdS || ::RegisterHotKey(nullptr, kIdS, MOD_WIN, 'S');
    HHOOK hook = ::SetWindowsHookExW(WH_KEYBOARD_LL, &ShellStandIn::Observe, ::GetModuleHandleW(nullptr), 0);
    self->m_ready = heldA && heldS && hook;
    ::SetEvent(self->m_started);
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_HOTKEY) {
            std::lock_guard<std::mutex> lock(self->m_lock);
            (message.wParam == kIdA ? self->m_hotkeysA : self->m_hotkeysS) += 1;
        }
        ::DispatchMessageW(&message);
    }
    if (hook) ::UnhookWindowsHookEx(hook);
    ::UnregisterHotKey(nullptr, kIdA);
    ::UnregisterHotKey(nullptr, kIdS);
    return 0;
}

LRESULT CALLBACK ShellStandIn::Observe(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && g_standIn) {
        const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        std::lock_guard<std::mutex> lock(g_standIn->m_lock);
        g_standIn->m_keys.push_back({key->vkCode, (key->flags & LLKHF_UP) != 0});
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

std::vector<SeenKey> ShellStandIn::TakeKeys() {
    std::lock_guard<std::mutex> lock(m_lock);
    return std::exchange(m_keys, {});
}

int ShellStandIn::HotkeysA() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_hotkeysA;
}

int ShellStandIn::HotkeysS() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_hotkeysS;
}

namespace {
TrayStandIn* g_trayStandIn = nullptr;
}  // namespace

TrayStandIn::TrayStandIn() {
    g_trayStandIn = this;
    m_started = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_thread = ::CreateThread(nullptr, 0, &TrayStandIn::Run, this, 0, nullptr);
    ::WaitForSingleObject(m_started, 10000);
}

TrayStandIn::~TrayStandIn() {
    ::PostMessageW(m_window, WM_CLOSE, 0, 0);
    ::WaitForSingleObject(m_thread, 10000);
    ::CloseHandle(m_thread);
    ::CloseHandle(m_started);
    g_trayStandIn = nullptr;
}

// Its own thread answers the requests, which come by SendMessage: a program that adds or
// deletes its icon waits for the answer whatever the test's thread is doing.
DWORD WINAPI TrayStandIn::Run(void* parameter) {
    auto* self = static_cast<TrayStandIn*>(parameter);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &TrayStandIn::WindowProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"Shell_TrayWnd";
    ::RegisterClassW(&windowClass);
    // Shell_NotifyIcon asks for the first window of the class in z-order: a new topmost one.
    self->m_window = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, windowClass.lpszClassName, L"",
                                       WS_POPUP | WS_VISIBLE, -10, -10, 1, 1, nullptr, nullptr,
                                       windowClass.hInstance, nullptr);
    self->m_ready = self->m_window && ::FindWindowExW(nullptr, nullptr, L"Shell_TrayWnd", nullptr) == self->m_window;
    ::SetEvent(self->m_started);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
    ::UnregisterClassW(windowClass.lpszClassName, windowClass.hInstance);
    return 0;
}

LRESULT CALLBACK TrayStandIn::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA && g_trayStandIn) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        std::lock_guard<std::mutex> lock(g_trayStandIn->m_lock);
        g_trayStandIn->m_requests.push_back({reinterpret_cast<HWND>(wParam), static_cast<DWORD>(data->dwData)});
        return TRUE;
    }
    if (message == WM_CLOSE) {
        ::DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY) ::PostQuitMessage(0);
    return ::DefWindowProcW(window, message, wParam, lParam);
}

std::vector<DWORD> TrayStandIn::RequestsFor(HWND owner) const {
    std::lock_guard<std::mutex> lock(m_lock);
    std::vector<DWORD> requests;
    for (const auto& [window, request] : m_requests)
        if (window == owner) requests.push_back(request);
    return requests;
}

}  // namespace tavelin::test
