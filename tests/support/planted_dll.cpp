// Planted beside Tavelin.exe under a system DLL's name: loaded, it leaves "<its path>.loaded".
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, void*) {
    wchar_t path[MAX_PATH + 8] = {};
    if (reason == DLL_PROCESS_ATTACH && ::GetModuleFileNameW(self, path, MAX_PATH))
        ::CloseHandle(::CreateFileW(::lstrcatW(path, L".loaded"), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    return TRUE;
}

// What an exe that imports dwmapi needs to start.
extern "C" __declspec(dllexport) HRESULT WINAPI DwmGetWindowAttribute(HWND, DWORD, void*, DWORD) { return E_NOTIMPL; }
