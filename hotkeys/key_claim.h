// The rules by which the keyboard hook claims the capture keys where the system holds them:
// which key events it takes, when a press captures, and when the mask key goes out.
// Virtual-key codes and up/down only, no Windows calls, so that tables of key events can test
// every rule.
#pragma once

#include "hotkeys/key_combo.h"

namespace tavelin {

// An unassigned virtual key. The shell opens the Start menu when a Windows key goes down and
// up with no other key seen between, and a window its menu bar when Alt does; this one,
// pressed and released before that release, is that other key in place of the claimed one,
// which the system never sees.
inline constexpr unsigned kMaskKey = 0xE8;

// What the hook does with one key event.
struct KeyVerdict {
    bool swallow = false;    // the event goes no further: no older hook, no window, no shell
    int hotkeyId = 0;        // non-zero: a press of this hotkey, to capture
    bool maskFirst = false;  // press and release the mask key before the event passes on

    bool operator==(const KeyVerdict& other) const {
        return swallow == other.swallow && hotkeyId == other.hotkeyId &&
               maskFirst == other.maskFirst;
    }
};

// One key event as the hook is called for it.
struct KeyEvent {
    unsigned virtualKey;
    bool up;
    unsigned long time = 0;    // the event's own, in the system's milliseconds
    // The system already has this key down. A low-level hook is called before the system
    // takes a key's state, and a press the hook swallowed never reaches it: a key down here
    // went past the hook (a call that came after Windows stopped waiting for it, or a press
    // made while no hook of ours was set), and the system has acted on it. Its release then
    // goes to the system too, or the key would stay down there.
    bool alreadyDown = false;
};

class KeyClaim {
public:
    // Claims the combination for the active window (hotkey 100) and the one for the whole
    // screen (hotkey 200); an empty one is not claimed.
    explicit KeyClaim(KeyCombo activeWindow = {}, KeyCombo wholeScreen = {});
    // Windows key + A and + S, where asked to.
    KeyClaim(bool claimActiveWindow, bool claimWholeScreen)
        : KeyClaim(claimActiveWindow ? kDefaultActiveWindowKey : KeyCombo{},
                   claimWholeScreen ? kDefaultWholeScreenKey : KeyCombo{}) {}

    // Claims other combinations from now on. What the hook knows of the keys held stays: a
    // modifier down is still down, and a taken press still has its release swallowed.
    void Choose(KeyCombo activeWindow, KeyCombo wholeScreen);

    // Whether events of this key may be claimed: the hook asks the system about the modifiers
    // for those alone.
    bool Watches(unsigned virtualKey) const;

    KeyVerdict OnKey(const KeyEvent& event);
    KeyVerdict OnKey(unsigned virtualKey, bool keyUp) { return OnKey(KeyEvent{virtualKey, keyUp}); }

    // Takes the modifiers as the system says they are. A hook never sees some releases: the
    // Windows key's of Windows key + L and the Ctrl and Alt of Ctrl+Alt+Del come up on the
    // secure desktop; held on to, the first would make a plain S capture after the unlock.
    // And a hook set anew has not seen the presses of keys the user still holds: without
    // them, Windows key + S with the Windows key down from before would go to the shell.
    void TakeModifiers(bool winDown, bool shiftDown, bool controlDown, bool altDown);

    // For a hook set anew, which has seen none of the keys held. While the modifiers it was
    // taken with are down (`modifiersDown`, kModWin and the rest), a press taken before is
    // still the user's: its release is still to be swallowed and the mask key still due when
    // the Windows key or Alt comes up. Unless the key was let go while no hook was set: its
    // next key-down is then no repeat but a press of its own where it comes sooner after the
    // press than the keyboard's repeat delay (`repeatDelayMs`) lets a first repeat come, or
    // later than a repeat would.
    void ForgetAll(unsigned modifiersDown, unsigned long repeatDelayMs = 1000);

private:
    unsigned HeldModifiers() const;  // as kModWin and the rest
    int SlotOf(unsigned virtualKey) const;

    KeyCombo m_combo[2];
    unsigned m_held = 0;     // the modifiers down, each side apart
    bool m_maskDue = false;  // a press was taken since a Windows key or Alt last went up
    unsigned m_taken[2] = {};  // the key of each combination's press taken, until it comes up
    unsigned m_takenWith[2] = {};  // the modifiers that press was taken with
    bool m_carried[2] = {};  // that press was taken before the hook was set anew
    unsigned long m_repeatDelay = 1000;
    unsigned long m_lastTime[2] = {};  // of the last event of each combination's key
    bool m_repeated[2] = {};           // that event was a repeat of a taken press
};

}  // namespace tavelin
