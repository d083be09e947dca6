// Stands in for the Windows 10 and 11 shell in the tests: it holds Windows key + A and + S
// with RegisterHotKey, as the shell does, and watches the keyboard with a low-level hook set
// before the program under test starts, so that it sees only what that program passes on.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

namespace tavelin::test {

struct SeenKey {
    DWORD virtualKey;
    bool up;
    bool operator==(const SeenKey& other) const {
        return virtualKey == other.virtualKey && up == other.up;
    }
};
std::string Describe(const std::vector<SeenKey>& keys);

class ShellStandIn {
public:
    explicit ShellStandIn(bool holdA = true, bool holdS = true);
    ~ShellStandIn();
    ShellStandIn(const ShellStandIn&) = delete;
    ShellStandIn& operator=(const ShellStandIn&) = delete;

    // Whether it holds the combinations asked for and its hook is set.
    bool Ready() const { return m_ready; }
    // The keys its hook has seen, and forgets them.
    std::vector<SeenKey> TakeKeys();
    // The WM_HOTKEY messages it received for Windows key + A and + S.
    int HotkeysA() const;
    int HotkeysS() const;

private:
    static DWORD WINAPI Run(void* self);
    static LRESULT CALLBACK Observe(int code, WPARAM wParam, LPARAM lParam);

    HANDLE m_thread = nullptr;
    HANDLE m_started = nullptr;
    DWORD m_threadId = 0;
    bool m_holdA;
    bool m_holdS;
    bool m_ready = false;
    mutable std::mutex m_lock;
    std::vector<SeenKey> m_keys;
    int m_hotkeysA = 0;
    int m_hotkeysS = 0;
};

// Stands in for the notification area: a window of the taskbar's class, above Wine's own, to
// which Shell_NotifyIcon sends its requests. Wine's own area drops the icons of destroyed
// windows by itself, so only a stand-in shows whether a program deletes its icon.
class TrayStandIn {
public:
    TrayStandIn();
    ~TrayStandIn();
    TrayStandIn(const TrayStandIn&) = delete;
    TrayStandIn& operator=(const TrayStandIn&) = delete;

    // Whether Shell_NotifyIcon now reaches this stand-in.
    bool Ready() const { return m_ready; }
    // The requests (NIM_ADD, NIM_DELETE, ...) it received for icons of `owner`, in order.
    std::vector<DWORD> RequestsFor(HWND owner) const;

private:
    static DWORD WINAPI Run(void* self);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HANDLE m_thread = nullptr;
    HANDLE m_started = nullptr;
    HWND m_window = nullptr;
    bool m_ready = false;
    mutable std::mutex m_lock;
    std::vector<std::pair<HWND, DWORD>> m_requests;
};

}  // namespace tavelin::test
