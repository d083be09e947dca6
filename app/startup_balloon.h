// What the start-up balloon says, given which hotkeys could be registered.
#pragma once

namespace tavelin {

inline constexpr wchar_t kTrayToolTip[] = L"pellumry";
inline constexpr wchar_t kBalloonTitle[] = L"Tavelin - pellumry";

// A second copy started in the same session ends at once, and asks the running copy with this
// registered window message to show its start-up balloon again, so that the start is answered.
inline constexpr wchar_t kShowBalloonAgainMessage[] = L"Tavelin.ShowStartupBalloonAgain";

// The balloon promises only the hotkeys that work, and names the combination that another
// program holds, so that a capture key that does nothing is no mystery.
const wchar_t* StartupBalloonText(bool activeWindowKey, bool wholeScreenKey);

}  // namespace tavelin
