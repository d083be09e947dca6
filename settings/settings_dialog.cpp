#include "settings/settings_dialog.h"

#include <shlobj.h>

#include <cwchar>
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

CSettingsDialog::CSettingsDialog(CWnd* parent)
    : CDialog(IDD_SETTINGS, parent),
      m_runKey(OpenUserKey(kRunKeyPath)),
      m_settingsKey(OpenUserKey(kSettingsKeyPath)) {}

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
    // The focus goes to the first tab stop, the save button.
    return TRUE;
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
