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
// above the user's window in z-order. Told by the system as the foreground changes (an
// out-of-context event hook, called on this thread from its message loop): nothing is
// injected anywhere, no thread and no polling.
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

    // A window that took the foreground from this program's, or that it gave the foreground
    // to: the watch skips the program's own events (Wine 8: see docs/testing.md, Two Wines).
    void Saw(HWND window);

private:
    static void CALLBACK OnEvent(HWINEVENTHOOK hook, DWORD event, HWND window, LONG object,
                                 LONG child, DWORD thread, DWORD time);

    unique_hwineventhook m_foreground;
    // The keyboard focus stands in for Wine 8 (docs/testing.md, Two Wines) until a foreground
    // event comes. On Windows it would wake the program at every click in every program.
    unique_hwineventhook m_focus;
    HWND m_last = nullptr;
};

// Sees, while a menu of this thread is shown, what closes it: a mouse button pressed outside
// the menu, and outside the place spared (the tray icon, whose second click only closes the
// menu), takes the user to the window under it. Told by the menu's own loop (a message-filter
// hook): the buttons' state read after the menu has gone says nothing about what closed it.
class MenuClickWatch {
public:
    explicit MenuClickWatch(const RECT& spared);
    ~MenuClickWatch();
    MenuClickWatch(const MenuClickWatch&) = delete;
    MenuClickWatch& operator=(const MenuClickWatch&) = delete;

    // The top-level window of a click that closed the menu, or null.
    HWND Clicked() const { return m_clicked; }

private:
    static LRESULT CALLBACK OnMenuMessage(int code, WPARAM wParam, LPARAM lParam);

    RECT m_spared;
    HWND m_clicked = nullptr;
    unique_hhook m_hook;
};

class ForegroundReturn {
public:
    // What takes the foreground from the user's window. A menu leaves it with the hidden main
    // window, and while it is open the user can go nowhere without closing it: the window to
    // go back to is the one they had when it opened. A dialog may stay open while the user
    // works in other windows, and the system chooses who has the foreground after it (Windows
    // its owner, the hidden main window; Wine another, see docs/testing.md): the window to go
    // back to is the user's last when it closes.
    enum class Taker { Menu, Dialog };

    ForegroundReturn(UserWindowWatch& users, Taker taker);
    // Gives the foreground to that window, or else to the one the user had at the start, or
    // the first of theirs in z-order.
    ~ForegroundReturn();
    ForegroundReturn(const ForegroundReturn&) = delete;
    ForegroundReturn& operator=(const ForegroundReturn&) = delete;

    // Gives nothing back: for a menu closed by a click elsewhere, which takes the user where
    // they want to be, and for a dialog that a chosen menu command opens, which needs the
    // foreground first and gives it back itself when it closes.
    void Cancel() { m_cancelled = true; }

private:
    UserWindowWatch& m_users;
    Taker m_taker;
    HWND m_atStart;
    bool m_cancelled = false;
};

}  // namespace tavelin
