#include "framework/message_box.h"

namespace tavelin {

std::wstring TitleFromModulePath(const std::wstring& modulePath) {
    const size_t slash = modulePath.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? modulePath : modulePath.substr(slash + 1);
    const size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos && dot != 0) name.erase(dot);
    return name;
}

const wchar_t* ApplicationTitle() {
    // Computed once: the module path does not change while the process runs.
    static const std::wstring title = [] {
        wchar_t path[MAX_PATH] = {};
        const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
        return TitleFromModulePath(std::wstring(path, length < MAX_PATH ? length : 0));
    }();
    return title.c_str();
}

UINT DefaultIconFor(UINT type) {
    if (type & MB_ICONMASK) return 0;
    switch (type & MB_TYPEMASK) {
        case MB_OK:
            return MB_ICONEXCLAMATION;
        case MB_YESNO:
        case MB_YESNOCANCEL:
            return MB_ICONQUESTION;
        default:
            return 0;
    }
}

}  // namespace tavelin

int AfxMessageBox(const wchar_t* text, UINT type, UINT /*helpContext*/) {
    // The program has no visible window to own the box; task-modal keeps any window of this
    // thread from taking input while it is up, and the box still comes up in front.
    const UINT flags = type | tavelin::DefaultIconFor(type) | MB_TASKMODAL | MB_SETFOREGROUND;
    return ::MessageBoxW(nullptr, text, tavelin::ApplicationTitle(), flags);
}
