#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <cstddef>
#include <string>

#include "app/startup_balloon.h"
#include "tray/tray_icon.h"

namespace tavelin {
namespace {

TEST(TrayRecord, SizeAndVersionFollowTheSystemsMajorVersion) {
    for (DWORD major : {6u, 10u}) {
        const TrayRecordFormat format = TrayRecordFormatFor(major);
        EXPECT_EQ(format.size, offsetof(NOTIFYICONDATAW, hBalloonIcon)) << major;
        EXPECT_EQ(format.version, 4u);
    }
    EXPECT_EQ(TrayRecordFormatFor(5).size, offsetof(NOTIFYICONDATAW, guidItem));
    EXPECT_EQ(TrayRecordFormatFor(5).version, 3u);
    EXPECT_EQ(TrayRecordFormatFor(4).size, 0u);
    EXPECT_EQ(TrayRecordFormatFor(4).version, 0u);
    if (sizeof(void*) == 4) {
        // The layouts that 32-bit Windows knows by these sizes.
        EXPECT_EQ(TrayRecordFormatFor(6).size, 952u);
        EXPECT_EQ(TrayRecordFormatFor(5).size, 936u);
    }
}

TEST(StartupBalloon, NamesTheChosenKeysAndPromisesOnlyThoseThatWork) {
    const CaptureKeys defaults;
    EXPECT_EQ(StartupBalloonText(defaults, true, true),
              L"Press (WinKey + A) to clip active window.\nPress (WinKey + S) to clip entire screen.");
    EXPECT_EQ(StartupBalloonText(defaults, false, true),
              L"(WinKey + A) is in use by another program.\nPress (WinKey + S) to clip entire screen.");
    EXPECT_EQ(StartupBalloonText(defaults, true, false),
              L"Press (WinKey + A) to clip active window.\n(WinKey + S) is in use by another program.");
    EXPECT_EQ(StartupBalloonText(defaults, false, false),
              L"(WinKey + A) and (WinKey + S) are in use by another program.");
    EXPECT_EQ(AboutHotkeysText(defaults), L"\t  HotKeys\nActive Window (WinKey+ A)\n Entire Screen (WinKey + S)");

    const CaptureKeys chosen{{kModControl | kModShift, VK_F5}, {0, VK_SNAPSHOT}};
    EXPECT_EQ(StartupBalloonText(chosen, true, false),
              L"Press (Ctrl + Shift + F5) to clip active window.\n(PrintScreen) is in use by another program.");
    EXPECT_EQ(AboutHotkeysText(chosen), L"\t  HotKeys\nActive Window (Ctrl + Shift + F5)\n Entire Screen (PrintScreen)");
    // The longest names still fit the balloon's 256-character field.
    const KeyCombo longest{kModWin | kModControl | kModAlt | kModShift, VK_SCROLL};
    EXPECT_LT(StartupBalloonText({longest, longest}, true, true).size(), 256u);
}

}  // namespace
}  // namespace tavelin
