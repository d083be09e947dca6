#include <windows.h>

#include "framework/win_app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return tavelin::AfxWinMain(instance);
}
