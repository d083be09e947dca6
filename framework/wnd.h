// Windows as objects: the base that routes a window's messages through its message map, and
// the thin control wrappers that dialogs bind to their controls.
#pragma once

#include <windows.h>

#include "framework/message_map.h"

namespace tavelin {

class CWnd : public CCmdTarget {
public:
    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    int GetWindowText(wchar_t* text, int maxCount) const {
        return ::GetWindowTextW(m_hWnd, text, maxCount);
    }
    int GetWindowTextLength() const { return ::GetWindowTextLengthW(m_hWnd); }
    void SetWindowText(const wchar_t* text) { ::SetWindowTextW(m_hWnd, text); }

    // Every message of the window passes through here: the message map first, then the
    // default processing.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

protected:
    // The default processing of the message now being handled, for handlers that add to it.
    LRESULT Default();
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Routes the window's messages to this object from now on.
    void AttachAndRoute(HWND window);

private:
    static LRESULT CALLBACK RoutedWindowProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam);
    WNDPROC m_defaultProc = nullptr;
    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    } m_current{};
};

class CButton : public CWnd {
public:
    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int check) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
};

class CEdit : public CWnd {
public:
    // What the user can type or paste; text set by the program is not held to it.
    void SetLimitText(int maxChars) { SendMessage(EM_SETLIMITTEXT, static_cast<WPARAM>(maxChars)); }
};

class CComboBox : public CWnd {
public:
    int AddString(const wchar_t* text) { return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text))); }
    int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    void SetCurSel(int index) { SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index)); }
};

class CDataExchange {
public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate)
        : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
    CWnd* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
};

// Binds the dialog's control `id` to `control`, once.
void DDX_Control(CDataExchange* exchange, int id, CWnd& control);

}  // namespace tavelin
