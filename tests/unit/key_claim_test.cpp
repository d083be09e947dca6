#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "hotkeys/hook_watch.h"
#include "hotkeys/key_claim.h"
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
    claim.ForgetAll(true);
    claim.TakeModifiers(true, false, false, false);
    Play(claim, {{'A', false, kSwallow, 1100}, {'A', true, kSwallow, 1150}, {VK_RWIN, true, kMaskThenPass},
                 {VK_LWIN, false, kPass}, {VK_LWIN, true, kPass}});
    // Set anew once the Windows key is up: nothing of the press is left.
    claim.OnKey(VK_LWIN, false);
    claim.OnKey('A', false);
    claim.ForgetAll(false);
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
    claim.ForgetAll(true, 500);
    claim.TakeModifiers(true, false, false, false);
    Play(claim, {{'A', false, kPass, 900, true}, {'A', false, kPass, 933, true}, {'A', true, kPass}, {VK_LWIN, true, kPass}});
}

// A claimed press carried over a hook set anew, whose key came up while no hook was set: the
// key's next event, later than the repeat delay, is a press of its own.
TEST(KeyClaim, ForgetsACarriedPressWhoseKeyCameUpUnseen) {
    KeyClaim claim(true, true);
    Play(claim, {{VK_LWIN, false, kPass, 0}, {'A', false, kCaptureWindow, 100}});
    claim.ForgetAll(true, 500);
    claim.TakeModifiers(true, false, false, false);
    Play(claim, {{'A', false, kCaptureWindow, 800}, {'A', true, kSwallow, 850}, {VK_LWIN, true, kMaskThenPass, 900}});
    Play(claim, {{VK_LWIN, false, kPass, 1000}, {'A', false, kCaptureWindow, 1100}});
    claim.ForgetAll(true, 500);
    Play(claim, {{VK_LWIN, false, kPass, 0xFFFFFF00ul}, {'A', false, kCaptureWindow, 0xFFFFFF80ul}});
    claim.ForgetAll(true, 500);
    // At the delay after the press, a first repeat, across the tick count's wrap.
    Play(claim, {{'A', false, kSwallow, 0x174}, {'A', true, kSwallow, 0x180}});
    // Sooner than the delay after the press: let go unseen, and a press of its own.
    claim.TakeModifiers(true, false, false, false);
    Play(claim, {{'A', false, kCaptureWindow, 0x1000}});
    claim.ForgetAll(true, 500);
    claim.TakeModifiers(true, false, false, false);
    Play(claim, {{'A', false, kCaptureWindow, 0x1190}, {'A', false, kSwallow, 0x1200}});
    // After a repeat, the next one comes at the repeat rate.
    claim.ForgetAll(true, 500);
    Play(claim, {{'A', false, kSwallow, 0x1221}, {'A', true, kSwallow, 0x1230}});
    // Where the system holds the key down (a claim that came too late), it gets the release.
    claim.TakeModifiers(true, false, false, false);
    Play(claim, {{'A', false, kCaptureWindow, 0x2000}, {'A', true, kPass, 0x2080, true}});
    claim.ForgetAll(true, 500);
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
