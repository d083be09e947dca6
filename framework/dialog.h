// Modal dialogs made from resource templates.
#pragma once

#include <windows.h>

#include "framework/wnd.h"

namespace tavelin {

class CDialog : public CWnd {
public:
    // A parent of null means the application's main window owns the dialog.
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    const CRuntimeClass* GetRuntimeClass() const override;
    static const CRuntimeClass classCDialog;

    // Runs the dialog until EndDialog; returns the result given to it (-1 if the dialog
    // could not be created).
    virtual INT_PTR DoModal();
    void EndDialog(int result);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

protected:
    const MessageMap* GetMessageMap() const override;
    static const MessageMap* DialogMessageMap();
    virtual void DoDataExchange(CDataExchange* exchange);

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    UINT m_templateId;
    CWnd* m_parent;
};

}  // namespace tavelin
