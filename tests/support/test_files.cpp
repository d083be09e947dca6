#include "tests/support/test_files.h"

#include <shlobj.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

#include "framework/unique_handles.h"
#include "settings/settings_store.h"

namespace tavelin::test {

namespace {
void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = path + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(child.c_str());
            }
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    ::RemoveDirectoryW(path.c_str());
}
}  // namespace

TempFolder::TempFolder() {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    static int serial = 0;
    for (;;) {
        m_path = std::wstring(temp) + L"tavelin-test-" + std::to_wstring(::GetCurrentProcessId()) +
                 L"-" + std::to_wstring(++serial);
        if (::CreateDirectoryW(m_path.c_str(), nullptr)) break;
    }
}

TempFolder::~TempFolder() { RemoveTree(m_path); }

std::vector<std::wstring> TempFolder::Names() const { return NamesIn(m_path); }

std::vector<std::wstring> TempFolder::NamesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..") names.push_back(name);
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    std::sort(names.begin(), names.end());
    return names;
}

DibInfo::DibInfo(int width, int height, int bits) : header{}, table{} {
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(bits);
    header.biCompression = BI_RGB;
}

std::vector<uint8_t> ReadBytes(const std::wstring& path) {
    std::vector<uint8_t> bytes;
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    LARGE_INTEGER size{};
    ::GetFileSizeEx(file, &size);
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty()) ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    bytes.resize(read);
    ::CloseHandle(file);
    return bytes;
}

void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

uint32_t Le32(const std::vector<uint8_t>& bytes, size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | uint32_t{bytes[at + 3]} << 24;
}

uint16_t Le16(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

std::wstring StoredValue::Text() const {
    return std::wstring(reinterpret_cast<const wchar_t*>(data.data()), data.size() / 2).c_str();
}

StoredValue Query(const wchar_t* keyPath, const wchar_t* name) {
    StoredValue value;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
    DWORD size = 0;
    if (::RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.present = true;
        value.data.resize(size);
        ::RegQueryValueExW(key, name, nullptr, &value.type, value.data.data(), &size);
    }
    ::RegCloseKey(key);
    return value;
}

void ForgetSettings() {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKeyPath);
    ::RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsKeyPath);
    HKEY run = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, KEY_ALL_ACCESS, &run) == ERROR_SUCCESS) {
        ::RegDeleteValueW(run, kRunValueName);
        ::RegCloseKey(run);
    }
}

void UseCaptureFolder(const std::wstring& folder, const std::wstring& base) {
    HKEY key = nullptr;
    ::RegCreateKeyW(HKEY_CURRENT_USER, kSettingsKeyPath, &key);
    WriteText(key, kJpgPathValue, folder.c_str());
    WriteText(key, kJpgNameValue, base.c_str());
    WriteMarker(key, kNoDesktopSaveValue);
    WriteMarker(key, kNoJpgNameStyleValue);
    ::RegCloseKey(key);
}

long AnonymousMemoryKiB() {
    // Wine 8 fills PagefileUsage from the process's RssAnon (plus swap) in /proc; its private
    // bytes stay 0. A path under Z:\proc\self would not do: Wine opens files in the
    // wineserver, so "self" would be the server.
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (!::K32GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters))) return -1;
    return static_cast<long>(counters.PagefileUsage / 1024);
}

std::wstring DesktopFolder() {
    wchar_t path[MAX_PATH] = {};
    ::SHGetSpecialFolderPathW(nullptr, path, CSIDL_DESKTOPDIRECTORY, FALSE);
    return path;
}

}  // namespace tavelin::test

namespace tavelin::test {
namespace {
// On Windows the tests run in the user's own registry: what they touch is set aside before a
// test program's first test and put back after its last. Set aside in the registry, not in
// memory, so that a program that was killed has it put back by the next one.
constexpr wchar_t kSetAsideKeyPath[] = L"SOFTWARE\\Tavelin-tests";

unique_hkey Key(const std::wstring& path, bool create) {
    HKEY key = nullptr;
    if (create) ::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    else ::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key);
    return unique_hkey(key);
}

// The value as it is, or its absence; false where it could not be read or written.
bool CopyValue(const wchar_t* fromPath, const wchar_t* fromName, const wchar_t* toPath, const wchar_t* toName) {
    const unique_hkey to = Key(toPath, true);
    DWORD type = 0, size = 0;
    constexpr DWORD kAsStored = RRF_RT_ANY | RRF_NOEXPAND;
    const LONG found = ::RegGetValueW(HKEY_CURRENT_USER, fromPath, fromName, kAsStored, &type, nullptr, &size);
    if (found == ERROR_FILE_NOT_FOUND) {
        const LONG deleted = ::RegDeleteValueW(to.get(), toName);
        return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
    }
    std::vector<BYTE> data(size);
    return found == ERROR_SUCCESS &&
           ::RegGetValueW(HKEY_CURRENT_USER, fromPath, fromName, kAsStored, &type, data.data(), &size) == ERROR_SUCCESS &&
           ::RegSetValueExW(to.get(), toName, 0, type, data.data(), size) == ERROR_SUCCESS;
}

// Copies a key with all it holds where it exists; false where it exists and was not copied.
bool CopyKey(const std::wstring& fromPath, const std::wstring& toPath) {
    const unique_hkey from = Key(fromPath, false);
    return !from || ::RegCopyTreeW(from.get(), nullptr, Key(toPath, true).get()) == ERROR_SUCCESS;
}

class UsersOwnRegistry : public testing::Environment {
public:
    void SetUp() override {
        if (!PutBack()) Stop("could not put back what an earlier test program set aside");
        if (!CopyKey(kSettingsKeyPath, kSettingsCopyPath) ||
            !CopyValue(kRunKeyPath, kRunValueName, kSetAsideKeyPath, L"Run") ||
            !CopyValue(kStartupApprovedKeyPath, kRunValueName, kSetAsideKeyPath, L"StartupApproved") ||
            // From here on, what was set aside is put back before anything else.
            ::RegSetKeyValueW(HKEY_CURRENT_USER, kSetAsideKeyPath, L"Complete", REG_SZ, L"", sizeof(wchar_t)) != ERROR_SUCCESS) {
            ::RegDeleteTreeW(HKEY_CURRENT_USER, kSetAsideKeyPath);
            ::RegDeleteKeyW(HKEY_CURRENT_USER, kSetAsideKeyPath);
            Stop("could not set the user's Tavelin settings aside");
        }
        ForgetSettings();
        ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kStartupApprovedKeyPath, kRunValueName);
    }
    void TearDown() override {
        if (!PutBack()) std::fprintf(stderr, "the user's Tavelin settings are still in HKCU\\%ls\n", kSetAsideKeyPath);
    }

private:
    static constexpr const wchar_t* kSettingsCopyPath = L"SOFTWARE\\Tavelin-tests\\Settings";

    [[noreturn]] static void Stop(const char* why) {
        std::fprintf(stderr, "%s: no test ran\n", why);
        std::exit(1);
    }
    // The copy goes only once all of it is back.
    static bool PutBack() {
        if (::RegGetValueW(HKEY_CURRENT_USER, kSetAsideKeyPath, L"Complete", RRF_RT_REG_SZ, nullptr, nullptr,
                           nullptr) == ERROR_SUCCESS) {
            ForgetSettings();
            if (!CopyKey(kSettingsCopyPath, kSettingsKeyPath) ||
                !CopyValue(kSetAsideKeyPath, L"Run", kRunKeyPath, kRunValueName) ||
                !CopyValue(kSetAsideKeyPath, L"StartupApproved", kStartupApprovedKeyPath, kRunValueName))
                return false;
        }
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kSetAsideKeyPath);
        ::RegDeleteKeyW(HKEY_CURRENT_USER, kSetAsideKeyPath);
        return true;
    }
};

[[maybe_unused]] testing::Environment* const g_usersOwnRegistry =
    testing::AddGlobalTestEnvironment(new UsersOwnRegistry);
}  // namespace
std::vector<DWORD> ScreenPixels(const RECT& rect) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    std::vector<DWORD> pixels(static_cast<size_t>(width) * height);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    ::SelectObject(memory, old);
    ::GetDIBits(memory, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    for (DWORD& pixel : pixels) pixel &= 0xFFFFFF;
    return pixels;
}

}  // namespace tavelin::test
