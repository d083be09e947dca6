// Files that a capture makes: created only where no file stands, and written whole or not at
// all, so that a capture never replaces or cuts a file that is not its own.
#pragma once

#include <windows.h>

#include <functional>

#include "framework/unique_handles.h"

namespace tavelin {

// Creates the file at `path` for writing, only where no file stands. Where one stands (another
// program, another copy of ours, took the name after the capture chose it), `nameTaken` may
// write another name into path's buffer and return true to have it tried, as often as files
// keep appearing, up to a limit. Empty on failure; GetLastError then says why, and
// ERROR_FILE_EXISTS means that every name tried was taken.
unique_hfile CreateNewFile(const wchar_t* path, DWORD access, const std::function<bool()>& nameTaken);

// A full disk can take part of a block and report success: the count counts too.
bool WriteAll(HANDLE file, const void* data, DWORD bytes);

}  // namespace tavelin
