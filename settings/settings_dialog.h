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
    // Saves and ends the dialog; false, with a message and nothing saved, where the folder or
    // the name cannot be what captures use.
    bool SaveAndClose();

    unique_hkey m_runKey;
    unique_hkey m_settingsKey;
    CButton m_autoStartCheck;
    CEdit m_pathEdit;
    CEdit m_nameEdit;
    CButton m_restoreCheck;
    CButton m_clipboardCheck;
};

// Whether two folder texts name the same folder: without regard to letter case or to
// trailing backslashes. A sub-folder, or a path that merely contains the other, is another
// folder; an empty text names none.
bool IsSameFolder(const wchar_t* a, const wchar_t* b);

}  // namespace tavelin
