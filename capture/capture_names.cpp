#include "capture/capture_names.h"

#include <climits>
#include <cwchar>

namespace tavelin {

void ComposeCaptureName(wchar_t (&name)[kCaptureNameChars], const wchar_t* folder,
                        const wchar_t* base, int number, const wchar_t* extension) {
    std::swprintf(name, kCaptureNameChars, L"%ls%ls%ls%ls%d%ls", folder, L"\\", base, L"-",
                  number, extension);
    name[kCaptureNameChars - 1] = L'\0';
}

bool CaptureNamesFit(std::wstring_view folder, std::wstring_view base) {
    constexpr size_t kSeparators = 2, kNumberDigits = 5, kExtensionChars = 4;  // the backslash and the dash
    return folder.size() + base.size() + kSeparators + kNumberDigits + kExtensionChars <= kLongestFileNameChars;
}

int FirstFreeNumber(int start, const std::function<bool(int)>& isTaken) {
    int number = start;
    while (number < INT_MAX && isTaken(number)) ++number;
    return number;
}

}  // namespace tavelin
