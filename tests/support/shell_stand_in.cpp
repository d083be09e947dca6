#include "tests/support/shell_stand_in.h"

#include "tests/support/desktop_driver.h"

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <cstdio>
#include <future>
#include <utility>

namespace tavelin::test {

LoopThread::LoopThread(std::function<bool()> setUp, std::function<void(const MSG&)> onMessage,
                       std::function<void()> tearDown) {
    std::promise<bool> ready;
    m_thread = std::thread([&, setUp, onMessage, tearDown] {
        MSG message;
        ::PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // the thread's queue
        m_threadId = ::GetCurrentThreadId();
        ready.set_value(setUp());
        while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (onMessage) onMessage(message);
            ::DispatchMessageW(&message);
        }
        if (tearDown) tearDown();
    });
    m_ready = ready.get_future().get();
}

LoopThread::~LoopThread() {
    ::PostThreadMessageW(m_threadId, WM_QUIT, 0, 0);
    m_thread.join();
}

namespace {
// The hook and window procedures have no argument for their stand-in: a hook procedure for
// each of two shell stand-ins at a time, one tray stand-in.
std::function<void(DWORD, bool)> g_seeKey[2];
std::function<LRESULT(HWND, const COPYDATASTRUCT&)> g_seeTrayRequest;

template <int Slot>
LRESULT CALLBACK Observe(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && g_seeKey[Slot]) {
        const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        g_seeKey[Slot](key->vkCode, (key->flags & LLKHF_UP) != 0);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
constexpr HOOKPROC kObservers[] = {Observe<0>, Observe<1>};

// On Windows the shell itself holds Windows key + A and + S and gets their WM_HOTKEY: what
// shows that it acted on one is a window of its own taking the foreground: Quick Settings or
// the Action center for A, Search for S; Start, which a lone Windows key opens, for either.
std::atomic<int> g_shellWindows[2]{};
std::atomic<HWND> g_lastShellWindow{};
void CALLBACK SeeForeground(HWINEVENTHOOK, DWORD, HWND window, LONG, LONG, DWORD, DWORD) {
    wchar_t name[64] = {}, caption[64] = {};
    ::GetClassNameW(window, name, 64);
    ::GetWindowTextW(window, caption, 64);
    const bool quickSettings = std::wcscmp(name, L"ControlCenterWindow") == 0 ||
                               std::wcscmp(caption, L"Action center") == 0 || std::wcscmp(caption, L"Quick settings") == 0;
    const bool search = std::wcscmp(caption, L"Search") == 0;
    if (std::wcscmp(name, L"Windows.UI.Core.CoreWindow") != 0 && !quickSettings) return;
    g_lastShellWindow = window;
    if (!search) ++g_shellWindows[0];
    if (!quickSettings) ++g_shellWindows[1];
}

// A key combination taken with RegisterHotKey, or on Windows held by the shell already.
bool Hold(int id, UINT key) {
    if (::RegisterHotKey(nullptr, id, MOD_WIN, key)) return true;
    return ::GetLastError() == ERROR_HOTKEY_ALREADY_REGISTERED && !OnWine();
}

LRESULT CALLBACK TrayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA && g_seeTrayRequest) {
        return g_seeTrayRequest(reinterpret_cast<HWND>(wParam), *reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}
}  // namespace

std::string KeyText(DWORD virtualKey, bool up) {
    char text[8];
    std::snprintf(text, sizeof(text), "%02lX%c ", virtualKey, up ? '^' : 'v');
    return text;
}

ShellStandIn::ShellStandIn(bool holdA, bool holdS)
    : m_loop(
          [this, holdA, holdS] {
              m_slot = g_seeKey[0] ? 1 : 0;
              g_seeKey[m_slot] = [this](DWORD key, bool up) {
                  std::lock_guard<std::mutex> lock(m_lock);
                  m_keys += KeyText(key, up);
              };
              const bool heldA = !holdA || Hold(1, 'A');
              const bool heldS = !holdS || Hold(2, 'S');
              m_shellWindowsBefore[0] = g_shellWindows[0];
              m_shellWindowsBefore[1] = g_shellWindows[1];
              // One watch for both stand-ins, so that each window counts once.
              if (m_slot == 0)
                  m_foregroundHook = ::SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr,
                                                       SeeForeground, 0, 0, WINEVENT_OUTOFCONTEXT);
              m_hook = ::SetWindowsHookExW(WH_KEYBOARD_LL, kObservers[m_slot], ::GetModuleHandleW(nullptr), 0);
              return heldA && heldS && m_hook;
          },
          [this](const MSG& message) {
              std::lock_guard<std::mutex> lock(m_lock);
              if (message.message == WM_HOTKEY) ++m_hotkeys[message.wParam == 1 ? 0 : 1];
          },
          [this] {
              // Wine keeps calling the hook of a thread that has ended, and waits for it in vain.
              ::UnhookWindowsHookEx(m_hook);
              ::UnhookWinEvent(m_foregroundHook);
              ::UnregisterHotKey(nullptr, 1);
              ::UnregisterHotKey(nullptr, 2);
              g_seeKey[m_slot] = nullptr;
          }) {}

ShellStandIn::~ShellStandIn() {
    const bool opened = g_shellWindows[0] != m_shellWindowsBefore[0] || g_shellWindows[1] != m_shellWindowsBefore[1];
    if (opened && ::GetForegroundWindow() == g_lastShellWindow) CloseShellWindow();
}

std::string ShellStandIn::TakeKeys() {
    std::lock_guard<std::mutex> lock(m_lock);
    return std::exchange(m_keys, {});
}

int ShellStandIn::HotkeysA() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_hotkeys[0] + (g_shellWindows[0] - m_shellWindowsBefore[0]);
}

int ShellStandIn::HotkeysS() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_hotkeys[1] + (g_shellWindows[1] - m_shellWindowsBefore[1]);
}

TrayStandIn::TrayStandIn(bool forward)
    : m_loop([this, forward] {
          WNDCLASSW windowClass{};
          windowClass.lpfnWndProc = TrayProc;
          windowClass.hInstance = ::GetModuleHandleW(nullptr);
          windowClass.lpszClassName = L"Shell_TrayWnd";
          ::RegisterClassW(&windowClass);
          const HWND shell = ::FindWindowW(windowClass.lpszClassName, nullptr);
          g_seeTrayRequest = [this, forward, shell](HWND owner, const COPYDATASTRUCT& data) -> LRESULT {
              // Wine's shell32 sends the request as dwData. Windows' sends a record that starts
              // with a signature and the request, as dwData 1, and asks for an icon's place as 3
              // (one that only the shell can answer: 0 is "not known").
              const auto* record = static_cast<const DWORD*>(data.lpData);
              const bool windows = data.cbData >= 8 && record[0] == 0x34753423;
              if (!windows || data.dwData == 1) {
                  std::lock_guard<std::mutex> lock(m_lock);
                  m_requests.push_back({owner, windows ? record[1] : static_cast<DWORD>(data.dwData)});
                  m_texts.emplace_back(static_cast<const wchar_t*>(data.lpData), data.cbData / sizeof(wchar_t));
              }
              if (forward)
                  return ::SendMessageW(shell, WM_COPYDATA, reinterpret_cast<WPARAM>(owner), reinterpret_cast<LPARAM>(&data));
              return windows && data.dwData != 1 ? 0 : TRUE;
          };
          // Shell_NotifyIcon asks for the first window of the class in z-order: a new topmost one.
          // Hidden, it has no button on the taskbar.
          HWND window = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, windowClass.lpszClassName,
                                          L"", WS_POPUP, -10, -10, 1, 1, nullptr, nullptr,
                                          windowClass.hInstance, nullptr);
          return window && ::FindWindowExW(nullptr, nullptr, L"Shell_TrayWnd", nullptr) == window &&
                 (!forward || shell);
      }) {}

bool TrayStandIn::Carried(const std::wstring& text) {
    std::lock_guard<std::mutex> lock(m_lock);
    const bool carried = std::any_of(m_texts.begin(), m_texts.end(), [&](const std::wstring& request) {
        return request.find(text) != std::wstring::npos;
    });
    m_texts.clear();
    return carried;
}

std::vector<DWORD> TrayStandIn::RequestsFor(HWND owner) const {
    std::lock_guard<std::mutex> lock(m_lock);
    std::vector<DWORD> requests;
    for (const auto& [window, request] : m_requests)
        if (window == owner) requests.push_back(request);
    return requests;
}

}  // namespace tavelin::test
