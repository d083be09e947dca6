// The program's icon in the notification area.
#pragma once

#include <windows.h>
#include <shellapi.h>

namespace tavelin {

inline constexpr UINT kTrayCallbackMessage = 0x8100;

class CTrayIcon {
public:
    CTrayIcon();
    ~CTrayIcon();
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // Adds the icon for `window`, whose callback message then reports the clicks on it.
    BOOL Create(HWND window, const wchar_t* toolTip);
    // Adds the same icon again, after Explorer restarted and forgot it.
    BOOL Recreate();
    BOOL ShowBalloon(DWORD iconFlags, const wchar_t* title, const wchar_t* text);
    BOOL Remove();

    // The record as the shell last saw it, for tests.
    const NOTIFYICONDATAW& Record() const { return m_data; }

private:
    NOTIFYICONDATAW m_data;
    OSVERSIONINFOW m_version;
};

// The one tray icon of the process.
extern CTrayIcon g_trayIcon;

// The record size and version a shell of the given major version understands. The sizes are
// the headers' own: the layout that ends with the item's GUID from Windows Vista on (no
// balloon-icon handle), the one that ends before it on Windows 2000 and XP.
struct TrayRecordFormat {
    DWORD size;
    UINT version;
};
TrayRecordFormat TrayRecordFormatFor(DWORD majorVersion);

}  // namespace tavelin
