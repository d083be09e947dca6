#include "settings/settings_dialog.h"

#include <shlobj.h>

#include <cwchar>
#include <string_view>

#include "framework/message_box.h"
#include "res/resource.h"
#include "settings/settings_store.h"

namespace tavelin {

const CRuntimeClass CSettingsDialog::classCSettingsDialog{"CSettingsDialog", &CDialog::classCDialog};

namespace {

constexpr int kFolderChars = MAX_PATH;
constexpr int kNameChars = 100;

std::wstring_view WithoutTrailingBackslashes(const wchar_t* text) {
    std::wstring_view view(text);
    while (!view.empty() && view.back() == L'\\') view.remove_suffix(1);
    return view;
}

}  // namespace

bool IsDesktopFolder(const wchar_t* folder, const wchar_t* desktop) {
    const std::wstring_view a = WithoutTrailingBackslashes(folder);
    const std::wstring_view b = WithoutTrailingBackslashes(desktop);
    if (a.empty() || b.empty()) return false;
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
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
    wchar_t name[kNameChars] = {};
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

void CSettingsDialog::OnSaveAndClose() {
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

    wchar_t folder[kFolderChars] = {};
    m_pathEdit.GetWindowText(folder, kFolderChars);
    wchar_t desktop[MAX_PATH];
    if (GetDesktopFolder(desktop) && IsDesktopFolder(folder, desktop)) {
        DeleteValue(m_settingsKey.get(), kNoDesktopSaveValue);
    } else {
        WriteMarker(m_settingsKey.get(), kNoDesktopSaveValue);
    }
    WriteText(m_settingsKey.get(), kJpgPathValue, folder);

    wchar_t name[kNameChars] = {};
    m_nameEdit.GetWindowText(name, kNameChars);
    WriteText(m_settingsKey.get(), kJpgNameValue, name);
    if (std::wcscmp(name, kDefaultJpgName) != 0) {
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
}

void CSettingsDialog::OnClose() {
    if (m_restoreCheck.GetCheck() == BST_CHECKED &&
        AfxMessageBox(L"Restore default settings checked, Do you want to save changes? ", MB_YESNO,
                      0) == IDYES) {
        OnSaveAndClose();
    }
    // The default processing turns the close into Cancel; after a save the dialog has
    // already ended with 0 and the Cancel finds no dialog left.
    Default();
}

}  // namespace tavelin
