// Notices a keyboard hook that Windows no longer calls. Windows removes a low-level hook that
// keeps missing its time-out, without a word. Raw input reports every key-down as well, after
// the low-level hooks have been called for it, so a hook that is still set has been called for
// at least as many key-downs as raw input has reported; two reported key-downs more than the
// hook saw mean that it is gone. Key-downs are counted, not matched by their time: the times
// of injected keys are the sender's choice (remote-control tools set them), and nothing says
// that the hook's event time and raw input's message time agree.
//
// The hook may see more key-downs than raw input reports: Windows reports none that a hook
// swallowed (ours takes the claimed presses); key-downs not yet read from the queue of a busy
// user-interface thread are still to come; and the key the hook is called for at this moment
// has not been handed to raw input yet. Once no raw input waits, a lead of more than that one
// key is of the first kind, and is forgotten, so that a hook gone after many such keys is
// still noticed at the third key-down after.
//
// The hook's thread reports its calls, the user-interface thread the raw key-downs. No
// Windows calls, so that tables of events can test the rule.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>

namespace tavelin {

class HookWatch {
public:
    // The hook was called for a key-down (the hook's thread).
    void OnHookKeyDown() { m_hookKeyDowns.fetch_add(1, std::memory_order_relaxed); }

    // Raw input reported a key-down (the user-interface thread); `moreWaiting` when further
    // raw input waits in the thread's queue. True when the hook missed keys, and is to be set
    // anew.
    bool OnRawKeyDown(bool moreWaiting) {
        const std::uint32_t hookKeyDowns = m_hookKeyDowns.load(std::memory_order_relaxed);
        // In a difference, so that the count may wrap around.
        m_lead += static_cast<std::int32_t>(hookKeyDowns - m_hookKeyDownsSeen) - 1;
        m_hookKeyDownsSeen = hookKeyDowns;
        if (m_lead < -1) {
            // Set anew, the hook has had no chance at the keys that showed the miss.
            m_lead = 0;
            return true;
        }
        if (!moreWaiting) m_lead = std::min(m_lead, std::int64_t{1});
        return false;
    }

private:
    std::atomic<std::uint32_t> m_hookKeyDowns{0};
    std::uint32_t m_hookKeyDownsSeen = 0;
    std::int64_t m_lead = 0;  // key-downs the hook saw beyond those raw input reported
};

}  // namespace tavelin
