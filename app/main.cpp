#include <windows.h>

#include "capture/capture_rect.h"
#include "capture/screen_capture.h"
#include "settings/settings_store.h"

// Until the tray window exists, a start seeds the settings and captures the whole screen once.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    tavelin::EnsureDefaultSettings();
    if (const auto rect = tavelin::CaptureRectForHotkey(tavelin::kHotkeyWholeScreen)) {
        tavelin::g_screenCapture.CaptureAndSave(*rect);
    }
    return 0;
}
