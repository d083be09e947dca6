#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "capture/capture_rect.h"
#include "capture/screen_capture.h"
#include "settings/settings_store.h"
#include "tests/support/gdiplus_decoder.h"
#include "tests/support/foreground.h"
#include "tests/support/test_files.h"

namespace {

using namespace tavelin;

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM list) {
    MONITORINFO info{sizeof info, {}, {}, 0};
    ::GetMonitorInfoW(monitor, &info);
    reinterpret_cast<std::vector<MONITORINFO>*>(list)->push_back(info);
    return TRUE;
}

// As (left,top)-(right,bottom), which GoogleTest compares and shows.
std::string Text(const RECT& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}

}  // namespace

// CTest's two_displays: the primary 1366 x 768 and a 1024 x 768 display left of it. Each choice
// of the whole-screen key, and the active window's on a window there, through the capture
// itself: the picture has the size of what was chosen.
TEST(TwoDisplays, EveryScreenAreaAndAWindowLeftOfThePrimary) {
    // Elsewhere the displays are the machine's own, placed as its user placed them.
    if (!std::getenv("TAVELIN_DISPLAYS"))
        GTEST_SKIP() << "needs the displays that CTest's two_displays sets (TAVELIN_DISPLAYS)";
    std::vector<MONITORINFO> monitors;
    ::EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
    ASSERT_EQ(monitors.size(), 2u);
    ASSERT_EQ(::GetSystemMetrics(SM_CMONITORS), 2);
    if (!(monitors[0].dwFlags & MONITORINFOF_PRIMARY)) std::swap(monitors[0], monitors[1]);
    if (::EqualRect(&monitors[0].rcMonitor, &monitors[1].rcMonitor))
        GTEST_SKIP() << "this Wine (Wine 10) places both displays at 0,0 with the primary's size";
    EXPECT_EQ(Text(monitors[0].rcMonitor), "(0,0)-(1366,768)");
    EXPECT_EQ(Text(monitors[1].rcMonitor), "(-1024,0)-(0,768)");
    const int left = ::GetSystemMetrics(SM_XVIRTUALSCREEN), top = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
    const RECT all{left, top, left + ::GetSystemMetrics(SM_CXVIRTUALSCREEN), top + ::GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    EXPECT_EQ(Text(all), "(-1024,0)-(1366,768)");

    // A window there shows and takes the foreground, as a user's window on that display does.
    HWND window = ::CreateWindowExW(0, L"STATIC", L"left", WS_POPUP | WS_VISIBLE, -800, 200, 400, 300,
                                    nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(test::BringToFront(window));
    RECT placed{};
    ::GetWindowRect(window, &placed);
    EXPECT_EQ(Text(placed), "(-800,200)-(-400,500)");
    EXPECT_EQ(::GetForegroundWindow(), window);

    test::ForgetSettings();
    test::TempFolder folder;
    test::UseCaptureFolder(folder.Path());
    auto expectCapture = [](const RECT& rect, const RECT& expected) {
        EXPECT_EQ(Text(rect), Text(expected));
        ASSERT_TRUE(g_screenCapture.CaptureAndSave(rect));
        const test::DecodedImage image = test::DecodeWithGdiplus(g_screenCapture.LastCapture());
        EXPECT_EQ(image.width, static_cast<unsigned>(expected.right - expected.left));
        EXPECT_EQ(image.height, static_cast<unsigned>(expected.bottom - expected.top));
    };
    const auto windowRect = CaptureRectForHotkey(kHotkeyActiveWindow);
    ASSERT_TRUE(windowRect);
    expectCapture(*windowRect, placed);
    // Wine 8 reads a DISPLAY device context from the X screen's corner, black at negative x:
    // the picture's colours are looked at where Windows draws them.
    if (!::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) {
        const test::DecodedImage image = test::DecodeWithGdiplus(g_screenCapture.LastCapture());
        EXPECT_EQ(image.At(200, 150) & 0xFFFFFF, test::ScreenPixels({-600, 350, -599, 351})[0]);
    }
    ::DestroyWindow(window);
    ::SetCursorPos(-500, 300);
    const struct {
        ScreenArea area;
        RECT expected;
    } areas[] = {
        {ScreenArea::Primary, {0, 0, 1366, 768}},
        {ScreenArea::UnderPointer, {-1024, 0, 0, 768}},
        {ScreenArea::AllDisplays, {-1024, 0, 1366, 768}},
    };
    for (const auto& area : areas) {
        const auto rect = CaptureRectForHotkey(kHotkeyWholeScreen, area.area);
        ASSERT_TRUE(rect);
        expectCapture(*rect, area.expected);
    }
    test::ForgetSettings();
}
