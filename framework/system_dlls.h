// Where the program's DLLs come from: the system folder, never the program's own.
//
// Windows looks for a DLL that is not one of its KnownDLLs in the program's folder first, and
// a portable exe is often started from a Downloads folder that web pages can drop DLLs into.
#pragma once

#include <windows.h>

namespace tavelin {

// First thing in the process: takes the program's folder (and the current one) out of the
// search for every DLL loaded by name from now on, and loads early, from the system folder,
// the DLLs that system code would later load by name on the program's behalf.
void LoadDllsFromSystemFolderOnly();

// A system DLL from the system folder, or null. It stays loaded for the process's life: the
// DLLs asked for here are wanted until the end, and a copy already in the process is what a
// later load by name finds.
HMODULE LoadSystemDll(const wchar_t* name);

// A function a DLL exports, as the type it has, or null (also for no DLL). What the program
// calls this way is never imported: see LoadSystemDll.
template <typename Fn>
Fn FindExport(HMODULE module, const char* name) {
    const FARPROC found = module ? ::GetProcAddress(module, name) : nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(found));
}

}  // namespace tavelin
