// Clicks, and the foreground that a click gives: Windows lets a process set the foreground
// only where it had the last input (or was given the right by the one that did), and a test
// started by a CI runner has neither.
#pragma once

#include <windows.h>

#include <functional>

namespace tavelin::test {

// Polls until the condition holds or the time is up; returns the condition's last answer.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = 10000);

// A click at a screen point through SendInput, as a user's mouse gives it. Leaves the pointer
// there.
enum class Button { Left, Right };
void ClickAt(POINT screenPoint, Button button = Button::Left);

// Takes the right to set the foreground with a click on a window of this process's own at the
// screen's top left; with `passOnTo`, passes it on to that process; with `thenInFront`, where
// it clicked, leaves that window in front. Whether the right was taken.
bool TakeForegroundRights(DWORD passOnTo = 0, HWND thenInFront = nullptr);
// Brings a window of any process to the front with that right; whether it is in front.
bool BringToFront(HWND window);

}  // namespace tavelin::test
