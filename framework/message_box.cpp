#include "framework/message_box.h"

#include "framework/win_app.h"

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
    // Owned by the dialog the user is working in, else by the hidden main window; a box of a
    // tray program that is not in front must ask to be brought there.
    HWND owner = ::GetActiveWindow();
    if (!owner) {
        if (tavelin::CWnd* main = tavelin::AfxGetMainWnd()) owner = main->m_hWnd;
    }
    UINT flags = type | tavelin::DefaultIconFor(type) | MB_SETFOREGROUND;
    if (!owner && !(type & MB_MODEMASK)) flags |= MB_TASKMODAL;
    return ::MessageBoxW(owner, text, tavelin::ApplicationTitle(), flags);
}
