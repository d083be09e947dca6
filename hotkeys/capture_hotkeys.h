// Windows key + A and + S for the main window. Registered with RegisterHotKey wherever the
// system allows, and claimed with a low-level keyboard hook where it refuses a combination,
// or always where the shell may act on a key it let us register (Windows 10 and 11: their
// shell holds both for itself, and a registration that succeeds there does not keep a press
// from the shell). The window receives WM_HOTKEY with identifier 100 or 200 for a registered
// press, and kClaimedHotkeyMessage with the same identifiers for a claimed one.
#pragma once

#include <windows.h>

#include "framework/unique_handles.h"
#include "hotkeys/hook_watch.h"
#include "hotkeys/key_claim.h"
#include "hotkeys/one_press.h"

namespace tavelin {

// Posted by the hook for a press it claimed: wParam's low word the hotkey identifier, its high
// word 1 where the claim may have come too late to keep the key from the system; lParam the
// key event's time.
inline constexpr UINT kClaimedHotkeyMessage = WM_APP + 2;

// Which of the two keys capture, by registration or by the hook.
struct WorkingHotkeys {
    bool activeWindow = false;
    bool wholeScreen = false;
};

class CaptureHotkeys {
public:
    CaptureHotkeys() = default;
    ~CaptureHotkeys() { Stop(); }
    CaptureHotkeys(const CaptureHotkeys&) = delete;
    CaptureHotkeys& operator=(const CaptureHotkeys&) = delete;

    // Registers both keys on `window` and hooks the keyboard for those the system refused, or
    // for both with `claimAlways`. `catchUpTimer` is a timer identifier of the window's for
    // this object's use.
    WorkingHotkeys Start(HWND window, bool claimAlways, UINT_PTR catchUpTimer);

    // Unhooks and ends the hook's thread, if there is one. The registrations end with the
    // window, as they always have.
    void Stop();

    bool Hooked() const { return m_hooked; }

    // Removes the hook and sets it again, on its own thread, where one is set. Windows drops
    // a hook that keeps missing its time-out (after sleep, at a lock, under load) without a
    // word; a hook set anew is also called again before those set since.
    void SetHookAnew();

    // WM_INPUT to the window, which receives raw keyboard input while the hook is set: sets
    // the hook anew when it shows that the hook missed keys, and the hook has not caught up
    // with them a while later.
    void OnRawInput(HRAWINPUT input);

    // Whether a press that reached the window (WM_HOTKEY, or kClaimedHotkeyMessage with its
    // event time) is one to capture: not one that the other way already captured.
    bool IsNewPress(int hotkeyId, PressWay way, DWORD time) { return m_onePress.Accept(hotkeyId, way, time); }
    // The same for kClaimedHotkeyMessage.
    bool IsNewClaim(WPARAM wParam, LPARAM time) {
        return IsNewPress(LOWORD(wParam), HIWORD(wParam) ? PressWay::LateHook : PressWay::Hook, static_cast<DWORD>(time));
    }

private:
    static DWORD WINAPI HookThread(void* parameter);
    static void CALLBACK OnCatchUpTime(HWND window, UINT, UINT_PTR timer, DWORD);
    static LRESULT CALLBACK LowLevelKeyboardProc(int code, WPARAM wParam, LPARAM lParam);
    static HHOOK SetHook();
    bool StartHookThread();

    HWND m_window = nullptr;
    UINT_PTR m_catchUpTimer = 0;
    DWORD m_lateClaimMs = 0;         // set before the hook's thread starts
    KeyClaim m_claim{false, false};  // touched only on the hook's thread once it runs
    HookWatch m_watch;               // the hook's thread and the user-interface thread
    OnePress m_onePress;             // the user-interface thread
    bool m_watching = false;         // the window receives raw keyboard input
    bool m_catchingUp = false;       // a timer runs until the hook is to have caught up
    unique_handle m_hookSet;  // an event: the hook's thread has set the hook
    unique_handle m_thread;
    DWORD m_threadId = 0;
    bool m_hooked = false;
};

}  // namespace tavelin
