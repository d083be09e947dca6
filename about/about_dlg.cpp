#include "about/about_dlg.h"

#include "res/resource.h"

namespace tavelin {

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

void CAboutDlg::DoDataExchange(CDataExchange* exchange) { CDialog::DoDataExchange(exchange); }

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
