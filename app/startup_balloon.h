// What the start-up balloon and the About box say of the capture keys.
#pragma once

#include <string>

#include "hotkeys/key_combo.h"

namespace tavelin {

inline constexpr wchar_t kTrayToolTip[] = L"pellumry";
inline constexpr wchar_t kBalloonTitle[] = L"Tavelin - pellumry";

// A second copy started in the same session ends at once, and asks the running copy with this
// registered window message to show its start-up balloon again, so that the start is answered.
inline constexpr wchar_t kShowBalloonAgainMessage[] = L"Tavelin.ShowStartupBalloonAgain";

// The balloon names the keys chosen, promises only those that work, and names the combination
// that another program holds, so that a capture key that does nothing is no mystery. Every
// text fits the balloon's 255 characters.
std::wstring StartupBalloonText(const CaptureKeys& keys, bool activeWindowKey, bool wholeScreenKey);

// The About box's hotkey text.
std::wstring AboutHotkeysText(const CaptureKeys& keys);

}  // namespace tavelin
