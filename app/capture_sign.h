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

    // Dims `rect` until Remove, which `owner` is told to call through WM_TIMER with kTimerId
    // a fifth of a second later. Nothing where the user turned Windows' animations off, or
    // while a full-screen game or a presentation is in front.
    void Show(HWND owner, const RECT& rect);
    // Gone from the screen once this returns, so that a capture copies what is under it.
    void Remove();

    static constexpr UINT_PTR kTimerId = 2;

private:
    HWND m_window = nullptr;
    HWND m_owner = nullptr;
};

}  // namespace tavelin
