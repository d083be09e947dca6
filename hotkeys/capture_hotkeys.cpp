#include "hotkeys/capture_hotkeys.h"

#include <cwchar>

#include "hotkeys/hotkey_ids.h"

namespace tavelin {

namespace {

// The hook procedure has no argument for its object; one hook per process is all there is.
CaptureHotkeys* g_hookOwner = nullptr;

// Posted to the hook's thread: remove the hook and set it again.
constexpr UINT kSetHookAnew = WM_APP + 1;
// Posted to the hook's thread: claim the combinations in wParam and lParam (PackCombo).
constexpr UINT kClaimOthers = WM_APP + 4;

constexpr int kHotkeyIds[2] = {kHotkeyActiveWindow, kHotkeyWholeScreen};

WPARAM PackCombo(KeyCombo combo) { return combo.modifiers << 8 | combo.key; }
KeyCombo UnpackCombo(WPARAM packed) { return {static_cast<unsigned>(packed >> 8) & 0xF, static_cast<unsigned>(packed & 0xFF)}; }

// One capture per press: a held key would otherwise capture at the keyboard's repeat rate.
// Systems before Windows 7 refuse the flag, and get the hotkey without it.
// Wine 8 ignores the flag: see docs/testing.md, What Wine does differently.
bool RegisterCaptureHotKey(HWND window, int id, KeyCombo combo) {
    return ::RegisterHotKey(window, id, combo.modifiers | MOD_NOREPEAT, combo.key) ||
           ::RegisterHotKey(window, id, combo.modifiers, combo.key);
}

bool IsDown(int virtualKey) { return (::GetAsyncKeyState(virtualKey) & 0x8000) != 0; }
bool IsWindowsKeyDown() { return IsDown(VK_LWIN) || IsDown(VK_RWIN); }
unsigned ModifiersDown() {
    return (IsWindowsKeyDown() ? kModWin : 0u) | (IsDown(VK_CONTROL) ? kModControl : 0u) |
           (IsDown(VK_MENU) ? kModAlt : 0u) | (IsDown(VK_SHIFT) ? kModShift : 0u);
}

bool IsWindowsBuildOrLater(DWORD build) {
    OSVERSIONINFOEXW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    version.dwMajorVersion = 10;
    version.dwBuildNumber = build;
    DWORDLONG condition = 0;
    condition = ::VerSetConditionMask(condition, VER_MAJORVERSION, VER_GREATER_EQUAL);
    condition = ::VerSetConditionMask(condition, VER_BUILDNUMBER, VER_GREATER_EQUAL);
    return ::VerifyVersionInfoW(&version, VER_MAJORVERSION | VER_BUILDNUMBER, condition) != FALSE;
}

// The wait before a held key repeats, as set in the Keyboard control panel: 250 to 1000 ms.
unsigned long KeyboardRepeatDelayMs() {
    int setting = 3;
    ::SystemParametersInfoW(SPI_GETKEYBOARDDELAY, 0, &setting, 0);
    return 250ul * (static_cast<unsigned long>(setting & 3) + 1);
}

// How long Windows waits for a low-level hook, where the user set it; 0 where not. Stored as
// text like the key's other values, or as a number.
DWORD HookTimeoutMs() {
    union {
        DWORD number;
        wchar_t text[16];
    } value{};
    DWORD type = 0, size = sizeof(value);
    if (::RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LowLevelHooksTimeout",
                       RRF_RT_REG_DWORD | RRF_RT_REG_SZ, &type, &value, &size) != ERROR_SUCCESS)
        return 0;
    return type == REG_DWORD ? value.number : static_cast<DWORD>(std::wcstoul(value.text, nullptr, 10));
}

// Raw input from keyboards (usage page 1, usage 6) to `window`, or no more of it.
bool WatchKeyboards(DWORD flags, HWND window) {
    const RAWINPUTDEVICE keyboards{1, 6, flags, window};
    return ::RegisterRawInputDevices(&keyboards, 1, sizeof(keyboards)) != FALSE;
}

void PressAndReleaseMaskKey() {
    INPUT keys[2] = {};
    for (INPUT& key : keys) {
        key.type = INPUT_KEYBOARD;
        key.ki.wVk = kMaskKey;
    }
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, keys, sizeof(INPUT));
}

}  // namespace

ShellKeys ReadShellKeys() {
    ShellKeys shell;
    shell.windows10 = IsWindowsBuildOrLater(0);
    shell.windows11 = IsWindowsBuildOrLater(22000);
    // Off where unset, but on since Windows 11 24H2.
    DWORD snipping = IsWindowsBuildOrLater(26100) ? 1 : 0, size = sizeof(snipping);
    ::RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Keyboard", L"PrintScreenKeyForSnippingEnabled", RRF_RT_REG_DWORD,
                   nullptr, &snipping, &size);
    shell.snippingTool = snipping != 0;
    return shell;
}

WorkingHotkeys CaptureHotkeys::Start(HWND window, const CaptureKeys& keys, const ShellKeys& shell,
                                     UINT_PTR catchUpTimer) {
    m_window = window;
    m_catchUpTimer = catchUpTimer;
    m_lateClaimMs = LateClaimBoundMs(HookTimeoutMs());
    return Choose(keys, shell);
}

WorkingHotkeys CaptureHotkeys::Choose(const CaptureKeys& keys, const ShellKeys& shell) {
    // Both undone first, so that the two may swap their keys.
    for (int i = 0; i < 2; ++i) {
        if (m_registered[i]) ::UnregisterHotKey(m_window, kHotkeyIds[i]);
        m_registered[i] = false;
    }
    m_keys = keys;
    const KeyCombo combos[2] = {keys.activeWindow, keys.wholeScreen};
    KeyCombo claims[2];
    for (int i = 0; i < 2; ++i) {
        // A registration is kept where the hook claims the key too: Windows calls no low-level
        // hook of ours while a window of an elevated program is in front, and the registered
        // key still captures there. Where the hook is called in time, it swallows the press,
        // and the registration never sees it; where it is not, the window takes one of the two
        // (OnePress).
        m_registered[i] = combos[i] && RegisterCaptureHotKey(m_window, kHotkeyIds[i], combos[i]);
        if (combos[i] && (!m_registered[i] || WindowsUseOf(combos[i], shell))) claims[i] = combos[i];
    }
    m_claiming = claims[0] || claims[1];
    if (m_thread) {
        ::PostThreadMessageW(m_threadId, kClaimOthers, PackCombo(claims[0]), static_cast<LPARAM>(PackCombo(claims[1])));
        if (!m_claiming && !m_recordTo.load()) StopHookThread();
    } else if (m_claiming) {
        m_claim = KeyClaim(claims[0], claims[1]);
        StartHookThread();
    }
    // Without it a hook that Windows removed goes unnoticed until the next unlock or resume.
    // One short wake-up per key, none while no key is typed. On this thread, not the hook's,
    // for Wine: see docs/testing.md, What Wine does differently.
    const bool watch = m_claiming && m_hooked;
    if (watch && !m_watching) m_watching = WatchKeyboards(RIDEV_INPUTSINK, m_window);
    if (!watch && m_watching) m_watching = !WatchKeyboards(RIDEV_REMOVE, nullptr);
    return {m_registered[0] || (claims[0] && m_hooked), m_registered[1] || (claims[1] && m_hooked)};
}

bool CaptureHotkeys::Registered(KeyCombo combo) const {
    return (m_registered[0] && m_keys.activeWindow == combo) || (m_registered[1] && m_keys.wholeScreen == combo);
}

void CaptureHotkeys::Record(HWND target) {
    m_recordTo.store(target);
    if (target && !m_thread) {
        m_claim = KeyClaim();
        StartHookThread();
    } else if (!target && m_thread && !m_claiming) {
        StopHookThread();
    }
}

bool CaptureHotkeys::StartHookThread() {
    if (g_hookOwner) return false;
    g_hookOwner = this;
    // The one thread beside the user-interface thread. A low-level hook is called on the
    // thread that set it, and a capture holds the user-interface thread for 100 to 500 ms,
    // longer than Windows waits for a hook: it would skip the hook, and from Windows 7 on
    // remove it for good. This thread runs the hook and its message loop and nothing else.
    m_hookSet.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (m_hookSet) {
        m_thread.reset(::CreateThread(nullptr, 0, &CaptureHotkeys::HookThread, this, 0, &m_threadId));
    }
    if (!m_thread) {
        m_hookSet.reset();
        g_hookOwner = nullptr;
        return false;
    }
    // The thread either sets the hook and says so, or ends.
    const HANDLE outcomes[] = {m_hookSet.get(), m_thread.get()};
    m_hooked = ::WaitForMultipleObjects(2, outcomes, FALSE, INFINITE) == WAIT_OBJECT_0;
    if (!m_hooked) StopHookThread();
    return m_hooked;
}

HHOOK CaptureHotkeys::SetHook() {
    return ::SetWindowsHookExW(WH_KEYBOARD_LL, &CaptureHotkeys::LowLevelKeyboardProc,
                               ::GetModuleHandleW(nullptr), 0);
}

DWORD WINAPI CaptureHotkeys::HookThread(void* parameter) {
    auto* self = static_cast<CaptureHotkeys*>(parameter);
    // Windows gives a low-level hook at most a second (LowLevelHooksTimeout) and removes one
    // that keeps missing it. Under load this thread must run ahead of the user's programs; it
    // only ever runs for a key, briefly.
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    MSG message;
    // A thread has no message queue until it asks for one, and Stop posts to it.
    ::PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    unique_hhook hook(SetHook());
    if (!hook) return 1;
    ::SetEvent(self->m_hookSet.get());
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == kSetHookAnew) {
            // Removed first, so that no key meets two of ours; the new one has seen no key
            // go down.
            hook.reset();
            self->m_claim.ForgetAll(ModifiersDown(), KeyboardRepeatDelayMs());
            hook.reset(SetHook());
            continue;
        }
        if (message.message == kClaimOthers) {
            self->m_claim.Choose(UnpackCombo(message.wParam), UnpackCombo(static_cast<WPARAM>(message.lParam)));
            continue;
        }
        ::DispatchMessageW(&message);
    }
    return 0;
}

void CaptureHotkeys::OnRawInput(HRAWINPUT input) {
    RAWINPUT data;
    UINT size = sizeof(data);
    if (::GetRawInputData(input, RID_INPUT, &data, &size, sizeof(RAWINPUTHEADER)) != static_cast<UINT>(-1) &&
        data.header.dwType == RIM_TYPEKEYBOARD && !(data.data.keyboard.Flags & RI_KEY_BREAK) &&
        m_watch.OnRawKeyDown((HIWORD(::GetQueueStatus(QS_RAWINPUT)) & QS_RAWINPUT) != 0) && !m_catchingUp) {
        m_catchingUp = ::SetTimer(m_window, m_catchUpTimer, HookWatch::kCatchUpMs, &CaptureHotkeys::OnCatchUpTime) != 0;
        if (!m_catchingUp) SetHookAnew();
    }
}

void CALLBACK CaptureHotkeys::OnCatchUpTime(HWND window, UINT, UINT_PTR timer, DWORD) {
    ::KillTimer(window, timer);
    if (!g_hookOwner) return;
    g_hookOwner->m_catchingUp = false;
    if (g_hookOwner->m_watch.StillShort()) g_hookOwner->SetHookAnew();
}

void CaptureHotkeys::SetHookAnew() {
    if (m_thread) ::PostThreadMessageW(m_threadId, kSetHookAnew, 0, 0);
}

// Called for every key the user types anywhere while the hook is set: it decides from the
// virtual-key code and up or down alone (asking the system which modifiers are down only for
// a claimed key), keeps nothing but the modifier state, and passes everything that is not a
// claimed combination on at once.
LRESULT CALLBACK CaptureHotkeys::LowLevelKeyboardProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && g_hookOwner) {
        const DWORD calledAt = ::GetTickCount();
        const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        const bool up = (key->flags & LLKHF_UP) != 0;
        if (!up) g_hookOwner->m_watch.OnHookKeyDown();
        const HWND recordTo = g_hookOwner->m_recordTo.load();
        if (g_hookOwner->m_gate.Swallows(key->vkCode, up, recordTo != nullptr)) {
            if (recordTo) ::PostMessageW(recordTo, kRecordedKeyMessage, key->vkCode, up ? 1 : 0);
            return 1;
        }
        KeyClaim& claim = g_hookOwner->m_claim;
        KeyEvent event{key->vkCode, up, key->time};
        if (claim.Watches(key->vkCode)) {
            if (!up) claim.TakeModifiers(IsWindowsKeyDown(), IsDown(VK_SHIFT), IsDown(VK_CONTROL), IsDown(VK_MENU));
            // The system takes a key's state only once every hook has let it pass.
            event.alreadyDown = IsDown(static_cast<int>(key->vkCode));
        }
        const KeyVerdict verdict = claim.OnKey(event);
        if (verdict.hotkeyId) {
            const bool late = calledAt - key->time > g_hookOwner->m_lateClaimMs;
            ::PostMessageW(g_hookOwner->m_window, kClaimedHotkeyMessage, MAKEWPARAM(verdict.hotkeyId, late),
                           static_cast<LPARAM>(key->time));
        }
        // Sent from inside the hook, the mask key reaches the system ahead of the release
        // being decided here.
        if (verdict.maskFirst) PressAndReleaseMaskKey();
        if (verdict.swallow) return 1;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

void CaptureHotkeys::Stop() {
    if (m_watching) WatchKeyboards(RIDEV_REMOVE, nullptr);
    m_watching = false;
    m_recordTo.store(nullptr);
    StopHookThread();
}

void CaptureHotkeys::StopHookThread() {
    if (m_catchingUp) ::KillTimer(m_window, m_catchUpTimer);
    m_catchingUp = false;
    if (!m_thread) return;
    ::PostThreadMessageW(m_threadId, WM_QUIT, 0, 0);
    ::WaitForSingleObject(m_thread.get(), INFINITE);
    m_thread.reset();
    m_hookSet.reset();
    m_threadId = 0;
    m_hooked = false;
    m_gate = RecordingGate();
    g_hookOwner = nullptr;
}

}  // namespace tavelin
