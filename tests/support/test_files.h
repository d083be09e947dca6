// Files, folders, registry and process readings the tests share.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tavelin::test {

// A new empty folder under the session's temporary folder, removed with all it holds.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& Path() const { return m_path; }
    std::wstring File(const std::wstring& name) const { return m_path + L"\\" + name; }
    // Names of the files in the folder, sorted.
    std::vector<std::wstring> Names() const;
    // The names in any folder, sorted.
    static std::vector<std::wstring> NamesIn(const std::wstring& folder);

private:
    std::wstring m_path;
};

// The description of an uncompressed DIB section of `bits` per pixel, bottom-up, with room
// for a full colour table (left zero).
struct DibInfo {
    DibInfo(int width, int height, int bits);
    BITMAPINFO* get() { return reinterpret_cast<BITMAPINFO*>(this); }
    BITMAPINFOHEADER header;
    RGBQUAD table[256];
};

std::vector<uint8_t> ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes);
bool Exists(const std::wstring& path);

uint32_t Le32(const std::vector<uint8_t>& bytes, size_t at);
uint16_t Le16(const std::vector<uint8_t>& bytes, size_t at);

// A registry value under HKEY_CURRENT_USER as it is stored.
struct StoredValue {
    bool present = false;
    DWORD type = 0;
    std::vector<uint8_t> data;
    std::wstring Text() const;
};
StoredValue Query(const wchar_t* keyPath, const wchar_t* name);

// Removes HKCU\SOFTWARE\Tavelin and the Run value, as before the first start.
void ForgetSettings();
// Points the captures at a folder and a base name, with the markers that keep them.
void UseCaptureFolder(const std::wstring& folder, const std::wstring& base = L"Shot");

// Memory of this process that no file backs, in KiB: under Wine its anonymous resident
// memory as Linux counts it.
long AnonymousMemoryKiB();

std::wstring DesktopFolder();

// The screen's pixels in `rect`, row by row from the top, as 0x00RRGGBB.
std::vector<DWORD> ScreenPixels(const RECT& rect);

}  // namespace tavelin::test
