// Stand-ins for the Windows 10 and 11 shell in the tests, each on a thread with a message loop
// of its own, so that they answer while the test's thread sends keys or waits.
#pragma once

#include <windows.h>

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tavelin::test {

// Runs `setUp` on a thread of its own, then that thread's message loop, which shows each
// message to `onMessage`, until it is ended; then `tearDown`.
class LoopThread {
public:
    LoopThread(std::function<bool()> setUp, std::function<void(const MSG&)> onMessage = {},
               std::function<void()> tearDown = {});
    ~LoopThread();
    bool Ready() const { return m_ready; }

private:
    std::thread m_thread;
    DWORD m_threadId = 0;
    bool m_ready = false;
};

// Holds Windows key + A and + S with RegisterHotKey, as the shell does (on Windows, where the
// shell itself holds them, it leaves them to it), and watches the
// keyboard with a low-level hook set before the program under test starts, so that it sees
// only what that program passes on. Holding neither, and made after the program's hook is
// set, it is an observer called ahead of that hook. Two at a time.
class ShellStandIn {
public:
    explicit ShellStandIn(bool holdA = true, bool holdS = true);
    // On Windows, closes a window of the shell's that a key opened meanwhile and left in front.
    ~ShellStandIn();
    // Whether it holds the combinations asked for and its hook is set.
    bool Ready() const { return m_loop.Ready(); }
    // The keys its hook has seen since last asked, as "5Bv E8v E8^ 5B^ " (code, down v, up ^).
    std::string TakeKeys();
    // The WM_HOTKEY messages it received for Windows key + A and + S; on Windows, where the
    // shell holds them, also the times a window of the shell took the foreground.
    int HotkeysA() const;
    int HotkeysS() const;

private:
    mutable std::mutex m_lock;
    std::string m_keys;
    int m_hotkeys[2] = {};
    int m_slot = 0;
    HHOOK m_hook = nullptr;
    HWINEVENTHOOK m_foregroundHook = nullptr;
    int m_shellWindowsBefore[2] = {};
    LoopThread m_loop;  // last: its thread uses the members above
};
std::string KeyText(DWORD virtualKey, bool up);

// Stands in for the notification area: a window of the taskbar's class, above Wine's own, to
// which Shell_NotifyIcon sends its requests. Wine's own area drops the icons of destroyed
// windows by itself, so only a stand-in shows whether a program deletes its icon. With
// `forward`, it passes each request on to the shell's own area, which shows the icon as
// usual: a watch on what reaches it.
class TrayStandIn {
public:
    explicit TrayStandIn(bool forward = false);
    bool Ready() const { return m_loop.Ready(); }
    // The requests (NIM_ADD, NIM_DELETE, ...) it received for icons of `owner`, in order.
    std::vector<DWORD> RequestsFor(HWND owner) const;
    // Whether a request since the last call carried this text (a tool tip's, a balloon's).
    bool Carried(const std::wstring& text);

private:
    mutable std::mutex m_lock;
    std::vector<std::pair<HWND, DWORD>> m_requests;
    std::vector<std::wstring> m_texts;  // each request's data, read as UTF-16
    LoopThread m_loop;
};

}  // namespace tavelin::test
