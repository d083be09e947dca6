#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "hotkeys/hook_watch.h"
#include "hotkeys/key_claim.h"
#include "hotkeys/key_combo.h"
#include "hotkeys/key_recording.h"
#include "hotkeys/one_press.h"

namespace tavelin {
namespace {

constexpr KeyVerdict kPass{};
constexpr KeyVerdict kSwallow{true, 0, false};
constexpr KeyVerdict kCaptureWindow{true, 100, false};
constexpr KeyVerdict kCaptureScreen{true, 200, false};
constexpr KeyVerdict kMaskThenPass{false, 0, true};

struct Step {
    unsigned key;
    bool up;
    KeyVerdict verdict;
    unsigned long time = 0;
    bool alreadyDown = false;  // the system has the key down already
};

void Play(KeyClaim& claim, const std::vector<Step>& steps) {
    for (size_t i = 0; i < steps.size(); ++i) {
        const KeyVerdict got = claim.OnKey({steps[i].key, steps[i].up, steps[i].time, steps[i].alreadyDown});
        EXPECT_TRUE(got == steps[i].verdict)
            << "step " << i << ": key " << std::hex << steps[i].key << (steps[i].up ? " up" : " down")
            << " gave swallow " << got.swallow << ", hotkey " << std::dec << got.hotkeyId << ", mask " << got.maskFirst;
    }
}
void Play(KeyClaim&& claim, const std::vector<Step>& steps) { Play(claim, steps); }

TEST(KeyClaim, TakesWindowsKeyWithAOrSAndMasksTheWindowsKeysRelease) {
    Play(KeyClaim(true, true), {
        {VK_LWIN, false, kPass}, {'A', false, kCaptureWindow}, {'A', true, kSwallow}, {VK_LWIN, true, kMaskThenPass},
        {VK_RWIN, false, kPass}, {'S', false, kCaptureScreen}, {'S', true, kSwallow}, {VK_RWIN, true, kMaskThenPass},
        // Two presses in one hold: two captures, one mask.
        {VK_LWIN, false, kPass}, {'S', false, kCaptureScreen}, {'S', true, kSwallow},
        {'A', false, kCaptureWindow}, {'A', true, kSwallow}, {VK_LWIN, true, kMaskThenPass},
        // No claimed press, no mask: the Start menu opens as usual.
        {VK_LWIN, false, kPass}, {VK_LWIN, true, kPass},
    });
}

TEST(KeyClaim, OneCapturePerPressHoweverLongTheKeyIsHeld) {
    Play(KeyClaim(false, true), {
        {VK_LWIN, false, kPass}, {VK_LWIN, false, kPass}, {'S', false, kCaptureScreen},
        {'S', false, kSwallow}, {'S', false, kSwallow}, {VK_LWIN, false, kPass}, {'S', false, kSwallow},
        // The Windows key comes up first: the S that follows is still the press's own.
        {VK_LWIN, true, kMaskThenPass}, {'S', false, kSwallow}, {'S', true, kSwallow},
        {'S', false, kPass}, {'S', true, kPass},
    });
}

TEST(KeyClaim, PassesEverythingElseUntouched) {
    Play(KeyClaim(true, true), {
        {'A', false, kPass}, {'A', true, kPass}, {'S', false, kPass}, {'S', true, kPass},
        {'Q', false, kPass}, {'Q', true, kPass},
        {VK_LWIN, false, kPass}, {'E', false, kPass}, {'E', true, kPass}, {VK_LWIN, true, kPass},
        {kMaskKey, false, kPass}, {kMaskKey, true, kPass},
    });
    // Any of Ctrl, Alt or Shift makes it another combination, whichever side or code.
    for (unsigned modifier : {VK_SHIFT, VK_LSHIFT, VK_RSHIFT, VK_CONTROL, VK_LCONTROL, VK_RCONTROL,
                              VK_MENU, VK_LMENU, VK_RMENU}) {
        SCOPED_TRACE(modifier);
        Play(KeyClaim(true, true), {
            {modifier, false, kPass}, {VK_LWIN, false, kPass}, {'S', false, kPass}, {'S', true, kPass},
            {VK_LWIN, true, kPass}, {modifier, true, kPass},
            {VK_RWIN, false, kPass}, {'A', false, kCaptureWindow}, {'A', true, kSwallow}, {VK_RWIN, true, kMaskThenPass},
        });
    }
}

TEST(KeyClaim, TakesTheModifiersAsTheSystemHasThem) {
    // Windows key + L: the Windows key comes up on the lock screen, out of the hook's sight.
    KeyClaim claim(true, true);
    EXPECT_TRUE(claim.OnKey(VK_LWIN, false) == kPass);
    EXPECT_TRUE(claim.OnKey('L', false) == kPass);
    claim.TakeModifiers(false, false, false, false);
    EXPECT_TRUE(claim.OnKey('S', false) == kPass) << "a plain S after the unlock";
    EXPECT_TRUE(claim.OnKey('S', true) == kPass);
    // Ctrl+Alt+Del: Ctrl and Alt come up on the secure desktop.
    KeyClaim afterSecureDesktop(true, true);
    afterSecureDesktop.OnKey(VK_LCONTROL, false);
    afterSecureDesktop.OnKey(VK_LMENU, false);
    afterSecureDesktop.OnKey(VK_DELETE, false);
    afterSecureDesktop.OnKey(VK_RWIN, false);
    afterSecureDesktop.TakeModifiers(true, false, false, false);
    EXPECT_TRUE(afterSecureDesktop.OnKey('A', false) == kCaptureWindow);
    KeyClaim held(true, true);
    held.OnKey(VK_LSHIFT, false);
    held.OnKey(VK_LWIN, false);
    held.TakeModifiers(true, true, false, false);
    EXPECT_TRUE(held.OnKey('S', false) == kPass) << "Shift is still down";
}

// A hook set anew in the middle of a press: while the Windows key is down, the press's repeats
// and release stay taken and the mask due.
TEST(KeyClaim, AHookSetAnewKeepsThePressTheUserHolds) {
    KeyClaim claim(true, true);
    claim.OnKey(VK_RWIN, false);
    claim.OnKey(KeyEvent{'A', false, 100});
    claim.ForgetAll(kModWin);
    claim.TakeModifiers(true, false, false, false);
    Play(claim, {{'A', false, kSwallow, 1100}, {'A', true, kSwallow, 1150}, {VK_RWIN, true, kMaskThenPass},
                 {VK_LWIN, false, kPass}, {VK_LWIN, true, kPass}});
    // Set anew once the Windows key is up: nothing of the press is left.
    claim.OnKey(VK_LWIN, false);
    claim.OnKey('A', false);
    claim.ForgetAll(0);
    Play(claim, {{'A', true, kPass}, {VK_LWIN, false, kPass}, {VK_LWIN, true, kPass}});
}

// A press the system already has (its key is down there) went past the hook: Windows stopped
// waiting for a late hook call and the registration captured, or the press came while no hook
// was set. The hook neither captures it again nor swallows a release the system needs.
TEST(KeyClaim, LeavesAPressTheSystemAlreadyHas) {
    Play(KeyClaim(true, true), {
        {VK_LWIN, false, kPass}, {'A', false, kPass, 5, true}, {'A', true, kPass}, {VK_LWIN, true, kPass},
        // A repeat that went past a claimed press: from there on the key is the system's.
        {VK_LWIN, false, kPass}, {'S', false, kCaptureScreen}, {'S', false, kSwallow},
        {'S', false, kPass, 0, true}, {'S', true, kPass}, {VK_LWIN, true, kMaskThenPass},
    });
    // Set anew in the middle of a press that the system took: its repeats are no new press.
    KeyClaim claim(true, true);
    claim.OnKey(VK_LWIN, false);
    claim.ForgetAll(kModWin, 500);
    claim.TakeModifiers(true, false, false, false);
    Play(claim, {{'A', false, kPass, 900, true}, {'A', false, kPass, 933, true}, {'A', true, kPass}, {VK_LWIN, true, kPass}});
}

// A claimed press carried over a hook set anew, whose key came up while no hook was set: the
// key's next event, later than the repeat delay, is a press of its own.
TEST(KeyClaim, ForgetsACarriedPressWhoseKeyCameUpUnseen) {
    KeyClaim claim(true, true);
    Play(claim, {{VK_LWIN, false, kPass, 0}, {'A', false, kCaptureWindow, 100}});
    claim.ForgetAll(kModWin, 500);
    claim.TakeModifiers(true, false, false, false);
    Play(claim, {{'A', false, kCaptureWindow, 800}, {'A', true, kSwallow, 850}, {VK_LWIN, true, kMaskThenPass, 900}});
    Play(claim, {{VK_LWIN, false, kPass, 1000}, {'A', false, kCaptureWindow, 1100}});
    claim.ForgetAll(kModWin, 500);
    Play(claim, {{VK_LWIN, false, kPass, 0xFFFFFF00ul}, {'A', false, kCaptureWindow, 0xFFFFFF80ul}});
    claim.ForgetAll(kModWin, 500);
    // At the delay after the press, a first repeat, across the tick count's wrap.
    Play(claim, {{'A', false, kSwallow, 0x174}, {'A', true, kSwallow, 0x180}});
    // Sooner than the delay after the press: let go unseen, and a press of its own.
    claim.TakeModifiers(true, false, false, false);
    Play(claim, {{'A', false, kCaptureWindow, 0x1000}});
    claim.ForgetAll(kModWin, 500);
    claim.TakeModifiers(true, false, false, false);
    Play(claim, {{'A', false, kCaptureWindow, 0x1190}, {'A', false, kSwallow, 0x1200}});
    // After a repeat, the next one comes at the repeat rate.
    claim.ForgetAll(kModWin, 500);
    Play(claim, {{'A', false, kSwallow, 0x1221}, {'A', true, kSwallow, 0x1230}});
    // Where the system holds the key down (a claim that came too late), it gets the release.
    claim.TakeModifiers(true, false, false, false);
    Play(claim, {{'A', false, kCaptureWindow, 0x2000}, {'A', true, kPass, 0x2080, true}});
    claim.ForgetAll(kModWin, 500);
    claim.TakeModifiers(false, false, false, false);
    Play(claim, {{'A', false, kPass, 0x200}, {'A', true, kPass, 0x210}});
}

// The registration's WM_HOTKEY and the hook's late claim of one press: one capture, whichever
// comes first. A claim in time kept its key from the system, and pairs with nothing.
TEST(OnePress, TakesOnePressOnceWhicheverWayItComes) {
    EXPECT_EQ(LateClaimBoundMs(0), 150u) << "Windows waits 300 ms where the user set nothing";
    EXPECT_EQ(LateClaimBoundMs(200), 100u);
    EXPECT_EQ(LateClaimBoundMs(5000), 500u) << "Windows 10 waits a second at most";
    OnePress presses;
    const struct {
        int id;
        PressWay way;
        std::uint32_t time;
        bool accepted;
    } steps[] = {
        // The registration after the hook's time-out, then the hook's late claim of that press.
        {100, PressWay::Registration, 10000, true}, {100, PressWay::LateHook, 9000, false},
        // A late claim, then the registration of the same press.
        {200, PressWay::LateHook, 10100, true}, {200, PressWay::Registration, 10400, false},
        // Quick presses: the next one's key event comes after the registration's message.
        {100, PressWay::Registration, 10300, true}, {100, PressWay::LateHook, 10400, true},
        {200, PressWay::LateHook, 10500, true}, {200, PressWay::LateHook, 10600, true},
        {200, PressWay::Registration, 12200, true},  // later than any time-out
        {100, PressWay::Registration, 0x100u, true}, {100, PressWay::LateHook, 0xFFFFFC00u, false},  // wrapped
        // Claimed in time, then 1.2 s later on an elevated window, which no hook of ours sees.
        {100, PressWay::Hook, 20000, true}, {100, PressWay::Registration, 21200, true},
        // The hook's thread stalled: the first press timed out, the registration took it, and
        // the hook's late calls came for it and for a second press made meanwhile.
        {200, PressWay::Registration, 31000, true}, {200, PressWay::LateHook, 30000, false},
        {200, PressWay::LateHook, 30600, true},
        // Each pairs once: a registration that took a late claim takes no later one.
        {100, PressWay::LateHook, 40000, true}, {100, PressWay::Registration, 40300, false},
        {100, PressWay::LateHook, 40400, true}, {100, PressWay::Hook, 40500, true},
    };
    for (const auto& step : steps) {
        EXPECT_EQ(presses.Accept(step.id, step.way, step.time), step.accepted)
            << step.id << " at " << step.time;
    }
}

TEST(KeyClaim, LeavesARegisteredCombinationToTheSystem) {
    Play(KeyClaim(true, false), {
        {VK_LWIN, false, kPass}, {'S', false, kPass}, {'S', true, kPass}, {VK_LWIN, true, kPass},
        {VK_LWIN, false, kPass}, {'A', false, kCaptureWindow}, {'A', true, kSwallow}, {VK_LWIN, true, kMaskThenPass},
    });
}

TEST(KeyCombo, TextAndWhatWindowsDoesWithIt) {
    const struct {
        const wchar_t* text;
        unsigned modifiers, key;  // key 0: not a combination
    } read[] = {
        {L"Win+A", kModWin, 'A'}, {L" ctrl + SHIFT+f5 ", kModControl | kModShift, VK_F5},
        {L"PrintScreen", 0, VK_SNAPSHOT}, {L"Alt+=", kModAlt, VK_OEM_PLUS}, {L"Shift+Win+Num-", kModWin | kModShift, VK_SUBTRACT},
        {L"Win+Win+A", 0, 0}, {L"Ctrl+", 0, 0}, {L"Ctrl", 0, 0}, {L"A+Ctrl", 0, 0}, {L"Hyper+A", 0, 0}, {L"", 0, 0},
        {L"Ctrl+F25", 0, 0},
    };
    for (const auto& row : read) {
        const auto combo = ParseKeyCombo(row.text);
        EXPECT_EQ(combo.has_value(), row.key != 0) << testing::PrintToString(std::wstring(row.text));
        if (combo && row.key) {
            EXPECT_TRUE((*combo == KeyCombo{row.modifiers, row.key})) << testing::PrintToString(std::wstring(row.text));
        }
    }
    const KeyCombo chosen{kModShift | kModControl | kModWin, 'Q'};
    EXPECT_EQ(KeyComboText(chosen, KeyTextStyle::Stored), L"Win+Ctrl+Shift+Q");
    EXPECT_EQ(KeyComboText(chosen), L"Win + Ctrl + Shift + Q");
    EXPECT_EQ(KeyComboText(kDefaultActiveWindowKey, KeyTextStyle::Balloon), L"WinKey + A");
    EXPECT_EQ(KeyComboText({kModControl | kModAlt, 0}), L"Ctrl + Alt + ") << "modifiers still held";
    for (unsigned key = 1; key < 0x100; ++key) {
        const std::wstring text = KeyComboText({kModAlt, key}, KeyTextStyle::Stored);
        if (text == L"Alt+") continue;  // no name: no key for a combination
        EXPECT_TRUE(ParseKeyCombo(text) == (KeyCombo{kModAlt, key})) << testing::PrintToString(text);
    }

    EXPECT_EQ(ProblemOf({0, 'A'}), ComboProblem::KeyForTyping);
    EXPECT_EQ(ProblemOf({kModShift, '1'}), ComboProblem::KeyForTyping);
    EXPECT_EQ(ProblemOf({0, VK_F5}), ComboProblem::KeyForTyping);
    EXPECT_EQ(ProblemOf({kModShift, VK_F5}), ComboProblem::None);
    for (unsigned alone : {VK_SNAPSHOT, VK_PAUSE, VK_SCROLL, VK_F13, VK_F24}) EXPECT_EQ(ProblemOf({0, alone}), ComboProblem::None);
    EXPECT_EQ(ProblemOf({kModWin, 'L'}), ComboProblem::KeptByWindows);
    EXPECT_EQ(ProblemOf({kModControl | kModAlt, VK_DELETE}), ComboProblem::KeptByWindows);

    const ShellKeys windows7, windows10{true, false, false}, windows11{true, true, true};
    EXPECT_STREQ(WindowsUseOf(kDefaultActiveWindowKey, windows10), L"the Action Center");
    EXPECT_STREQ(WindowsUseOf(kDefaultActiveWindowKey, windows11), L"Quick Settings");
    EXPECT_EQ(WindowsUseOf(kDefaultActiveWindowKey, windows7), nullptr) << "the shell of Windows 7 leaves it";
    EXPECT_STREQ(WindowsUseOf({kModWin, 'V'}, windows10), L"clipboard history");
    EXPECT_STREQ(WindowsUseOf({kModWin, '3'}, windows10), L"the taskbar's programs");
    EXPECT_EQ(WindowsUseOf({kModWin, 'N'}, windows10), nullptr) << "Windows 11's only";
    EXPECT_STREQ(WindowsUseOf({0, VK_SNAPSHOT}, windows11), L"the Snipping Tool");
    EXPECT_EQ(WindowsUseOf({0, VK_SNAPSHOT}, windows10), nullptr);
    EXPECT_EQ(WindowsUseOf({kModControl | kModShift, VK_F5}, windows11), nullptr);
}

// Chosen combinations claimed as Windows key + A is: Alt's release masked as the Windows key's
// (a menu bar would open), a key alone, and the exact modifiers only.
TEST(KeyClaim, ClaimsChosenCombinationsAsTheDefaultOnes) {
    Play(KeyClaim({kModAlt, VK_F5}, {0, VK_SNAPSHOT}), {
        {VK_LMENU, false, kPass}, {VK_F5, false, kCaptureWindow}, {VK_F5, false, kSwallow}, {VK_F5, true, kSwallow},
        {VK_LMENU, true, kMaskThenPass},
        {VK_SNAPSHOT, false, kCaptureScreen}, {VK_SNAPSHOT, true, kSwallow},
        {VK_LCONTROL, false, kPass}, {VK_SNAPSHOT, false, kPass}, {VK_SNAPSHOT, true, kPass}, {VK_LCONTROL, true, kPass},
        {VK_LMENU, false, kPass}, {VK_LSHIFT, false, kPass}, {VK_F5, false, kPass}, {VK_F5, true, kPass},
        {VK_LSHIFT, true, kPass}, {VK_LMENU, true, kPass},
        {VK_F5, false, kPass}, {VK_F5, true, kPass}, {'A', false, kPass}, {'A', true, kPass},
    });
    // Both on one key, told apart by their modifiers.
    Play(KeyClaim({kModWin, 'Q'}, {kModControl, 'Q'}), {
        {VK_LCONTROL, false, kPass}, {'Q', false, kCaptureScreen}, {'Q', true, kSwallow}, {VK_LCONTROL, true, kPass},
        {VK_RWIN, false, kPass}, {'Q', false, kCaptureWindow}, {'Q', true, kSwallow}, {VK_RWIN, true, kMaskThenPass},
    });
    // Set anew while Alt is held: the press goes on, and the mask is still due.
    KeyClaim claim({kModAlt, VK_F5}, {});
    Play(claim, {{VK_RMENU, false, kPass}, {VK_F5, false, kCaptureWindow, 100}});
    claim.ForgetAll(kModAlt, 500);
    claim.TakeModifiers(false, false, false, true);
    Play(claim, {{VK_F5, false, kSwallow, 600}, {VK_F5, true, kSwallow, 650}, {VK_RMENU, true, kMaskThenPass}});
}

// Keys chosen anew while the user holds keys: the hook keeps what it knows of them.
TEST(KeyClaim, OtherCombinationsChosenWhileAModifierIsHeld) {
    KeyClaim claim(true, true);
    Play(claim, {{VK_LWIN, false, kPass}, {'A', false, kCaptureWindow}});
    claim.Choose({kModWin, 'Q'}, {kModControl, VK_F5});
    Play(claim, {
        {'A', false, kSwallow}, {'A', true, kSwallow},  // the press taken before still is
        {'Q', false, kCaptureWindow}, {'Q', true, kSwallow}, {'S', false, kPass}, {'S', true, kPass},
        {VK_LWIN, true, kMaskThenPass},
        {VK_LCONTROL, false, kPass}, {VK_F5, false, kCaptureScreen},
    });
    claim.Choose({}, {});
    Play(claim, {{VK_F5, true, kSwallow}, {VK_LCONTROL, true, kPass}, {VK_LCONTROL, false, kPass},
                 {VK_F5, false, kPass}, {VK_F5, true, kPass}, {VK_LCONTROL, true, kPass}});
}

// While a key field records: the hook keeps every key from the system, and the release of every
// key it kept; the dialog makes the combination of them.
TEST(KeyRecording, EveryKeyGoesToTheFieldAndTabAndEscKeepTheirMeaning) {
    RecordingGate gate;
    EXPECT_FALSE(gate.Swallows(VK_LSHIFT, true, true)) << "pressed before recording: the system has it down";
    EXPECT_TRUE(gate.Swallows(VK_LWIN, false, true));
    EXPECT_FALSE(gate.Swallows('Q', false, false));
    EXPECT_TRUE(gate.Swallows(VK_LWIN, true, false)) << "kept, after the recording too";
    EXPECT_FALSE(gate.Swallows(VK_LWIN, true, false));

    KeyRecorder recorder;
    const struct {
        unsigned key;
        bool up;
        RecordStep::Kind kind;
        KeyCombo combo;
    } steps[] = {
        {VK_LWIN, false, RecordStep::Pressing, {kModWin, 0}}, {'Q', false, RecordStep::Chosen, {kModWin, 'Q'}},
        {'Q', true, RecordStep::Nothing, {}}, {VK_LWIN, true, RecordStep::Released, {}},
        {VK_LCONTROL, false, RecordStep::Pressing, {kModControl, 0}}, {VK_RSHIFT, false, RecordStep::Pressing, {kModControl | kModShift, 0}},
        {VK_F5, false, RecordStep::Chosen, {kModControl | kModShift, VK_F5}}, {VK_F5, true, RecordStep::Nothing, {}},
        {VK_RSHIFT, true, RecordStep::Nothing, {}}, {VK_LCONTROL, true, RecordStep::Released, {}},
        {VK_SNAPSHOT, false, RecordStep::Chosen, {0, VK_SNAPSHOT}}, {VK_SNAPSHOT, true, RecordStep::Nothing, {}},
        {VK_MENU, false, RecordStep::Pressing, {kModAlt, 0}}, {VK_MENU, true, RecordStep::Released, {}},
        {VK_TAB, false, RecordStep::NextField, {}}, {VK_LSHIFT, false, RecordStep::Pressing, {kModShift, 0}},
        {VK_TAB, false, RecordStep::PreviousField, {}}, {VK_LSHIFT, true, RecordStep::Released, {}},
        {VK_LCONTROL, false, RecordStep::Pressing, {kModControl, 0}}, {VK_ESCAPE, false, RecordStep::Chosen, {kModControl, VK_ESCAPE}},
        {VK_LCONTROL, true, RecordStep::Released, {}}, {VK_ESCAPE, false, RecordStep::Cancel, {}},
    };
    for (const auto& step : steps) {
        const RecordStep got = recorder.OnKey(step.key, step.up);
        EXPECT_EQ(got.kind, step.kind) << std::hex << step.key << (step.up ? " up" : " down");
        EXPECT_TRUE(got.combo == step.combo) << std::hex << step.key << (step.up ? " up" : " down");
    }
}

// Events in order: 'h' the hook was called for a key-down; raw input reported a key-down, 'r'
// the last one waiting, 'w' with more waiting behind it, 'R' one while the hook is short of
// key-downs; then, a while later, 'k' the hook has caught up, 'K' it has not and is set anew.
TEST(HookWatch, SetsTheHookAnewWhenItMissedKeyDownsAndDidNotCatchUp) {
    HookWatch watch;
    const std::string events = "hrhrhhhwwr"  // the thread was busy: the key-downs waited
                               "hhhrrrRK"    // swallowed ones are forgotten, and the hook is gone
                               "rRK"         // set anew, and gone again
                               "hrhr"
                               "hrhhrr"      // a hook call ahead of the raw report before
                               "rRhhk"       // raw input reported them first (Wine 8)
                               "rRhRhRK";    // those calls never came, though later ones did
    for (size_t i = 0; i < events.size(); ++i) {
        if (events[i] == 'h') {
            watch.OnHookKeyDown();
        } else if (events[i] == 'k' || events[i] == 'K') {
            EXPECT_EQ(watch.StillShort(), events[i] == 'K') << "event " << i;
        } else {
            EXPECT_EQ(watch.OnRawKeyDown(events[i] == 'w'), events[i] == 'R') << "event " << i;
        }
    }
}

}  // namespace
}  // namespace tavelin
