// The per-user registry layout that holds every setting, and the rules for reading it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>

#include "framework/unique_handles.h"
#include "hotkeys/key_combo.h"

namespace tavelin {

inline constexpr wchar_t kSettingsKeyPath[] = L"SOFTWARE\\Tavelin";
inline constexpr wchar_t kRunKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kRunValueName[] = L"Tavelin";
// Where Windows 10 and 11 keep what the user chose in Startup apps (Task Manager, Settings >
// Apps > Startup): a binary value named like the Run value. Turned off there, the program is
// not started at logon, though Windows leaves its Run value in place.
inline constexpr wchar_t kStartupApprovedKeyPath[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";

inline constexpr wchar_t kJpgPathValue[] = L"JpgPath";
inline constexpr wchar_t kJpgNameValue[] = L"JpgName";
// The capture keys as text ("Win+A", "Ctrl+Shift+F5"); absent, the defaults.
inline constexpr wchar_t kActiveWindowKeyValue[] = L"ActiveWindowKey";
inline constexpr wchar_t kWholeScreenKeyValue[] = L"WholeScreenKey";
// What the whole-screen key captures: REG_DWORD ScreenArea; absent, the primary display.
inline constexpr wchar_t kWholeScreenAreaValue[] = L"WholeScreenArea";
enum class ScreenArea : DWORD { Primary = 0, UnderPointer = 1, AllDisplays = 2 };
// The captures' file type, REG_SZ "jpg" or "png" (absent: jpg), and the JPEG's quality,
// REG_DWORD 1 to 100 (absent: the encoder's own default).
inline constexpr wchar_t kFileTypeValue[] = L"FileType";
inline constexpr wchar_t kJpegQualityValue[] = L"JpegQuality";
// REG_DWORD 1 where each saved capture also goes to the clipboard; absent, it does not.
inline constexpr wchar_t kCopyToClipboardValue[] = L"CopyToClipboard";

// Marker values: their presence alone records that the user overrode a default.
inline constexpr wchar_t kNoDesktopSaveValue[] = L"NoDesktopSave";
inline constexpr wchar_t kNoAutoStartValue[] = L"NoAutoStart";
inline constexpr wchar_t kNoJpgNameStyleValue[] = L"NoJpgNameStyle";
inline constexpr wchar_t kNoDefaultValue[] = L"NoDefault";

inline constexpr wchar_t kDefaultJpgName[] = L"Shot";

// The longest folder and base name, with their NUL, that the settings dialog takes and a
// capture reads: one limit for both, so that what the user saved is what captures use.
inline constexpr size_t kFolderChars = MAX_PATH;
inline constexpr size_t kBaseNameChars = 100;

// Opens an existing key under HKEY_CURRENT_USER for reading, writing and deleting values;
// empty when it cannot be opened, and every use of an empty key then fails quietly.
unique_hkey OpenUserKey(const wchar_t* path);

// True when a value of that name exists, whatever its type and content.
bool IsValuePresent(HKEY key, const wchar_t* name);

// REG_SZ with its terminating NUL: 2 x length + 2 bytes.
void WriteText(HKEY key, const wchar_t* name, const wchar_t* text);

// REG_DWORD 1.
void WriteMarker(HKEY key, const wchar_t* name);
void WriteNumber(HKEY key, const wchar_t* name, DWORD number);

void DeleteValue(HKEY key, const wchar_t* name);

// Whether Startup apps says off for the program: its value's first byte is odd (03 where
// Windows itself turned it off, 02 on).
bool IsStartupTurnedOff();
// Takes the user's choice in Startup apps away, so that Windows starts what Run names.
void ForgetStartupChoice();

enum class TextRead {
    Complete,     // the buffer holds the stored text
    Missing,      // no such value (or no key): the buffer holds an empty text
    DoesNotFit,   // the stored text and its NUL need more room: the buffer holds an empty text
};

// Zero-fills the buffer and offers all of it, in bytes, to the query. The buffer always ends
// as a terminated text: a stored text that would fill the last character (too long, or stored
// without its NUL) is not taken at all rather than cut, since a cut folder or name is wrong.
TextRead ReadText(HKEY key, const wchar_t* name, wchar_t* buffer, size_t capacity);

template <size_t N>
TextRead ReadText(HKEY key, const wchar_t* name, wchar_t (&buffer)[N]) {
    return ReadText(key, name, buffer, N);
}

// The capture keys the user chose. A value that is absent, is no combination or one that cannot
// capture, or that the other key has already, gives way to its default.
CaptureKeys ReadCaptureKeys();
// Stores a capture key; its default is stored as no value, so that it stays the default.
void WriteCaptureKey(HKEY key, const wchar_t* name, KeyCombo combo, KeyCombo defaultCombo);

// What is stored, or the default where a value is absent or holds nothing of its kind.
ScreenArea ReadScreenArea();
struct CaptureFormat {
    bool png = false;
    int jpegQuality = 0;  // 1 to 100; 0: the encoder's own default
};
CaptureFormat ReadCaptureFormat();
CaptureFormat ReadCaptureFormat(HKEY settings);  // from a settings key already open
// A DWORD value, where one of that type is stored.
std::optional<DWORD> ReadNumber(HKEY key, const wchar_t* name);

// The current user's desktop folder, not created if missing. False, with an empty buffer,
// when the shell cannot name it.
bool GetDesktopFolder(wchar_t (&buffer)[MAX_PATH]);

// The running executable's full path. False, with an empty buffer, when it does not fit.
bool GetExecutablePath(wchar_t (&buffer)[MAX_PATH]);

// What the Run value holds: the executable's full path in double quotes. Unquoted, a path
// with a blank is read up to each blank in turn, so that C:\Program Files\Tavelin\Tavelin.exe
// would first start C:\Program.exe at logon. False, with an empty buffer, as above.
inline constexpr size_t kRunCommandChars = MAX_PATH + 2;
bool GetRunCommand(wchar_t (&buffer)[kRunCommandChars]);

// Windows' Sound settings list an application's events from HKCU\AppEvents: Tavelin and its
// one event, Capture, registered with no sound chosen, so that nothing is heard until the user
// picks one. A sound the user chose stays.
inline constexpr wchar_t kSoundAppKeyPath[] = L"AppEvents\\Schemes\\Apps\\Tavelin";
inline constexpr wchar_t kCaptureSoundKeyPath[] = L"AppEvents\\Schemes\\Apps\\Tavelin\\TavelinCapture\\.Current";
inline constexpr wchar_t kCaptureSoundLabelKeyPath[] = L"AppEvents\\EventLabels\\TavelinCapture";
inline constexpr wchar_t kCaptureSoundAlias[] = L"TavelinCapture";
void RegisterCaptureSound();

// Creates the settings key and, wherever no marker value says otherwise, writes the default
// folder (the desktop), the Run entry for this executable and the default base name.
void EnsureDefaultSettings();

}  // namespace tavelin
