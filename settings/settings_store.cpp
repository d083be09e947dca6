#include "settings/settings_store.h"

#include <shlobj.h>

#include <cstring>
#include <cwchar>
#include <optional>

namespace tavelin {

unique_hkey OpenUserKey(const wchar_t* path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        return unique_hkey();
    }
    return unique_hkey(key);
}

bool IsValuePresent(HKEY key, const wchar_t* name) {
    return ::RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

void WriteText(HKEY key, const wchar_t* name, const wchar_t* text) {
    const DWORD bytes = static_cast<DWORD>((std::wcslen(text) + 1) * sizeof(wchar_t));
    ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
}

bool IsStartupTurnedOff() {
    const unique_hkey approved = OpenUserKey(kStartupApprovedKeyPath);
    BYTE data[64] = {};
    DWORD bytes = sizeof(data);
    return ::RegQueryValueExW(approved.get(), kRunValueName, nullptr, nullptr, data, &bytes) == ERROR_SUCCESS &&
           bytes > 0 && (data[0] & 1) != 0;
}

void ForgetStartupChoice() {
    const unique_hkey approved = OpenUserKey(kStartupApprovedKeyPath);
    DeleteValue(approved.get(), kRunValueName);
}

void WriteMarker(HKEY key, const wchar_t* name) {
    const DWORD one = 1;
    ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof(one));
}

void WriteNumber(HKEY key, const wchar_t* name, DWORD number) {
    ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
}

void DeleteValue(HKEY key, const wchar_t* name) { ::RegDeleteValueW(key, name); }

TextRead ReadText(HKEY key, const wchar_t* name, wchar_t* buffer, size_t capacity) {
    const size_t bytes = capacity * sizeof(wchar_t);
    std::memset(buffer, 0, bytes);
    DWORD size = static_cast<DWORD>(bytes);
    DWORD type = 0;
    const LONG status =
        ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    if (status == ERROR_SUCCESS && buffer[capacity - 1] == L'\0') return TextRead::Complete;
    // After ERROR_MORE_DATA the buffer's content is undefined, and a text reaching the last
    // character has no room for its NUL: either way nothing of it is used.
    std::memset(buffer, 0, bytes);
    return status == ERROR_SUCCESS || status == ERROR_MORE_DATA ? TextRead::DoesNotFit
                                                                 : TextRead::Missing;
}

namespace {

std::optional<KeyCombo> ReadKeyCombo(HKEY key, const wchar_t* name) {
    wchar_t text[64];
    if (ReadText(key, name, text) != TextRead::Complete) return std::nullopt;
    const std::optional<KeyCombo> combo = ParseKeyCombo(text);
    if (!combo || ProblemOf(*combo) != ComboProblem::None) return std::nullopt;
    return combo;
}

}  // namespace

CaptureKeys ReadCaptureKeys() {
    const unique_hkey settings = OpenUserKey(kSettingsKeyPath);
    CaptureKeys keys;
    keys.activeWindow = ReadKeyCombo(settings.get(), kActiveWindowKeyValue).value_or(kDefaultActiveWindowKey);
    keys.wholeScreen = ReadKeyCombo(settings.get(), kWholeScreenKeyValue).value_or(kDefaultWholeScreenKey);
    // One key cannot capture both: the whole screen's gives way, or if its default is the
    // active window's too, the active window's.
    if (keys.wholeScreen == keys.activeWindow) keys.wholeScreen = kDefaultWholeScreenKey;
    if (keys.wholeScreen == keys.activeWindow) keys.activeWindow = kDefaultActiveWindowKey;
    return keys;
}

void WriteCaptureKey(HKEY key, const wchar_t* name, KeyCombo combo, KeyCombo defaultCombo) {
    if (combo == defaultCombo) {
        DeleteValue(key, name);
    } else {
        WriteText(key, name, KeyComboText(combo, KeyTextStyle::Stored).c_str());
    }
}

std::optional<DWORD> ReadNumber(HKEY key, const wchar_t* name) {
    DWORD value = 0, size = sizeof(value);
    if (::RegGetValueW(key, nullptr, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS) return std::nullopt;
    return value;
}

ScreenArea ReadScreenArea() {
    const unique_hkey settings = OpenUserKey(kSettingsKeyPath);
    const DWORD area = ReadNumber(settings.get(), kWholeScreenAreaValue).value_or(0);
    return area <= static_cast<DWORD>(ScreenArea::AllDisplays) ? static_cast<ScreenArea>(area) : ScreenArea::Primary;
}

CaptureFormat ReadCaptureFormat() { return ReadCaptureFormat(OpenUserKey(kSettingsKeyPath).get()); }

CaptureFormat ReadCaptureFormat(HKEY settings) {
    CaptureFormat format;
    wchar_t type[8];
    format.png = ReadText(settings, kFileTypeValue, type) == TextRead::Complete &&
                 ::CompareStringOrdinal(type, -1, L"png", -1, TRUE) == CSTR_EQUAL;
    const DWORD quality = ReadNumber(settings, kJpegQualityValue).value_or(0);
    if (quality >= 1 && quality <= 100) format.jpegQuality = static_cast<int>(quality);
    return format;
}

bool GetDesktopFolder(wchar_t (&buffer)[MAX_PATH]) {
    std::memset(buffer, 0, sizeof(buffer));
    if (!::SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_DESKTOPDIRECTORY, FALSE) ||
        buffer[MAX_PATH - 1] != L'\0') {
        // The shell's failure leaves the buffer in no defined state.
        std::memset(buffer, 0, sizeof(buffer));
        return false;
    }
    return buffer[0] != L'\0';
}

bool GetExecutablePath(wchar_t (&buffer)[MAX_PATH]) {
    std::memset(buffer, 0, sizeof(buffer));
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    // A length of MAX_PATH means the path was cut; a cut path would start nothing at logon.
    if (length == 0 || length >= MAX_PATH) {
        std::memset(buffer, 0, sizeof(buffer));
        return false;
    }
    return true;
}

bool GetRunCommand(wchar_t (&buffer)[kRunCommandChars]) {
    std::memset(buffer, 0, sizeof(buffer));
    wchar_t path[MAX_PATH];
    if (!GetExecutablePath(path)) return false;
    std::swprintf(buffer, kRunCommandChars, L"\"%ls\"", path);
    return true;
}

void RegisterCaptureSound() {
    const auto setDefault = [](const wchar_t* path, const wchar_t* text, bool keepStored) {
        HKEY raw = nullptr;
        DWORD created = 0;
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &raw,
                              &created) != ERROR_SUCCESS)
            return;
        const unique_hkey key(raw);
        if (!keepStored || created == REG_CREATED_NEW_KEY) WriteText(key.get(), nullptr, text);
    };
    setDefault(kSoundAppKeyPath, L"Tavelin", false);
    setDefault(kCaptureSoundLabelKeyPath, L"Capture", false);
    setDefault(kCaptureSoundKeyPath, L"", true);
}

void EnsureDefaultSettings() {
    HKEY rawSettings = nullptr;
    if (::RegCreateKeyW(HKEY_CURRENT_USER, kSettingsKeyPath, &rawSettings) != ERROR_SUCCESS) {
        rawSettings = nullptr;
    }
    const unique_hkey settings(rawSettings);

    if (!IsValuePresent(settings.get(), kNoDesktopSaveValue)) {
        wchar_t desktop[MAX_PATH];
        // Without a desktop path the stored folder is left as it is rather than emptied.
        if (GetDesktopFolder(desktop)) WriteText(settings.get(), kJpgPathValue, desktop);
    }

    if (!IsValuePresent(settings.get(), kNoAutoStartValue)) {
        const unique_hkey run = OpenUserKey(kRunKeyPath);
        wchar_t command[kRunCommandChars];
        if (GetRunCommand(command)) WriteText(run.get(), kRunValueName, command);
    }

    if (!IsValuePresent(settings.get(), kNoJpgNameStyleValue)) {
        WriteText(settings.get(), kJpgNameValue, kDefaultJpgName);
    }
}

}  // namespace tavelin
