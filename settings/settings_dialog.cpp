#include "settings/settings_dialog.h"

#include <shlobj.h>
#include <commctrl.h>

#include <cwchar>
#include <optional>
#include <string>
#include <string_view>

#include "capture/capture_names.h"
#include "framework/message_box.h"
#include "res/resource.h"
#include "settings/settings_store.h"

namespace tavelin {

const CRuntimeClass CSettingsDialog::classCSettingsDialog{"CSettingsDialog", &CDialog::classCDialog};

namespace {


// All of a field's text, however long: set by a program, it is not held to the field's limit.
std::wstring WholeText(const CWnd& field) {
    std::wstring text(static_cast<size_t>(field.GetWindowTextLength()) + 1, L'\0');
    text.resize(static_cast<size_t>(field.GetWindowText(text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring_view WithoutTrailingBackslashes(const wchar_t* text) {
    std::wstring_view view(text);
    while (!view.empty() && view.back() == L'\\') view.remove_suffix(1);
    return view;
}

}  // namespace

bool IsSameFolder(const wchar_t* a, const wchar_t* b) {
    const std::wstring_view first = WithoutTrailingBackslashes(a);
    const std::wstring_view second = WithoutTrailingBackslashes(b);
    if (first.empty() || second.empty()) return false;
    return ::CompareStringOrdinal(first.data(), static_cast<int>(first.size()), second.data(),
                                  static_cast<int>(second.size()), TRUE) == CSTR_EQUAL;
}

CSettingsDialog::CSettingsDialog(CWnd* parent, CaptureHotkeys* hotkeys)
    : CDialog(IDD_SETTINGS, parent),
      m_runKey(OpenUserKey(kRunKeyPath)),
      m_settingsKey(OpenUserKey(kSettingsKeyPath)),
      m_hotkeys(hotkeys) {}

CSettingsDialog::~CSettingsDialog() {
    m_runKey.reset();
    m_settingsKey.reset();
}

const CRuntimeClass* CSettingsDialog::GetRuntimeClass() const { return &classCSettingsDialog; }

const MessageMap* CSettingsDialog::GetMessageMap() const {
    static constexpr MessageMapEntry kEntries[] = {
        OnButtonClicked<IDC_SAVE_CLOSE, &CSettingsDialog::OnSaveAndClose>(),
        OnButtonClicked<IDC_BROWSE, &CSettingsDialog::OnBrowse>(),
        OnButtonClicked<IDC_RESTORE_DEFAULTS, &CSettingsDialog::OnRestoreDefaults>(),
        OnMessage<WM_CLOSE, &CSettingsDialog::OnClose>(),
        OnMessage<WM_DESTROY, &CSettingsDialog::OnDestroy>(),
        OnControlNotify<EN_SETFOCUS, IDC_ACTIVE_WINDOW_KEY, &CSettingsDialog::OnActiveWindowKeyFocus>(),
        OnControlNotify<EN_SETFOCUS, IDC_WHOLE_SCREEN_KEY, &CSettingsDialog::OnWholeScreenKeyFocus>(),
        OnControlNotify<EN_KILLFOCUS, IDC_ACTIVE_WINDOW_KEY, &CSettingsDialog::OnKeyFieldLeft>(),
        OnControlNotify<EN_KILLFOCUS, IDC_WHOLE_SCREEN_KEY, &CSettingsDialog::OnKeyFieldLeft>(),
        OnMessage<kRecordedKeyMessage, &CSettingsDialog::OnRecordedKey>(),
        OnControlNotify<CBN_SELCHANGE, IDC_FILE_TYPE, &CSettingsDialog::OnFileTypeChosen>(),
    };
    static const MessageMap kMap = MakeMessageMap(DialogMessageMap(), kEntries);
    return &kMap;
}

void CSettingsDialog::DoDataExchange(CDataExchange* exchange) {
    CDialog::DoDataExchange(exchange);
    DDX_Control(exchange, IDC_AUTOSTART, m_autoStartCheck);
    DDX_Control(exchange, IDC_JPG_PATH, m_pathEdit);
    DDX_Control(exchange, IDC_JPG_NAME, m_nameEdit);
    DDX_Control(exchange, IDC_RESTORE_DEFAULTS, m_restoreCheck);
    DDX_Control(exchange, IDC_COPY_TO_CLIPBOARD, m_clipboardCheck);
    DDX_Control(exchange, IDC_ACTIVE_WINDOW_KEY, m_keyEdits[0]);
    DDX_Control(exchange, IDC_WHOLE_SCREEN_KEY, m_keyEdits[1]);
    DDX_Control(exchange, IDC_ACTIVE_WINDOW_KEY_NOTE, m_keyNotes[0]);
    DDX_Control(exchange, IDC_WHOLE_SCREEN_KEY_NOTE, m_keyNotes[1]);
    DDX_Control(exchange, IDC_WHOLE_SCREEN_AREA, m_areaCombo);
    DDX_Control(exchange, IDC_FILE_TYPE, m_fileTypeCombo);
    DDX_Control(exchange, IDC_JPEG_QUALITY, m_qualityEdit);
}

BOOL CSettingsDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    wchar_t folder[kFolderChars] = {};
    wchar_t name[kBaseNameChars] = {};
    m_pathEdit.SetLimitText(static_cast<int>(kFolderChars) - 1);
    m_nameEdit.SetLimitText(static_cast<int>(kBaseNameChars) - 1);
    // Ticked only where Windows will start the program at the next logon.
    if (IsValuePresent(m_runKey.get(), kRunValueName) && !IsStartupTurnedOff()) {
        m_autoStartCheck.SetCheck(BST_CHECKED);
    }
    {
        const unique_hkey settings = OpenUserKey(kSettingsKeyPath);
        ReadText(settings.get(), kJpgPathValue, folder);
        ReadText(settings.get(), kJpgNameValue, name);
        if (IsValuePresent(settings.get(), kCopyToClipboardValue)) m_clipboardCheck.SetCheck(BST_CHECKED);
    }
    m_pathEdit.SetWindowText(folder);
    m_nameEdit.SetWindowText(name);
    m_shell = ReadShellKeys();
    const CaptureKeys keys = ReadCaptureKeys();
    m_keys[0] = keys.activeWindow;
    m_keys[1] = keys.wholeScreen;
    ShowKey(0);
    ShowKey(1);
    for (const wchar_t* area : {L"Primary display", L"Display under the pointer", L"All displays"}) m_areaCombo.AddString(area);
    m_fileTypeCombo.AddString(L"JPEG");
    m_fileTypeCombo.AddString(L"PNG");
    m_qualityEdit.SetLimitText(3);
    // Empty is the encoder's own quality, which the field says in grey.
    m_qualityEdit.SendMessage(EM_SETCUEBANNER, FALSE, reinterpret_cast<LPARAM>(L"default"));
    ShowCaptureChoices(ReadScreenArea(), ReadCaptureFormat());
    // The focus goes to the first tab stop, the save button.
    return TRUE;
}

void CSettingsDialog::ShowCaptureChoices(ScreenArea area, const CaptureFormat& format) {
    m_areaCombo.SetCurSel(static_cast<int>(area));
    m_fileTypeCombo.SetCurSel(format.png ? 1 : 0);
    m_qualityEdit.SetWindowText(format.jpegQuality ? std::to_wstring(format.jpegQuality).c_str() : L"");
    OnFileTypeChosen();
}

// A PNG has no quality to choose: it keeps every pixel.
void CSettingsDialog::OnFileTypeChosen() { ::EnableWindow(m_qualityEdit.m_hWnd, m_fileTypeCombo.GetCurSel() != 1); }

std::wstring CSettingsDialog::NoteFor(int field, KeyCombo combo) const {
    const std::wstring shown = KeyComboText(combo);
    switch (ProblemOf(combo)) {
        case ComboProblem::KeyForTyping: return shown + L" is needed for typing: add Ctrl, Alt or Win.";
        case ComboProblem::KeptByWindows: return L"Windows keeps " + shown + L" for itself.";
        case ComboProblem::None: break;
    }
    if (combo == m_keys[1 - field])
        return field == 0 ? L"The entire screen key too: choose another." : L"The active window key too: choose another.";
    if (const wchar_t* use = WindowsUseOf(combo, m_shell))
        return std::wstring(L"Windows uses it for ") + use + L"; Tavelin takes it while it runs.";
    // Held by someone else where Windows refuses it to us too, unless it is already ours.
    constexpr int kTrialId = 0xBFFE;
    if (!(m_hotkeys && m_hotkeys->Registered(combo))) {
        if (!::RegisterHotKey(m_hWnd, kTrialId, combo.modifiers, combo.key))
            return L"In use by another program; Tavelin takes it while it runs.";
        ::UnregisterHotKey(m_hWnd, kTrialId);
    }
    return {};
}

void CSettingsDialog::ShowNote(int field, const std::wstring& note) { m_keyNotes[field].SetWindowText(note.c_str()); }

void CSettingsDialog::ShowKey(int field) {
    m_keyEdits[field].SetWindowText(KeyComboText(m_keys[field]).c_str());
    ShowNote(field, NoteFor(field, m_keys[field]));
}

// While a key field has the focus, what the user presses is the new combination: the hook keeps
// it from everything else, Tavelin's own capture too.
void CSettingsDialog::StartRecording(int field) {
    m_recording = field;
    m_recorder.Reset();
    if (m_hotkeys) m_hotkeys->Record(m_hWnd);
}

void CSettingsDialog::StopRecording() {
    if (m_recording < 0) return;
    const int field = m_recording;
    m_recording = -1;
    if (m_hotkeys) m_hotkeys->Record(nullptr);
    // Modifiers still held showed as a combination being pressed.
    m_keyEdits[field].SetWindowText(KeyComboText(m_keys[field]).c_str());
}

void CSettingsDialog::OnKeyFieldLeft() { StopRecording(); }

void CSettingsDialog::OnDestroy() {
    StopRecording();
    Default();
}

LRESULT CSettingsDialog::OnRecordedKey(WPARAM virtualKey, LPARAM up) {
    if (m_recording < 0) return 0;
    const int field = m_recording;
    const RecordStep step = m_recorder.OnKey(static_cast<unsigned>(virtualKey), up != 0);
    switch (step.kind) {
        case RecordStep::Pressing:
            m_keyEdits[field].SetWindowText(KeyComboText(step.combo).c_str());
            break;
        case RecordStep::Released:
            m_keyEdits[field].SetWindowText(KeyComboText(m_keys[field]).c_str());
            break;
        case RecordStep::Chosen:
            // A combination that cannot capture is not taken; the line says why.
            if (ProblemOf(step.combo) == ComboProblem::None) {
                m_keys[field] = step.combo;
                ShowKey(field);
                ShowNote(1 - field, NoteFor(1 - field, m_keys[1 - field]));
            } else {
                m_keyEdits[field].SetWindowText(KeyComboText(m_keys[field]).c_str());
                ShowNote(field, NoteFor(field, step.combo));
            }
            break;
        case RecordStep::NextField:
        case RecordStep::PreviousField:
            SendMessage(WM_NEXTDLGCTL, step.kind == RecordStep::PreviousField ? 1 : 0, FALSE);
            break;
        case RecordStep::Cancel:
            SendMessage(WM_COMMAND, IDCANCEL);
            break;
        case RecordStep::Nothing:
            break;
    }
    return 0;
}

void CSettingsDialog::OnRestoreDefaults() {
    if (m_restoreCheck.GetCheck() != BST_CHECKED) return;
    DeleteValue(m_settingsKey.get(), kNoDefaultValue);
    wchar_t desktop[MAX_PATH];
    const bool haveDesktop = GetDesktopFolder(desktop);
    m_autoStartCheck.SetCheck(BST_CHECKED);
    m_clipboardCheck.SetCheck(BST_UNCHECKED);
    // Without a desktop path the folder field keeps what it shows.
    if (haveDesktop) m_pathEdit.SetWindowText(desktop);
    m_nameEdit.SetWindowText(kDefaultJpgName);
    m_keys[0] = kDefaultActiveWindowKey;
    m_keys[1] = kDefaultWholeScreenKey;
    ShowKey(0);
    ShowKey(1);
    ShowCaptureChoices(ScreenArea::Primary, CaptureFormat{});
}

void CSettingsDialog::OnBrowse() {
    const HRESULT com = ::CoInitialize(nullptr);
    BROWSEINFOW browse{};
    browse.hwndOwner = m_hWnd;
    wchar_t folder[MAX_PATH] = {};
    bool chosen = false;
    {
        const unique_cotaskmem item(::SHBrowseForFolderW(&browse));
        // Cancel gives no item, and a virtual item (Control Panel, a printer) no path: the
        // field then keeps its folder rather than going empty.
        chosen = item && ::SHGetPathFromIDListW(static_cast<PCIDLIST_ABSOLUTE>(item.get()), folder) &&
                 folder[0] != L'\0';
    }
    if (SUCCEEDED(com)) ::CoUninitialize();
    if (chosen) m_pathEdit.SetWindowText(folder);
}

void CSettingsDialog::OnSaveAndClose() { SaveAndClose(); }

bool CSettingsDialog::SaveAndClose() {
    // Taken whole and refused whole: a cut text would name another folder or another name.
    const std::wstring folder = WholeText(m_pathEdit);
    const std::wstring name = WholeText(m_nameEdit);
    if (name.size() >= kBaseNameChars) {
        AfxMessageBox(L"The file name can have at most 99 characters.", MB_OK, 0);
        ::SetFocus(m_nameEdit.m_hWnd);
        return false;
    }
    // An empty folder is the desktop, whose name is short.
    if (folder.size() >= kFolderChars || (!folder.empty() && !CaptureNamesFit(folder, name))) {
        AfxMessageBox(L"The folder is too long for the captures' file names, which Windows allows 259 characters "
                      L"in all. Choose a shorter folder or file name.",
                      MB_OK, 0);
        ::SetFocus(m_pathEdit.m_hWnd);
        return false;
    }

    // The key fields' texts, as a program may also have set them.
    KeyCombo keys[2];
    for (int field = 0; field < 2; ++field) {
        const wchar_t* label = field == 0 ? L"Active window key: " : L"Entire screen key: ";
        const std::optional<KeyCombo> combo = ParseKeyCombo(WholeText(m_keyEdits[field]));
        std::wstring problem;
        if (!combo) {
            problem = L"\"" + WholeText(m_keyEdits[field]) + L"\" is not a key combination. Click the field and press the keys.";
        } else if (ProblemOf(*combo) != ComboProblem::None) {
            problem = NoteFor(field, *combo);
        }
        if (!problem.empty()) {
            AfxMessageBox((label + problem).c_str(), MB_OK, 0);
            ::SetFocus(m_keyEdits[field].m_hWnd);
            return false;
        }
        keys[field] = *combo;
    }
    const std::wstring qualityText = WholeText(m_qualityEdit);
    const long quality = qualityText.empty() ? 0 : std::wcstol(qualityText.c_str(), nullptr, 10);
    if (!qualityText.empty() && (quality < 1 || quality > 100 || qualityText.size() > 3)) {
        AfxMessageBox(L"The JPEG quality is a number from 1 to 100, or empty for the encoder's own.", MB_OK, 0);
        ::SetFocus(m_qualityEdit.m_hWnd);
        return false;
    }
    if (keys[0] == keys[1]) {
        AfxMessageBox((KeyComboText(keys[0]) + L" cannot capture both the active window and the entire screen. "
                                               L"Choose another key for one of them.").c_str(),
                      MB_OK, 0);
        ::SetFocus(m_keyEdits[1].m_hWnd);
        return false;
    }

    const int autoStart = m_autoStartCheck.GetCheck();
    if (autoStart == BST_CHECKED) {
        wchar_t command[kRunCommandChars];
        if (GetRunCommand(command)) WriteText(m_runKey.get(), kRunValueName, command);
        ForgetStartupChoice();
        DeleteValue(m_settingsKey.get(), kNoAutoStartValue);
    } else if (autoStart == BST_UNCHECKED) {
        DeleteValue(m_runKey.get(), kRunValueName);
        ForgetStartupChoice();
        WriteMarker(m_settingsKey.get(), kNoAutoStartValue);
    }

    wchar_t desktop[MAX_PATH];
    if (GetDesktopFolder(desktop) && IsSameFolder(folder.c_str(), desktop)) {
        DeleteValue(m_settingsKey.get(), kNoDesktopSaveValue);
    } else {
        WriteMarker(m_settingsKey.get(), kNoDesktopSaveValue);
    }
    WriteText(m_settingsKey.get(), kJpgPathValue, folder.c_str());

    WriteText(m_settingsKey.get(), kJpgNameValue, name.c_str());
    if (name != kDefaultJpgName) {
        WriteMarker(m_settingsKey.get(), kNoJpgNameStyleValue);
    } else {
        DeleteValue(m_settingsKey.get(), kNoJpgNameStyleValue);
    }

    if (m_clipboardCheck.GetCheck() == BST_CHECKED) {
        WriteMarker(m_settingsKey.get(), kCopyToClipboardValue);
    } else {
        DeleteValue(m_settingsKey.get(), kCopyToClipboardValue);
    }

    WriteCaptureKey(m_settingsKey.get(), kActiveWindowKeyValue, keys[0], kDefaultActiveWindowKey);
    WriteCaptureKey(m_settingsKey.get(), kWholeScreenKeyValue, keys[1], kDefaultWholeScreenKey);
    // Defaults are stored as no value, as the keys are.
    const int area = m_areaCombo.GetCurSel();
    if (area > 0) {
        WriteNumber(m_settingsKey.get(), kWholeScreenAreaValue, static_cast<DWORD>(area));
    } else {
        DeleteValue(m_settingsKey.get(), kWholeScreenAreaValue);
    }
    if (m_fileTypeCombo.GetCurSel() == 1) {
        WriteText(m_settingsKey.get(), kFileTypeValue, L"png");
    } else {
        DeleteValue(m_settingsKey.get(), kFileTypeValue);
    }
    if (quality > 0) {
        WriteNumber(m_settingsKey.get(), kJpegQualityValue, static_cast<DWORD>(quality));
    } else {
        DeleteValue(m_settingsKey.get(), kJpegQualityValue);
    }

    if (m_restoreCheck.GetCheck() == BST_UNCHECKED) WriteMarker(m_settingsKey.get(), kNoDefaultValue);
    EndDialog(0);
    return true;
}

void CSettingsDialog::OnClose() {
    if (m_restoreCheck.GetCheck() == BST_CHECKED &&
        AfxMessageBox(L"Restore default settings checked, Do you want to save changes? ", MB_YESNO,
                      0) == IDYES && !SaveAndClose()) {
        return;  // the dialog stays for the user to mend what it refused
    }
    // The default processing turns the close into Cancel; after a save the dialog has
    // already ended with 0 and the Cancel finds no dialog left.
    Default();
}

}  // namespace tavelin
