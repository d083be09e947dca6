// Notices a keyboard hook that Windows no longer calls. Windows removes a low-level hook that
// keeps missing its time-out, without a word. Raw input reports every key-down once the
// low-level hooks have let it pass, so a hook that is still set has seen each one first; a
// run of key-downs that the hook never saw says it is gone. Tick counts and counts only, no
// Windows calls, so that tables of events can test the rule.
#pragma once

namespace tavelin {

class HookWatch {
public:
    // Key-downs that raw input reports with no hook call before them, in a row, that set the
    // hook anew. More than one, so that a single key the hook was skipped for (it missed its
    // time-out once) does not.
    static constexpr int kMissedToSetAnew = 2;
    // A hook call older than this matches no raw key-down: raw input follows within
    // milliseconds, and an older call is one for a key that a later hook took.
    static constexpr unsigned long kMatchMs = 1000;

    // The hook let a key-down pass, at this tick count.
    void OnHookKeyDown(unsigned long now) {
        ++m_unmatched;
        m_missed = 0;
        m_lastHookCall = now;
    }

    // Raw input reported a key-down at this tick count. True when the hook is to be set anew.
    bool OnRawKeyDown(unsigned long now) {
        if (m_unmatched > 0 && now - m_lastHookCall < kMatchMs) {
            --m_unmatched;
            return false;
        }
        m_unmatched = 0;
        if (++m_missed < kMissedToSetAnew) return false;
        m_missed = 0;
        return true;
    }

private:
    int m_unmatched = 0;  // hook calls that no raw key-down has matched yet
    int m_missed = 0;
    unsigned long m_lastHookCall = 0;
};

}  // namespace tavelin
