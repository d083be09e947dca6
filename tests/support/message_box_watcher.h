// Answers this process's message boxes from a second thread, so that a test can check the
// exact text a real box showed without a person pressing OK.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tavelin::test {

class MessageBoxWatcher {
public:
    // Boxes are answered with OK once they have been up for answerAfterMs.
    explicit MessageBoxWatcher(int answerAfterMs = 0);
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    struct Seen {
        std::wstring caption;
        std::wstring text;
        bool exclamationIcon = false;
    };
    // Every box answered so far, in order.
    std::vector<Seen> Boxes() const;

private:
    void Watch();

    const int m_answerAfterMs;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<Seen> m_seen;
    std::thread m_thread;
};

}  // namespace tavelin::test
