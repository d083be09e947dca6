#include <gtest/gtest.h>

#include "framework/message_box.h"

namespace tavelin {
namespace {

TEST(MessageBoxTitle, ExecutableNameWithoutExtension) {
    EXPECT_EQ(TitleFromModulePath(L"C:\\Program Files\\Tavelin\\Tavelin.exe"), L"Tavelin");
    EXPECT_EQ(TitleFromModulePath(L"C:\\tools.v2\\Tavelin"), L"Tavelin");
    EXPECT_EQ(TitleFromModulePath(L"C:\\x\\my.app.exe"), L"my.app");
    EXPECT_EQ(TitleFromModulePath(L"Tavelin.EXE"), L"Tavelin");
    EXPECT_EQ(TitleFromModulePath(L"Z:/build/bin/Tavelin.exe"), L"Tavelin");
}

TEST(MessageBoxTitle, IconFollowsTheButtons) {
    EXPECT_EQ(DefaultIconFor(MB_OK), static_cast<UINT>(MB_ICONEXCLAMATION));
    EXPECT_EQ(DefaultIconFor(MB_YESNO), static_cast<UINT>(MB_ICONQUESTION));
    EXPECT_EQ(DefaultIconFor(MB_OK | MB_ICONINFORMATION), 0u);
}

}  // namespace
}  // namespace tavelin
