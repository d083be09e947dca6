// The identifiers WM_HOTKEY carries for the two capture keys, registered or claimed.
#pragma once

namespace tavelin {

inline constexpr int kHotkeyActiveWindow = 100;  // Windows key + A
inline constexpr int kHotkeyWholeScreen = 200;   // Windows key + S

}  // namespace tavelin
