#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <utility>
#include <string>
#include <vector>

#include "capture/capture_rect.h"
#include "capture/image.h"
#include "capture/screen_capture.h"
#include "framework/message_box.h"
#include "framework/unique_handles.h"
#include "settings/settings_store.h"
#include "tests/support/gdiplus_decoder.h"
#include "tests/support/held_resources.h"
#include "tests/support/foreground.h"
#include "tests/support/message_box_watcher.h"
#include "tests/support/test_files.h"

namespace tavelin {
namespace {

// The whole primary screen, whatever its size.
const RECT kScreen{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
const unsigned kScreenWidth = static_cast<unsigned>(kScreen.right);
const unsigned kScreenHeight = static_cast<unsigned>(kScreen.bottom);


// A finished capture: a JPEG of the given size that an independent decoder reads.
void ExpectJpegCapture(const std::wstring& path, unsigned width, unsigned height) {
    const std::vector<uint8_t> bytes = test::ReadBytes(path);
    ASSERT_GT(bytes.size(), 3u) << "no capture file";
    EXPECT_TRUE(bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) << "not a JPEG file";
    const test::DecodedImage image = test::DecodeWithGdiplus(path);
    ASSERT_TRUE(image.ok);
    EXPECT_EQ(image.width, width);
    EXPECT_EQ(image.height, height);
}

// The number in "Shot-12.jpg".
int NumberOf(const std::wstring& name) {
    const size_t dash = name.rfind(L'-');
    return std::stoi(name.substr(dash + 1));
}

// Captures into an empty folder and returns the number the capture was given.
int CaptureOnceInto(const test::TempFolder& folder, const RECT& rect = kScreen) {
    test::UseCaptureFolder(folder.Path());
    g_screenCapture.CaptureAndSave(rect);
    const auto names = folder.Names();
    if (names.size() != 1) {
        ADD_FAILURE() << "expected one capture file, found " << names.size();
        return -1;
    }
    return NumberOf(names[0]);
}

class CapturePipeline : public testing::Test {
protected:
    void SetUp() override { test::ForgetSettings(); }
    void TearDown() override { test::ForgetSettings(); }
};

TEST_F(CapturePipeline, WholeScreenBecomesTheNextNumberedFile) {
    test::TempFolder folder;
    const int first = CaptureOnceInto(folder);
    ASSERT_GT(first, 0);
    EXPECT_EQ(folder.Names(), std::vector<std::wstring>{L"Shot-" + std::to_wstring(first) + L".jpg"})
        << "one JPEG, and the temporary BMP is gone";
    ExpectJpegCapture(folder.File(folder.Names()[0]), kScreenWidth, kScreenHeight);

    test::UseCaptureFolder(folder.Path(), L"Other name");
    g_screenCapture.CaptureAndSave(kScreen);
    EXPECT_TRUE(test::Exists(folder.File(L"Other name-" + std::to_wstring(first + 1) + L".jpg")))
        << "the settings are read afresh and the number moves on";
    EXPECT_EQ(folder.Names().size(), 2u);
}

// A window painted with a pattern that every lossy step would change: its PNG capture is the
// screen pixel for pixel; a JPEG at quality 95 keeps more than one at 50.
TEST_F(CapturePipeline, PngIsTheScreenItselfAndJpegQualityCounts) {
    constexpr int kWidth = 96, kHeight = 64;
    const RECT place{120, 90, 120 + kWidth, 90 + kHeight};
    // A window that paints nothing of its own over the pattern.
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TavelinPatternWindow";
    ::RegisterClassW(&windowClass);
    HWND window = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, windowClass.lpszClassName, L"", WS_POPUP | WS_VISIBLE,
                                    place.left, place.top, kWidth, kHeight, nullptr, nullptr, windowClass.hInstance, nullptr);
    ASSERT_TRUE(window);
    std::vector<DWORD> pattern(kWidth * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            pattern[y * kWidth + x] = static_cast<DWORD>((x * 37 + y * 11) & 255) << 16 | ((x * y) & 255) << 8 | ((x ^ y) * 5 & 255);
    auto paint = [&] {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), kWidth, -kHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        HDC dc = ::GetDC(window);
        ::SetDIBitsToDevice(dc, 0, 0, kWidth, kHeight, 0, 0, 0, kHeight, pattern.data(), &info, DIB_RGB_COLORS);
        ::ReleaseDC(window, dc);
        ::GdiFlush();
    };
    // Until the screen shows it: a window just shown may not be on the screen yet (Wine 10).
    for (int attempt = 0; attempt < 50 && test::ScreenPixels(place) != pattern; ++attempt) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
        paint();
        ::Sleep(50);
    }

    test::TempFolder folder;
    test::UseCaptureFolder(folder.Path());
    const unique_hkey settings = OpenUserKey(kSettingsKeyPath);
    WriteText(settings.get(), kFileTypeValue, L"PNG");
    ASSERT_TRUE(g_screenCapture.CaptureAndSave(place));
    const std::vector<DWORD> shown = test::ScreenPixels(place);
    ASSERT_EQ(folder.Names().size(), 1u);
    const std::wstring png = folder.File(folder.Names()[0]);
    EXPECT_EQ(png.substr(png.size() - 4), L".png");
    EXPECT_EQ(g_screenCapture.LastCapture(), png);
    const test::DecodedImage image = test::DecodeWithGdiplus(png);
    ASSERT_TRUE(image.ok && image.width == kWidth && image.height == kHeight);
    EXPECT_EQ(shown, pattern) << "the screen does not show the pattern";
    size_t differing = 0;
    for (size_t i = 0; i < shown.size(); ++i) differing += (image.argb[i] & 0xFFFFFF) != shown[i];
    EXPECT_EQ(differing, 0u) << "pixels that the PNG does not hold as the screen showed them";

    // Numbers run on across the two types.
    DeleteValue(settings.get(), kFileTypeValue);
    std::vector<size_t> sizes;
    for (const DWORD quality : {50u, 95u}) {
        WriteNumber(settings.get(), kJpegQualityValue, quality);
        paint();
        ASSERT_TRUE(g_screenCapture.CaptureAndSave(place));
        sizes.push_back(test::ReadBytes(g_screenCapture.LastCapture()).size());
        EXPECT_EQ(NumberOf(g_screenCapture.LastCapture()), NumberOf(png) + static_cast<int>(sizes.size()));
    }
    // Wine's GDI+ takes no encoder parameters: its JPEGs come out alike at every quality.
    const bool wine = ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    if (!wine) {
        EXPECT_GT(sizes[1], sizes[0]) << "quality 95 is no larger than 50";
    }
    ::DestroyWindow(window);
}

TEST_F(CapturePipeline, ExistingFilesAreNeverReplaced) {
    test::TempFolder probe;
    const int n = CaptureOnceInto(probe);
    ASSERT_GT(n, 0);

    // Files of an earlier run under the next two numbers, one under each extension.
    test::TempFolder folder;
    const std::vector<uint8_t> mine = {'m', 'i', 'n', 'e'};
    const std::wstring jpg = L"Shot-" + std::to_wstring(n + 1) + L".jpg";
    const std::wstring bmp = L"Shot-" + std::to_wstring(n + 2) + L".bmp";
    test::WriteBytes(folder.File(jpg), mine);
    test::WriteBytes(folder.File(bmp), mine);
    test::UseCaptureFolder(folder.Path());
    g_screenCapture.CaptureAndSave(kScreen);
    g_screenCapture.CaptureAndSave(kScreen);

    EXPECT_EQ(test::ReadBytes(folder.File(jpg)), mine);
    EXPECT_EQ(test::ReadBytes(folder.File(bmp)), mine);
    ExpectJpegCapture(folder.File(L"Shot-" + std::to_wstring(n + 3) + L".jpg"), kScreenWidth, kScreenHeight);
    ExpectJpegCapture(folder.File(L"Shot-" + std::to_wstring(n + 4) + L".jpg"), kScreenWidth, kScreenHeight);
    EXPECT_EQ(folder.Names().size(), 4u) << "the user's two files and two captures, no BMP";
}

TEST_F(CapturePipeline, RectanglesWithoutAreaAreSkippedWithoutANumber) {
    test::TempFolder before;
    const int n = CaptureOnceInto(before);
    test::TempFolder folder;
    test::UseCaptureFolder(folder.Path());
    test::MessageBoxWatcher boxes;
    g_screenCapture.CaptureAndSave(RECT{10, 10, 10, 50});
    g_screenCapture.CaptureAndSave(RECT{10, 10, 50, 10});
    g_screenCapture.CaptureAndSave(RECT{50, 50, 10, 60});
    g_screenCapture.CaptureAndSave(RECT{INT_MIN, 0, INT_MAX, 10});  // wider than any int
    EXPECT_TRUE(folder.Names().empty());
    EXPECT_TRUE(boxes.Boxes().empty());
    g_screenCapture.CaptureAndSave(kScreen);
    EXPECT_EQ(folder.Names(), std::vector<std::wstring>{L"Shot-" + std::to_wstring(n + 1) + L".jpg"});
}

// A name too long for its buffer falls back to "Shot"; a folder too long stops the capture with
// a message rather than send it elsewhere.
TEST_F(CapturePipeline, OverlongSettingsFallBackOrSaySo) {
    test::TempFolder folder;
    test::UseCaptureFolder(folder.Path(), std::wstring(150, L'y'));
    EXPECT_TRUE(g_screenCapture.CaptureAndSave(RECT{0, 0, 8, 8}));
    const std::vector<std::wstring> names = folder.Names();
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0].rfind(L"Shot-", 0), 0u) << testing::PrintToString(names);

    test::UseCaptureFolder(std::wstring(300, L'x'), L"Shot");
    test::MessageBoxWatcher boxes;
    EXPECT_FALSE(g_screenCapture.CaptureAndSave(RECT{0, 0, 8, 8}));
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_NE(boxes.Boxes()[0].text.find(L"too long"), std::wstring::npos) << boxes.Boxes()[0].text;
    for (const std::wstring& name : test::TempFolder::NamesIn(test::DesktopFolder()))
        EXPECT_NE(name.rfind(L"Shot-", 0), 0u) << "a capture went to the desktop: " << testing::PrintToString(name);
}

TEST_F(CapturePipeline, ForegroundWindowRectangle) {
    const wchar_t* kClass = L"TavelinTestTarget";
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClass;
    windowClass.hbrBackground = ::CreateSolidBrush(RGB(0, 128, 255));
    ::RegisterClassW(&windowClass);
    HWND window = ::CreateWindowExW(WS_EX_TOPMOST, kClass, L"target", WS_POPUP | WS_VISIBLE, 100,
                                    120, 300, 200, nullptr, nullptr, windowClass.hInstance, nullptr);
    ASSERT_TRUE(window);
    test::BringToFront(window);
    ::UpdateWindow(window);
    MSG message;
    for (int i = 0; i < 20; ++i) {
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
        ::Sleep(10);
    }
    ASSERT_EQ(::GetForegroundWindow(), window);

    const auto rect = CaptureRectForHotkey(kHotkeyActiveWindow);
    ASSERT_TRUE(rect);
    EXPECT_EQ(rect->left, 100);
    EXPECT_EQ(rect->top, 120);
    EXPECT_EQ(rect->right, 400);
    EXPECT_EQ(rect->bottom, 320);

    test::TempFolder folder;
    const int n = CaptureOnceInto(folder, *rect);
    const test::DecodedImage image =
        test::DecodeWithGdiplus(folder.File(L"Shot-" + std::to_wstring(n) + L".jpg"));
    ASSERT_TRUE(image.ok);
    EXPECT_EQ(image.width, 300u);
    EXPECT_EQ(image.height, 200u);
    // A flat colour comes through JPEG within a few levels.
    for (const auto& [x, y] : {std::pair{0u, 0u}, {299u, 0u}, {0u, 199u}, {299u, 199u}, {150u, 100u}}) {
        EXPECT_LE(test::ChannelDistance(image.At(x, y), 0x0080FF), 4) << x << "," << y;
    }

    ::DestroyWindow(window);
    ::DeleteObject(windowClass.hbrBackground);
}

TEST_F(CapturePipeline, HotkeyRectangles) {
    const auto screen = CaptureRectForHotkey(kHotkeyWholeScreen);
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->left, 0);
    EXPECT_EQ(screen->top, 0);
    EXPECT_EQ(screen->right, ::GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(screen->bottom, ::GetSystemMetrics(SM_CYSCREEN));
    EXPECT_FALSE(CaptureRectForHotkey(0));
    EXPECT_FALSE(CaptureRectForHotkey(101));
    EXPECT_FALSE(VisibleWindowRect(nullptr));
}

// A hotkey pressed while a failure message is up runs a second capture inside the box's
// loop; it must get a number, and files, of its own.
std::atomic<bool> g_nestedRan{false};
std::wstring g_nestedFolder;

void CALLBACK CaptureInsideTheBox(HWND, UINT, UINT_PTR timer, DWORD) {
    ::KillTimer(nullptr, timer);
    g_nestedRan = ::FindWindowW(L"#32770", nullptr) != nullptr;
    test::UseCaptureFolder(g_nestedFolder);
    g_screenCapture.CaptureAndSave(RECT{0, 0, 16, 16});
}

TEST_F(CapturePipeline, CaptureDuringAMessageBoxGetsItsOwnNumber) {
    test::TempFolder probe;
    const int n = CaptureOnceInto(probe);
    test::TempFolder folder;
    g_nestedFolder = folder.Path();
    test::UseCaptureFolder(folder.File(L"does not exist"));
    ::SetTimer(nullptr, 0, 100, CaptureInsideTheBox);
    {
        test::MessageBoxWatcher boxes(/*answerAfterMs=*/1500);
        g_screenCapture.CaptureAndSave(kScreen);  // takes n + 1, then fails in a message box
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, L"Could not create file for writing");
    }
    ASSERT_TRUE(g_nestedRan) << "the second capture did not run inside the box";
    EXPECT_EQ(folder.Names(), std::vector<std::wstring>{L"Shot-" + std::to_wstring(n + 2) + L".jpg"});
}

TEST_F(CapturePipeline, EachCaptureStartsAndStopsTheCodec) {
    test::TempFolder folder;
    test::UseCaptureFolder(folder.Path());
    const CodecGuardState before = ReadCodecGuard();
    g_screenCapture.CaptureAndSave(kScreen);
    EXPECT_FALSE(ReadCodecGuard().started) << "the codec outlived the capture";
    g_screenCapture.CaptureAndSave(kScreen);
    const CodecGuardState after = ReadCodecGuard();
    EXPECT_EQ(after.startups - before.startups, 2);
    EXPECT_EQ(after.shutdowns - before.shutdowns, 2);
    EXPECT_FALSE(after.started);
    EXPECT_EQ(after.liveImages, 0);
    EXPECT_EQ(folder.Names().size(), 2u);
}

TEST_F(CapturePipeline, FailedBmpWriteLeavesNoFileAndUsesUpItsNumber) {
    test::TempFolder probe;
    const int n = CaptureOnceInto(probe);
    test::TempFolder folder;
    test::UseCaptureFolder(folder.File(L"missing"));
    const CodecGuardState before = ReadCodecGuard();
    {
        test::MessageBoxWatcher boxes;
        g_screenCapture.CaptureAndSave(kScreen);
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, L"Could not create file for writing");
    }
    EXPECT_TRUE(folder.Names().empty()) << "neither a BMP nor a JPEG, and no folder made";
    const CodecGuardState failed = ReadCodecGuard();
    EXPECT_EQ(failed.startups - before.startups, 0) << "no file of its own, nothing to convert";
    EXPECT_FALSE(failed.started);

    test::UseCaptureFolder(folder.Path());
    g_screenCapture.CaptureAndSave(kScreen);
    EXPECT_EQ(folder.Names(), std::vector<std::wstring>{L"Shot-" + std::to_wstring(n + 2) + L".jpg"})
        << "the failed capture's number is not used again";
    ExpectJpegCapture(folder.File(L"Shot-" + std::to_wstring(n + 2) + L".jpg"), kScreenWidth, kScreenHeight);
    EXPECT_EQ(ReadCodecGuard().startups - failed.startups, 1) << "the next capture starts it afresh";
}

// The stages one by one, so that files can appear between them as another program's would.
TEST_F(CapturePipeline, NoFileOfAnotherIsTouchedAndNoCaptureIsLost) {
    test::TempFolder folder;
    test::UseCaptureFolder(folder.Path());
    const std::vector<uint8_t> theirs = {'t', 'h', 'e', 'i', 'r', 's'};

    // A file takes the BMP name after the number was chosen: the capture moves on.
    CaptureJob job;
    ASSERT_TRUE(g_screenCapture.CopyScreen(kScreen, job));
    g_screenCapture.ReserveNames(job);
    const std::wstring taken = job.bmpName;
    test::WriteBytes(taken, theirs);
    g_screenCapture.WriteTemporaryBmp(job);
    g_screenCapture.LoadTemporaryBmp(job);
    g_screenCapture.SaveImage(job);
    g_screenCapture.DeleteAndRelease(job);
    EXPECT_EQ(test::ReadBytes(taken), theirs) << "written over or deleted";
    const int n = NumberOf(taken.substr(0, taken.size() - 4));
    const std::wstring next = L"Shot-" + std::to_wstring(n + 1);
    EXPECT_EQ(std::wstring(job.imageName), folder.File(next + L".jpg"));
    ExpectJpegCapture(folder.File(next + L".jpg"), kScreenWidth, kScreenHeight);
    EXPECT_EQ(folder.Names().size(), 2u) << "their file and the capture, no BMP";

    // A file takes the JPEG's name while the capture converts: the JPEG moves on as well.
    CaptureJob moved;
    ASSERT_TRUE(g_screenCapture.CopyScreen(kScreen, moved));
    g_screenCapture.ReserveNames(moved);
    g_screenCapture.WriteTemporaryBmp(moved);
    g_screenCapture.LoadTemporaryBmp(moved);
    const std::wstring jpegTaken = moved.imageName;
    test::WriteBytes(jpegTaken, theirs);
    g_screenCapture.SaveImage(moved);
    g_screenCapture.DeleteAndRelease(moved);
    EXPECT_EQ(test::ReadBytes(jpegTaken), theirs) << "written over or deleted";
    EXPECT_EQ(NumberOf(moved.imageName), NumberOf(jpegTaken) + 1);
    ExpectJpegCapture(moved.imageName, kScreenWidth, kScreenHeight);
    EXPECT_EQ(folder.Names().size(), 4u) << "their files and the captures, no BMP";

    // The JPEG cannot be saved (its folder is gone): the whole BMP is kept and named, and the
    // number is used.
    CaptureJob kept;
    ASSERT_TRUE(g_screenCapture.CopyScreen(kScreen, kept));
    g_screenCapture.ReserveNames(kept);
    const int keptNumber = NumberOf(kept.imageName);
    std::wcscpy(kept.imageName, folder.File(L"gone\\Shot.jpg").c_str());
    test::MessageBoxWatcher boxes;
    g_screenCapture.WriteTemporaryBmp(kept);
    g_screenCapture.LoadTemporaryBmp(kept);
    g_screenCapture.SaveImage(kept);
    g_screenCapture.DeleteAndRelease(kept);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"Could not save the JPEG file. The capture was kept as " + std::wstring(kept.bmpName));
    EXPECT_EQ(boxes.Boxes()[0].caption, ApplicationTitle());
    EXPECT_TRUE(boxes.Boxes()[0].exclamationIcon);
    const test::DecodedImage bmp = test::DecodeWithGdiplus(kept.bmpName);
    EXPECT_TRUE(bmp.ok && bmp.width == kScreenWidth && bmp.height == kScreenHeight) << "the BMP holds the whole capture";
    g_screenCapture.CaptureAndSave(kScreen);
    EXPECT_TRUE(test::Exists(folder.File(L"Shot-" + std::to_wstring(keptNumber + 1) + L".jpg")));
    EXPECT_EQ(test::HeldResources(), "") << "a capture kept something";
}

// An empty or missing folder means the desktop, and the stored value stays as it is.
TEST_F(CapturePipeline, NoFolderMeansTheDesktopNotTheDrivesRoot) {
    auto desktopCaptures = [] {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found;
        HANDLE search = ::FindFirstFileW((test::DesktopFolder() + L"\\Shot-*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return names;
        do names.push_back(found.cFileName);
        while (::FindNextFileW(search, &found));
        ::FindClose(search);
        return names;
    };
    for (const auto& name : desktopCaptures()) ::DeleteFileW((test::DesktopFolder() + L"\\" + name).c_str());
    test::UseCaptureFolder(L"");
    g_screenCapture.CaptureAndSave(kScreen);
    const unique_hkey settings = OpenUserKey(kSettingsKeyPath);
    ::RegDeleteValueW(settings.get(), kJpgPathValue);
    g_screenCapture.CaptureAndSave(kScreen);
    const auto names = desktopCaptures();
    EXPECT_EQ(names.size(), 2u);
    for (const auto& name : names) ::DeleteFileW((test::DesktopFolder() + L"\\" + name).c_str());
    WIN32_FIND_DATAW found;
    const HANDLE root = ::FindFirstFileW(L"C:\\Shot-*", &found);
    EXPECT_EQ(root, INVALID_HANDLE_VALUE) << "a capture went to the drive's root";
    if (root != INVALID_HANDLE_VALUE) ::FindClose(root);
}

TEST_F(CapturePipeline, TwoHundredCapturesGiveEverythingBack) {
    test::TempFolder folder;
    test::UseCaptureFolder(folder.Path());
    auto captureAndClean = [&] {
        g_screenCapture.CaptureAndSave(kScreen);
        const auto names = folder.Names();
        ASSERT_EQ(names.size(), 1u);
        ASSERT_EQ(names[0].substr(names[0].size() - 4), L".jpg");
        ::DeleteFileW(folder.File(names[0]).c_str());
    };
    for (int i = 0; i < 10; ++i) captureAndClean();  // let the heaps settle
    const long before = test::AnonymousMemoryKiB();
    ASSERT_GT(before, 0) << "cannot read the process's memory";
    const int startups = ReadCodecGuard().startups;
    for (int i = 0; i < 200; ++i) {
        captureAndClean();
        ASSERT_EQ(test::HeldResources(), "")
            << "after capture " << i;
        const CodecGuardState guard = ReadCodecGuard();
        ASSERT_FALSE(guard.started) << "codec still running after capture " << i;
        ASSERT_EQ(guard.liveImages, 0);
        ASSERT_EQ(guard.startups, startups + i + 1) << "one start per capture";
    }
    const long after = test::AnonymousMemoryKiB();
    EXPECT_LT(after - before, 1024) << "KiB kept after 200 captures (" << before << " -> " << after << ")";
}

}  // namespace
}  // namespace tavelin
