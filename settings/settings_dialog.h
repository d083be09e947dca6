// The settings dialog: output folder, base name, start with Windows, and restoring defaults.
#pragma once

#include "framework/dialog.h"
#include "framework/unique_handles.h"

namespace tavelin {

class CSettingsDialog : public CDialog {
public:
    explicit CSettingsDialog(CWnd* parent = nullptr);
    const CRuntimeClass* GetRuntimeClass() const override;
    ~CSettingsDialog() override;
    static const CRuntimeClass classCSettingsDialog;

protected:
    const MessageMap* GetMessageMap() const override;
    void DoDataExchange(CDataExchange* exchange) override;
    BOOL OnInitDialog() override;

    void OnSaveAndClose();
    void OnBrowse();
    void OnRestoreDefaults();
    void OnClose();

private:
    unique_hkey m_runKey;
    unique_hkey m_settingsKey;
    CButton m_autoStartCheck;
    CEdit m_pathEdit;
    CEdit m_nameEdit;
    CButton m_restoreCheck;
    CButton m_clipboardCheck;
};

// Whether a folder text names the desktop folder itself: without regard to letter case or
// to trailing backslashes. A sub-folder of the desktop, or a path that merely contains the
// word, is another folder.
bool IsDesktopFolder(const wchar_t* folder, const wchar_t* desktop);

}  // namespace tavelin
