#include "capture/screen_capture.h"

#include <cwchar>
#include <optional>

#include "capture/bmp_layout.h"
#include "capture/capture_names.h"
#include "capture/capture_rect.h"
#include "capture/image.h"
#include "framework/message_box.h"
#include "framework/unique_handles.h"
#include "settings/settings_store.h"

namespace tavelin {

CScreenCapture g_screenCapture;

namespace {

// Numbers count captures within one run, from 1.
int g_nextCaptureNumber = 1;

constexpr size_t kFolderChars = 255;
constexpr size_t kBaseNameChars = 100;

// A stored folder or name too long for its buffer is not cut (a cut path names some other
// folder); the capture falls back to the default instead.
void ReadCaptureNaming(wchar_t (&folder)[kFolderChars], wchar_t (&base)[kBaseNameChars]) {
    const unique_hkey settings = OpenUserKey(kSettingsKeyPath);
    if (ReadText(settings.get(), kJpgPathValue, folder) == TextRead::DoesNotFit) {
        wchar_t desktop[MAX_PATH];
        if (GetDesktopFolder(desktop) && std::wcslen(desktop) < kFolderChars) {
            std::wcscpy(folder, desktop);
        }
    }
    if (ReadText(settings.get(), kJpgNameValue, base) == TextRead::DoesNotFit) {
        std::wcscpy(base, kDefaultJpgName);
    }
}

bool FileExists(const wchar_t* path) {
    return ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

// Returns the failure text, or nothing when the file was written and closed.
const wchar_t* WriteBmpFile(HBITMAP bitmap, HDC deviceContext, const wchar_t* filePath) {
    constexpr const wchar_t* kAllocationFailed = L"writeBMP::Could not allocate memory";

    BITMAP description{};
    if (!::GetObjectW(bitmap, sizeof(description), &description)) {
        return L"Could not retrieve bitmap info";
    }

    const BmpPlan plan = PlanBmp(description.bmWidth, description.bmHeight,
                                 description.bmPlanes, description.bmBitsPixel);
    unique_hlocal info(::LocalAlloc(LPTR, plan.infoBytes));
    if (!info) return kAllocationFailed;
    auto* header = static_cast<BITMAPINFOHEADER*>(info.get());
    header->biSize = kInfoHeaderBytes;
    header->biWidth = description.bmWidth;
    header->biHeight = description.bmHeight;
    header->biPlanes = description.bmPlanes;
    header->biBitCount = description.bmBitsPixel;
    header->biCompression = BI_RGB;
    header->biSizeImage = plan.imageBytes;
    header->biClrUsed = plan.tableEntries;

    if (!plan.fits) return kAllocationFailed;
    unique_hglobal pixels(::GlobalAlloc(GMEM_FIXED, plan.imageBytes));
    if (!pixels) return kAllocationFailed;

    if (!::GetDIBits(deviceContext, bitmap, 0, static_cast<UINT>(header->biHeight),
                     pixels.get(), reinterpret_cast<BITMAPINFO*>(header), DIB_RGB_COLORS)) {
        return L"writeBMP::GetDIB error";
    }
    const BmpContent content = SettleAfterRead(plan, header->biClrUsed, header->biSizeImage);
    header->biClrUsed = content.clrUsed;
    header->biSizeImage = content.sizeImage;

    unique_hfile file(::CreateFileW(filePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return L"Could not create file for writing";

    const auto fileHeader = EncodeFileHeader(content.clrUsed, content.sizeImage);
    DWORD written = 0;
    if (!::WriteFile(file.get(), fileHeader.data(), kFileHeaderBytes, &written, nullptr) ||
        !::WriteFile(file.get(), header, kInfoHeaderBytes + 4 * content.clrUsed, &written,
                     nullptr) ||
        !::WriteFile(file.get(), pixels.get(), content.sizeImage, &written, nullptr)) {
        return L"Could not write in to file";
    }
    if (!file.close_checked()) return L"Could not close file";
    return nullptr;
}

}  // namespace

void CScreenCapture::writeBMP(HBITMAP bitmap, HDC deviceContext, const wchar_t* filePath) {
    // Every block and the file are released before the box goes up, so that nothing is held
    // for as long as the user leaves it open.
    if (const wchar_t* failure = WriteBmpFile(bitmap, deviceContext, filePath)) {
        AfxMessageBox(failure, MB_OK, 0);
    }
}

void CScreenCapture::CaptureAndSave(const RECT& rect) {
    if (!HasArea(rect)) return;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;

    // Declared first so that it goes last: its destruction shuts the codec down, after the
    // capture's own GDI objects are released.
    std::optional<CImage> image;
    unique_hdc display(::CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr));
    unique_hdc memory(::CreateCompatibleDC(display.get()));
    unique_hbitmap bitmap(::CreateCompatibleBitmap(display.get(), width, height));
    unique_select selected(memory.get(), bitmap.get());

    // CAPTUREBLT brings in layered windows, which a plain SRCCOPY leaves out.
    ::BitBlt(memory.get(), 0, 0, width, height, display.get(), rect.left, rect.top,
             SRCCOPY | CAPTUREBLT);

    wchar_t folder[kFolderChars];
    wchar_t base[kBaseNameChars];
    ReadCaptureNaming(folder, base);

    wchar_t bmpName[kCaptureNameChars] = {};
    wchar_t jpgName[kCaptureNameChars] = {};
    const int number = FirstFreeNumber(g_nextCaptureNumber, [&](int candidate) {
        ComposeCaptureName(bmpName, folder, base, candidate, L".bmp");
        ComposeCaptureName(jpgName, folder, base, candidate, L".jpg");
        return FileExists(bmpName) || FileExists(jpgName);
    });
    ComposeCaptureName(bmpName, folder, base, number, L".bmp");
    ComposeCaptureName(jpgName, folder, base, number, L".jpg");
    // Taken before anything can show a message box: a hotkey pressed while the box's own
    // loop runs starts a second capture, which must not reuse this one's names.
    g_nextCaptureNumber = number + 1;

    writeBMP(bitmap.get(), memory.get(), bmpName);

    // Neither result matters here: a failed conversion just leaves no JPEG.
    image.emplace();
    image->Load(bmpName);
    image->Save(jpgName, GUID_NULL);
    // The name was free when the number was taken, so whatever stands there now is this
    // capture's own temporary file, complete or not.
    ::DeleteFileW(bmpName);

    selected.reset();
    memory.reset();
    display.reset();
    bitmap.reset();
    image.reset();
}

}  // namespace tavelin
