// One press, one capture, whichever way it comes. Where the keys are both registered and claimed
// by the hook (Windows 10 and 11), a press reaches the window once: the hook swallows it before
// the registration sees it. But Windows waits only so long for a low-level hook
// (LowLevelHooksTimeout, at most a second on Windows 10) and then passes the key on: the
// registration captures, and the hook's late call can still claim the same press. The two
// ways are told apart by their times: the hook's claim carries its key event's time, and the
// registration's WM_HOTKEY is posted no earlier than that, and no later than the hook's
// time-out and a margin after it. A press outside that span, and the same way twice, are
// presses of their own.
//
// No Windows calls, so that tables of events can test the rule.
#pragma once

#include <cstdint>

#include "hotkeys/hotkey_ids.h"

namespace tavelin {

enum class PressWay { Registration, Hook };

class OnePress {
public:
    // Longer than the longest time Windows waits for a low-level hook.
    static constexpr std::uint32_t kSamePressMs = 1500;

    // A press of `hotkeyId` that came `way` at `time` (the system's milliseconds: the key
    // event's for the hook, the message's for the registration). True when it is to capture.
    bool Accept(int hotkeyId, PressWay way, std::uint32_t time) {
        Last& last = m_last[hotkeyId == kHotkeyWholeScreen ? 1 : 0];
        if (last.seen && last.way != way) {
            const std::uint32_t hookTime = way == PressWay::Hook ? time : last.time;
            const std::uint32_t registrationTime = way == PressWay::Registration ? time : last.time;
            // In a difference, so that the tick count may wrap around.
            const std::int32_t after = static_cast<std::int32_t>(registrationTime - hookTime);
            if (after >= 0 && after <= static_cast<std::int32_t>(kSamePressMs)) return false;
        }
        last = {true, way, time};
        return true;
    }

private:
    struct Last {
        bool seen = false;
        PressWay way = PressWay::Registration;
        std::uint32_t time = 0;
    };
    Last m_last[2];
};

}  // namespace tavelin
