#include "app/capture_save_app.h"

#include "app/capture_save_dlg.h"
#include "settings/settings_store.h"

namespace tavelin {

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
    EnsureDefaultSettings();
    CCaptureSaveDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    // The main window's loop was the program's only one: nothing is left to run.
    return FALSE;
}

}  // namespace tavelin
