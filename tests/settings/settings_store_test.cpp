#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "settings/settings_store.h"
#include "tests/support/test_files.h"

namespace tavelin {
namespace {

using test::Query;
using test::StoredValue;

std::vector<std::wstring> ValueNames(const wchar_t* keyPath) {
    std::vector<std::wstring> names;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (::RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(name);
    }
    ::RegCloseKey(key);
    return names;
}

void StoreRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    HKEY key = nullptr;
    ::RegCreateKeyW(HKEY_CURRENT_USER, kSettingsKeyPath, &key);
    ::RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes);
    ::RegCloseKey(key);
}

void StoreText(const wchar_t* name, const std::wstring& text) {
    StoreRaw(name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * 2));
}

// What the Run value holds for this executable: its path in quotes.
std::wstring RunCommand() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return L"\"" + std::wstring(path) + L"\"";
}

class SettingsStore : public testing::Test {
protected:
    void SetUp() override { test::ForgetSettings(); }
    void TearDown() override { test::ForgetSettings(); }
};

void ExpectText(const wchar_t* keyPath, const wchar_t* name, const std::wstring& text) {
    const StoredValue value = Query(keyPath, name);
    ASSERT_TRUE(value.present) << "missing " << testing::PrintToString(std::wstring(name));
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value.data.size(), text.size() * 2 + 2) << "byte count of a text is 2 x length + 2";
    EXPECT_EQ(value.Text(), text);
}

TEST_F(SettingsStore, FirstStartSeedsTheDefaultsAndNoMarker) {
    EnsureDefaultSettings();
    const std::wstring desktop = test::DesktopFolder();
    ASSERT_FALSE(desktop.empty());
    ExpectText(kSettingsKeyPath, kJpgPathValue, desktop);
    ExpectText(kSettingsKeyPath, kJpgNameValue, L"Shot");
    ExpectText(kRunKeyPath, kRunValueName, RunCommand());
    // Only the two settings: markers are the user's to set.
    std::vector<std::wstring> names = ValueNames(kSettingsKeyPath);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"JpgName", L"JpgPath"}));
}

TEST_F(SettingsStore, KeyNamesMatchWhateverTheirCase) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyW(HKEY_CURRENT_USER, L"Software\\TAVELIN", &key), ERROR_SUCCESS);
    WriteMarker(key, kNoJpgNameStyleValue);
    WriteText(key, kJpgNameValue, L"mine");
    ::RegCloseKey(key);
    EnsureDefaultSettings();
    ExpectText(kSettingsKeyPath, kJpgNameValue, L"mine");
}

// A marker counts by its presence alone: any type, any content.
class MarkerForms : public SettingsStore, public testing::WithParamInterface<int> {};

TEST_P(MarkerForms, EachMarkerKeepsItsSetting) {
    const DWORD one = 1, zero = 0;
    const std::wstring text = L"yes";
    auto storeMarker = [&](const wchar_t* name) {
        switch (GetParam()) {
            case 0: StoreRaw(name, REG_DWORD, &one, 4); break;
            case 1: StoreRaw(name, REG_DWORD, &zero, 4); break;
            case 2: StoreText(name, text); break;
            default: StoreRaw(name, REG_BINARY, nullptr, 0); break;
        }
    };
    StoreText(kJpgPathValue, L"D:\\elsewhere");
    StoreText(kJpgNameValue, L"shot");
    storeMarker(kNoDesktopSaveValue);
    storeMarker(kNoAutoStartValue);
    storeMarker(kNoJpgNameStyleValue);

    EnsureDefaultSettings();

    ExpectText(kSettingsKeyPath, kJpgPathValue, L"D:\\elsewhere");
    ExpectText(kSettingsKeyPath, kJpgNameValue, L"shot");
    EXPECT_FALSE(Query(kRunKeyPath, kRunValueName).present)
        << "a Run value the user removed must stay removed";
}

INSTANTIATE_TEST_SUITE_P(DwordOneDwordZeroTextEmpty, MarkerForms, testing::Values(0, 1, 2, 3));

TEST_F(SettingsStore, AbsentMarkersBringTheDefaultsBack) {
    // A folder outside the desktop, a name that differs only in case, and a Run value that
    // names another executable: without markers, every start puts the defaults back.
    StoreText(kJpgPathValue, L"D:\\elsewhere");
    StoreText(kJpgNameValue, L"shot");
    {
        const unique_hkey run = OpenUserKey(kRunKeyPath);
        WriteText(run.get(), kRunValueName, L"C:\\old\\place\\Tavelin.exe");
    }
    EnsureDefaultSettings();
    ExpectText(kSettingsKeyPath, kJpgPathValue, test::DesktopFolder());
    ExpectText(kSettingsKeyPath, kJpgNameValue, L"Shot");
    ExpectText(kRunKeyPath, kRunValueName, RunCommand());
}

TEST_F(SettingsStore, MarkersAreIndependent) {
    StoreText(kJpgPathValue, L"D:\\elsewhere");
    StoreText(kJpgNameValue, L"mine");
    const DWORD one = 1;
    StoreRaw(kNoJpgNameStyleValue, REG_DWORD, &one, 4);
    EnsureDefaultSettings();
    ExpectText(kSettingsKeyPath, kJpgPathValue, test::DesktopFolder());
    ExpectText(kSettingsKeyPath, kJpgNameValue, L"mine");
    ExpectText(kRunKeyPath, kRunValueName, RunCommand());
}

TEST_F(SettingsStore, WithoutADesktopFolderTheStoredFolderStays) {
    // Without its folder the shell cannot name the desktop; the old value must survive and
    // nothing unfilled may be stored as a folder.
    const std::wstring desktop = test::DesktopFolder();
    ASSERT_TRUE(::RemoveDirectoryW(desktop.c_str())) << "the test's desktop should be empty";
    wchar_t probe[MAX_PATH];
    const bool named = GetDesktopFolder(probe);
    if (named) {
        ::CreateDirectoryW(desktop.c_str(), nullptr);
        GTEST_SKIP() << "this system names the desktop even when its folder is gone";
    }
    EXPECT_EQ(probe[0], L'\0');

    EnsureDefaultSettings();
    EXPECT_FALSE(Query(kSettingsKeyPath, kJpgPathValue).present);
    StoreText(kJpgPathValue, L"D:\\kept");
    EnsureDefaultSettings();
    ExpectText(kSettingsKeyPath, kJpgPathValue, L"D:\\kept");
    ExpectText(kSettingsKeyPath, kJpgNameValue, L"Shot");

    ASSERT_TRUE(::CreateDirectoryW(desktop.c_str(), nullptr));
}

TEST_F(SettingsStore, WritesUseTheStoredFormats) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyW(HKEY_CURRENT_USER, kSettingsKeyPath, &key), ERROR_SUCCESS);
    WriteText(key, kJpgNameValue, L"");
    WriteMarker(key, kNoDefaultValue);
    ::RegCloseKey(key);
    ExpectText(kSettingsKeyPath, kJpgNameValue, L"");
    const StoredValue marker = Query(kSettingsKeyPath, kNoDefaultValue);
    ASSERT_TRUE(marker.present);
    EXPECT_EQ(marker.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(marker.data, (std::vector<uint8_t>{1, 0, 0, 0}));

    const unique_hkey settings = OpenUserKey(kSettingsKeyPath);
    EXPECT_TRUE(IsValuePresent(settings.get(), kNoDefaultValue));
    DeleteValue(settings.get(), kNoDefaultValue);
    EXPECT_FALSE(IsValuePresent(settings.get(), kNoDefaultValue));
    DeleteValue(settings.get(), kNoDefaultValue);  // deleting an absent value does no harm
    EXPECT_FALSE(IsValuePresent(settings.get(), kNoDefaultValue));
}

TEST_F(SettingsStore, CaptureChoicesReadAsStoredAndGiveWayToTheirDefaults) {
    auto read = [](const wchar_t* active, const wchar_t* whole) {
        test::ForgetSettings();
        StoreText(L"JpgName", L"Shot");  // the key exists
        if (active) StoreText(kActiveWindowKeyValue, active);
        if (whole) StoreText(kWholeScreenKeyValue, whole);
        const CaptureKeys keys = ReadCaptureKeys();
        return KeyComboText(keys.activeWindow, KeyTextStyle::Stored) + L" " + KeyComboText(keys.wholeScreen, KeyTextStyle::Stored);
    };
    EXPECT_EQ(read(nullptr, nullptr), L"Win+A Win+S");
    EXPECT_EQ(read(L"ctrl + shift + f5", L"PrintScreen"), L"Ctrl+Shift+F5 PrintScreen");
    EXPECT_EQ(read(L"Ctrl+Nothing", L"A"), L"Win+A Win+S") << "no combination, and a key that types";
    EXPECT_EQ(read(L"Win+Q", L"Win+Q"), L"Win+Q Win+S") << "one key for both";
    EXPECT_EQ(read(L"Win+S", nullptr), L"Win+A Win+S");
    StoreRaw(kWholeScreenKeyValue, REG_DWORD, "\x01\0\0\0", 4);
    EXPECT_EQ(KeyComboText(ReadCaptureKeys().wholeScreen, KeyTextStyle::Stored), L"Win+S");

    const unique_hkey settings = OpenUserKey(kSettingsKeyPath);
    WriteCaptureKey(settings.get(), kActiveWindowKeyValue, {kModAlt, VK_F9}, kDefaultActiveWindowKey);
    ExpectText(kSettingsKeyPath, kActiveWindowKeyValue, L"Alt+F9");
    WriteCaptureKey(settings.get(), kActiveWindowKeyValue, kDefaultActiveWindowKey, kDefaultActiveWindowKey);
    EXPECT_FALSE(Query(kSettingsKeyPath, kActiveWindowKeyValue).present) << "a default is stored as none";

    // The other capture choices: what does not read as one of them is the default.
    EXPECT_EQ(ReadScreenArea(), ScreenArea::Primary);
    EXPECT_FALSE(ReadCaptureFormat().png);
    EXPECT_EQ(ReadCaptureFormat().jpegQuality, 0);
    WriteNumber(settings.get(), kWholeScreenAreaValue, 2);
    WriteText(settings.get(), kFileTypeValue, L"PNG");
    WriteNumber(settings.get(), kJpegQualityValue, 95);
    EXPECT_EQ(ReadScreenArea(), ScreenArea::AllDisplays);
    EXPECT_TRUE(ReadCaptureFormat().png);
    EXPECT_EQ(ReadCaptureFormat().jpegQuality, 95);
    WriteNumber(settings.get(), kWholeScreenAreaValue, 3);
    WriteText(settings.get(), kFileTypeValue, L"gif");
    WriteNumber(settings.get(), kJpegQualityValue, 101);
    EXPECT_EQ(ReadScreenArea(), ScreenArea::Primary);
    EXPECT_FALSE(ReadCaptureFormat().png);
    EXPECT_EQ(ReadCaptureFormat().jpegQuality, 0);
    WriteText(settings.get(), kWholeScreenAreaValue, L"1");
    EXPECT_EQ(ReadScreenArea(), ScreenArea::Primary) << "a number stored as text";
}

TEST_F(SettingsStore, WithoutTheKeyEverythingFailsQuietly) {
    const unique_hkey missing = OpenUserKey(L"SOFTWARE\\Tavelin\\NoSuchKey");
    EXPECT_FALSE(missing);
    EXPECT_FALSE(IsValuePresent(missing.get(), kJpgPathValue));
    wchar_t buffer[16];
    std::memset(buffer, 0x55, sizeof(buffer));
    EXPECT_EQ(ReadText(missing.get(), kJpgPathValue, buffer), TextRead::Missing);
    EXPECT_EQ(buffer[0], L'\0');
    WriteText(missing.get(), kJpgPathValue, L"lost");  // must not crash
}

// A reader's buffer is never overrun and always ends as a terminated text.
TEST_F(SettingsStore, ReadingTextsOfEveryLength) {
    struct Case {
        const char* what;
        std::wstring stored;
        bool withNul;
        TextRead result;
        std::wstring read;
    };
    const size_t kChars = 255;  // the capture's folder buffer
    const std::vector<Case> cases = {
        {"short", L"C:\\caps", true, TextRead::Complete, L"C:\\caps"},
        {"254 characters and the NUL fill it", std::wstring(254, L'a'), true, TextRead::Complete,
         std::wstring(254, L'a')},
        {"254 characters without NUL", std::wstring(254, L'b'), false, TextRead::Complete,
         std::wstring(254, L'b')},
        {"255 characters without NUL fill it exactly", std::wstring(255, L'c'), false,
         TextRead::DoesNotFit, L""},
        {"255 characters and the NUL", std::wstring(255, L'd'), true, TextRead::DoesNotFit, L""},
        {"far too long", std::wstring(4000, L'e'), true, TextRead::DoesNotFit, L""},
        {"empty", L"", true, TextRead::Complete, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const DWORD bytes = static_cast<DWORD>((c.stored.size() + (c.withNul ? 1 : 0)) * 2);
        StoreRaw(kJpgPathValue, REG_SZ, c.stored.c_str(), bytes);
        wchar_t buffer[kChars + 4];
        std::memset(buffer, 0x55, sizeof(buffer));  // nothing may be left of this
        const unique_hkey key = OpenUserKey(kSettingsKeyPath);
        EXPECT_EQ(ReadText(key.get(), kJpgPathValue, buffer, kChars), c.result);
        EXPECT_EQ(std::wstring(buffer), c.read);
        for (size_t i = kChars; i < kChars + 4; ++i) EXPECT_EQ(buffer[i], 0x5555) << "overrun at " << i;
    }
    const unique_hkey key = OpenUserKey(kSettingsKeyPath);
    wchar_t buffer[8];
    EXPECT_EQ(ReadText(key.get(), L"NoSuchValue", buffer), TextRead::Missing);
    EXPECT_EQ(buffer[0], L'\0');
}

}  // namespace
}  // namespace tavelin
