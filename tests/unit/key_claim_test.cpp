#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "hotkeys/hook_watch.h"
#include "hotkeys/key_claim.h"

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
};

void Play(KeyClaim claim, const std::vector<Step>& steps) {
    for (size_t i = 0; i < steps.size(); ++i) {
        const KeyVerdict got = claim.OnKey(steps[i].key, steps[i].up);
        EXPECT_TRUE(got == steps[i].verdict)
            << "step " << i << ": key " << std::hex << steps[i].key << (steps[i].up ? " up" : " down")
            << " gave swallow " << got.swallow << ", hotkey " << std::dec << got.hotkeyId << ", mask " << got.maskFirst;
    }
}

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
    claim.OnKey('A', false);
    claim.ForgetAll(true);
    claim.TakeModifiers(true, false, false, false);
    Play(claim, {{'A', false, kSwallow}, {'A', true, kSwallow}, {VK_RWIN, true, kMaskThenPass},
                 {VK_LWIN, false, kPass}, {VK_LWIN, true, kPass}});
    // Set anew once the Windows key is up: nothing of the press is left.
    claim.OnKey(VK_LWIN, false);
    claim.OnKey('A', false);
    claim.ForgetAll(false);
    Play(claim, {{'A', true, kPass}, {VK_LWIN, false, kPass}, {VK_LWIN, true, kPass}});
}

TEST(KeyClaim, LeavesARegisteredCombinationToTheSystem) {
    Play(KeyClaim(true, false), {
        {VK_LWIN, false, kPass}, {'S', false, kPass}, {'S', true, kPass}, {VK_LWIN, true, kPass},
        {VK_LWIN, false, kPass}, {'A', false, kCaptureWindow}, {'A', true, kSwallow}, {VK_LWIN, true, kMaskThenPass},
    });
}

// Events in order: 'h' the hook was called for a key-down; raw input reported a key-down, 'r'
// the last one waiting, 'w' with more waiting behind it, 'R' one that shows the hook missed keys.
TEST(HookWatch, SetsTheHookAnewWhenItMissedKeyDowns) {
    HookWatch watch;
    const std::string events = "hrhrhhhwwr"  // the thread was busy: the key-downs waited
                               "hhhrrrR"     // swallowed ones are forgotten, and the hook is gone
                               "rR"          // set anew, and gone again
                               "hrhr"
                               "hrhhrr";     // a hook call ahead of the raw report before
    for (size_t i = 0; i < events.size(); ++i) {
        if (events[i] == 'h') {
            watch.OnHookKeyDown();
        } else {
            EXPECT_EQ(watch.OnRawKeyDown(events[i] == 'w'), events[i] == 'R') << "event " << i;
        }
    }
}

}  // namespace
}  // namespace tavelin
