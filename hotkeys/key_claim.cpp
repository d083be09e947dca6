#include "hotkeys/key_claim.h"

#include <cstdint>

#include "hotkeys/hotkey_ids.h"

namespace tavelin {

namespace {

// A bit for each modifier whose state the rules follow. Low-level hooks report the left and
// right modifiers apart; injected input may carry the generic code, so that counts too.
enum : unsigned {
    kLeftWin = 1u << 0,
    kRightWin = 1u << 1,
    kShift = 1u << 2,
    kControl = 1u << 3,
    kAlt = 1u << 4,
};
constexpr unsigned kWin = kLeftWin | kRightWin;

unsigned ModifierBit(unsigned virtualKey) {
    switch (virtualKey) {
        case 0x5B: return kLeftWin;   // VK_LWIN
        case 0x5C: return kRightWin;  // VK_RWIN
        default: break;
    }
    switch (ModifierOfKey(virtualKey)) {
        case kModShift: return kShift;
        case kModControl: return kControl;
        case kModAlt: return kAlt;
        default: return 0;
    }
}

// A lone Windows key or Alt, let go, opens the Start menu or a menu bar.
bool NeedsMask(unsigned modifiers) { return (modifiers & (kModWin | kModAlt)) != 0; }

}  // namespace

KeyClaim::KeyClaim(KeyCombo activeWindow, KeyCombo wholeScreen) : m_combo{activeWindow, wholeScreen} {}

void KeyClaim::Choose(KeyCombo activeWindow, KeyCombo wholeScreen) {
    m_combo[0] = activeWindow;
    m_combo[1] = wholeScreen;
}

bool KeyClaim::Watches(unsigned virtualKey) const {
    for (int slot = 0; slot < 2; ++slot)
        if ((m_combo[slot] && m_combo[slot].key == virtualKey) || m_taken[slot] == virtualKey) return true;
    return false;
}

unsigned KeyClaim::HeldModifiers() const {
    return ((m_held & kWin) ? kModWin : 0u) | ((m_held & kShift) ? kModShift : 0u) |
           ((m_held & kControl) ? kModControl : 0u) | ((m_held & kAlt) ? kModAlt : 0u);
}

// A press taken goes on with its key; else the combination the modifiers held make, else any
// with the key.
int KeyClaim::SlotOf(unsigned virtualKey) const {
    for (int slot = 0; slot < 2; ++slot)
        if (m_taken[slot] == virtualKey) return slot;
    int any = -1;
    for (int slot = 0; slot < 2; ++slot) {
        if (!m_combo[slot] || m_combo[slot].key != virtualKey) continue;
        if (m_combo[slot].modifiers == HeldModifiers()) return slot;
        if (any < 0) any = slot;
    }
    return any;
}

void KeyClaim::TakeModifiers(bool winDown, bool shiftDown, bool controlDown, bool altDown) {
    const auto take = [this](unsigned bits, bool down, unsigned bitWhenDown) {
        // A side already known stays as it is; the system's generic answer counts as the left.
        if (!down) {
            m_held &= ~bits;
        } else if (!(m_held & bits)) {
            m_held |= bitWhenDown;
        }
    };
    take(kWin, winDown, kLeftWin);
    take(kShift, shiftDown, kShift);
    take(kControl, controlDown, kControl);
    take(kAlt, altDown, kAlt);
    if (!winDown && !altDown) m_maskDue = false;
}

void KeyClaim::ForgetAll(unsigned modifiersDown, unsigned long repeatDelayMs) {
    const KeyClaim before = *this;
    *this = KeyClaim(m_combo[0], m_combo[1]);
    m_repeatDelay = repeatDelayMs;
    for (int slot = 0; slot < 2; ++slot) {
        if (!before.m_taken[slot] || (before.m_takenWith[slot] & ~modifiersDown) != 0) continue;
        m_taken[slot] = before.m_taken[slot];
        m_takenWith[slot] = before.m_takenWith[slot];
        m_carried[slot] = true;
        m_lastTime[slot] = before.m_lastTime[slot];
        m_repeated[slot] = before.m_repeated[slot];
    }
    m_maskDue = before.m_maskDue && NeedsMask(modifiersDown);
}

KeyVerdict KeyClaim::OnKey(const KeyEvent& event) {
    const unsigned virtualKey = event.virtualKey;
    const bool keyUp = event.up;
    KeyVerdict verdict;
    if (const unsigned modifier = ModifierBit(virtualKey)) {
        // Left and right Shift share a bit: releasing one while the other is held reads as
        // none held, which can only let a press through, never claim a wrong one.
        if (keyUp) {
            m_held &= ~modifier;
            if ((modifier & (kWin | kAlt)) && m_maskDue) {
                verdict.maskFirst = true;
                m_maskDue = false;
            }
        } else {
            m_held |= modifier;
        }
        return verdict;
    }

    const int slot = SlotOf(virtualKey);
    if (slot < 0) return verdict;
    if (m_carried[slot]) {
        m_carried[slot] = false;
        // A first repeat comes at the keyboard's repeat delay, later ones faster (a keyboard's
        // own timer may be a quarter slow, and the tick a little coarse): anything else is a new
        // press. In a difference, so that the tick count may wrap around.
        const std::uint32_t since = static_cast<std::uint32_t>(event.time - m_lastTime[slot]);
        const bool tooLate = since > m_repeatDelay + m_repeatDelay / 4;
        const bool tooSoon = !keyUp && !m_repeated[slot] && since < m_repeatDelay - m_repeatDelay / 8;
        if (tooLate || tooSoon) m_taken[slot] = 0;
    }
    const bool taken = m_taken[slot] == virtualKey;
    m_lastTime[slot] = event.time;
    m_repeated[slot] = !keyUp && taken;

    if (taken) {
        if (event.alreadyDown) {
            // The system holds the key down: a repeat went past the hook, or Windows stopped
            // waiting for the hook's claim. It must see the release too.
            m_taken[slot] = 0;
            return verdict;
        }
        // A repeat of a taken press, or its release: the system saw neither its start nor
        // will it see its end.
        verdict.swallow = true;
        if (keyUp) m_taken[slot] = 0;
        return verdict;
    }
    // Exactly the combination's modifiers, and a press the system has not already acted on.
    const KeyCombo& combo = m_combo[slot];
    if (keyUp || event.alreadyDown || m_taken[slot] || combo.key != virtualKey || HeldModifiers() != combo.modifiers)
        return verdict;
    m_taken[slot] = virtualKey;
    m_takenWith[slot] = combo.modifiers;
    if (NeedsMask(combo.modifiers)) m_maskDue = true;
    verdict.swallow = true;
    verdict.hotkeyId = slot == 0 ? kHotkeyActiveWindow : kHotkeyWholeScreen;
    return verdict;
}

}  // namespace tavelin
