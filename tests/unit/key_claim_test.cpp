#include <gtest/gtest.h>

#include <windows.h>

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

TEST(KeyClaim, ForgetsReleasesItNeverSaw) {
    // Windows key + L: the Windows key comes up on the lock screen, out of the hook's sight.
    KeyClaim claim(true, true);
    EXPECT_TRUE(claim.OnKey(VK_LWIN, false) == kPass);
    EXPECT_TRUE(claim.OnKey('L', false) == kPass);
    claim.ForgetReleasedModifiers(false, false, false, false);
    EXPECT_TRUE(claim.OnKey('S', false) == kPass) << "a plain S after the unlock";
    EXPECT_TRUE(claim.OnKey('S', true) == kPass);
    // Ctrl+Alt+Del: Ctrl and Alt come up on the secure desktop.
    KeyClaim afterSecureDesktop(true, true);
    afterSecureDesktop.OnKey(VK_LCONTROL, false);
    afterSecureDesktop.OnKey(VK_LMENU, false);
    afterSecureDesktop.OnKey(VK_DELETE, false);
    afterSecureDesktop.OnKey(VK_RWIN, false);
    afterSecureDesktop.ForgetReleasedModifiers(true, false, false, false);
    EXPECT_TRUE(afterSecureDesktop.OnKey('A', false) == kCaptureWindow);
    // Only what is up is forgotten.
    KeyClaim held(true, true);
    held.OnKey(VK_LSHIFT, false);
    held.OnKey(VK_LWIN, false);
    held.ForgetReleasedModifiers(true, true, false, false);
    EXPECT_TRUE(held.OnKey('S', false) == kPass) << "Shift is still down";
}

TEST(KeyClaim, LeavesARegisteredCombinationToTheSystem) {
    Play(KeyClaim(true, false), {
        {VK_LWIN, false, kPass}, {'S', false, kPass}, {'S', true, kPass}, {VK_LWIN, true, kPass},
        {VK_LWIN, false, kPass}, {'A', false, kCaptureWindow}, {'A', true, kSwallow}, {VK_LWIN, true, kMaskThenPass},
    });
}

// Events by time: 'h' the hook was called, 'r' raw input reported a key-down, 'R' one that
// shows the hook missed the key-down before.
TEST(HookWatch, SetsTheHookAnewWhenItMissedAKeyDown) {
    // Times count from just before the tick count wraps around, at 0x100.
    const std::vector<std::pair<char, uint32_t>> events{
        {'h', 10}, {'r', 10}, {'h', 20}, {'r', 20},
        {'r', 30}, {'h', 30}, {'r', 40}, {'h', 40},  // raw input first: the hook's call comes later
        {'r', 50}, {'R', 60},                        // the hook missed 50
        {'r', 70}, {'R', 80},                        // set anew, and missed 70 again
        {'h', 0xF0}, {'r', 0xF0}, {'h', 0x105}, {'r', 0x105}, {'r', 0x110}, {'R', 0x120},
    };
    HookWatch watch;
    for (size_t i = 0; i < events.size(); ++i) {
        const uint32_t time = 0xFFFFFF00u + events[i].second;
        if (events[i].first == 'h') {
            watch.OnHookCall(time);
        } else {
            EXPECT_EQ(watch.OnRawKeyDown(time), events[i].first == 'R') << "event " << i;
        }
    }
}

}  // namespace
}  // namespace tavelin
