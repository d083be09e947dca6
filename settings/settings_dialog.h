// The settings dialog: output folder, base name, start with Windows, the capture keys, and
// restoring defaults.
#pragma once

#include <string>

#include "framework/dialog.h"
#include "framework/unique_handles.h"
#include "hotkeys/capture_hotkeys.h"
#include "hotkeys/key_recording.h"
#include "settings/settings_store.h"

namespace tavelin {

class CSettingsDialog : public CDialog {
public:
    // `hotkeys`, where given, records the keys pressed in the key fields and says which
    // combinations are its own.
    explicit CSettingsDialog(CWnd* parent = nullptr, CaptureHotkeys* hotkeys = nullptr);
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
    void OnDestroy();
    void OnActiveWindowKeyFocus() { StartRecording(0); }
    void OnWholeScreenKeyFocus() { StartRecording(1); }
    void OnKeyFieldLeft();
    void OnFileTypeChosen();
    LRESULT OnRecordedKey(WPARAM virtualKey, LPARAM up);

private:
    void StartRecording(int field);
    void StopRecording();
    // Shows the field's combination, and under it what else uses it.
    void ShowKey(int field);
    void ShowNote(int field, const std::wstring& note);
    std::wstring NoteFor(int field, KeyCombo combo) const;
    // Shows what the whole-screen key captures and the file type, as given.
    void ShowCaptureChoices(ScreenArea area, const CaptureFormat& format);

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
    CEdit m_keyEdits[2];  // the active window's key, the whole screen's
    CWnd m_keyNotes[2];
    CComboBox m_areaCombo;
    CComboBox m_fileTypeCombo;
    CEdit m_qualityEdit;
    CaptureHotkeys* m_hotkeys;
    ShellKeys m_shell;
    KeyCombo m_keys[2];     // what the key fields show once no key is held
    int m_recording = -1;  // the key field that records, if one does
    KeyRecorder m_recorder;
};

// Whether two folder texts name the same folder: without regard to letter case or to
// trailing backslashes. A sub-folder, or a path that merely contains the other, is another
// folder; an empty text names none.
bool IsSameFolder(const wchar_t* a, const wchar_t* b);

}  // namespace tavelin
