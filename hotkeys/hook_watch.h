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
// A shortfall is believed only once the hook has had its time to catch up: Windows may still
// make a call it stopped waiting for. The hook is set anew only if, a hook time-out later, it
// is still short. Wine 8's raw input may come early: see docs/testing.md, Two Wines.
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
    // The time the hook has to catch up: Windows' own longest wait for a low-level hook.
    static constexpr unsigned kCatchUpMs = 1000;

    // The hook was called for a key-down (the hook's thread).
    void OnHookKeyDown() { m_hookKeyDowns.fetch_add(1, std::memory_order_relaxed); }

    // Raw input reported a key-down (the user-interface thread); `moreWaiting` when further
    // raw input waits in the thread's queue. True while the hook is short of key-downs: ask
    // StillShort kCatchUpMs later.
    bool OnRawKeyDown(bool moreWaiting) {
        m_lead += NewHookKeyDowns() - 1;
        if (!moreWaiting) m_lead = std::min(m_lead, std::int64_t{1});
        return m_lead < -1;
    }

    // Whether the hook is still short, with the calls it has had since: it is then to be set
    // anew, and has had no chance at the keys that showed the miss.
    bool StillShort() {
        m_lead += NewHookKeyDowns();
        if (m_lead >= -1) return false;
        m_lead = 0;
        return true;
    }

private:
    std::int64_t NewHookKeyDowns() {
        const std::uint32_t hookKeyDowns = m_hookKeyDowns.load(std::memory_order_relaxed);
        // In a difference, so that the count may wrap around.
        const std::int64_t added = static_cast<std::int32_t>(hookKeyDowns - m_hookKeyDownsSeen);
        m_hookKeyDownsSeen = hookKeyDowns;
        return added;
    }

    std::atomic<std::uint32_t> m_hookKeyDowns{0};
    std::uint32_t m_hookKeyDownsSeen = 0;
    std::int64_t m_lead = 0;  // key-downs the hook saw beyond those raw input reported
};

}  // namespace tavelin
