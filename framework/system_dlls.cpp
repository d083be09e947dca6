#include "framework/system_dlls.h"

#include <string>

namespace tavelin {

namespace {

// DLLs that system code loads by name after start-up on Tavelin's behalf: the window frame
// (dwmapi), the shell's folder picker (propsys), the themes of the common controls (uxtheme,
// msimg32), the image codecs (windowscodecs), version information (version) and, on Windows
// 7, advapi32's cryptography (cryptbase, the best-known planted DLL of installers). Where the
// search cannot be narrowed (Windows 7 without KB2533623), or where a component's own load
// searches the program's folder anyway (Wine's: see docs/testing.md, What Wine does
// differently), a copy already in the process is what such a load finds. Windows 10 and 11
// list none of these as KnownDLLs; everything the program imports, they do.
constexpr const wchar_t* kEarlyDlls[] = {L"dwmapi.dll",  L"propsys.dll",       L"uxtheme.dll",
                                         L"msimg32.dll", L"windowscodecs.dll", L"version.dll",
                                         L"cryptbase.dll"};

// Windows 7 without KB2533623 has neither SetDefaultDllDirectories nor the LOAD_LIBRARY_SEARCH
// flags: imported, the function would keep the program from starting there.
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

}  // namespace

HMODULE LoadSystemDll(const wchar_t* name) {
    if (HMODULE module = ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) return module;
    if (::GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
    // The flag is unknown here: a full path instead, whose own imports the altered search
    // looks for beside it, in the system folder.
    wchar_t folder[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    const std::wstring path = std::wstring(folder, length) + L"\\" + name;
    return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void LoadDllsFromSystemFolderOnly() {
    if (const auto setDefault = FindExport<SetDefaultDllDirectoriesFn>(
            ::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")) {
        setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    } else {
        // Takes out the current folder only; the early loads below cover the program's own.
        ::SetDllDirectoryW(L"");
    }
    for (const wchar_t* name : kEarlyDlls) LoadSystemDll(name);
}

}  // namespace tavelin
