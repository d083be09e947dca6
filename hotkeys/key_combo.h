// A key combination as the user chooses it for a capture: modifiers and one key, as text in the
// registry and the dialog, and what Windows itself does with it. No Windows calls, so that
// tables can test every rule.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavelin {

// The modifier bits as RegisterHotKey takes them.
inline constexpr unsigned kModAlt = 0x1, kModControl = 0x2, kModShift = 0x4, kModWin = 0x8;

struct KeyCombo {
    unsigned modifiers = 0;  // kModAlt | kModControl | kModShift | kModWin
    unsigned key = 0;        // a virtual-key code; 0: no combination

    explicit operator bool() const { return key != 0; }
    bool operator==(const KeyCombo& other) const { return modifiers == other.modifiers && key == other.key; }
    bool operator!=(const KeyCombo& other) const { return !(*this == other); }
};

inline constexpr KeyCombo kDefaultActiveWindowKey{kModWin, 'A'};
inline constexpr KeyCombo kDefaultWholeScreenKey{kModWin, 'S'};

// The two capture keys, in the order of their hotkey identifiers.
struct CaptureKeys {
    KeyCombo activeWindow = kDefaultActiveWindowKey;
    KeyCombo wholeScreen = kDefaultWholeScreenKey;
};

// Whether the key is a modifier (either side, or the generic code) and which bit it is.
unsigned ModifierOfKey(unsigned virtualKey);

enum class KeyTextStyle {
    Stored,   // "Ctrl+Shift+F5", as the registry holds it
    Shown,    // "Ctrl + Shift + F5", in the settings dialog
    Balloon,  // "WinKey + A", in the balloon and the About box as they always named the keys
};

// Modifiers (Win, Ctrl, Alt, Shift, in that order) and then the key, joined by plus signs; the
// modifiers alone end in a plus sign ("Ctrl + Shift + "), for a combination still being pressed.
std::wstring KeyComboText(KeyCombo combo, KeyTextStyle style = KeyTextStyle::Shown);

// Modifiers from Ctrl, Alt, Shift and Win, each once, then one key that is not a modifier,
// joined by plus signs: without regard to letter case or blanks. Nothing where it is not that.
std::optional<KeyCombo> ParseKeyCombo(std::wstring_view text);

enum class ComboProblem {
    None,
    KeyForTyping,    // no modifier that typing leaves free: the key would no longer type
    KeptByWindows,   // Windows acts on it before any program can (Win + L, Ctrl + Alt + Delete)
};
// A key alone is for keys that typing never needs (Print Screen, Pause, Scroll Lock, F13 to
// F24); other keys need Ctrl, Alt or Win, or Shift with a key that types no character.
ComboProblem ProblemOf(KeyCombo combo);

// What the system of this user does with keys of its own.
struct ShellKeys {
    bool windows10 = false;  // Windows 10 or later: the shell acts on its combinations itself
    bool windows11 = false;
    bool snippingTool = false;  // Print Screen opens the Snipping Tool
};

// What Windows opens or does with the combination, as "Quick Settings"; nothing where it does
// nothing. On Windows 10 and 11 the shell acts on these keys whether or not another program
// registered them, so that a program that takes one must keep it from the shell.
const wchar_t* WindowsUseOf(KeyCombo combo, const ShellKeys& shell);

}  // namespace tavelin
