// Recording a key combination in the settings dialog. While a key field has the focus, the
// keyboard hook keeps every key from the system (RecordingGate) and hands it to the dialog,
// which makes the combination of it (KeyRecorder): Windows-key combinations, Print Screen and
// keys other programs hold included, which no window's own keyboard messages would ever see.
// No Windows calls, so that tables of key events can test the rules.
#pragma once

#include <bitset>

#include "hotkeys/key_combo.h"

namespace tavelin {

// On the hook's thread: which key events go no further.
class RecordingGate {
public:
    // While recording, every key-down is kept from the system, and the release of every key
    // whose press was kept, recording or not: the system must see a key come up only where it
    // saw it go down.
    bool Swallows(unsigned virtualKey, bool up, bool recording) {
        const unsigned key = virtualKey & 0xFF;
        if (!up) {
            if (recording) m_kept.set(key);
            return recording;
        }
        const bool kept = m_kept.test(key);
        m_kept.reset(key);
        return kept;
    }

private:
    std::bitset<256> m_kept;
};

// In the dialog: the combination the keys make.
struct RecordStep {
    enum Kind {
        Nothing,        // nothing to show
        Pressing,       // modifiers down: `combo` holds them, without a key
        Released,       // all let go: the field shows its combination, the one just chosen or the one before
        Chosen,         // `combo` is the new combination
        NextField,      // Tab: the dialog moves on (or back, with Shift)
        PreviousField,
        Cancel,         // Esc: the dialog's Cancel
    } kind = Nothing;
    KeyCombo combo;
};

class KeyRecorder {
public:
    RecordStep OnKey(unsigned virtualKey, bool up) {
        if (const unsigned modifier = ModifierOfKey(virtualKey)) {
            // Left and right share a bit; the other side's release reads as both up.
            if (!up) {
                m_held |= modifier;
                m_chose = false;
                return {RecordStep::Pressing, {m_held, 0}};
            }
            m_held &= ~modifier;
            if (!m_held) return {RecordStep::Released, {}};
            // Letting go of the modifiers of a chosen combination leaves it shown.
            return m_chose ? RecordStep{} : RecordStep{RecordStep::Pressing, {m_held, 0}};
        }
        if (up) return {};
        // Tab and Esc keep their meaning where no other modifier than Shift goes with them.
        if (virtualKey == 0x09 && (m_held & ~kModShift) == 0)
            return {m_held & kModShift ? RecordStep::PreviousField : RecordStep::NextField, {}};
        if (virtualKey == 0x1B && m_held == 0) return {RecordStep::Cancel, {}};
        m_chose = true;
        return {RecordStep::Chosen, {m_held, virtualKey}};
    }

    // The field lost the focus, or got it: nothing held is known any more.
    void Reset() { *this = KeyRecorder(); }

private:
    unsigned m_held = 0;
    bool m_chose = false;  // a key went down since a modifier last did
};

}  // namespace tavelin
