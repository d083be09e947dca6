// Gives the foreground back to the user's window once the tray menu or a dialog of ours is
// done with it. Windows hands the foreground of a closing dialog to its owner, here the hidden
// main window, and leaves it with the window a menu was shown for: keys typed next would go
// nowhere, and Windows key + A would have no window to capture.
#pragma once

#include <windows.h>

#include "framework/unique_handles.h"

namespace tavelin {

// A window the user works in: visible, not minimised, not cloaked, and neither this
// program's, nor the desktop's, nor the taskbar's or one of its flyouts (the notification
// area's overflow, on Windows 10 and 11).
bool IsUsersWindow(HWND window);

// Follows the foreground and keeps the last window in it that was the user's. By the time the
// tray menu opens, the foreground has passed through the taskbar and perhaps the overflow
// flyout, which hides itself once it loses the foreground; and cloaked windows (Start,
// Search, store apps, other virtual desktops) or windows the user never worked in may lie
// above the user's window in z-order. Told by the system as the foreground and the keyboard
// focus change (out-of-context event hooks, called on this thread from its message loop):
// nothing is injected anywhere, no thread and no polling. The focus is there because Wine
// reports no change of the foreground; on Windows it follows the foreground as well.
class UserWindowWatch {
public:
    UserWindowWatch() = default;
    ~UserWindowWatch() { Stop(); }
    UserWindowWatch(const UserWindowWatch&) = delete;
    UserWindowWatch& operator=(const UserWindowWatch&) = delete;

    // Starts following, from the window in the foreground now. One watch at a time.
    void Start();
    void Stop();

    // The last user's window in the foreground, if it still is one; else null.
    HWND Last() const { return IsUsersWindow(m_last) ? m_last : nullptr; }

private:
    static void CALLBACK OnEvent(HWINEVENTHOOK hook, DWORD event, HWND window, LONG object,
                                 LONG child, DWORD thread, DWORD time);

    unique_hwineventhook m_foreground;
    unique_hwineventhook m_focus;
    HWND m_last = nullptr;
};

class ForegroundReturn {
public:
    // What takes the foreground from the user's window. A click on another window that closes
    // a menu puts the user where they want to be; a dialog closes by its own controls, and the
    // system chooses who has the foreground after it (Windows its owner, the hidden main
    // window; Wine the next window in z-order).
    enum class Taker { Menu, Dialog };

    // Remembers the user's window as `users` knows it, or else the window in the foreground
    // now, where that is the user's.
    ForegroundReturn(const UserWindowWatch& users, Taker taker);
    ~ForegroundReturn();
    ForegroundReturn(const ForegroundReturn&) = delete;
    ForegroundReturn& operator=(const ForegroundReturn&) = delete;

    // Gives nothing back, for a dialog that a chosen menu command opens: the dialog needs the
    // foreground first, and gives it back itself when it closes.
    void Cancel() { m_cancelled = true; }

private:
    Taker m_taker;
    HWND m_back;
    bool m_cancelled = false;
};

}  // namespace tavelin
