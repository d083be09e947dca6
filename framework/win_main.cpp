#include <windows.h>

#include "framework/system_dlls.h"
#include "framework/win_app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // Before any window, COM or shell call can load a DLL by name. Static initialisation
    // before this point only zero-fills records and sets up a critical section.
    tavelin::LoadDllsFromSystemFolderOnly();
    return tavelin::AfxWinMain(instance);
}
