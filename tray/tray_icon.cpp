#include "tray/tray_icon.h"

#include <cstring>
#include <cwchar>

#include "res/resource.h"

namespace tavelin {

CTrayIcon g_trayIcon;

namespace {
template <size_t N>
void CopyBounded(wchar_t (&field)[N], const wchar_t* text) {
    std::wcsncpy(field, text, N - 1);
    field[N - 1] = L'\0';
}
}  // namespace

TrayRecordFormat TrayRecordFormatFor(DWORD majorVersion) {
    if (majorVersion >= 6) return {NOTIFYICONDATAW_V3_SIZE, NOTIFYICON_VERSION_4};
    if (majorVersion == 5) return {NOTIFYICONDATAW_V2_SIZE, NOTIFYICON_VERSION};
    return {0, 0};
}

CTrayIcon::CTrayIcon() {
    std::memset(&m_data, 0, sizeof(m_data));
    std::memset(&m_version, 0, sizeof(m_version));
}

CTrayIcon::~CTrayIcon() { Remove(); }

BOOL CTrayIcon::Create(HWND window, const wchar_t* toolTip) {
    m_version.dwOSVersionInfoSize = sizeof(m_version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ::GetVersionExW(&m_version);
#pragma GCC diagnostic pop
    const TrayRecordFormat format = TrayRecordFormatFor(m_version.dwMajorVersion);
    m_data.cbSize = format.size;
    m_data.uVersion = format.version;
    ::Shell_NotifyIconW(NIM_SETVERSION, &m_data);

    m_data.hWnd = window;
    m_data.uID = 0;
    m_data.uCallbackMessage = kTrayCallbackMessage;
    m_data.hIcon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    m_data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    CopyBounded(m_data.szTip, toolTip);
    return ::Shell_NotifyIconW(NIM_ADD, &m_data);
}

BOOL CTrayIcon::Recreate() {
    if (!m_data.hWnd) return FALSE;
    m_data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    return ::Shell_NotifyIconW(NIM_ADD, &m_data);
}

BOOL CTrayIcon::ShowBalloon(DWORD iconFlags, const wchar_t* title, const wchar_t* text) {
    // NIF_INFO alone, so that the request changes nothing but the balloon.
    m_data.uFlags = NIF_INFO;
    m_data.dwInfoFlags = iconFlags;
    CopyBounded(m_data.szInfoTitle, title);
    CopyBounded(m_data.szInfo, text);
    return ::Shell_NotifyIconW(NIM_MODIFY, &m_data);
}

BOOL CTrayIcon::Remove() { return ::Shell_NotifyIconW(NIM_DELETE, &m_data); }

}  // namespace tavelin
