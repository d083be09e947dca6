#include "app/capture_save_app.h"

#include "app/capture_save_dlg.h"
#include "app/startup_balloon.h"
#include "framework/unique_handles.h"
#include "settings/settings_store.h"

namespace tavelin {

namespace {
// Local: one copy per user session, not per machine.
constexpr wchar_t kOneCopyMutex[] = L"Local\\Tavelin.OneCopyPerSession";
}  // namespace

CCaptureSaveApp theApp;

const MessageMap* CCaptureSaveApp::GetMessageMap() const {
    static constexpr MessageMapEntry kEntries[] = {
        OnCommand<CWinApp::kHelpCommand, &CWinApp::OnHelp>(),
    };
    static constexpr MessageMap kMap = MakeMessageMap(nullptr, kEntries);
    return &kMap;
}

void CCaptureSaveApp::EnsureDefaultSettings() { tavelin::EnsureDefaultSettings(); }

BOOL CCaptureSaveApp::InitInstance() {
    CWinApp::InitInstance();
    // A second copy would find both keys taken by the first and claim them with a keyboard
    // hook of its own, and the newest hook is called first: it would take every press. So it
    // writes nothing, shows nothing and ends, once it has woken the running copy.
    const unique_handle oneCopy(::CreateMutexW(nullptr, FALSE, kOneCopyMutex));
    if (oneCopy && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::PostMessageW(HWND_BROADCAST, ::RegisterWindowMessageW(kShowBalloonAgainMessage), 0, 0);
        return FALSE;
    }
    EnsureDefaultSettings();
    RegisterCaptureSound();
    CCaptureSaveDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    // The main window's loop was the program's only one: nothing is left to run.
    return FALSE;
}

}  // namespace tavelin
