// One press, one capture, whichever way it comes. Where the keys are both registered and claimed
// by the hook (Windows 10 and 11), a press reaches the window once: the hook swallows it before
// the registration sees it. But Windows waits only so long for a low-level hook
// (LowLevelHooksTimeout, at most a second on Windows 10) and then passes the key on: the
// registration captures, and the hook's late call can still claim the same press. Only a claim
// made late can be such a pair: one made in time kept its key from the system. A late claim and
// a registration are one press where the registration's WM_HOTKEY is posted no earlier than the
// claim's key event and no later than the hook's time-out and a margin after it; each pairs
// once. Everything else is a press of its own.
//
// No Windows calls, so that tables of events can test the rule.
#pragma once

#include <cstdint>

#include "hotkeys/hotkey_ids.h"

namespace tavelin {

// Registration: WM_HOTKEY. Hook: a claim made in time. LateHook: a claim whose key event was
// older than LateClaimBoundMs when the hook was called, which Windows may have passed on.
enum class PressWay { Registration, Hook, LateHook };

// Windows counts its wait from the moment it hands the event to the hook, which is later than
// the event's own time: a hook called within half the wait of the event answered in time,
// however busy the thread then is.
constexpr std::uint32_t LateClaimBoundMs(std::uint32_t hookTimeoutMs) {
    constexpr std::uint32_t kDefaultTimeoutMs = 300, kLongestTimeoutMs = 1000;
    const std::uint32_t timeout = hookTimeoutMs == 0 ? kDefaultTimeoutMs
                                  : hookTimeoutMs > kLongestTimeoutMs ? kLongestTimeoutMs
                                                                      : hookTimeoutMs;
    return timeout / 2;
}

class OnePress {
public:
    // Longer than the longest time Windows waits for a low-level hook.
    static constexpr std::uint32_t kSamePressMs = 1500;

    // A press of `hotkeyId` that came `way` at `time` (the system's milliseconds: the key
    // event's for the hook, the message's for the registration). True when it is to capture.
    bool Accept(int hotkeyId, PressWay way, std::uint32_t time) {
        if (way == PressWay::Hook) return true;
        Unpaired (&unpaired)[2] = m_unpaired[hotkeyId == kHotkeyWholeScreen ? 1 : 0];
        const bool registration = way == PressWay::Registration;
        Unpaired& other = unpaired[registration ? 1 : 0];
        if (other.seen) {
            const std::uint32_t hookTime = registration ? other.time : time;
            const std::uint32_t registrationTime = registration ? time : other.time;
            // In a difference, so that the tick count may wrap around.
            const std::int32_t after = static_cast<std::int32_t>(registrationTime - hookTime);
            if (after >= 0 && after <= static_cast<std::int32_t>(kSamePressMs)) {
                other.seen = false;
                return false;
            }
        }
        unpaired[registration ? 0 : 1] = {true, time};
        return true;
    }

private:
    struct Unpaired {
        bool seen = false;
        std::uint32_t time = 0;
    };
    // For each key, the last registration and the last late claim that no other press took.
    Unpaired m_unpaired[2][2];
};

}  // namespace tavelin
