#include "capture/new_file.h"

namespace tavelin {

namespace {

// Names to try when files keep appearing under the chosen one.
constexpr int kNameAttempts = 100;

}  // namespace

unique_hfile CreateNewFile(const wchar_t* path, DWORD access, const std::function<bool()>& nameTaken) {
    for (int attempt = 1;; ++attempt) {
        unique_hfile file(::CreateFileW(path, access, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) return file;
        const DWORD error = ::GetLastError();
        const bool taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
        if (!taken || attempt == kNameAttempts || !nameTaken || !nameTaken()) {
            ::SetLastError(taken ? ERROR_FILE_EXISTS : error);
            return file;
        }
    }
}

bool WriteAll(HANDLE file, const void* data, DWORD bytes) {
    DWORD written = 0;
    return ::WriteFile(file, data, bytes, &written, nullptr) && written == bytes;
}

}  // namespace tavelin
