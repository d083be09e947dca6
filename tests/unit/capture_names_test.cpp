#include <gtest/gtest.h>

#include <cwchar>
#include <set>
#include <string>

#include "capture/capture_names.h"

namespace tavelin {
namespace {

std::wstring Compose(const wchar_t* folder, const wchar_t* base, int number, const wchar_t* ext) {
    wchar_t name[kCaptureNameChars];
    ComposeCaptureName(name, folder, base, number, ext);
    return name;
}

TEST(CaptureNames, FolderBaseNumberAndExtension) {
    EXPECT_EQ(Compose(L"C:\\Users\\me\\Desktop", L"Shot", 1, L".bmp"), L"C:\\Users\\me\\Desktop\\Shot-1.bmp");
    EXPECT_EQ(Compose(L"D:\\caps", L"Shot", 12, L".jpg"), L"D:\\caps\\Shot-12.jpg");
    // The separator is always put in: a folder ending in one doubles it.
    EXPECT_EQ(Compose(L"D:\\", L"x", 3, L".jpg"), L"D:\\\\x-3.jpg");
    // An empty folder puts the file in the root of the current drive.
    EXPECT_EQ(Compose(L"", L"Shot", 1, L".bmp"), L"\\Shot-1.bmp");
    EXPECT_EQ(Compose(L"C:\\a", L"", 7, L".bmp"), L"C:\\a\\-7.bmp");
    EXPECT_EQ(Compose(L"C:\\\x00e9t\x00e9", L"\x5199\x771f", 2147483647, L".jpg"),
              L"C:\\\x00e9t\x00e9\\\x5199\x771f-2147483647.jpg");
}

TEST(CaptureNames, LongestStoredFolderAndNameStillFit) {
    const std::wstring folder(254, L'f');
    const std::wstring base(99, L'b');
    const std::wstring name = Compose(folder.c_str(), base.c_str(), 123456, L".bmp");
    EXPECT_EQ(name, folder + L"\\" + base + L"-123456.bmp");
}

// Up to capture 99999 of a run, every name stays within what Windows opens.
TEST(CaptureNames, FitOnlyWhereWindowsCanOpenThem) {
    EXPECT_TRUE(CaptureNamesFit(std::wstring(244, L'f'), L"Shot"));
    EXPECT_FALSE(CaptureNamesFit(std::wstring(245, L'f'), L"Shot"));
    EXPECT_FALSE(CaptureNamesFit(std::wstring(257, L'f'), L""));
    EXPECT_TRUE(CaptureNamesFit(L"C:\\a", std::wstring(99, L'b')));
    const std::wstring longest = Compose(std::wstring(244, L'f').c_str(), L"Shot", 99999, L".jpg");
    EXPECT_EQ(longest.size(), kLongestFileNameChars);
}

TEST(CaptureNames, OverlongPartsAreCutNotOverrun) {
    const std::wstring folder(600, L'f');
    wchar_t name[kCaptureNameChars + 8];
    std::wmemset(name, L'#', kCaptureNameChars + 8);
    ComposeCaptureName(*reinterpret_cast<wchar_t(*)[kCaptureNameChars]>(name), folder.c_str(),
                       L"Shot", 1, L".bmp");
    EXPECT_EQ(std::wcslen(name), kCaptureNameChars - 1);
    for (size_t i = kCaptureNameChars; i < kCaptureNameChars + 8; ++i) EXPECT_EQ(name[i], L'#');
}

TEST(CaptureNames, FirstFreeNumberSkipsTakenOnes) {
    const std::set<int> taken = {1, 2, 4};
    auto isTaken = [&](int n) { return taken.count(n) > 0; };
    EXPECT_EQ(FirstFreeNumber(1, isTaken), 3);
    EXPECT_EQ(FirstFreeNumber(3, isTaken), 3);
    EXPECT_EQ(FirstFreeNumber(4, isTaken), 5);
    EXPECT_EQ(FirstFreeNumber(1, [](int) { return false; }), 1);
}

}  // namespace
}  // namespace tavelin
