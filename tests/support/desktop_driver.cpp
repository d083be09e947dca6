#include "tests/support/desktop_driver.h"
#include "tests/support/test_files.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

namespace tavelin::test {

bool OnWine() {
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

std::wstring WindowsPath(const std::string& buildPath) {
    std::wstring path(buildPath.size(), L'\0');
    path.resize(::MultiByteToWideChar(CP_UTF8, 0, buildPath.data(), static_cast<int>(buildPath.size()), path.data(),
                                      static_cast<int>(path.size())));
    std::replace(path.begin(), path.end(), L'/', L'\\');
    // Wine shows the Linux root as drive Z:.
    return buildPath.rfind('/', 0) == 0 ? L"Z:" + path : path;
}

std::wstring TavelinExePath() { return WindowsPath(TAVELIN_EXE_PATH); }

TavelinProcess::~TavelinProcess() {
    if (m_process.hProcess) {
        if (!HasExited()) {
            ::TerminateProcess(m_process.hProcess, 1);
            ::WaitForSingleObject(m_process.hProcess, 5000);
        }
        ::CloseHandle(m_process.hThread);
        ::CloseHandle(m_process.hProcess);
    }
}

bool TavelinProcess::Start(bool waitForTrayIcon) {
    std::wstring commandLine = L"\"" + m_exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                          nullptr, &startup, &m_process)) {
        std::fprintf(stderr, "could not start %ls: error %lu\n", m_exe.c_str(), ::GetLastError());
        return false;
    }
    // Ended with the test program, also one that CTest kills on its time-out: on Windows the
    // next test would meet it on the user's desktop. Only it: what it starts stays out of the
    // job (under Wine, the session's desktop and tray start with its first window).
    m_job.reset(::CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK;
    ::SetInformationJobObject(m_job.get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits));
    ::AssignProcessToJobObject(m_job.get(), m_process.hProcess);
    ::ResumeThread(m_process.hThread);
    ::WaitForInputIdle(m_process.hProcess, 10000);
    const bool up = WaitFor([this, waitForTrayIcon] {
        m_mainWindow = FindWindowOf(L"#32770", L"Tavelin");
        return m_mainWindow != nullptr && (!waitForTrayIcon || TrayIconShown(m_mainWindow));
    });
    if (!up && m_mainWindow)
        std::fprintf(stderr, "Tavelin's icon did not come up in the notification area (%s)\n", WindowsBuild().c_str());
    return up;
}

void TavelinProcess::Post(UINT message, WPARAM wParam, LPARAM lParam) const {
    // Its hidden window in front, where Tavelin itself puts the foreground for its menu.
    TakeForegroundRights(m_process.dwProcessId, m_mainWindow);
    ::PostMessageW(m_mainWindow, message, wParam, lParam);
}

bool TavelinProcess::HasExited(DWORD waitMs) const {
    return ::WaitForSingleObject(m_process.hProcess, waitMs) == WAIT_OBJECT_0;
}

DWORD TavelinProcess::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(m_process.hProcess, &code);
    return code;
}

namespace {
struct WindowSearch {
    DWORD processId;
    const wchar_t* className;
    const wchar_t* caption;
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    if (processId != search->processId) return TRUE;
    if (search->visibleOnly && !::IsWindowVisible(window)) return TRUE;
    if (search->className && ClassOf(window) != search->className) return TRUE;
    if (search->caption) {
        wchar_t text[256] = {};
        ::GetWindowTextW(window, text, 256);
        if (std::wstring(text) != search->caption) return TRUE;
    }
    search->found.push_back(window);
    return TRUE;
}
}  // namespace

HWND TavelinProcess::FindWindowOf(const wchar_t* className, const wchar_t* caption) const {
    WindowSearch search{m_process.dwProcessId, className, caption, false, {}};
    ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found.empty() ? nullptr : search.found.front();
}

std::vector<HWND> TavelinProcess::VisibleWindows() const {
    WindowSearch search{m_process.dwProcessId, nullptr, nullptr, true, {}};
    ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

LRESULT SendTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD timeoutMs) {
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, timeoutMs, &result))
        std::fprintf(stderr, "message 0x%04X to window %p had no answer in %lu ms (a modal box in the way?)\n",
                     message, static_cast<void*>(window), timeoutMs);
    return static_cast<LRESULT>(result);
}

std::wstring ControlText(HWND dialog, int id) {
    // GetWindowText would give another process's edit control's first text, not its current.
    wchar_t text[1024] = {};
    SendTo(::GetDlgItem(dialog, id), WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return text;
}

void SetControlText(HWND dialog, int id, const std::wstring& text) {
    SendTo(::GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

ShownBox WaitForMessageBox(const TavelinProcess& app, DWORD timeoutMs) {
    ShownBox box;
    WaitFor([&] {
        for (HWND window : app.VisibleWindows()) {
            HWND text = ::GetDlgItem(window, 0xFFFF);  // a message box's text
            if (ClassOf(window) == L"#32770" && text) {
                box.window = window;
                wchar_t caption[256] = {};
                SendTo(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(caption));
                box.caption = caption;
                box.text = ControlText(window, 0xFFFF);
                return true;
            }
        }
        return false;
    }, timeoutMs);
    return box;
}

HWND OpenSettings(const TavelinProcess& app) {
    app.Post(WM_COMMAND, 32780, 0);
    HWND dialog = nullptr;
    WaitFor([&] {
        dialog = app.FindWindowOf(L"#32770", L"Tavelin settings");
        return dialog && ::IsWindowVisible(dialog);
    });
    return dialog;
}

HWND OpenFolderPicker(const TavelinProcess& app, HWND settings) {
    ::PostMessageW(::GetDlgItem(settings, 1007), BM_CLICK, 0, 0);
    HWND picker = nullptr;
    WaitFor([&] {
        for (HWND window : app.VisibleWindows())
            if (window != settings && ClassOf(window) == L"#32770") picker = window;
        return picker != nullptr;
    });
    return picker;
}

namespace {
void Send(std::vector<INPUT> inputs) {
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    ::Sleep(50);
}

INPUT Key(WORD key, bool up, DWORD time = 0) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    input.ki.time = time;
    return input;
}
}  // namespace

void SendKeys(const std::vector<KeyStroke>& strokes) {
    std::vector<INPUT> inputs;
    for (const KeyStroke& stroke : strokes) inputs.push_back(Key(stroke.key, stroke.up, stroke.time));
    Send(inputs);
}

void PressWindowsKeyWith(WORD key) {
    Send({Key(VK_LWIN, false), Key(key, false), Key(key, true), Key(VK_LWIN, true)});
}

void PressKey(WORD key) { Send({Key(key, false), Key(key, true)}); }

void ClickElsewhereWhileAMenuIsOpen(POINT point) {
    // Wine gives a click injected with SendInput outside another program's open menu to none
    // of that menu's own loop's watchers, where Windows does and a click through the X server
    // does under Wine.
    if (OnWine()) {
        RunLinuxCommand("xdotool mousemove " + std::to_string(point.x) + " " + std::to_string(point.y) + " click 1");
    } else {
        ClickAt(point);
    }
}

namespace {
// The shell's own taskbar, not a stand-in of the test's.
HWND ShellTaskbar() {
    HWND taskbar = nullptr;
    DWORD process = ::GetCurrentProcessId();
    while (process == ::GetCurrentProcessId() && (taskbar = ::FindWindowExW(nullptr, taskbar, L"Shell_TrayWnd", nullptr)))
        ::GetWindowThreadProcessId(taskbar, &process);
    return taskbar;
}

// Windows 11 puts a new icon in the overflow and shows it on the taskbar once its entry,
// which Explorer makes for each executable under NotifyIconSettings, is promoted; the
// EnableAutoTray of Windows 10 no longer counts there.
void PromoteIconOf(HWND owner) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(owner, &processId);
    const unique_handle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    wchar_t exe[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    HKEY opened = nullptr;
    if (!process || !::QueryFullProcessImageNameW(process.get(), 0, exe, &size) ||
        ::RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\NotifyIconSettings", 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return;
    const unique_hkey icons(opened);
    wchar_t name[256];
    for (DWORD index = 0, length = 256; ::RegEnumKeyExW(icons.get(), index, name, &length, nullptr, nullptr, nullptr,
                                                        nullptr) == ERROR_SUCCESS; ++index, length = 256) {
        wchar_t path[MAX_PATH] = {};
        DWORD bytes = sizeof(path);
        DWORD promoted = 0, promotedBytes = sizeof(promoted);
        if (::RegGetValueW(icons.get(), name, L"ExecutablePath", RRF_RT_REG_SZ, nullptr, path, &bytes) != ERROR_SUCCESS ||
            ::CompareStringOrdinal(path, -1, exe, -1, TRUE) != CSTR_EQUAL ||
            (::RegGetValueW(icons.get(), name, L"IsPromoted", RRF_RT_REG_DWORD, nullptr, &promoted, &promotedBytes) ==
                 ERROR_SUCCESS && promoted == 1))
            continue;
        HKEY entry = nullptr;
        if (::RegOpenKeyExW(icons.get(), name, 0, KEY_SET_VALUE, &entry) != ERROR_SUCCESS) continue;
        const unique_hkey promotable(entry);
        promoted = 1;
        ::RegSetValueExW(promotable.get(), L"IsPromoted", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&promoted),
                         sizeof(promoted));
    }
}

// Where the shell has Tavelin's icon (its only one: uID 0), promoted first. Windows 11 may
// answer S_FALSE with a right rectangle, or one where the icon does not show; Wine has no answer.
bool TrayIconRect(HWND owner, RECT* rect) {
    if (!owner) return false;
    PromoteIconOf(owner);
    NOTIFYICONIDENTIFIER icon{};
    icon.cbSize = sizeof(icon);
    icon.hWnd = owner;
    icon.uID = 0;
    return SUCCEEDED(::Shell_NotifyIconGetRect(&icon, rect)) && rect->right > rect->left;
}

// Whether the point lies on a visible window of one of these classes.
bool OnWindowOf(POINT point, std::initializer_list<const wchar_t*> classes) {
    for (const wchar_t* name : classes) {
        for (HWND window = ::FindWindowExW(nullptr, nullptr, name, nullptr); window;
             window = ::FindWindowExW(nullptr, window, name, nullptr)) {
            RECT rect;
            if (::IsWindowVisible(window) && ::GetWindowRect(window, &rect) && ::PtInRect(&rect, point)) return true;
        }
    }
    return false;
}
const std::initializer_list<const wchar_t*> kOverflows = {L"NotifyIconOverflowWindow",
                                                          L"TopLevelWindowForOverflowXamlIsland"};

// Opens the notification area's overflow: on Windows 10 with its chevron button; Windows 11's
// chevron has no window of its own, but Windows key + B gives it the keyboard focus.
void OpenOverflow() {
    HWND chevron = ::FindWindowExW(::FindWindowExW(ShellTaskbar(), nullptr, L"TrayNotifyWnd", nullptr), nullptr,
                                   L"Button", nullptr);
    RECT rect;
    if (chevron && ::IsWindowVisible(chevron) && ::GetWindowRect(chevron, &rect)) {
        ClickAt({(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
    } else {
        PressWindowsKeyWith('B');
        ::Sleep(250);  // the focus moving there
        PressKey(VK_RETURN);
    }
}
}  // namespace

std::string WindowsBuild() {
    wchar_t build[32] = {};
    DWORD bytes = sizeof(build);
    DWORD revision = 0, revisionBytes = sizeof(revision);
    const wchar_t* key = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    ::RegGetValueW(HKEY_LOCAL_MACHINE, key, L"CurrentBuildNumber", RRF_RT_REG_SZ, nullptr, build, &bytes);
    ::RegGetValueW(HKEY_LOCAL_MACHINE, key, L"UBR", RRF_RT_REG_DWORD, nullptr, &revision, &revisionBytes);
    char text[64];
    std::snprintf(text, sizeof(text), "Windows build %ls.%lu%s", build, revision, OnWine() ? ", under Wine" : "");
    return text;
}

POINT TrayIconCentre(HWND owner) {
    RECT rect;
    const auto centre = [&rect] { return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}; };
    if (!TrayIconRect(owner, &rect)) return {::GetSystemMetrics(SM_CXSCREEN) - 10, ::GetSystemMetrics(SM_CYSCREEN) - 10};
    if (OnWindowOf(centre(), {L"Shell_TrayWnd", L"Shell_SecondaryTrayWnd"}) || OnWindowOf(centre(), kOverflows))
        return centre();
    OpenOverflow();
    if (WaitFor([&] { return TrayIconRect(owner, &rect) && OnWindowOf(centre(), kOverflows); }, 3000)) return centre();
    std::fprintf(stderr, "Tavelin's icon is neither on the taskbar nor in its overflow (%s): the shell places it at "
                 "(%ld,%ld)-(%ld,%ld)\n", WindowsBuild().c_str(), rect.left, rect.top, rect.right, rect.bottom);
    return centre();
}

void ClickTrayIcon(HWND owner, Button button) { ClickAt(TrayIconCentre(owner), button); }

std::string LinuxPath(const std::wstring& windowsPath) {
    using ToUnix = char*(CDECL*)(const wchar_t*);
    const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return {};
    char* path = toUnix(windowsPath.c_str());
    if (!path) return {};
    std::string result = path;
    ::HeapFree(::GetProcessHeap(), 0, path);
    return result;
}

int RunLinuxCommand(const std::string& command) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring status = std::wstring(temp) + L"tavelin-command-" +
                                std::to_wstring(::GetCurrentProcessId()) + L".status";
    ::DeleteFileW(status.c_str());
    const std::string script = command + "; echo $? > '" + LinuxPath(status) + "'";
    // Wine starts Unix programs too; the session's DISPLAY is in their environment.
    std::wstring commandLine = L"Z:\\bin\\sh -c \"" + std::wstring(script.begin(), script.end()) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process)) {
        return -1;
    }
    if (process.hProcess) {
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
    // No handle of a Unix process to wait on: the status file says it ended.
    int code = -1;
    WaitFor([&] {
        HANDLE file = ::CreateFileW(status.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        char text[16] = {};
        DWORD read = 0;
        ::ReadFile(file, text, sizeof(text) - 1, &read, nullptr);
        ::CloseHandle(file);
        if (read == 0 || text[read - 1] != '\n') return false;
        code = std::atoi(text);
        return true;
    }, 30000);
    ::DeleteFileW(status.c_str());
    return code;
}

bool TrayIconShown(HWND owner) {
    RECT rect;
    if (TrayIconRect(owner, &rect)) return true;
    if (!OnWine()) return false;
    // The first icon of the virtual desktop's notification area sits in the bottom-right
    // corner: look at its pixels against the taskbar's own colour further left.
    const int width = ::GetSystemMetrics(SM_CXSCREEN);
    const int height = ::GetSystemMetrics(SM_CYSCREEN);
    const DWORD taskbar = ScreenPixels({width - 200, height - 2, width - 199, height - 1})[0];
    const std::vector<DWORD> slot = ScreenPixels({width - 18, height - 18, width - 2, height - 2});
    return std::count_if(slot.begin(), slot.end(), [&](DWORD pixel) { return pixel != taskbar; }) > 64;
}

int VisibleTaskbarButtons() {
    int count = 0;
    for (HWND child = ::GetWindow(ShellTaskbar(), GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) == L"Button" && ::IsWindowVisible(child)) ++count;
    }
    return count;
}

void CloseShellWindow() {
    if (OnWine()) return;
    HWND shown = nullptr;
    const bool known = WaitFor([&] {
        shown = ::GetForegroundWindow();
        const std::wstring name = ClassOf(shown);
        return name == L"Windows.UI.Core.CoreWindow" || name == L"ControlCenterWindow";
    }, 3000);
    if (!known) {  // one this does not know, such as the snipping bar
        PressKey(VK_ESCAPE);
        return;
    }
    ::Sleep(500);  // its opening animation
    for (int tries = 0; tries < 3 && ::GetForegroundWindow() == shown; ++tries) {
        PressKey(VK_ESCAPE);
        WaitFor([shown] { return ::GetForegroundWindow() != shown; }, 2000);
    }
    if (::GetForegroundWindow() == shown) std::fprintf(stderr, "the shell's %ls stays open\n", ClassOf(shown).c_str());
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

namespace {
BOOL CALLBACK CollectToolTip(HWND window, LPARAM parameter) {
    if (ClassOf(window) == L"tooltips_class32" && ::IsWindowVisible(window)) {
        wchar_t text[512] = {};
        ::SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text),
                              SMTO_ABORTIFHUNG, 1000, nullptr);
        reinterpret_cast<std::vector<std::wstring>*>(parameter)->push_back(text);
    }
    return TRUE;
}
}  // namespace

std::vector<std::wstring> VisibleToolTipTexts() {
    std::vector<std::wstring> texts;
    ::EnumWindows(CollectToolTip, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

namespace {
struct TitleSearch {
    const std::wstring& text;
    DWORD except;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTitled(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<TitleSearch*>(parameter);
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    wchar_t title[512] = {};
    ::GetWindowTextW(window, title, 512);
    if (process != search.except && ::IsWindowVisible(window) && std::wstring(title).find(search.text) != std::wstring::npos)
        search.found.push_back(window);
    return TRUE;
}
}  // namespace

std::vector<HWND> WindowsTitled(const std::wstring& text, DWORD except) {
    TitleSearch search{text, except, {}};
    ::EnumWindows(CollectTitled, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void LetItTakeInWhatXSent(HWND window) {
    for (int trip = 0; window && trip < 2; ++trip) {
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &ignored);
    }
}

}  // namespace tavelin::test
