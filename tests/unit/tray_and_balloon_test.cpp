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

TEST(StartupBalloon, PromisesOnlyTheKeysThatWork) {
    EXPECT_EQ(std::wstring(StartupBalloonText(true, true)),
              L"Press (WinKey + A) to clip active window.\nPress (WinKey + S) to clip entire screen.");
    EXPECT_EQ(std::wstring(StartupBalloonText(false, true)),
              L"(WinKey + A) is in use by another program.\nPress (WinKey + S) to clip entire screen.");
    EXPECT_EQ(std::wstring(StartupBalloonText(true, false)),
              L"Press (WinKey + A) to clip active window.\n(WinKey + S) is in use by another program.");
    EXPECT_EQ(std::wstring(StartupBalloonText(false, false)),
              L"(WinKey + A) and (WinKey + S) are in use by another program.");
    // Every text fits the balloon's 256-character field.
    for (bool a : {false, true})
        for (bool s : {false, true}) EXPECT_LT(std::wcslen(StartupBalloonText(a, s)), 256u);
}

}  // namespace
}  // namespace tavelin
