// Drives the real Tavelin.exe from a second process, as a user's keys and clicks would.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "framework/unique_handles.h"
#include "tests/support/foreground.h"

namespace tavelin::test {

// Whether the tests run under Wine rather than on Windows itself.
bool OnWine();
// The build of Windows, for lines that say why a test could not go on: "Windows build 26100.4061".
std::string WindowsBuild();

// The Windows path of the Tavelin.exe that this build made.
std::wstring TavelinExePath();
// A path the build named, as Windows programs see it: a Linux one as Wine shows it.
std::wstring WindowsPath(const std::string& buildPath);

class TavelinProcess {
public:
    // The program at `exe`, by default the one this build made.
    explicit TavelinProcess(std::wstring exe = TavelinExePath()) : m_exe(std::move(exe)) {}
    ~TavelinProcess();
    TavelinProcess(const TavelinProcess&) = delete;
    TavelinProcess& operator=(const TavelinProcess&) = delete;

    // Starts the program and waits until its main window and, unless told otherwise, its
    // tray icon are up.
    bool Start(bool waitForTrayIcon = true);
    HWND MainWindow() const { return m_mainWindow; }
    // Posts to the main window with the right to take the foreground passed on first, as the
    // shell passes it with a click on the icon: for what opens a window of the program's.
    void Post(UINT message, WPARAM wParam, LPARAM lParam) const;
    DWORD ProcessId() const { return m_process.dwProcessId; }
    bool HasExited(DWORD waitMs = 0) const;
    DWORD ExitCode() const;
    // The program's top-level window with this class and caption, visible or not.
    HWND FindWindowOf(const wchar_t* className, const wchar_t* caption) const;
    // All of the program's visible top-level windows.
    std::vector<HWND> VisibleWindows() const;

private:
    std::wstring m_exe;
    PROCESS_INFORMATION m_process{};
    unique_handle m_job;
    HWND m_mainWindow = nullptr;
};

// A visible message box of the program: its window, text and whether it asks a question.
struct ShownBox {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text;
};
ShownBox WaitForMessageBox(const TavelinProcess& app, DWORD timeoutMs = 5000);

// The settings dialog, opened from the tray menu's command, once it shows; or null.
HWND OpenSettings(const TavelinProcess& app);
// The folder picker, opened with the settings dialog's "..." button, once it shows; or null.
HWND OpenFolderPicker(const TavelinProcess& app, HWND settings);

// Returns once `window`'s thread has read what the X server sent it: under Wine, a window
// that comes up under the pointer or gets the focus has its thread set the modifier keys afresh
// from the X server's state, and a modifier sent meanwhile is let go halfway through the
// press. Two round trips through the thread let it read that.
void LetItTakeInWhatXSent(HWND window);

// SendMessage to another process's window, given up after `timeoutMs` (with a line saying so):
// a program that shows a modal box meanwhile would hold the test forever.
LRESULT SendTo(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0, DWORD timeoutMs = 5000);

// A control's text, read across processes.
std::wstring ControlText(HWND dialog, int id);
void SetControlText(HWND dialog, int id, const std::wstring& text);

// Key strokes sent in one SendInput call, in order; with a time, the event carries that time
// instead of the system's, as remote-control tools send keys.
struct KeyStroke {
    WORD key;
    bool up;
    DWORD time = 0;
};
void SendKeys(const std::vector<KeyStroke>& strokes);
// Windows key + `key`, pressed and released through SendInput.
void PressWindowsKeyWith(WORD key);
// A key pressed and released through SendInput.
void PressKey(WORD key);
// A left click on another window while a program's menu is open, which closes the menu.
void ClickElsewhereWhileAMenuIsOpen(POINT screenPoint);
// The middle of Tavelin's icon where a click reaches it: on the taskbar, or else in the
// overflow, opened for it; under Wine, where the shell cannot say, the first icon's place in
// its taskbar, bottom right.
POINT TrayIconCentre(HWND owner);
void ClickTrayIcon(HWND owner, Button button);

// Under Wine only, for what Windows has no way to do (a small disk): the Linux path of a
// Windows path, and a shell command run on the Linux side (at most 30 s), its exit status or -1.
std::string LinuxPath(const std::wstring& windowsPath);
int RunLinuxCommand(const std::string& command);

// Whether the notification area holds Tavelin's icon, on the taskbar or in its overflow:
// where the shell cannot say, whether an icon is drawn in its first place.
bool TrayIconShown(HWND owner);
// On Windows, closes the shell's window that a test's key opened (Search, Quick Settings,
// Start), once it has shown: one dismissed sooner stays open for the next test.
void CloseShellWindow();
// The buttons the virtual desktop's taskbar shows: the Start button and one for each window
// that has a taskbar entry.
int VisibleTaskbarButtons();

// The texts of the visible tool tips and balloons on the desktop.
std::vector<std::wstring> VisibleToolTipTexts();

// The visible top-level windows of other processes than `except` whose title holds `text`.
std::vector<HWND> WindowsTitled(const std::wstring& text, DWORD except);

// The window's class name.
std::wstring ClassOf(HWND window);

}  // namespace tavelin::test
