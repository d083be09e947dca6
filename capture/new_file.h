// Files that a capture makes: created only where no file stands, and written whole or not at
// all, so that a capture never replaces or cuts a file that is not its own.
#pragma once

#include <windows.h>
#include <objidl.h>

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

// A stream over a file the caller has open (for reading and writing), for an encoder to write
// into. Writes that the disk cannot take whole fail.
IStream* NewFileStream(HANDLE file);

// Deletes, as it closes, a file that this capture created and could not finish: a cut picture
// is none. Where the handle is gone already, by its name.
void DiscardNewFile(unique_hfile& file, const wchar_t* path);

}  // namespace tavelin
