// The two capture keys for the main window, Windows key + A and + S unless the user chose
// others. Registered with RegisterHotKey wherever the system allows, and claimed with a
// low-level keyboard hook where it refuses a combination, or where the shell acts on a key it
// let us register (Windows 10 and 11 for their own combinations, and Print Screen where the
// Snipping Tool has it). Where no key needs it, there is no hook. The window receives
// WM_HOTKEY with identifier 100 or 200 for a registered press, and kClaimedHotkeyMessage with
// the same identifiers for a claimed one.
#pragma once

#include <windows.h>

#include <atomic>

#include "framework/unique_handles.h"
#include "hotkeys/hook_watch.h"
#include "hotkeys/key_claim.h"
#include "hotkeys/key_combo.h"
#include "hotkeys/key_recording.h"
#include "hotkeys/one_press.h"

namespace tavelin {

// Posted by the hook for a press it claimed: wParam's low word the hotkey identifier, its high
// word 1 where the claim may have come too late to keep the key from the system; lParam the
// key event's time.
inline constexpr UINT kClaimedHotkeyMessage = WM_APP + 2;

// Posted by the hook, while keys are recorded, to the window recording them: wParam the virtual
// key, lParam 1 for its release. The key goes nowhere else.
inline constexpr UINT kRecordedKeyMessage = WM_APP + 3;

// Which of the two keys capture, by registration or by the hook.
struct WorkingHotkeys {
    bool activeWindow = false;
    bool wholeScreen = false;
};

// What this system and user do with keys of their own.
ShellKeys ReadShellKeys();

class CaptureHotkeys {
public:
    CaptureHotkeys() = default;
    ~CaptureHotkeys() { Stop(); }
    CaptureHotkeys(const CaptureHotkeys&) = delete;
    CaptureHotkeys& operator=(const CaptureHotkeys&) = delete;

    // Registers both keys on `window` and hooks the keyboard for those the system refused or
    // the shell acts on. `catchUpTimer` is a timer identifier of the window's for this
    // object's use.
    WorkingHotkeys Start(HWND window, const CaptureKeys& keys, const ShellKeys& shell, UINT_PTR catchUpTimer);

    // Takes other keys at once: the old ones' registrations are undone and the hook's claim of
    // them dropped, the new ones taken, and the hook set or removed as they need.
    WorkingHotkeys Choose(const CaptureKeys& keys, const ShellKeys& shell);

    // Unhooks and ends the hook's thread, if there is one. The registrations end with the
    // window, as they always have.
    void Stop();

    // Whether the hook claims keys.
    bool Hooked() const { return m_claiming && m_hooked; }
    // Whether the combination is registered here: as one of the two keys, not another program's.
    bool Registered(KeyCombo combo) const;

    // Keys go to `target` as kRecordedKeyMessage and nowhere else, until this is called with
    // none; the hook is set for it where no key needs it.
    void Record(HWND target);

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
    void StopHookThread();

    HWND m_window = nullptr;
    UINT_PTR m_catchUpTimer = 0;
    CaptureKeys m_keys;
    bool m_registered[2] = {};
    bool m_claiming = false;         // a key needs the hook
    DWORD m_lateClaimMs = 0;         // set before the hook's thread starts
    KeyClaim m_claim;                // touched only on the hook's thread once it runs
    RecordingGate m_gate;            // the hook's thread
    std::atomic<HWND> m_recordTo{nullptr};
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
