#include "hotkeys/key_claim.h"

#include <cstdint>

#include "hotkeys/hotkey_ids.h"

namespace tavelin {

namespace {

// A bit for each key whose state the rules follow. Low-level hooks report the left and right
// modifiers apart; injected input may carry the generic code, so that counts too.
enum : unsigned {
    kLeftWin = 1u << 0,
    kRightWin = 1u << 1,
    kShift = 1u << 2,
    kControl = 1u << 3,
    kAlt = 1u << 4,
    kClaimedA = 1u << 5,  // A went down as a claimed press and has not come up
    kClaimedS = 1u << 6,
};
constexpr unsigned kWin = kLeftWin | kRightWin;

unsigned ModifierBit(unsigned virtualKey) {
    switch (virtualKey) {
        case 0x5B: return kLeftWin;   // VK_LWIN
        case 0x5C: return kRightWin;  // VK_RWIN
        case 0x10:                    // VK_SHIFT
        case 0xA0:                    // VK_LSHIFT
        case 0xA1: return kShift;     // VK_RSHIFT
        case 0x11:                    // VK_CONTROL
        case 0xA2:                    // VK_LCONTROL
        case 0xA3: return kControl;   // VK_RCONTROL
        case 0x12:                    // VK_MENU
        case 0xA4:                    // VK_LMENU
        case 0xA5: return kAlt;       // VK_RMENU
        default: return 0;
    }
}

}  // namespace

KeyClaim::KeyClaim(bool claimActiveWindow, bool claimWholeScreen)
    : m_claimA(claimActiveWindow), m_claimS(claimWholeScreen) {}

void KeyClaim::TakeModifiers(bool winDown, bool shiftDown, bool controlDown, bool altDown) {
    const auto take = [this](unsigned bits, bool down, unsigned bitWhenDown) {
        // A side already known stays as it is; the system's generic answer counts as the left.
        if (!down) {
            m_held &= ~bits;
        } else if (!Held(bits)) {
            m_held |= bitWhenDown;
        }
    };
    take(kWin, winDown, kLeftWin);
    take(kShift, shiftDown, kShift);
    take(kControl, controlDown, kControl);
    take(kAlt, altDown, kAlt);
    if (!winDown) m_maskDue = false;
}

void KeyClaim::ForgetAll(bool winDown, unsigned long repeatDelayMs) {
    const KeyClaim before = *this;
    *this = KeyClaim(m_claimA, m_claimS);
    m_repeatDelay = repeatDelayMs;
    if (winDown) {
        m_held = before.m_held & (kClaimedA | kClaimedS);
        m_carried = m_held;
        m_maskDue = before.m_maskDue;
        for (int key = 0; key < 2; ++key) {
            m_lastTime[key] = before.m_lastTime[key];
            m_repeated[key] = before.m_repeated[key];
        }
    }
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
            if ((modifier & kWin) && m_maskDue) {
                verdict.maskFirst = true;
                m_maskDue = false;
            }
        } else {
            m_held |= modifier;
        }
        return verdict;
    }

    unsigned claimedBit = 0;
    if (virtualKey == 'A' && m_claimA) claimedBit = kClaimedA;
    if (virtualKey == 'S' && m_claimS) claimedBit = kClaimedS;
    if (!claimedBit) return verdict;

    const int key = claimedBit == kClaimedA ? 0 : 1;
    if (m_carried & claimedBit) {
        m_carried &= ~claimedBit;
        // A first repeat comes at the keyboard's repeat delay, later ones faster (a keyboard's
        // own timer may be a quarter slow, and the tick a little coarse): anything else is a new
        // press. In a difference, so that the tick count may wrap around.
        const std::uint32_t since = static_cast<std::uint32_t>(event.time - m_lastTime[key]);
        const bool tooLate = since > m_repeatDelay + m_repeatDelay / 4;
        const bool tooSoon = !keyUp && !m_repeated[key] && since < m_repeatDelay - m_repeatDelay / 8;
        if (tooLate || tooSoon) m_held &= ~claimedBit;
    }
    m_lastTime[key] = event.time;
    m_repeated[key] = !keyUp && Held(claimedBit);

    if (Held(claimedBit)) {
        if (event.alreadyDown) {
            // The system holds the key down: a repeat went past the hook, or Windows stopped
            // waiting for the hook's claim. It must see the release too.
            m_held &= ~claimedBit;
            return verdict;
        }
        // A repeat of a taken press, or its release: the system saw neither its start nor
        // will it see its end.
        verdict.swallow = true;
        if (keyUp) m_held &= ~claimedBit;
        return verdict;
    }
    // MOD_WIN alone: a Windows key down and no Ctrl, Alt or Shift; and a press the system has
    // not already acted on.
    if (keyUp || event.alreadyDown || !Held(kWin) || Held(kShift | kControl | kAlt)) return verdict;
    m_held |= claimedBit;
    m_maskDue = true;
    verdict.swallow = true;
    verdict.hotkeyId = claimedBit == kClaimedA ? kHotkeyActiveWindow : kHotkeyWholeScreen;
    return verdict;
}

}  // namespace tavelin
