#include "tests/support/desktop_driver.h"
#include "tests/support/test_files.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace tavelin::test {

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (!condition()) {
        if (::GetTickCount() - start > timeoutMs) return condition();
        // The driver's own windows must paint while it waits.
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
        ::Sleep(20);
    }
    return true;
}

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
    return WaitFor([this, waitForTrayIcon] {
        m_mainWindow = FindWindowOf(L"#32770", L"Tavelin");
        return m_mainWindow != nullptr && (!waitForTrayIcon || TrayIconShown(m_mainWindow));
    });
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

std::wstring ControlText(HWND dialog, int id) {
    // GetWindowText would give another process's edit control's first text, not its current.
    wchar_t text[1024] = {};
    ::SendMessageW(::GetDlgItem(dialog, id), WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return text;
}

void SetControlText(HWND dialog, int id, const std::wstring& text) {
    ::SendMessageW(::GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

ShownBox WaitForMessageBox(const TavelinProcess& app, DWORD timeoutMs) {
    ShownBox box;
    WaitFor([&] {
        for (HWND window : app.VisibleWindows()) {
            HWND text = ::GetDlgItem(window, 0xFFFF);  // a message box's text
            if (ClassOf(window) == L"#32770" && text) {
                box.window = window;
                wchar_t caption[256] = {};
                ::SendMessageW(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(caption));
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
    ::PostMessageW(app.MainWindow(), WM_COMMAND, 32780, 0);
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
    INPUT down = move;
    down.mi.dwFlags |= button == Button::Left ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN;
    INPUT up = move;
    up.mi.dwFlags |= button == Button::Left ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_RIGHTUP;
    Send({move, down, up});
}

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
// Where the shell shows Tavelin's icon (its only one: uID 0). Wine has no answer.
bool TrayIconRect(HWND owner, RECT* rect) {
    NOTIFYICONIDENTIFIER icon{};
    icon.cbSize = sizeof(icon);
    icon.hWnd = owner;
    icon.uID = 0;
    return owner && ::Shell_NotifyIconGetRect(&icon, rect) == S_OK && rect->right > rect->left;
}
}  // namespace

POINT TrayIconCentre(HWND owner) {
    RECT rect;
    if (TrayIconRect(owner, &rect)) return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    return {::GetSystemMetrics(SM_CXSCREEN) - 10, ::GetSystemMetrics(SM_CYSCREEN) - 10};
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
    // The shell's own taskbar, not a stand-in of the test's.
    HWND taskbar = nullptr;
    DWORD process = ::GetCurrentProcessId();
    while (process == ::GetCurrentProcessId() && (taskbar = ::FindWindowExW(nullptr, taskbar, L"Shell_TrayWnd", nullptr)))
        ::GetWindowThreadProcessId(taskbar, &process);
    for (HWND child = ::GetWindow(taskbar, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) == L"Button" && ::IsWindowVisible(child)) ++count;
    }
    return count;
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
