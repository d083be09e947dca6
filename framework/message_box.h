// Message boxes the way the whole program shows them: captioned with the application title,
// with the exclamation icon when only OK is offered and the question icon for Yes/No.
#pragma once

#include <windows.h>

#include <string>

namespace tavelin {

// The executable's file name without its extension, e.g. "Tavelin" for C:\Tools\Tavelin.exe.
std::wstring TitleFromModulePath(const std::wstring& modulePath);

// The application title of this process.
const wchar_t* ApplicationTitle();

// The icon a box of the given button set carries when the caller asks for none.
UINT DefaultIconFor(UINT type);

}  // namespace tavelin

// Modal box owned by the application's window; returns the button pressed (IDOK, IDYES, ...).
int AfxMessageBox(const wchar_t* text, UINT type = MB_OK, UINT helpContext = 0);
