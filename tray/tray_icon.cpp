#include "tray/tray_icon.h"

#include <cstring>
#include <cwchar>
#include <utility>

#include "framework/system_dlls.h"
#include "res/resource.h"

namespace tavelin {

CTrayIcon g_trayIcon;

namespace {
template <size_t N>
void CopyBounded(wchar_t (&field)[N], const wchar_t* text) {
    std::wcsncpy(field, text, N - 1);
    field[N - 1] = L'\0';
}
// The small-icon size at the DPI of the taskbar's display now. A program aware of each
// monitor's DPI is told the system's DPI of the start of the session by GetSystemMetrics; the
// primary display's scaling may have changed since (Windows then announces TaskbarCreated).
// Both functions are Windows 10's; before, the system's size is all there is.
int SmallIconSize() {
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    using DpiForWindow = UINT(WINAPI*)(HWND);
    using MetricsForDpi = int(WINAPI*)(int, UINT);
    const auto dpiFor = FindExport<DpiForWindow>(user32, "GetDpiForWindow");
    const auto metricsFor = FindExport<MetricsForDpi>(user32, "GetSystemMetricsForDpi");
    const HWND taskbar = ::FindWindowW(L"Shell_TrayWnd", nullptr);
    const UINT dpi = dpiFor && taskbar ? dpiFor(taskbar) : 0;
    return metricsFor && dpi ? metricsFor(SM_CXSMICON, dpi) : ::GetSystemMetrics(SM_CXSMICON);
}

}  // namespace

unique_hicon LoadSmallAppIcon() {
    const int size = SmallIconSize();
    return unique_hicon(static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME),
                                                        IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}

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
    CopyBounded(m_data.szTip, toolTip);
    return Recreate();
}

BOOL CTrayIcon::Recreate() {
    if (!m_data.hWnd) return FALSE;
    // Replaced only once the shell has the new one: it may still draw the old.
    unique_hicon old = std::move(m_icon);
    m_icon = LoadSmallAppIcon();
    m_data.hIcon = m_icon.get();
    m_data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    // A shell that still shows the icon (a change of scaling) takes the new one as a change.
    return ::Shell_NotifyIconW(NIM_ADD, &m_data) || ::Shell_NotifyIconW(NIM_MODIFY, &m_data);
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

bool CTrayIcon::ScreenRect(RECT* rect) const {
    using GetRect = HRESULT(WINAPI*)(const NOTIFYICONIDENTIFIER*, RECT*);
    static const auto getRect = FindExport<GetRect>(::GetModuleHandleW(L"shell32.dll"), "Shell_NotifyIconGetRect");
    NOTIFYICONIDENTIFIER icon{};
    icon.cbSize = sizeof(icon);
    icon.hWnd = m_data.hWnd;
    icon.uID = m_data.uID;
    return getRect && m_data.hWnd && SUCCEEDED(getRect(&icon, rect));
}

}  // namespace tavelin
