// How capture files are named and numbered. No Win32 here.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

namespace tavelin {

inline constexpr size_t kCaptureNameChars = 500;

// folder + "\" + base + "-" + number + extension, cut to fit the buffer. The backslash is
// always put in, so a folder that ends in one gives a doubled separator, which Windows accepts.
void ComposeCaptureName(wchar_t (&name)[kCaptureNameChars], const wchar_t* folder,
                        const wchar_t* base, int number, const wchar_t* extension);

// The longest file name Windows opens without the long-path prefix, which the shell and the
// image codec do not all take.
inline constexpr size_t kLongestFileNameChars = 259;

// Whether the captures of a run in `folder` named after `base` have names Windows can open,
// up to a number that no run reaches (99999).
bool CaptureNamesFit(std::wstring_view folder, std::wstring_view base);

// The first number from `start` on for which `isTaken` says no. The counter restarts at 1
// every run, so a number can still name a user's file from an earlier run.
int FirstFreeNumber(int start, const std::function<bool(int)>& isTaken);

}  // namespace tavelin
