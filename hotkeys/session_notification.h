// WM_WTSSESSION_CHANGE for a window of this session, from registration until reset: how the
// main window hears that the user unlocked the session.
#pragma once

#include <windows.h>

namespace tavelin {

class SessionNotification {
public:
    SessionNotification() = default;
    ~SessionNotification() { reset(); }
    SessionNotification(const SessionNotification&) = delete;
    SessionNotification& operator=(const SessionNotification&) = delete;

    bool Register(HWND window);
    // Unregisters, if registered: WTSUnRegisterSessionNotification.
    void reset();

private:
    HWND m_window = nullptr;
};

}  // namespace tavelin
