#include "hotkeys/key_combo.h"

#include <algorithm>
#include <cwctype>
#include <iterator>

namespace tavelin {

namespace {

struct NamedKey {
    unsigned key;
    const wchar_t* name;
};

// Keys named for what their caps say on a US keyboard; letters, digits and F1 to F24 are named
// by KeyName below. A plus sign joins a combination, so the key that carries it is "=".
constexpr NamedKey kNamedKeys[] = {
    {0x08, L"Backspace"}, {0x09, L"Tab"}, {0x0D, L"Enter"}, {0x13, L"Pause"}, {0x14, L"CapsLock"},
    {0x1B, L"Esc"}, {0x20, L"Space"}, {0x21, L"PageUp"}, {0x22, L"PageDown"}, {0x23, L"End"},
    {0x24, L"Home"}, {0x25, L"Left"}, {0x26, L"Up"}, {0x27, L"Right"}, {0x28, L"Down"},
    {0x2C, L"PrintScreen"}, {0x2D, L"Insert"}, {0x2E, L"Delete"}, {0x5D, L"Menu"},
    {0x60, L"Num0"}, {0x61, L"Num1"}, {0x62, L"Num2"}, {0x63, L"Num3"}, {0x64, L"Num4"},
    {0x65, L"Num5"}, {0x66, L"Num6"}, {0x67, L"Num7"}, {0x68, L"Num8"}, {0x69, L"Num9"},
    {0x6A, L"Num*"}, {0x6B, L"NumPlus"}, {0x6D, L"Num-"}, {0x6E, L"Num."}, {0x6F, L"Num/"},
    {0x90, L"NumLock"}, {0x91, L"ScrollLock"},
    {0xBA, L";"}, {0xBB, L"="}, {0xBC, L","}, {0xBD, L"-"}, {0xBE, L"."}, {0xBF, L"/"},
    {0xC0, L"`"}, {0xDB, L"["}, {0xDC, L"\\"}, {0xDD, L"]"}, {0xDE, L"'"},
};

constexpr unsigned kVkF1 = 0x70, kVkF13 = 0x7C, kVkF24 = 0x87;

std::wstring KeyName(unsigned key) {
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return std::wstring(1, static_cast<wchar_t>(key));
    if (key >= kVkF1 && key <= kVkF24) return L"F" + std::to_wstring(key - kVkF1 + 1);
    for (const NamedKey& named : kNamedKeys)
        if (named.key == key) return named.name;
    return {};
}

bool SameName(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    return true;
}

unsigned KeyOfName(std::wstring_view name) {
    for (unsigned key = 1; key < 0x100; ++key) {
        if (ModifierOfKey(key)) continue;
        const std::wstring own = KeyName(key);
        if (!own.empty() && SameName(own, name)) return key;
    }
    return 0;
}

struct Modifier {
    unsigned bit;
    const wchar_t* name;
};
constexpr Modifier kModifiers[] = {{kModWin, L"Win"}, {kModControl, L"Ctrl"}, {kModAlt, L"Alt"}, {kModShift, L"Shift"}};

// Keys that type a character, or that typing uses as it goes (Enter, Tab, Backspace, Space).
bool TypesText(unsigned key) {
    return (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9') || (key >= 0x60 && key <= 0x6F) ||
           (key >= 0xBA && key <= 0xC0) || (key >= 0xDB && key <= 0xDE) || key == 0x08 || key == 0x09 ||
           key == 0x0D || key == 0x20;
}

struct WindowsUse {
    KeyCombo combo;
    const wchar_t* windows10;
    const wchar_t* windows11;  // where it differs
};

// What the shell of Windows 10 and 11 does with its own combinations.
constexpr WindowsUse kWindowsUses[] = {
    {{kModWin, 'A'}, L"the Action Center", L"Quick Settings"},
    {{kModWin, 'B'}, L"the notification area", nullptr},
    {{kModWin, 'C'}, L"Cortana", L"Copilot"},
    {{kModWin, 'D'}, L"the desktop", nullptr},
    {{kModWin, 'E'}, L"File Explorer", nullptr},
    {{kModWin, 'F'}, L"the Feedback Hub", nullptr},
    {{kModWin, 'G'}, L"the Game Bar", nullptr},
    {{kModWin, 'H'}, L"dictation", L"voice typing"},
    {{kModWin, 'I'}, L"Settings", nullptr},
    {{kModWin, 'K'}, L"Connect", L"Cast"},
    {{kModWin, 'M'}, L"minimising all windows", nullptr},
    {{kModWin, 'N'}, nullptr, L"notifications"},
    {{kModWin, 'O'}, L"the rotation lock", nullptr},
    {{kModWin, 'P'}, L"Project", nullptr},
    {{kModWin, 'Q'}, L"Search", nullptr},
    {{kModWin, 'R'}, L"Run", nullptr},
    {{kModWin, 'S'}, L"Search", nullptr},
    {{kModWin, 'T'}, L"the taskbar", nullptr},
    {{kModWin, 'U'}, L"Ease of Access", L"Accessibility"},
    {{kModWin, 'V'}, L"clipboard history", nullptr},
    {{kModWin, 'W'}, L"Windows Ink", L"Widgets"},
    {{kModWin, 'X'}, L"the Quick Link menu", nullptr},
    {{kModWin, 'Z'}, nullptr, L"snap layouts"},
    {{kModWin, 0xBE}, L"the emoji panel", nullptr},
    {{kModWin, 0xBA}, L"the emoji panel", nullptr},
    {{kModWin, 0xBC}, L"a peek at the desktop", nullptr},
    {{kModWin, 0xBB}, L"the Magnifier", nullptr},
    {{kModWin, 0xBD}, L"the Magnifier", nullptr},
    {{kModWin, 0x09}, L"Task View", nullptr},
    {{kModWin, 0x20}, L"switching the keyboard layout", nullptr},
    {{kModWin, 0x24}, L"minimising the other windows", nullptr},
    {{kModWin, 0x25}, L"snapping windows", nullptr},
    {{kModWin, 0x26}, L"snapping windows", nullptr},
    {{kModWin, 0x27}, L"snapping windows", nullptr},
    {{kModWin, 0x28}, L"snapping windows", nullptr},
    {{kModWin, 0x13}, L"System", nullptr},
    {{kModWin, 0x2C}, L"a screenshot in Pictures", nullptr},
    {{kModWin | kModShift, 'S'}, L"the Snipping Tool", nullptr},
    {{kModWin | kModShift, 0x25}, L"moving windows between displays", nullptr},
    {{kModWin | kModShift, 0x27}, L"moving windows between displays", nullptr},
    {{kModWin | kModControl, 'D'}, L"a new virtual desktop", nullptr},
    {{kModWin | kModControl, 0x25}, L"switching virtual desktops", nullptr},
    {{kModWin | kModControl, 0x27}, L"switching virtual desktops", nullptr},
    {{kModWin | kModControl, 0x0D}, L"Narrator", nullptr},
    {{kModWin | kModAlt, 'R'}, L"the Game Bar's recording", nullptr},
    {{kModWin | kModAlt, 0x2C}, L"the Game Bar's screenshot", nullptr},
    {{kModControl, 0x1B}, L"the Start menu", nullptr},
    {{kModControl | kModShift, 0x1B}, L"Task Manager", nullptr},
    {{kModAlt, 0x09}, L"switching windows", nullptr},
    {{kModAlt, 0x1B}, L"switching windows", nullptr},
};

}  // namespace

unsigned ModifierOfKey(unsigned virtualKey) {
    switch (virtualKey) {
        case 0x10: case 0xA0: case 0xA1: return kModShift;    // VK_SHIFT, VK_LSHIFT, VK_RSHIFT
        case 0x11: case 0xA2: case 0xA3: return kModControl;  // VK_CONTROL, VK_LCONTROL, VK_RCONTROL
        case 0x12: case 0xA4: case 0xA5: return kModAlt;      // VK_MENU, VK_LMENU, VK_RMENU
        case 0x5B: case 0x5C: return kModWin;                 // VK_LWIN, VK_RWIN
        default: return 0;
    }
}

std::wstring KeyComboText(KeyCombo combo, KeyTextStyle style) {
    const wchar_t* join = style == KeyTextStyle::Stored ? L"+" : L" + ";
    std::wstring text;
    for (const Modifier& modifier : kModifiers) {
        if (!(combo.modifiers & modifier.bit)) continue;
        text += style == KeyTextStyle::Balloon && modifier.bit == kModWin ? L"WinKey" : modifier.name;
        text += join;
    }
    return combo.key ? text + KeyName(combo.key) : text;
}

std::optional<KeyCombo> ParseKeyCombo(std::wstring_view text) {
    std::wstring compact;
    for (const wchar_t c : text)
        if (!std::iswspace(c)) compact += c;
    KeyCombo combo;
    std::wstring_view rest = compact;
    while (!rest.empty()) {
        const size_t plus = rest.find(L'+');
        const std::wstring_view part = rest.substr(0, plus);
        if (plus == std::wstring_view::npos) {
            combo.key = KeyOfName(part);
            if (!combo.key) return std::nullopt;
            return combo;
        }
        const auto modifier = std::find_if(std::begin(kModifiers), std::end(kModifiers),
                                           [&](const Modifier& m) { return SameName(m.name, part); });
        if (modifier == std::end(kModifiers) || (combo.modifiers & modifier->bit)) return std::nullopt;
        combo.modifiers |= modifier->bit;
        rest.remove_prefix(plus + 1);
    }
    return std::nullopt;
}

ComboProblem ProblemOf(KeyCombo combo) {
    if ((combo.modifiers == kModWin && combo.key == 'L') ||
        (combo.modifiers == (kModControl | kModAlt) && combo.key == 0x2E))
        return ComboProblem::KeptByWindows;
    const bool aloneAllowed = combo.key == 0x2C || combo.key == 0x13 || combo.key == 0x91 ||
                              (combo.key >= kVkF13 && combo.key <= kVkF24);
    if (aloneAllowed) return ComboProblem::None;
    const unsigned freeing = TypesText(combo.key) ? kModControl | kModAlt | kModWin
                                                  : kModControl | kModAlt | kModWin | kModShift;
    return combo.modifiers & freeing ? ComboProblem::None : ComboProblem::KeyForTyping;
}

const wchar_t* WindowsUseOf(KeyCombo combo, const ShellKeys& shell) {
    if (combo == KeyCombo{0, 0x2C} && shell.snippingTool) return L"the Snipping Tool";
    if (!shell.windows10) return nullptr;
    // Win + 1 to 9 and 0: the taskbar's programs.
    if (combo.modifiers == kModWin && combo.key >= '0' && combo.key <= '9') return L"the taskbar's programs";
    for (const WindowsUse& use : kWindowsUses) {
        if (use.combo != combo) continue;
        return shell.windows11 && use.windows11 ? use.windows11 : use.windows10;
    }
    return nullptr;
}

}  // namespace tavelin
