// Helps the installer's scenario from inside Wine.
//   installer_driver run SETUP [ARGUMENTS...]  runs the installer, waits for it, and prints its
//       process id and, once a Tavelin.exe runs (within 20 s), that process's parent's; exits
//       with the installer's exit code
//   installer_driver hold [MUTEX]  a running Tavelin that will not close: holds its one-copy mutex
//       (or MUTEX: Local\Tavelin.Setup for an installer that does not finish writing) and a
//       window like its hidden main window that ignores WM_CLOSE; prints "holding" once it does
//   installer_driver sleep MS  prints "pid" and its process id, and ends MS milliseconds later
// Copied to another name and started under it, it leaves a file named as itself and ".ran"
// beside itself: an exe planted where an installer might start it.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

DWORD ParentOfTavelin() {
    for (int i = 0; i < 200; ++i, ::Sleep(100)) {
        HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof(entry);
        DWORD parent = 0;
        for (BOOL more = ::Process32FirstW(snapshot, &entry); more && !parent; more = ::Process32NextW(snapshot, &entry))
            if (::_wcsicmp(entry.szExeFile, L"Tavelin.exe") == 0) parent = entry.th32ParentProcessID;
        ::CloseHandle(snapshot);
        if (parent) return parent;
    }
    return 0;
}

int Run(int argc, wchar_t** argv) {
    std::wstring commandLine = L"\"" + std::wstring(argv[2]) + L"\"";
    for (int i = 3; i < argc; ++i) commandLine += L" " + std::wstring(argv[i]);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return 100;
    }
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 101;
    ::GetExitCodeProcess(process.hProcess, &code);
    std::printf("installer %lu\n", process.dwProcessId);
    std::fflush(stdout);
    std::printf("tavelin's parent %lu\n", ParentOfTavelin());
    return static_cast<int>(code);
}

WNDPROC g_dialogProc = nullptr;

LRESULT CALLBACK IgnoreClose(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) return 0;
    return ::CallWindowProcW(g_dialogProc, window, message, wParam, lParam);
}

int Hold(const wchar_t* mutexName) {
    HANDLE mutex = ::CreateMutexW(nullptr, TRUE, mutexName);
    HWND window = ::CreateWindowExW(0, L"#32770", L"Tavelin", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                    nullptr, nullptr);
    if (!mutex || !window) return 2;
    g_dialogProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&IgnoreClose)));
    std::printf("holding\n");
    std::fflush(stdout);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (!std::wcsstr(self, L"installer_driver")) {
        ::CloseHandle(::CreateFileW((std::wstring(self) + L".ran").c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, 0, nullptr));
        return 0;
    }
    if (argc == 3 && std::wcscmp(argv[1], L"sleep") == 0) {
        std::printf("pid %lu\n", ::GetCurrentProcessId());
        std::fflush(stdout);
        ::Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
        return 0;
    }
    if (argc >= 3 && std::wcscmp(argv[1], L"run") == 0) return Run(argc, argv);
    if (argc == 2 && std::wcscmp(argv[1], L"hold") == 0) return Hold(L"Local\\Tavelin.OneCopyPerSession");
    if (argc == 3 && std::wcscmp(argv[1], L"hold") == 0) return Hold(argv[2]);
    return 2;
}
