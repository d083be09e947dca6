// The identifiers WM_HOTKEY carries for the two capture keys, registered or claimed.
#pragma once

namespace tavelin {

inline constexpr int kHotkeyActiveWindow = 100;  // the active window's key, Windows key + A by default
inline constexpr int kHotkeyWholeScreen = 200;   // the whole screen's key, Windows key + S by default

}  // namespace tavelin
