// The hidden main window: owner of the hotkeys and the tray icon, and the program's only
// message loop, which runs as its modal loop.
#pragma once

#include <windows.h>

#include <string>

#include "app/capture_sign.h"
#include "app/foreground_return.h"
#include "framework/dialog.h"
#include "hotkeys/capture_hotkeys.h"
#include "hotkeys/session_notification.h"

namespace tavelin {

// The hidden window's timers.
enum MainWindowTimer : UINT_PTR {
    kHookCatchUpTimer = 1,  // the keyboard hook has time to catch up with raw input
    kCaptureSignTimer,      // the capture's sign goes
};

class CCaptureSaveDlg : public CDialog {
public:
    CCaptureSaveDlg();

protected:
    const MessageMap* GetMessageMap() const override;
    void DoDataExchange(CDataExchange* exchange) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    void OnSysCommand(UINT id, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnDestroy();
    void OnWindowPosChanging(WINDOWPOS* position);
    LRESULT OnHotKey(WPARAM hotkeyId, LPARAM keys);
    LRESULT OnClaimedHotkey(WPARAM claim, LPARAM time);
    LRESULT OnSessionChange(WPARAM event, LPARAM session);
    LRESULT OnPowerBroadcast(WPARAM event, LPARAM);
    LRESULT OnInput(WPARAM, LPARAM input);
    LRESULT OnActivateApp(WPARAM active, LPARAM);
    LRESULT OnTimer(WPARAM id, LPARAM);
    void OnExit();
    void OnClose();
    void OnAbout();
    void OnSettings();
    void OnOpenCapturesFolder();

private:
    void Capture(int hotkeyId);
    void OnTrayCallback(LPARAM lParam);
    void ShowTrayMenu();
    // Takes the capture keys stored, and says in the balloon's text which of them work.
    void TakeCaptureKeys();

    HICON m_hIcon;
    unique_hicon m_smallIcon;  // the caption's, at its own size
    bool m_visible = false;
    CaptureHotkeys m_hotkeys;
    SessionNotification m_sessionNotification;  // while the keyboard hook is set
    std::wstring m_balloonText;  // what the start-up balloon said, for the keys taken since
    CaptureSign m_sign;  // after a saved capture, until its timer or the next capture
    UserWindowWatch m_userWindows;  // where the foreground goes back to after our menu and dialogs
};

}  // namespace tavelin
