// Which part of the screen each hotkey captures.
#pragma once

#include <windows.h>

#include <optional>

#include "hotkeys/hotkey_ids.h"
#include "settings/settings_store.h"

namespace tavelin {

// Kept by the desktop manager but not drawn (a suspended store app, a window on another
// virtual desktop, Start and Search while closed), though it may pass IsWindowVisible.
bool IsCloaked(HWND window);

// A rectangle that a bitmap can be made of: a width and height that are positive and fit
// in an int.
bool HasArea(const RECT& rect);

// The visible frame of a top-level window: DWM's extended frame bounds where DWM answers,
// else its window rectangle. Since Windows 10 the window rectangle includes invisible
// resize borders, and a capture of it would carry the pixels behind them.
std::optional<RECT> VisibleWindowRect(HWND window);

// The screen rectangle for a hotkey identifier, or nothing when there is nothing to capture
// (an unknown identifier, no foreground window or one that is not on the screen: invisible,
// minimised or cloaked; or a rectangle without area). The whole-screen key's is `area`'s: the
// primary display, the display under the pointer, or the box around all displays.
std::optional<RECT> CaptureRectForHotkey(int hotkeyId, ScreenArea area = ScreenArea::Primary);

// Paints black what no display shows of a copy of `rect` held in `memory` (the corners of the
// box around displays of different sizes), so that the picture holds no stale pixels there.
void BlackenOffScreenParts(HDC memory, const RECT& rect);

}  // namespace tavelin
