#include "about/about_dlg.h"

#include <algorithm>
#include <string>

#include "app/startup_balloon.h"
#include "res/resource.h"
#include "settings/settings_store.h"

namespace tavelin {

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

void CAboutDlg::DoDataExchange(CDataExchange* exchange) { CDialog::DoDataExchange(exchange); }

// The template's hotkey text names the default keys; the keys chosen take their place, and the
// box grows where their names need more room.
BOOL CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    const std::wstring text = AboutHotkeysText(ReadCaptureKeys());
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        wchar_t shown[128] = {};
        ::GetWindowTextW(child, shown, 128);
        if (std::wstring(shown).find(L"HotKeys") == std::wstring::npos) continue;
        if (text == shown) break;
        ::SetWindowTextW(child, text.c_str());
        RECT place, needed{};
        ::GetWindowRect(child, &place);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&place), 2);
        const HDC dc = ::GetDC(child);
        const HGDIOBJ font = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(child, WM_GETFONT, 0, 0)));
        ::DrawTextW(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_EXPANDTABS | DT_NOPREFIX);
        ::SelectObject(dc, font);
        ::ReleaseDC(child, dc);
        // A few pixels to spare: the static breaks a line that only just fits.
        const int wider = std::max(0L, needed.right + 4 - (place.right - place.left));
        const int taller = std::max(0L, needed.bottom - (place.bottom - place.top));
        ::SetWindowPos(child, nullptr, 0, 0, place.right - place.left + wider, place.bottom - place.top + taller,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        RECT box;
        ::GetWindowRect(m_hWnd, &box);
        ::SetWindowPos(m_hWnd, nullptr, box.left - wider / 2, box.top, box.right - box.left + wider,
                       box.bottom - box.top + taller, SWP_NOZORDER | SWP_NOACTIVATE);
        break;
    }
    return TRUE;
}

const MessageMap* CAboutDlg::GetMessageMap() const {
    static constexpr MessageMapEntry kEntries[] = {
        OnMessage<WM_LBUTTONDOWN, &CAboutDlg::OnLButtonDown>(),
    };
    static const MessageMap kMap = MakeMessageMap(DialogMessageMap(), kEntries);
    return &kMap;
}

// Static texts without SS_NOTIFY are transparent to the mouse, so clicks on the texts and
// the icon arrive here as clicks on the dialog itself.
void CAboutDlg::OnLButtonDown(UINT, POINT) {
    EndDialog(0);
    Default();
}

}  // namespace tavelin
