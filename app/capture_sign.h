// The brief sign that a capture was saved: the captured rectangle dims for a moment.
#pragma once

#include <windows.h>

namespace tavelin {

class CaptureSign {
public:
    CaptureSign() = default;
    CaptureSign(const CaptureSign&) = delete;
    CaptureSign& operator=(const CaptureSign&) = delete;
    ~CaptureSign() { Remove(); }

    // Dims `rect` until Remove, which `owner` is told to call through WM_TIMER with `timerId`
    // a fifth of a second later. Nothing where the user turned Windows' animations off, or
    // while a full-screen game or a presentation is in front.
    void Show(HWND owner, UINT_PTR timerId, const RECT& rect);
    // No part of a capture once this returns: left out of screen captures where Windows can
    // do that, else gone from the screen. Runs nothing else of the program's meanwhile.
    void Remove();

private:
    HWND m_window = nullptr;
    HWND m_owner = nullptr;
    UINT_PTR m_timerId = 0;
    bool m_leftOutOfCaptures = false;
};

}  // namespace tavelin
