#include "app/startup_balloon.h"

namespace tavelin {

std::wstring StartupBalloonText(const CaptureKeys& keys, bool activeWindowKey, bool wholeScreenKey) {
    const std::wstring a = L"(" + KeyComboText(keys.activeWindow, KeyTextStyle::Balloon) + L")";
    const std::wstring s = L"(" + KeyComboText(keys.wholeScreen, KeyTextStyle::Balloon) + L")";
    if (activeWindowKey && wholeScreenKey) {
        return L"Press " + a + L" to clip active window.\nPress " + s + L" to clip entire screen.";
    }
    if (wholeScreenKey) return a + L" is in use by another program.\nPress " + s + L" to clip entire screen.";
    if (activeWindowKey) return L"Press " + a + L" to clip active window.\n" + s + L" is in use by another program.";
    return a + L" and " + s + L" are in use by another program.";
}

std::wstring AboutHotkeysText(const CaptureKeys& keys) {
    // The default keys as the About box always named them, its odd blanks too.
    const std::wstring a = keys.activeWindow == kDefaultActiveWindowKey
                               ? L"WinKey+ A"
                               : KeyComboText(keys.activeWindow, KeyTextStyle::Balloon);
    return L"\t  HotKeys\nActive Window (" + a + L")\n Entire Screen (" +
           KeyComboText(keys.wholeScreen, KeyTextStyle::Balloon) + L")";
}

}  // namespace tavelin
