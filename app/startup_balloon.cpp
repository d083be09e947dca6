#include "app/startup_balloon.h"

namespace tavelin {

const wchar_t* StartupBalloonText(bool activeWindowKey, bool wholeScreenKey) {
    if (activeWindowKey && wholeScreenKey) {
        return L"Press (WinKey + A) to clip active window.\nPress (WinKey + S) to clip entire screen.";
    }
    if (wholeScreenKey) {
        return L"(WinKey + A) is in use by another program.\nPress (WinKey + S) to clip entire screen.";
    }
    if (activeWindowKey) {
        return L"Press (WinKey + A) to clip active window.\n(WinKey + S) is in use by another program.";
    }
    return L"(WinKey + A) and (WinKey + S) are in use by another program.";
}

}  // namespace tavelin
