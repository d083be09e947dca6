#include "framework/dialog.h"

#include "framework/win_app.h"

namespace tavelin {

CDialog::CDialog(UINT templateId, CWnd* parent) : m_templateId(templateId), m_parent(parent) {}

INT_PTR CDialog::DoModal() {
    HWND owner = m_parent ? m_parent->m_hWnd : nullptr;
    if (!owner) {
        CWnd* main = AfxGetMainWnd();
        if (main && main != this) owner = main->m_hWnd;
    }
    return ::DialogBoxParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(m_templateId), owner,
                             &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
}

void CDialog::EndDialog(int result) { ::EndDialog(m_hWnd, result); }

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (UpdateData(TRUE)) EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    CDataExchange exchange(this, saveAndValidate);
    DoDataExchange(&exchange);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

const MessageMap* CDialog::DialogMessageMap() {
    static constexpr MessageMapEntry kEntries[] = {
        OnCommand<IDOK, &CDialog::OnOK>(),
        OnCommand<IDCANCEL, &CDialog::OnCancel>(),
    };
    static constexpr MessageMap kMap = MakeMessageMap(nullptr, kEntries);
    return &kMap;
}

const MessageMap* CDialog::GetMessageMap() const { return DialogMessageMap(); }

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_INITDIALOG) return FALSE;
    // From here on the window's messages go through the object's WindowProc; the system's
    // dialog procedure stays underneath as the default processing.
    auto* self = reinterpret_cast<CDialog*>(lParam);
    self->AttachAndRoute(window);
    return self->OnInitDialog();
}

}  // namespace tavelin
