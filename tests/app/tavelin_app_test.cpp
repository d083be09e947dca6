#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "framework/unique_handles.h"
#include "settings/settings_store.h"
#include "tests/support/desktop_driver.h"
#include "tests/support/gdiplus_decoder.h"
#include "tests/support/shell_stand_in.h"
#include "tests/support/test_files.h"

namespace tavelin {
namespace {

using test::TavelinProcess;
using test::LetItTakeInWhatXSent;
using test::WaitFor;

constexpr UINT kTrayCallback = 0x8100;
const wchar_t kBothKeysText[] =
    L"Press (WinKey + A) to clip active window.\nPress (WinKey + S) to clip entire screen.";

// The finished captures on the desktop (or, given a pattern, other files there), sorted.
std::vector<std::wstring> Captures(const wchar_t* pattern = L"Shot-*.jpg") {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((test::DesktopFolder() + L"\\" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do names.push_back(found.cFileName);
    while (::FindNextFileW(search, &found));
    ::FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

// Waits for the capture file with this name to be complete, and decodes it.
test::DecodedImage WaitForCapture(const std::wstring& name) {
    test::DecodedImage image;
    WaitFor([&] {
        image = test::DecodeWithGdiplus(test::DesktopFolder() + L"\\" + name);
        return image.ok;
    });
    return image;
}

// Wine 8 draws balloons as tool tips. Wine 10.0's notification area draws none while the
// desktop has a taskbar (it shows them only beside its stand-alone tray window), and Windows 10
// and 11 show them as notifications, which no window of the desktop holds: there the balloon
// is what reached the shell.
bool ShellDrawsBalloons() {
    using WineVersion = const char*(CDECL*)();
    const auto version = reinterpret_cast<WineVersion>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
    return version && std::string(version()) != "10.0";
}

// The balloon shows the text, or where the shell draws none, a request since the last look
// that reached it through `tray` carried it.
bool BalloonSays(test::TrayStandIn& tray, const std::wstring& text, DWORD timeoutMs = 8000) {
    return WaitFor([&] {
        if (!ShellDrawsBalloons()) return tray.Carried(text);
        for (const auto& shown : test::VisibleToolTipTexts())
            if (shown.find(text) != std::wstring::npos) return true;
        return false;
    }, timeoutMs);
}

// The priorities of the threads the program started: it runs one, and one more while its
// keyboard hook is set. Threads that start elsewhere than in its exe (Windows' loader and
// thread-pool workers) are not its own.
std::map<DWORD, int> ThreadPriorities(DWORD processId) {
    using QueryThread = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    const auto queryThread = reinterpret_cast<QueryThread>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
    constexpr int kThreadQuerySetWin32StartAddress = 9;
    const unique_handle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    HMODULE exe = nullptr;
    DWORD needed = 0;
    MODULEINFO image{};
    if (!process || !::EnumProcessModules(process.get(), &exe, sizeof(exe), &needed) ||
        !::GetModuleInformation(process.get(), exe, &image, sizeof(image)))
        return {};
    const auto start = reinterpret_cast<uintptr_t>(image.lpBaseOfDll);
    const unique_handle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 thread{};
    thread.dwSize = sizeof(thread);
    std::map<DWORD, int> priorities;
    for (BOOL more = ::Thread32First(snapshot.get(), &thread); more; more = ::Thread32Next(snapshot.get(), &thread)) {
        if (thread.th32OwnerProcessID != processId) continue;
        const unique_handle opened(::OpenThread(THREAD_QUERY_INFORMATION, FALSE, thread.th32ThreadID));
        uintptr_t entry = 0;
        if (!opened || queryThread(opened.get(), kThreadQuerySetWin32StartAddress, &entry, sizeof(entry), nullptr) != 0 ||
            entry - start >= image.SizeOfImage)
            continue;
        priorities[thread.th32ThreadID] = ::GetThreadPriority(opened.get());
    }
    return priorities;
}
int ThreadsOf(DWORD processId) { return static_cast<int>(ThreadPriorities(processId).size()); }

// Whether the notification area shows the icon file's own 16-pixel image, pixel for pixel: the
// image, drawn over the taskbar's colour, found among the pixels around the icon's place.
bool TrayShowsTheSmallImage(HWND owner) {
    const POINT icon = test::TrayIconCentre(owner);
    const RECT slot{icon.x - 20, icon.y - 15, std::min<LONG>(icon.x + 20, ::GetSystemMetrics(SM_CXSCREEN)),
                    std::min<LONG>(icon.y + 15, ::GetSystemMetrics(SM_CYSCREEN))};
    const std::vector<DWORD> shown = test::ScreenPixels(slot);
    const DWORD taskbar = shown[shown.size() - (slot.right - slot.left)];  // bottom left, below the desktop
    HICON smallIcon = static_cast<HICON>(::LoadImageW(nullptr, test::WindowsPath(TAVELIN_ICON_PATH).c_str(),
                                                  IMAGE_ICON, 16, 16, LR_LOADFROMFILE));
    if (!smallIcon) return false;
    std::vector<DWORD> image(16 * 16);
    {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), 16, -16, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HDC memory = ::CreateCompatibleDC(nullptr);
        HBITMAP canvas = ::CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = ::SelectObject(memory, canvas);
        std::fill_n(static_cast<DWORD*>(bits), 16 * 16, taskbar);
        ::DrawIconEx(memory, 0, 0, smallIcon, 16, 16, 0, nullptr, DI_NORMAL);
        ::GdiFlush();
        std::transform(static_cast<DWORD*>(bits), static_cast<DWORD*>(bits) + 16 * 16, image.begin(),
                       [](DWORD pixel) { return pixel & 0xFFFFFF; });
        ::SelectObject(memory, old);
        ::DeleteObject(canvas);
        ::DeleteDC(memory);
        ::DestroyIcon(smallIcon);
    }
    const int width = slot.right - slot.left;
    for (int top = 0; top + 16 <= slot.bottom - slot.top; ++top) {
        for (int left = 0; left + 16 <= width; ++left) {
            double squares = 0;
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x)
                    for (int shift = 0; shift < 24; shift += 8) {
                        const int d = static_cast<int>((shown[(top + y) * width + left + x] >> shift) & 255) -
                                      static_cast<int>((image[y * 16 + x] >> shift) & 255);
                        squares += d * d;
                    }
            // A root mean square under 1 % of the range, as a scaled or blurred image is not.
            if (std::sqrt(squares / (16 * 16 * 3)) / 255 < 0.01) return true;
        }
    }
    return false;
}

// Windows' animations, and with them the capture's sign, on or off while it lives. Stored, as
// Settings stores it: Wine keeps a setting made only for the session within the process that
// made it.
class Animations {
public:
    explicit Animations(BOOL on) {
        ::SystemParametersInfoW(SPI_GETCLIENTAREAANIMATION, 0, &m_was, 0);
        Set(on);
    }
    ~Animations() { Set(m_was); }
    Animations(const Animations&) = delete;
    Animations& operator=(const Animations&) = delete;

private:
    static void Set(BOOL on) {
        ::SystemParametersInfoW(SPI_SETCLIENTAREAANIMATION, 0, reinterpret_cast<void*>(static_cast<INT_PTR>(on)),
                                SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
    }
    BOOL m_was = TRUE;
};

class TavelinApp : public testing::Test {
protected:
    void SetUp() override {
        test::ForgetSettings();
        for (const auto& name : Captures(L"Shot-*")) ::DeleteFileW((test::DesktopFolder() + L"\\" + name).c_str());
    }
    void TearDown() override { SetUp(); }
    // The capture's sign only where a scenario asks for it. Under Wine, a window that comes or
    // goes under the pointer has its thread set the modifier keys afresh from the X server,
    // which lets go of a Windows key held with SendInput: the scenarios of keys and of the
    // foreground would meet that at random.
    const Animations m_noSign{FALSE};
};

TEST_F(TavelinApp, StartsHiddenInTheTrayWithItsSettingsSeeded) {
    // The taskbar shows up with the first program of the session.
    HWND probe = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(WaitFor([] { return ::FindWindowW(L"Shell_TrayWnd", nullptr) != nullptr; }));
    ::DestroyWindow(probe);
    test::TrayStandIn tray(true);
    ASSERT_TRUE(tray.Ready());
    const int buttonsBefore = test::VisibleTaskbarButtons();
    // Windows 11 shows an icon on the taskbar once Explorer's entry for its executable is
    // promoted: the harness promotes the entry of the Tavelin under test, in whatever letter
    // case, and no other program's.
    struct PlantedIcons {
        const std::wstring key = L"Control Panel\\NotifyIconSettings\\TavelinTest";
        void Plant(const wchar_t* id, std::wstring exe) const {
            const DWORD hidden = 0;
            ::RegSetKeyValueW(HKEY_CURRENT_USER, (key + id).c_str(), L"ExecutablePath", REG_SZ, exe.c_str(),
                              static_cast<DWORD>((exe.size() + 1) * sizeof(wchar_t)));
            ::RegSetKeyValueW(HKEY_CURRENT_USER, (key + id).c_str(), L"IsPromoted", REG_DWORD, &hidden, sizeof(hidden));
        }
        std::vector<uint8_t> Promoted(const wchar_t* id) const { return test::Query((key + id).c_str(), L"IsPromoted").data; }
        ~PlantedIcons() {
            for (const wchar_t* id : {L"Own", L"Other"}) ::RegDeleteKeyW(HKEY_CURRENT_USER, (key + id).c_str());
        }
    } icons;
    std::wstring ownExe = test::TavelinExePath();
    ::CharLowerW(ownExe.data());
    icons.Plant(L"Own", ownExe);
    icons.Plant(L"Other", L"C:\\Other\\Tavelin.exe");
    TavelinProcess app;
    ASSERT_TRUE(app.Start());
    EXPECT_TRUE(test::TrayIconShown(app.MainWindow()));
    EXPECT_EQ(icons.Promoted(L"Own"), (std::vector<uint8_t>{1, 0, 0, 0}));
    EXPECT_EQ(icons.Promoted(L"Other"), (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_TRUE(TrayShowsTheSmallImage(app.MainWindow())) << "the icon is scaled from another size, and blurred";
    // Its Capture event in Sound settings, with no sound chosen.
    EXPECT_EQ(test::Query(kSoundAppKeyPath, L"").Text(), L"Tavelin");
    EXPECT_EQ(test::Query(kCaptureSoundLabelKeyPath, L"").Text(), L"Capture");
    const test::StoredValue sound = test::Query(kCaptureSoundKeyPath, L"");
    EXPECT_TRUE(sound.present && sound.Text().empty()) << "a sound chosen for the user";
    // By the time the balloon shows, the main window's loop has long been running, and the
    // window would have been shown with it.
    EXPECT_TRUE(BalloonSays(tray, kBothKeysText));
    EXPECT_FALSE(WaitFor([&] { return ::IsWindowVisible(app.MainWindow()) != FALSE; }, 500));
    EXPECT_TRUE(app.VisibleWindows().empty()) << "no window of the program may show";
    EXPECT_EQ(test::VisibleTaskbarButtons(), buttonsBefore) << "no taskbar button";
    EXPECT_EQ(ThreadsOf(app.ProcessId()), 2) << "Windows 10: the keyboard hook's thread, also for keys it registered";

    // Seeded before the first capture can happen.
    const unique_hkey settings = OpenUserKey(kSettingsKeyPath);
    wchar_t folder[MAX_PATH];
    wchar_t name[100];
    EXPECT_EQ(ReadText(settings.get(), kJpgPathValue, folder), TextRead::Complete);
    EXPECT_EQ(std::wstring(folder), test::DesktopFolder());
    EXPECT_EQ(ReadText(settings.get(), kJpgNameValue, name), TextRead::Complete);
    EXPECT_EQ(std::wstring(name), L"Shot");
    const unique_hkey run = OpenUserKey(kRunKeyPath);
    wchar_t runValue[MAX_PATH];
    EXPECT_EQ(ReadText(run.get(), kRunValueName, runValue), TextRead::Complete);
    EXPECT_EQ(std::wstring(runValue), L"\"" + test::TavelinExePath() + L"\"");
}

TEST_F(TavelinApp, AFailedWriteIsReportedAndItsNumberNotReused) {
    test::TempFolder folder;
    test::UseCaptureFolder(folder.File(L"gone"));
    TavelinProcess app;
    ASSERT_TRUE(app.Start());
    test::PressWindowsKeyWith('S');
    const test::ShownBox box = test::WaitForMessageBox(app);
    ASSERT_TRUE(box.window) << "no message for a folder that does not exist";
    EXPECT_EQ(box.caption, L"Tavelin");
    EXPECT_EQ(box.text, L"Could not create file for writing");
    EXPECT_TRUE(::GetWindowLongPtrW(box.window, GWL_EXSTYLE) & WS_EX_TOPMOST) << "it may be behind the user's window";
    ::PostMessageW(::GetDlgItem(box.window, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(box.window); }));
    EXPECT_TRUE(folder.Names().empty());

    // A folder too long for the captures' file names, stored by other means than Settings: a
    // message, and no capture elsewhere.
    test::UseCaptureFolder(folder.Path() + L"\\" + std::wstring(256 - folder.Path().size(), L'f'));
    test::PressWindowsKeyWith('S');
    const test::ShownBox tooLong = test::WaitForMessageBox(app);
    ASSERT_TRUE(tooLong.window) << "no message for a folder of 257 characters";
    EXPECT_NE(tooLong.text.find(L"too long"), std::wstring::npos) << tooLong.text;
    ::PostMessageW(::GetDlgItem(tooLong.window, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(tooLong.window); }));
    EXPECT_TRUE(Captures(L"Shot-*").empty()) << "a capture went to the desktop";

    test::UseCaptureFolder(folder.Path());
    test::PressWindowsKeyWith('S');
    EXPECT_TRUE(WaitFor([&] { return folder.Names() == std::vector<std::wstring>{L"Shot-3.jpg"}; }))
        << "the failed captures keep their numbers 1 and 2";
}

// Filled with its own window's brush: windows of one class may differ in colour.
LRESULT CALLBACK TargetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND) {
        RECT client;
        ::GetClientRect(window, &client);
        ::FillRect(reinterpret_cast<HDC>(wParam), &client, reinterpret_cast<HBRUSH>(::GetWindowLongPtrW(window, GWLP_USERDATA)));
        return 1;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// The notification area's overflow flyout hides itself once it loses the foreground.
LRESULT CALLBACK FlyoutProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ACTIVATE && LOWORD(wParam) == WA_INACTIVE) ::ShowWindow(window, SW_HIDE);
    return TargetProc(window, message, wParam, lParam);
}

// A window of another program, filled with one colour, for Windows key + A to capture; or
// standing in for a window of the shell's class.
class TargetWindow {
public:
    TargetWindow(const RECT& place, COLORREF colour, const wchar_t* className = L"TavelinCaptureTarget",
                 WNDPROC procedure = TargetProc)
        : m_brush(::CreateSolidBrush(colour)), m_colour(colour), m_class(className) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = className;
        ::RegisterClassW(&windowClass);
        m_window = ::CreateWindowExW(WS_EX_TOPMOST, windowClass.lpszClassName, L"target", WS_POPUP,
                                     place.left, place.top, place.right - place.left,
                                     place.bottom - place.top, nullptr, nullptr, windowClass.hInstance, nullptr);
        ::SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(m_brush));
        ::ShowWindow(m_window, SW_SHOWNOACTIVATE);  // the user has not clicked it yet
        ::UpdateWindow(m_window);
    }
    ~TargetWindow() {
        ::DestroyWindow(m_window);
        ::UnregisterClassW(m_class, ::GetModuleHandleW(nullptr));
        ::DeleteObject(m_brush);
    }
    HWND get() const { return m_window; }

    // Focused as a user does it, by a click.
    bool ClickToFocus() const {
        RECT rect;
        ::GetWindowRect(m_window, &rect);
        const POINT centre{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
        test::ClickAt(centre);
        // The system's foreground first, then this thread's own focus, which it takes when it
        // gets to the activation: only then is the change announced.
        const bool focused = WaitFor([&] { return ::GetForegroundWindow() == m_window && ::GetFocus() == m_window; });
        return Painted() && focused;
    }

    // Once the screen shows it (painting as it waits), so that a capture does.
    bool Painted() const {
        RECT rect;
        ::GetWindowRect(m_window, &rect);
        return WaitFor([&] {
            HDC screen = ::GetDC(nullptr);
            const COLORREF shown = ::GetPixel(screen, (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
            ::ReleaseDC(nullptr, screen);
            return shown == m_colour;
        });
    }

private:
    HBRUSH m_brush;
    COLORREF m_colour;
    const wchar_t* m_class;
    HWND m_window = nullptr;
};

// Whether `image` shows `colour` at `point`.
bool Shows(const test::DecodedImage& image, POINT point, COLORREF colour) {
    if (!image.ok || static_cast<unsigned>(point.x) >= image.width || static_cast<unsigned>(point.y) >= image.height)
        return false;
    const uint32_t shown = image.At(point.x, point.y);
    return std::abs(static_cast<int>((shown >> 16) & 255) - GetRValue(colour)) <= 8 &&
           std::abs(static_cast<int>((shown >> 8) & 255) - GetGValue(colour)) <= 8 &&
           std::abs(static_cast<int>(shown & 255) - GetBValue(colour)) <= 8;
}

HWND OpenTrayMenu(const TavelinProcess& app);


// The sign of a saved capture once it shows and its thread has taken that in, or null.
HWND ShownSign(const TavelinProcess& app) {
    HWND sign = nullptr;
    WaitFor([&] { return (sign = app.FindWindowOf(L"TavelinCaptureSign", L"")) && ::IsWindowVisible(sign); }, 3000);
    LetItTakeInWhatXSent(sign);
    return sign;
}

// Whether the sign covered `rect`, stayed out of the way (topmost, no clicks, never the
// foreground) and went within a second.
bool SignShownAndGone(const TavelinProcess& app, const RECT& rect) {
    const HWND sign = ShownSign(app);
    if (!sign) return false;
    RECT covered{};
    ::GetWindowRect(sign, &covered);
    constexpr LONG_PTR kAside = WS_EX_TOPMOST | WS_EX_TRANSPARENT | WS_EX_NOACTIVATE | WS_EX_LAYERED;
    const bool aside = (::GetWindowLongPtrW(sign, GWL_EXSTYLE) & kAside) == kAside && ::GetForegroundWindow() != sign;
    return ::EqualRect(&covered, &rect) && aside && WaitFor([&] { return !::IsWindow(sign); }, 1000);
}

TEST_F(TavelinApp, WindowsKeyAndSCapturesTheWholeScreen) {
    const Animations signs(TRUE);
    TavelinProcess app;
    ASSERT_TRUE(app.Start());
    const RECT screen{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    // The user's window, which each capture shows as it is: not dimmed by a sign.
    const COLORREF colour = RGB(200, 30, 90);
    TargetWindow target({210, 140, 530, 380}, colour);
    ASSERT_TRUE(target.ClickToFocus());
    const POINT aside{100, 600};  // the pointer, clear of the window
    ::SetCursorPos(aside.x, aside.y);
    LetItTakeInWhatXSent(::WindowFromPoint(aside));
    test::PressWindowsKeyWith('S');
    EXPECT_TRUE(SignShownAndGone(app, screen)) << "no sign of the capture, or one in the way";
    LetItTakeInWhatXSent(::WindowFromPoint(aside));
    ASSERT_TRUE(target.Painted());
    EXPECT_EQ(::GetForegroundWindow(), target.get()) << "the sign took the foreground";
    ASSERT_TRUE(WaitFor([] { return !Captures().empty(); })) << "no capture after Windows key + S";
    const test::DecodedImage image = WaitForCapture(L"Shot-1.jpg");
    ASSERT_TRUE(image.ok) << "the first capture of a run is number 1";
    EXPECT_EQ(image.width, static_cast<unsigned>(screen.right));
    EXPECT_EQ(image.height, static_cast<unsigned>(screen.bottom));
    // One JPEG, and the temporary BMP gone with the capture.
    EXPECT_EQ(Captures(L"Shot-*"), std::vector<std::wstring>{L"Shot-1.jpg"});

    EXPECT_TRUE(Shows(image, {370, 260}, colour));

    // A capture that comes while the sign shows takes the window without it.
    test::PressWindowsKeyWith('A');
    ASSERT_TRUE(ShownSign(app));
    test::PressWindowsKeyWith('A');
    const std::vector<std::wstring> three{L"Shot-1.jpg", L"Shot-2.jpg", L"Shot-3.jpg"};
    EXPECT_TRUE(WaitFor([&] { return Captures(L"Shot-*") == three; }));
    for (const wchar_t* name : {L"Shot-2.jpg", L"Shot-3.jpg"})
        EXPECT_TRUE(Shows(WaitForCapture(name), {160, 120}, colour)) << testing::PrintToString(name) << " shows a sign";

    // The menu, opened while a sign shows, takes it away first.
    test::PressWindowsKeyWith('A');
    ASSERT_TRUE(ShownSign(app));
    ASSERT_TRUE(OpenTrayMenu(app));
    EXPECT_FALSE(app.FindWindowOf(L"TavelinCaptureSign", L"")) << "a sign under the menu";
    test::PressKey(VK_ESCAPE);

    // Open captures folder: Explorer on them, a window of another program whose title names
    // the folder.
    const std::wstring desktop = test::DesktopFolder();
    const std::wstring folder = desktop.substr(desktop.find_last_of(L'\\') + 1);
    app.Post(WM_COMMAND, 32781, 0);
    EXPECT_TRUE(WaitFor([&] { return !test::WindowsTitled(folder, app.ProcessId()).empty(); }, 15000))
        << "no Explorer window on " << testing::PrintToString(folder);
    for (HWND explorer : test::WindowsTitled(folder, app.ProcessId())) ::PostMessageW(explorer, WM_CLOSE, 0, 0);

    // Without Windows' animations, no sign.
    ::PostMessageW(app.MainWindow(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(app.HasExited(5000));
    const Animations noSigns(FALSE);
    TavelinProcess still;
    ASSERT_TRUE(still.Start());
    test::PressWindowsKeyWith('S');
    EXPECT_TRUE(WaitFor([] { return Captures(L"Shot-*").size() == 5; }));
    EXPECT_FALSE(WaitFor([&] { return still.FindWindowOf(L"TavelinCaptureSign", L"") != nullptr; }, 1000))
        << "a sign where the user turned animations off";
}

// Windows 7 lets the keys be registered and has no shell that acts on them: no hook is set.
TEST_F(TavelinApp, WindowsKeyAndACapturesTheForegroundWindowOnWindows7) {
    if (!test::OnWine()) GTEST_SKIP() << "needs Wine's Windows version for one program";
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\Tavelin.exe", L"Version",
                                REG_SZ, L"win7", sizeof(L"win7")), ERROR_SUCCESS);
    TavelinProcess app;
    ASSERT_TRUE(app.Start());
    EXPECT_EQ(ThreadsOf(app.ProcessId()), 1) << "a keyboard hook where the keys could be registered";
    TargetWindow target({210, 140, 530, 380}, RGB(200, 30, 90));
    ASSERT_TRUE(target.get());
    ASSERT_TRUE(target.ClickToFocus());

    test::PressWindowsKeyWith('A');
    ASSERT_TRUE(WaitFor([] { return !Captures().empty(); })) << "no capture after Windows key + A";
    const test::DecodedImage image = WaitForCapture(Captures()[0]);
    ASSERT_TRUE(image.ok);
    EXPECT_EQ(image.width, 320u);
    EXPECT_EQ(image.height, 240u);
    EXPECT_TRUE(Shows(image, {160, 120}, RGB(200, 30, 90)));
    test::PressWindowsKeyWith('S');
    EXPECT_TRUE(WaitFor([] { return Captures().size() == 2; }));

    // Maximised, a window that draws its own frame overhangs the work area by 8 pixels a side.
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    ::ShowWindow(target.get(), SW_MAXIMIZE);
    ::SetWindowPos(target.get(), nullptr, work.left - 8, work.top - 8, work.right - work.left + 16,
                   work.bottom - work.top + 16, SWP_NOZORDER);
    ASSERT_TRUE(::IsZoomed(target.get()) && target.ClickToFocus());
    test::PressWindowsKeyWith('A');
    ASSERT_TRUE(WaitFor([] { return Captures().size() == 3; }));
    const test::DecodedImage maximised = WaitForCapture(L"Shot-3.jpg");
    EXPECT_EQ(maximised.width, static_cast<unsigned>(work.right - work.left));
    EXPECT_EQ(maximised.height, static_cast<unsigned>(work.bottom - work.top));
}

// A portable Tavelin.exe started from a folder that also holds DLLs named like system ones,
// as a browser's Downloads folder may: none of them may load, at start or later.
TEST_F(TavelinApp, LoadsNoDllFromItsOwnFolder) {
    test::TempFolder folder;
    const std::wstring planted = test::WindowsPath(TAVELIN_PLANTED_DIR);
    for (const auto& name : test::TempFolder::NamesIn(planted))
        ASSERT_TRUE(::CopyFileW((planted + L"\\" + name).c_str(), folder.File(name).c_str(), TRUE));
    ASSERT_TRUE(::CopyFileW(test::TavelinExePath().c_str(), folder.File(L"Tavelin.exe").c_str(), TRUE));
    const std::vector<std::wstring> before = folder.Names();
    ASSERT_EQ(before.size(), 8u) << "the stand-ins were not built";

    TavelinProcess app(folder.File(L"Tavelin.exe"));
    ASSERT_TRUE(app.Start());
    TargetWindow target({200, 150, 700, 450}, RGB(20, 160, 60));
    ASSERT_TRUE(target.ClickToFocus());
    test::PressWindowsKeyWith('A');
    test::PressWindowsKeyWith('S');
    ASSERT_TRUE(WaitFor([] { return Captures().size() == 2; }));
    const test::DecodedImage window = WaitForCapture(L"Shot-1.jpg");
    EXPECT_TRUE(window.width == 500u && window.height == 300u) << window.width << " x " << window.height;
    HWND settings = test::OpenSettings(app);
    HWND picker = settings ? test::OpenFolderPicker(app, settings) : nullptr;
    ASSERT_TRUE(picker) << "no folder picker";
    ::PostMessageW(::GetDlgItem(picker, IDCANCEL), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(picker); }));
    EXPECT_EQ(folder.Names(), before) << "a stand-in that loaded left a \".loaded\" file beside itself";
}

TEST_F(TavelinApp, OneKeyHeldElsewhereIsClaimedAndTheOtherRegistered) {
    test::ShellStandIn holder(true, false);
    ASSERT_TRUE(holder.Ready()) << "the driver could not take the key";
    test::TrayStandIn tray(true);
    ASSERT_TRUE(tray.Ready());
    TavelinProcess app;
    ASSERT_TRUE(app.Start());
    EXPECT_TRUE(BalloonSays(tray, kBothKeysText));

    test::PressWindowsKeyWith('S');
    EXPECT_TRUE(WaitFor([] { return Captures().size() == 1; })) << "the registered key";
    test::PressWindowsKeyWith('A');
    EXPECT_TRUE(WaitFor([] { return Captures().size() == 2; })) << "the claimed key";
    EXPECT_FALSE(WaitFor([&] { return holder.HotkeysA() > 0; }, 1000)) << "the holder saw the press";
}

// The Windows 10 and 11 shell, played by a stand-in whose hook comes before Tavelin's: it acts
// on whatever Tavelin passes on, also where Windows let Tavelin register the keys, as here.
// The keyboard hook claims them, and lets every other key pass.
TEST_F(TavelinApp, ClaimsTheKeysFromTheShellAndPassesEverythingElse) {
    auto text = [](const std::vector<test::KeyStroke>& keys) {
        std::string all;
        for (const auto& key : keys) all += test::KeyText(key.key, key.up);
        return all;
    };
    test::ShellStandIn shell(false, false);
    ASSERT_TRUE(shell.Ready());
    test::TrayStandIn tray(true);
    ASSERT_TRUE(tray.Ready());
    TavelinProcess app;
    ASSERT_TRUE(app.Start());
    EXPECT_TRUE(BalloonSays(tray, kBothKeysText));
    EXPECT_EQ(ThreadsOf(app.ProcessId()), 2) << "the hook runs on a thread of its own";

    TargetWindow target({200, 150, 700, 450}, RGB(20, 160, 60));
    ASSERT_TRUE(target.ClickToFocus());
    shell.TakeKeys();
    test::PressWindowsKeyWith('A');
    ASSERT_TRUE(WaitFor([] { return Captures().size() == 1; }));
    const test::DecodedImage window = WaitForCapture(L"Shot-1.jpg");
    EXPECT_EQ(window.width, 500u);
    EXPECT_EQ(window.height, 300u);
    // The shell sees the Windows key go down and up with the mask key between, so it opens
    // no Start menu, and never the A.
    const std::string masked = text({{VK_LWIN, false}, {0xE8, false}, {0xE8, true}, {VK_LWIN, true}});
    std::string seen;
    EXPECT_TRUE(WaitFor([&] { return (seen += shell.TakeKeys()) == masked; }, 2000)) << seen;

    test::PressWindowsKeyWith('S');
    ASSERT_TRUE(WaitFor([] { return Captures().size() == 2; }));
    const test::DecodedImage screen = WaitForCapture(L"Shot-2.jpg");
    EXPECT_EQ(screen.width, static_cast<unsigned>(::GetSystemMetrics(SM_CXSCREEN)));
    EXPECT_EQ(screen.height, static_cast<unsigned>(::GetSystemMetrics(SM_CYSCREEN)));
    seen.clear();
    EXPECT_TRUE(WaitFor([&] { return (seen += shell.TakeKeys()) == masked; }, 2000)) << seen;

    // A held key repeats its key-down; one press is one capture.
    test::SendKeys({{VK_RWIN, false}, {'S', false}, {'S', false}, {'S', false}, {'S', false},
                    {'S', true}, {VK_RWIN, true}});
    ASSERT_TRUE(WaitFor([] { return Captures().size() == 3; }));
    EXPECT_FALSE(WaitFor([] { return Captures().size() > 3; }, 1500));

    // Keys that are not the claimed combinations pass untouched.
    shell.TakeKeys();
    const std::vector<test::KeyStroke> others{
        {'Q', false}, {'Q', true},                                              // a plain Q
        {VK_LSHIFT, false}, {VK_LWIN, false}, {'S', false}, {'S', true}, {VK_LWIN, true},
        {VK_LSHIFT, true},                                                      // Shift + Win + S
        {VK_LWIN, false}, {VK_F13, false}, {VK_F13, true}, {VK_LWIN, true}};    // Win + F13
    test::SendKeys(others);
    seen.clear();
    WaitFor([&] { return (seen += shell.TakeKeys()).size() >= text(others).size(); }, 3000);
    EXPECT_EQ(seen, text(others));
    EXPECT_EQ(Captures().size(), 3u) << "Shift + Windows key + S is not Windows key + S";
    test::CloseShellWindow();  // Windows' own snipping bar

    // A second copy ends at once without touching the settings, and the first one shows its
    // balloon again.
    const unique_hkey run = OpenUserKey(kRunKeyPath);
    ASSERT_EQ(::RegDeleteValueW(run.get(), kRunValueName), ERROR_SUCCESS);
    ASSERT_TRUE(WaitFor([&] { return !BalloonSays(tray, kBothKeysText, 0); }, 15000));
    PROCESS_INFORMATION second{};
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    std::wstring commandLine = L"\"" + test::TavelinExePath() + L"\"";
    ASSERT_TRUE(::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &second));
    const unique_handle secondProcess(second.hProcess);
    const unique_handle secondThread(second.hThread);
    EXPECT_EQ(::WaitForSingleObject(secondProcess.get(), 5000), WAIT_OBJECT_0) << "the second copy must end at once";
    EXPECT_TRUE(BalloonSays(tray, kBothKeysText));
    EXPECT_NE(::RegQueryValueExW(run.get(), kRunValueName, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS)
        << "the second copy wrote the settings";
    test::PressWindowsKeyWith('S');
    EXPECT_TRUE(WaitFor([] { return Captures().size() == 4; })) << "the first copy must keep capturing";

    // After Exit the shell has its keys back.
    ::PostMessageW(app.MainWindow(), WM_COMMAND, 32773, 0);
    ASSERT_TRUE(app.HasExited(5000));
    shell.TakeKeys();
    test::PressWindowsKeyWith('S');
    EXPECT_TRUE(WaitFor([&] { return (seen = shell.TakeKeys()).find("53v") != std::string::npos; })) << seen;
    test::CloseShellWindow();  // Windows' own Search
}

// Windows drops a hook that keeps missing its time-out, and hooks set since come first: the
// hook is set anew after an unlock, after a resume and when it missed keys, and its thread
// runs ahead of the rest.
TEST_F(TavelinApp, SetsItsHookAnewWhenItMayBeGoneAndSkipsAMinimisedWindow) {
    test::ShellStandIn shell;
    ASSERT_TRUE(shell.Ready());
    TavelinProcess app;
    ASSERT_TRUE(app.Start());
    DWORD hookThread = 0;
    for (const auto& [id, priority] : ThreadPriorities(app.ProcessId()))
        if (priority == THREAD_PRIORITY_TIME_CRITICAL) hookThread = id;
    ASSERT_NE(hookThread, 0u) << "the hook's thread runs at time-critical priority";
    // With the hidden main window in front, Windows key + A captures nothing.
    ASSERT_TRUE(test::BringToFront(app.MainWindow()));
    size_t count = 0;
    // The last: a hook that Windows stops calling, played by its thread held up past the hook
    // time-out, for which Wine skips it; raw input shows the keys it missed.
    const unique_handle suspendable(::OpenThread(THREAD_SUSPEND_RESUME, FALSE, hookThread));
    const std::pair<UINT, WPARAM> events[] = {{WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK},
                                              {WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC}, {0, 0}};
    for (const auto& [message, event] : events) {
        SCOPED_TRACE(message);
        test::ShellStandIn later(false, false);
        ASSERT_TRUE(later.Ready());
        // What the later hook sees, up to the release of a key no one claims, sent last: under
        // load, a hook's call may come late.
        constexpr WORD kMarker = 0x97;
        auto seenUpToMarker = [&] {
            test::PressKey(kMarker);
            std::string seen;
            WaitFor([&] { return (seen += later.TakeKeys()).find("97^") != std::string::npos; });
            return seen;
        };
        // Keys sent with times of the sender's choosing, old and repeated, show no missed key.
        test::SendKeys({{'Q', false, 500}, {'Q', true, 500}, {'W', false, 400}, {'W', true, 400},
                        {'E', false, 400}, {'E', true, 400}, {'R', false, 1}, {'R', true, 1}});
        test::PressWindowsKeyWith('S');
        ASSERT_TRUE(WaitFor([&] { return Captures().size() == count + 1; }));
        EXPECT_NE(seenUpToMarker().find("53v"), std::string::npos) << "the later hook comes first";
        // After an unlock the user may well still hold the Windows key.
        const bool winHeld = message == WM_WTSSESSION_CHANGE;
        if (winHeld) test::SendKeys({{VK_LWIN, false}});
        if (message) {
            ::PostMessageW(app.MainWindow(), message, event, 0);
        } else {
            ::SuspendThread(suspendable.get());
            test::PressKey('Q');
            test::PressKey('Q');
            ::ResumeThread(suspendable.get());
        }
        // The hook's own thread sets it anew, and then comes first: the later hook no longer
        // sees the A of Windows key + A, which captures nothing here.
        std::string seen = "41v";
        for (int probe = 0; probe < 50 && seen.find("41v") != std::string::npos; ++probe) {
            winHeld ? test::PressKey('A') : test::PressWindowsKeyWith('A');
            seen = seenUpToMarker();
        }
        ASSERT_EQ(seen.find("41v"), std::string::npos) << "the hook was not set anew";
        winHeld ? test::SendKeys({{'S', false}, {'S', true}, {VK_LWIN, true}}) : test::PressWindowsKeyWith('S');
        EXPECT_TRUE(WaitFor([&] { return Captures().size() == count + 2; }));
        EXPECT_FALSE(WaitFor([&] { return Captures().size() > count + 2; }, 1000)) << "one press, one capture";
        EXPECT_EQ(seenUpToMarker(), std::string(winHeld ? "" : "5Bv ") + "E8v E8^ 5B^ 97v 97^ ")
            << "the hook set anew comes first, and masks the Windows key";
        EXPECT_EQ(ThreadsOf(app.ProcessId()), 2);
        count = Captures().size();
    }
    EXPECT_EQ(shell.HotkeysS(), 0) << "the shell saw a claimed press";

    // Minimised, a window stays the foreground, far off the screen.
    TargetWindow target({200, 150, 700, 450}, RGB(20, 160, 60));
    ASSERT_TRUE(target.ClickToFocus());
    ::ShowWindow(target.get(), SW_SHOWMINIMIZED);
    ASSERT_EQ(::GetForegroundWindow(), target.get());
    test::PressWindowsKeyWith('A');
    EXPECT_FALSE(WaitFor([&] { return Captures().size() > count; }, 1500)) << "a minimised window was captured";
    test::PressWindowsKeyWith('S');
    EXPECT_TRUE(WaitFor([&] { return test::Exists(test::DesktopFolder() + L"\\Shot-" + std::to_wstring(count + 1) + L".jpg"); }))
        << "the skipped presses used no number";
}

// The menu's texts, read from the program's own resources: Wine does not let another process
// read the items of a menu on screen.
std::vector<std::wstring> TrayMenuTexts() {
    std::vector<std::wstring> texts;
    HMODULE exe = ::LoadLibraryExW(test::TavelinExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!exe) return texts;
    HMENU menu = ::LoadMenuW(exe, MAKEINTRESOURCEW(129));
    HMENU popup = ::GetSubMenu(menu, 0);
    for (int i = 0; i < ::GetMenuItemCount(popup); ++i) {
        wchar_t text[64] = {};
        MENUITEMINFOW item{};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
        item.dwTypeData = text;
        item.cch = 64;
        ::GetMenuItemInfoW(popup, static_cast<UINT>(i), TRUE, &item);
        texts.push_back((item.fType & MFT_SEPARATOR) ? L"-" : std::wstring(text) + L"=" + std::to_wstring(item.wID));
    }
    ::DestroyMenu(menu);
    ::FreeLibrary(exe);
    return texts;
}

// The menu on screen: Wine keeps hidden menu windows around, so the first one found may not be it.
HWND VisibleMenu() {
    HWND found = nullptr;
    WaitFor([&] {
        for (HWND window = ::FindWindowW(L"#32768", nullptr); window && !found;
             window = ::FindWindowExW(nullptr, window, L"#32768", nullptr))
            if (::IsWindowVisible(window)) found = window;
        return found != nullptr;
    });
    return found;
}

HWND OpenTrayMenu(const TavelinProcess& app) {
    app.Post(kTrayCallback, 0, WM_RBUTTONUP);
    return VisibleMenu();
}

// The About box once it shows and its thread has taken in its activation.
HWND WaitForAboutBox(const TavelinProcess& app) {
    HWND about = nullptr;
    WaitFor([&] {
        about = app.FindWindowOf(L"#32770", L"About Tavelin");
        return about && ::IsWindowVisible(about);
    });
    WaitFor([&] { return ::GetForegroundWindow() == about; }, 2000);
    LetItTakeInWhatXSent(about);
    return about;
}

// The centre of the About box's static text that starts with `prefix`, in screen points.
POINT TextCentre(HWND about, const std::wstring& prefix) {
    for (HWND child = ::GetWindow(about, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        wchar_t text[256] = {};
        ::GetWindowTextW(child, text, 256);
        if (std::wstring(text).rfind(prefix, 0) == 0) {
            RECT rect;
            ::GetWindowRect(child, &rect);
            return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
        }
    }
    return {-1, -1};
}

// Closes the About box by a click on its text, as a user's mouse does.
bool ClickToClose(HWND about, const std::wstring& text) {
    test::ClickAt(TextCentre(about, text));
    return WaitFor([&] { return !::IsWindow(about); }, 5000);
}

// The notification area is a stand-in here: Wine's own drops the icon of a destroyed window
// by itself, and would hide whether Tavelin deletes it.
TEST_F(TavelinApp, TrayMenuAndTheHiddenWindowEndOnlyOnExit) {
    EXPECT_EQ(TrayMenuTexts(), (std::vector<std::wstring>{L"Open captures folder=32781", L"Settings=32780",
                                                           L"About..=32778", L"-", L"Exit=32773"}));
    test::TrayStandIn tray;
    ASSERT_TRUE(tray.Ready());
    TavelinProcess app;
    ASSERT_TRUE(app.Start(false));
    ASSERT_TRUE(WaitFor([&] { return !tray.RequestsFor(app.MainWindow()).empty(); }));
    // Down three times is the third item, About..
    HWND menu = OpenTrayMenu(app);
    ASSERT_TRUE(menu) << "no menu after a right click on the icon";
    for (int down = 0; down < 3; ++down) test::PressKey(VK_DOWN);
    test::PressKey(VK_RETURN);
    HWND about = WaitForAboutBox(app);
    ASSERT_TRUE(about) << "About.. did not open the About box";
    test::ClickAt(TextCentre(about, L"Tavelin - Pellumry v4.0"));
    EXPECT_TRUE(WaitFor([&] { return !::IsWindow(about); })) << "a click on the text closes the box";

    // Made the foreground on purpose, the hidden main window is no window to capture, and the
    // keys and commands that end a dialog do not end it.
    ASSERT_TRUE(test::BringToFront(app.MainWindow()));

    // Alt+Space opens its system menu, whose last entry opens the About box. Wine keeps menus
    // inside their process, so the entry's text cannot be read from here: it is chosen on the
    // menu, and its text read from the program's string resource, which is all it shows.
    HMODULE exe = ::LoadLibraryExW(test::TavelinExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    wchar_t entry[64] = {};
    ::LoadStringW(exe, 101, entry, 64);
    ::FreeLibrary(exe);
    EXPECT_EQ(std::wstring(entry), L"&About Tavelin...");
    test::SendKeys({{VK_MENU, false}, {VK_SPACE, false}, {VK_SPACE, true}, {VK_MENU, true}});
    HWND systemMenu = VisibleMenu();
    ASSERT_TRUE(systemMenu) << "no system menu";
    ::PostMessageW(systemMenu, WM_KEYDOWN, VK_UP, 0);
    ::PostMessageW(systemMenu, WM_KEYDOWN, VK_RETURN, 0);
    about = WaitForAboutBox(app);
    ASSERT_TRUE(about) << "the system menu's last entry opens the About box";
    ASSERT_TRUE(ClickToClose(about, L"Tavelin - Pellumry v4.0"));
    ASSERT_TRUE(WaitFor([&] { return ::GetForegroundWindow() == app.MainWindow(); }))
        << "Windows hands the foreground to the closed box's owner";

    test::PressWindowsKeyWith('A');
    EXPECT_FALSE(WaitFor([] { return !Captures(L"Shot-*").empty(); }, 1500)) << "an invisible window was captured";
    test::PressKey(VK_ESCAPE);
    test::PressKey(VK_RETURN);
    ::PostMessageW(app.MainWindow(), WM_COMMAND, IDOK, 0);
    ::PostMessageW(app.MainWindow(), WM_COMMAND, IDCANCEL, 0);
    test::SendKeys({{VK_MENU, false}, {VK_F4, false}, {VK_F4, true}, {VK_MENU, true}});
    EXPECT_FALSE(app.HasExited(1000)) << "a key, Alt+F4 or a dialog command ended Tavelin";
    EXPECT_EQ(tray.RequestsFor(app.MainWindow()), (std::vector<DWORD>{NIM_ADD, NIM_MODIFY}))
        << "the icon and its balloon, and nothing deleted";
    test::PressWindowsKeyWith('S');
    EXPECT_TRUE(WaitFor([] { return Captures() == std::vector<std::wstring>{L"Shot-1.jpg"}; }))
        << "the hotkeys still capture, and the skipped press used no number";


    // Four times down passes the separator and lands on Exit.
    ASSERT_TRUE(OpenTrayMenu(app));
    for (int down = 0; down < 4; ++down) test::PressKey(VK_DOWN);
    test::PressKey(VK_RETURN);
    ASSERT_TRUE(app.HasExited(5000)) << "Exit did not end the program";
    EXPECT_EQ(app.ExitCode(), 0u);
    const std::vector<DWORD> requests = tray.RequestsFor(app.MainWindow());
    EXPECT_GE(std::count(requests.begin(), requests.end(), NIM_DELETE), 1) << "Exit must delete the icon";
}

// Keys the user chose that nobody holds are registered, and nothing more: no hook and no thread
// for it, and Windows key + A goes to whoever holds it, as Quick Settings would get it.
TEST_F(TavelinApp, ChosenKeysThatNobodyHoldsNeedNoHook) {
    test::UseCaptureFolder(test::DesktopFolder());
    const unique_hkey settings = OpenUserKey(kSettingsKeyPath);
    WriteText(settings.get(), kActiveWindowKeyValue, L"Ctrl+Shift+F5");
    WriteText(settings.get(), kWholeScreenKeyValue, L"printscreen");
    test::ShellStandIn holder(true, false);
    ASSERT_TRUE(holder.Ready());
    test::TrayStandIn tray(true);
    ASSERT_TRUE(tray.Ready());
    TavelinProcess app;
    ASSERT_TRUE(app.Start());
    EXPECT_TRUE(BalloonSays(tray, L"Press (Ctrl + Shift + F5) to clip active window.\nPress (PrintScreen) to clip entire screen."));
    EXPECT_EQ(ThreadsOf(app.ProcessId()), 1) << "a thread for a hook that no key needs";

    test::PressWindowsKeyWith('A');
    EXPECT_TRUE(WaitFor([&] { return holder.HotkeysA() == 1; })) << "Windows key + A did not reach its holder";
    test::SendKeys({{VK_LCONTROL, false}, {VK_LSHIFT, false}, {VK_F5, false}, {VK_F5, true}, {VK_LSHIFT, true},
                    {VK_LCONTROL, true}});
    EXPECT_TRUE(WaitFor([] { return Captures().size() == 1; })) << "Ctrl + Shift + F5";
    test::PressKey(VK_SNAPSHOT);
    EXPECT_TRUE(WaitFor([] { return Captures().size() == 2; })) << "Print Screen";
    EXPECT_FALSE(WaitFor([] { return Captures().size() > 2; }, 1000)) << "Windows key + A captured";

    app.Post(WM_COMMAND, 32778, 0);
    const HWND about = WaitForAboutBox(app);
    ASSERT_TRUE(about);
    EXPECT_TRUE(TextCentre(about, L"\t  HotKeys\nActive Window (Ctrl + Shift + F5)\n Entire Screen (PrintScreen)").x >= 0)
        << "the About box names other keys";
    ::PostMessageW(about, WM_COMMAND, IDCANCEL, 0);
}

TEST_F(TavelinApp, LeftClickOpensAboutAndHotkeysStillCaptureAndWmCloseEnds) {
    test::TrayStandIn tray;
    ASSERT_TRUE(tray.Ready());
    TavelinProcess app;
    ASSERT_TRUE(app.Start(false));
    // The pointer clear of the box, which comes up in the middle of the screen.
    const POINT aside{100, 600};
    ::SetCursorPos(aside.x, aside.y);
    LetItTakeInWhatXSent(::WindowFromPoint(aside));
    app.Post(kTrayCallback, 0, WM_LBUTTONUP);
    HWND about = WaitForAboutBox(app);
    ASSERT_TRUE(about);
    wchar_t text[256] = {};
    ::GetWindowTextW(::GetWindow(about, GW_CHILD), text, 256);

    test::PressWindowsKeyWith('S');
    EXPECT_TRUE(WaitFor([] { return !Captures().empty(); })) << "the box must not stop the hotkeys";
    EXPECT_TRUE(::IsWindow(about));

    test::ClickAt(TextCentre(about, L"\t  HotKeys"));
    EXPECT_TRUE(WaitFor([&] { return !::IsWindow(about); })) << "a click on the hotkey text closes the box";

    // Opened from the system menu's entry too, and closed by a click on empty space.
    app.Post(WM_SYSCOMMAND, 0x0010, 0);
    about = WaitForAboutBox(app);
    ASSERT_TRUE(about);
    RECT client;
    ::GetClientRect(about, &client);
    POINT corner{client.right - 4, client.bottom - 4};
    ::ClientToScreen(about, &corner);
    test::ClickAt(corner);
    EXPECT_TRUE(WaitFor([&] { return !::IsWindow(about); }));

    // What taskkill without /F and installers send ends Tavelin as Exit does.
    ::PostMessageW(app.MainWindow(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(app.HasExited(5000)) << "WM_CLOSE from outside ends Tavelin";
    const std::vector<DWORD> requests = tray.RequestsFor(app.MainWindow());
    EXPECT_GE(std::count(requests.begin(), requests.end(), NIM_DELETE), 1) << "the icon goes with it";
}

TEST_F(TavelinApp, TheIconComesBackWhenTheTaskbarIsCreatedAgain) {
    TavelinProcess app;
    ASSERT_TRUE(app.Start());
    // What an Explorer restart does to the icon: the shell forgets it.
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof(icon);
    icon.hWnd = app.MainWindow();
    icon.uID = 0;
    ASSERT_TRUE(::Shell_NotifyIconW(NIM_DELETE, &icon));
    ASSERT_TRUE(WaitFor([&] { return !test::TrayIconShown(app.MainWindow()); }, 3000));
    ::PostMessageW(app.MainWindow(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(WaitFor([&] { return test::TrayIconShown(app.MainWindow()); }, 3000));
}


// A disk that fills up: a small tmpfs mounted inside the prefix. One of 4,104 KiB holds the
// temporary BMP of a 1366 x 768 screen (4,196,406 bytes) and then no JPEG; one of 2 MiB not
// even the BMP.
TEST_F(TavelinApp, ADiskThatFillsUpLosesNoCapture) {
    if (!test::OnWine()) GTEST_SKIP() << "needs a small disk mounted from Linux";
    test::TempFolder folder;
    const std::wstring roomy = folder.File(L"roomy");
    const std::wstring tight = folder.File(L"tight");
    ASSERT_TRUE(::CreateDirectoryW(roomy.c_str(), nullptr) && ::CreateDirectoryW(tight.c_str(), nullptr));
    const std::string mountPoints = "'" + test::LinuxPath(roomy) + "' '" + test::LinuxPath(tight) + "'";
    if (test::RunLinuxCommand("mount -t tmpfs -o size=4104k tmpfs '" + test::LinuxPath(roomy) +
                              "' && mount -t tmpfs -o size=2m tmpfs '" + test::LinuxPath(tight) + "'") != 0) {
        test::RunLinuxCommand("umount " + mountPoints);
        GTEST_SKIP() << "mounting a small disk needs root";
    }
    struct Unmount {
        std::string points;
        ~Unmount() { test::RunLinuxCommand("umount " + points); }
    } unmount{mountPoints};

    test::UseCaptureFolder(roomy);
    TavelinProcess app;
    ASSERT_TRUE(app.Start());
    test::PressWindowsKeyWith('S');
    test::ShownBox box = test::WaitForMessageBox(app, 15000);
    ASSERT_TRUE(box.window) << "no word of the lost JPEG";
    EXPECT_EQ(box.caption, L"Tavelin");
    EXPECT_EQ(box.text, L"Could not save the JPEG file. The capture was kept as " + roomy + L"\\Shot-1.bmp");
    EXPECT_TRUE(::GetWindowLongPtrW(box.window, GWL_EXSTYLE) & WS_EX_TOPMOST) << "it may be behind the user's window";
    ::PostMessageW(::GetDlgItem(box.window, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(box.window); }));
    EXPECT_EQ(test::TempFolder::NamesIn(roomy), std::vector<std::wstring>{L"Shot-1.bmp"}) << "no broken JPEG";
    const std::vector<uint8_t> bmp = test::ReadBytes(roomy + L"\\Shot-1.bmp");
    ASSERT_GT(bmp.size(), 54u);
    EXPECT_EQ(bmp.size(), test::Le32(bmp, 2)) << "the whole BMP";
    const test::DecodedImage kept = test::DecodeWithGdiplus(roomy + L"\\Shot-1.bmp");
    EXPECT_TRUE(kept.ok && kept.width == static_cast<unsigned>(::GetSystemMetrics(SM_CXSCREEN)) &&
                kept.height == static_cast<unsigned>(::GetSystemMetrics(SM_CYSCREEN)));

    test::UseCaptureFolder(tight);
    test::PressWindowsKeyWith('S');
    box = test::WaitForMessageBox(app, 15000);
    ASSERT_TRUE(box.window);
    EXPECT_EQ(box.text, L"Could not write in to file");
    ::PostMessageW(::GetDlgItem(box.window, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(box.window); }));
    EXPECT_TRUE(WaitFor([&] { return test::TempFolder::NamesIn(tight).empty(); }))
        << "no file of the failed capture is left: " << testing::PrintToString(test::TempFolder::NamesIn(tight));
    EXPECT_FALSE(test::WaitForMessageBox(app, 1000).window) << "one message for one failure";
}

// The foreground goes back to the user's window after each way Tavelin takes it, and Windows
// key + A then captures that window. The icon is clicked through the X server, as a mouse does.
TEST_F(TavelinApp, GivesTheForegroundBackToTheUsersWindow) {
    // Clear of the centred dialogs, which it would cover: it stays on top.
    TargetWindow user({20, 20, 520, 320}, RGB(20, 160, 60));
    ASSERT_TRUE(user.ClickToFocus());
    TavelinProcess app;
    ASSERT_TRUE(app.Start());
    auto capturesTheUsersWindowAfter = [&](const char* what, HWND window = nullptr, unsigned width = 500) {
        SCOPED_TRACE(what);
        if (!window) window = user.get();
        EXPECT_TRUE(WaitFor([&] { return ::GetForegroundWindow() == window; }, 3000))
            << "the foreground is " << ::GetForegroundWindow() << " of class "
            << testing::PrintToString(test::ClassOf(::GetForegroundWindow()));
        const size_t before = Captures().size();
        test::PressWindowsKeyWith('A');
        ASSERT_TRUE(WaitFor([&] { return Captures().size() == before + 1; }));
        const test::DecodedImage image = WaitForCapture(Captures().back());
        EXPECT_EQ(image.width, width);
        EXPECT_EQ(image.height, 300u);
    };
    capturesTheUsersWindowAfter("start-up");

    test::ClickTrayIcon(app.MainWindow(), test::Button::Left);
    HWND about = WaitForAboutBox(app);
    ASSERT_TRUE(about) << "a left click on the icon opens the About box";
    ASSERT_TRUE(ClickToClose(about, L"Tavelin - Pellumry v4.0"));
    capturesTheUsersWindowAfter("the About box from the icon");

    app.Post(WM_SYSCOMMAND, 0x0010, 0);
    about = WaitForAboutBox(app);
    ASSERT_TRUE(about) << "the system menu's About command";
    ASSERT_TRUE(ClickToClose(about, L"\t  HotKeys"));
    capturesTheUsersWindowAfter("the About box from the system menu");

    test::ClickTrayIcon(app.MainWindow(), test::Button::Right);
    HWND menu = VisibleMenu();
    ASSERT_TRUE(menu) << "a right click on the icon opens the menu";
    RECT menuRect;
    ::GetWindowRect(menu, &menuRect);
    const POINT pointer = test::TrayIconCentre(app.MainWindow());
    // At the pointer, moved by the system to stay on the screen: within a few pixels of it.
    const long dx = std::max({menuRect.left - pointer.x, 0L, pointer.x - menuRect.right});
    const long dy = std::max({menuRect.top - pointer.y, 0L, pointer.y - menuRect.bottom});
    EXPECT_LE(std::max(dx, dy), 16) << "menu at " << menuRect.left << "," << menuRect.top << "-"
                                    << menuRect.right << "," << menuRect.bottom;
    test::PressKey(VK_ESCAPE);
    capturesTheUsersWindowAfter("the menu dismissed with Escape");

    {
        // A click on another window closes the menu and leaves the foreground there, also when
        // the button comes up at once.
        TargetWindow other({600, 20, 900, 320}, RGB(200, 30, 90));
        ASSERT_TRUE(user.ClickToFocus());
        test::ClickTrayIcon(app.MainWindow(), test::Button::Right);
        ASSERT_TRUE(VisibleMenu());
        test::ClickElsewhereWhileAMenuIsOpen({750, 170});
        capturesTheUsersWindowAfter("a click on another window while the menu is open", other.get(), 300);

        // Opened from the overflow flyout, with the window the user worked in before above.
        ::SetWindowPos(user.get(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        const int right = ::GetSystemMetrics(SM_CXSCREEN) - 66, bottom = ::GetSystemMetrics(SM_CYSCREEN) - 68;
        TargetWindow flyout({right - 200, bottom - 100, right, bottom}, RGB(40, 40, 40), L"NotifyIconOverflowWindow",
                            FlyoutProc);
        ASSERT_TRUE(flyout.ClickToFocus());
        ASSERT_TRUE(OpenTrayMenu(app));
        test::PressKey(VK_ESCAPE);
        capturesTheUsersWindowAfter("the menu from the overflow flyout", other.get(), 300);
    }
    ASSERT_TRUE(user.ClickToFocus());

    // The menu's items: Settings is two down, About.. three.
    auto choose = [&](int downs) {
        test::ClickTrayIcon(app.MainWindow(), test::Button::Right);
        ASSERT_TRUE(VisibleMenu());
        for (int i = 0; i < downs; ++i) test::PressKey(VK_DOWN);
        test::PressKey(VK_RETURN);
    };
    choose(3);
    about = WaitForAboutBox(app);
    ASSERT_TRUE(about) << "About.. from the menu";
    ASSERT_TRUE(ClickToClose(about, L"Tavelin - Pellumry v4.0"));
    capturesTheUsersWindowAfter("About.. from the menu");

    auto closesSettings = [&](const std::function<void()>& whileOpen) {
        choose(2);
        HWND settings = nullptr;
        ASSERT_TRUE(WaitFor([&] {
            settings = app.FindWindowOf(L"#32770", L"Tavelin settings");
            return settings && ::IsWindowVisible(settings);
        })) << "Settings from the menu";
        whileOpen();
        // Back to the dialog, as a user goes, and closed with Escape.
        RECT client;
        ::GetClientRect(settings, &client);
        POINT margin{client.left + 3, client.bottom - 3};
        ::ClientToScreen(settings, &margin);
        test::ClickAt(margin);
        ASSERT_TRUE(WaitFor([&] { return ::GetForegroundWindow() == settings; }));
        test::PressKey(VK_ESCAPE);
        ASSERT_TRUE(WaitFor([&] { return !::IsWindow(settings); }));
    };
    closesSettings([] {});
    capturesTheUsersWindowAfter("the settings dialog cancelled");

    // The user went to another window while the dialog was open: that one gets it back.
    TargetWindow meanwhile({600, 20, 900, 320}, RGB(200, 30, 90));
    closesSettings([&] { ASSERT_TRUE(meanwhile.ClickToFocus()); });
    capturesTheUsersWindowAfter("the settings dialog closed from elsewhere", meanwhile.get(), 300);
}

}  // namespace
}  // namespace tavelin
