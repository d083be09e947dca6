// Says at once, in one line, why the tests cannot run here, rather than letting each time out:
// they need the desktop a signed-in user sees, with the shell's taskbar, and no Tavelin of the
// user's running (its keys and icon would meet the one under test), nor captures of the
// user's on the desktop (the tests delete the Shot-* files they make there).
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

namespace {
int NotReady(const char* why) {
    std::fprintf(stderr, "the desktop cannot be used for the tests: %s\n", why);
    return 1;
}
}  // namespace

int wmain() {
    DWORD session = 0;
    if (::ProcessIdToSessionId(::GetCurrentProcessId(), &session) && session == 0)
        return NotReady("this is session 0, which has no desktop; run them in a signed-in user's session");
    HDESK input = ::OpenInputDesktop(0, FALSE, DESKTOP_READOBJECTS);
    if (!input) return NotReady("there is no input desktop (locked, or a disconnected session)");
    ::CloseDesktop(input);
    // Wine's shell puts up its taskbar with the first window of the session.
    HWND probe = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    bool taskbar = false;
    for (int tries = 0; tries < 100 && !(taskbar = ::FindWindowW(L"Shell_TrayWnd", nullptr)); ++tries) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
        ::Sleep(50);
    }
    ::DestroyWindow(probe);
    if (!taskbar) return NotReady("no shell taskbar (Shell_TrayWnd) on it");
    if (HANDLE running = ::OpenMutexW(SYNCHRONIZE, FALSE, L"Local\\Tavelin.OneCopyPerSession")) {
        ::CloseHandle(running);
        return NotReady("a Tavelin is running in this session; end it (its tray menu, Exit) first");
    }
    wchar_t desktop[MAX_PATH] = {};
    if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop))) {
        WIN32_FIND_DATAW found;
        HANDLE search = ::FindFirstFileW((std::wstring(desktop) + L"\\Shot-*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            ::FindClose(search);
            return NotReady("the desktop holds Shot-* files, which the tests would delete; move them first");
        }
    }
    std::puts("the desktop is ready");
    return 0;
}
