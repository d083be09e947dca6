// Gives the foreground back to the user's window once the tray menu or a dialog of ours is
// done with it. Windows hands the foreground of a closing dialog to its owner, here the hidden
// main window, and leaves it with the window a menu was shown for: keys typed next would go
// nowhere, and Windows key + A would have no window to capture.
#pragma once

#include <windows.h>

#include <utility>

namespace tavelin {

class ForegroundReturn {
public:
    // Remembers the user's window: `handedOver` where the tray menu passed one on, else the
    // window that has the foreground now, on behalf of the program whose hidden main window is
    // `mainWindow`.
    explicit ForegroundReturn(HWND mainWindow, HWND handedOver = nullptr);
    ~ForegroundReturn();

    // Gives up the window, for a dialog that a chosen menu command opens: the dialog needs the
    // foreground first, and gives it back itself when it closes.
    HWND HandOver();
    ForegroundReturn(const ForegroundReturn&) = delete;
    ForegroundReturn& operator=(const ForegroundReturn&) = delete;

private:
    HWND m_previous;
};

}  // namespace tavelin
