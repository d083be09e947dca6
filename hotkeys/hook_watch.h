// Notices a keyboard hook that Windows no longer calls. Windows removes a low-level hook that
// keeps missing its time-out, without a word. Raw input reports every key-down as well, so a
// hook that is still set has been called for an event at least as new as one key-down by
// the time the next is reported; if not, it missed that key. The hook's thread reports its
// calls, the user-interface thread the raw key-downs, each with the event's time (whichever
// thread runs first for one event). Event times only, no Windows calls, so that tables of
// events can test the rule.
#pragma once

#include <atomic>
#include <cstdint>

namespace tavelin {

class HookWatch {
public:
    // The hook was called for a key event of this time (the hook's thread).
    void OnHookCall(std::uint32_t eventTime) { m_lastHookCall.store(eventTime); }

    // Raw input reported a key-down of this time (the user-interface thread). True when the
    // hook missed the key-down before, and is to be set anew.
    bool OnRawKeyDown(std::uint32_t eventTime) {
        const std::uint32_t lastHookCall = m_lastHookCall.load();
        // In a difference, so that the tick count may wrap around.
        const bool missed =
            m_anyKeyDown && static_cast<std::int32_t>(lastHookCall - m_previousKeyDown) < 0;
        m_anyKeyDown = true;
        // Once it is set anew, the hook has had no chance at the key that showed the miss.
        m_previousKeyDown = missed ? lastHookCall : eventTime;
        return missed;
    }

private:
    std::atomic<std::uint32_t> m_lastHookCall{0};
    std::uint32_t m_previousKeyDown = 0;
    bool m_anyKeyDown = false;
};

}  // namespace tavelin
