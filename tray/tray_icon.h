// The program's icon in the notification area.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "framework/unique_handles.h"

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
    // Adds the icon again, after Explorer restarted and forgot it, or the primary display's
    // scaling changed: loaded afresh for the notification area's size now.
    BOOL Recreate();
    BOOL ShowBalloon(DWORD iconFlags, const wchar_t* title, const wchar_t* text);
    BOOL Remove();

    // Where the shell shows the icon, in screen points, where it says (Windows 7 and later).
    bool ScreenRect(RECT* rect) const;

    // The record as the shell last saw it, for tests.
    const NOTIFYICONDATAW& Record() const { return m_data; }

private:
    NOTIFYICONDATAW m_data;
    OSVERSIONINFOW m_version;
    unique_hicon m_icon;  // what m_data shows, while the shell may ask for it
};

// The program's icon at the small-icon size of the display the taskbar is on (16 pixels at
// 100 %, 20 at 125 %, 24 at 150 % ...), for the notification area and the window's caption.
// The icon file holds an image of each of those sizes: scaled from another, it would blur.
unique_hicon LoadSmallAppIcon();

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
