#include "tests/support/foreground.h"

namespace tavelin::test {

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (!condition()) {
        if (::GetTickCount() - start > timeoutMs) return condition();
        // The test's own windows must paint while it waits.
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
        ::Sleep(20);
    }
    return true;
}

void ClickAt(POINT point, Button button) {
    const int width = ::GetSystemMetrics(SM_CXSCREEN);
    const int height = ::GetSystemMetrics(SM_CYSCREEN);
    INPUT move{};
    move.type = INPUT_MOUSE;
    move.mi.dx = (point.x * 65536 + width / 2) / width;
    move.mi.dy = (point.y * 65536 + height / 2) / height;
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    // The buttons carry the place too, as a mouse's report does: under Wine, another program
    // may put the pointer back where the X server last had it between the move and the press.
    INPUT clicks[3] = {move, move, move};
    clicks[1].mi.dwFlags |= button == Button::Left ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN;
    clicks[2].mi.dwFlags |= button == Button::Left ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_RIGHTUP;
    ::SendInput(3, clicks, sizeof(INPUT));
    ::Sleep(50);
}

namespace {
// Runs `use` while a window of this process's own, clicked, is in front; whether it came there.
// The clicked window is gone afterwards; `thenInFront` takes the foreground from it first, or
// its going would hand the foreground on by itself, at a moment of the system's choosing.
bool WhileInFront(const std::function<void()>& use, HWND thenInFront = nullptr) {
    DWORD inFrontNow = 0;
    ::GetWindowThreadProcessId(::GetForegroundWindow(), &inFrontNow);
    if (inFrontNow == ::GetCurrentProcessId()) {  // a window of its own clicked already
        use();
        return true;
    }
    // Top left: the tests keep the pointer and their dialogs clear of that corner. SS_NOTIFY,
    // or a static window lets clicks through.
    HWND own = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP | WS_VISIBLE | SS_NOTIFY,
                                 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ClickAt({5, 5});
    const bool inFront = WaitFor([own] { return ::GetForegroundWindow() == own; }, 3000);
    if (inFront) {
        use();
        if (thenInFront) {
            ::SetForegroundWindow(thenInFront);
            WaitFor([thenInFront] { return ::GetForegroundWindow() == thenInFront; }, 3000);
        }
    }
    ::DestroyWindow(own);
    return inFront;
}
}  // namespace

bool TakeForegroundRights(DWORD passOnTo, HWND thenInFront) {
    return WhileInFront([passOnTo] {
        if (passOnTo) ::AllowSetForegroundWindow(passOnTo);
    }, thenInFront);
}

bool BringToFront(HWND window) {
    if (::GetForegroundWindow() == window) return true;
    WhileInFront([window] { ::SetForegroundWindow(window); });
    return WaitFor([window] { return ::GetForegroundWindow() == window; }, 3000);
}

}  // namespace tavelin::test
