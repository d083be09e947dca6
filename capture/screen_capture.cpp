#include "capture/screen_capture.h"

#include <cwchar>

#include "capture/bmp_layout.h"
#include "capture/capture_rect.h"
#include "framework/message_box.h"
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

// Deselected first: GDI refuses to delete a bitmap that a device context still holds.
void ReleaseScreenCopy(CaptureJob& job) {
    job.selected.reset();
    job.memory.reset();
    job.display.reset();
    job.bitmap.reset();
}

}  // namespace

void CScreenCapture::writeBMP(HBITMAP bitmap, HDC deviceContext, const wchar_t* filePath) {
    // Every block and the file are released before the box goes up, so that nothing is held
    // for as long as the user leaves it open.
    if (const wchar_t* failure = WriteBmpFile(bitmap, deviceContext, filePath)) {
        AfxMessageBox(failure, MB_OK, 0);
    }
}

bool CScreenCapture::CopyScreen(const RECT& rect, CaptureJob& job) {
    if (!HasArea(rect)) return false;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;

    job.display.reset(::CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr));
    job.memory.reset(::CreateCompatibleDC(job.display.get()));
    job.bitmap.reset(::CreateCompatibleBitmap(job.display.get(), width, height));
    job.selected = unique_select(job.memory.get(), job.bitmap.get());

    // CAPTUREBLT brings in layered windows, which a plain SRCCOPY leaves out.
    ::BitBlt(job.memory.get(), 0, 0, width, height, job.display.get(), rect.left, rect.top,
             SRCCOPY | CAPTUREBLT);
    return true;
}

void CScreenCapture::ReserveNames(CaptureJob& job) {
    wchar_t folder[kFolderChars];
    wchar_t base[kBaseNameChars];
    ReadCaptureNaming(folder, base);

    const int number = FirstFreeNumber(g_nextCaptureNumber, [&](int candidate) {
        ComposeCaptureName(job.bmpName, folder, base, candidate, L".bmp");
        ComposeCaptureName(job.jpgName, folder, base, candidate, L".jpg");
        return FileExists(job.bmpName) || FileExists(job.jpgName);
    });
    ComposeCaptureName(job.bmpName, folder, base, number, L".bmp");
    ComposeCaptureName(job.jpgName, folder, base, number, L".jpg");
    // Taken before anything can show a message box: a hotkey pressed while the box's own
    // loop runs starts a second capture, which must not reuse this one's names.
    g_nextCaptureNumber = number + 1;
}

void CScreenCapture::WriteTemporaryBmp(CaptureJob& job) {
    writeBMP(job.bitmap.get(), job.memory.get(), job.bmpName);
    // The file holds the picture now. Let go of the screen copy before the codec decodes the
    // file and encodes the JPEG, each with frame-sized buffers of its own, so that one frame
    // less is held at the peak.
    ReleaseScreenCopy(job);
}

// Neither result of the next two matters here: a failed conversion just leaves no JPEG.
void CScreenCapture::LoadTemporaryBmp(CaptureJob& job) {
    job.image.emplace();
    job.image->Load(job.bmpName);
}

void CScreenCapture::SaveJpeg(CaptureJob& job) { job.image->Save(job.jpgName, GUID_NULL); }

void CScreenCapture::DeleteAndRelease(CaptureJob& job) {
    // The name was free when the number was taken, so whatever stands there now is this
    // capture's own temporary file, complete or not.
    ::DeleteFileW(job.bmpName);

    ReleaseScreenCopy(job);
    job.image.reset();
}

void CScreenCapture::CaptureAndSave(const RECT& rect) {
    CaptureJob job;
    if (!CopyScreen(rect, job)) return;
    ReserveNames(job);
    WriteTemporaryBmp(job);
    LoadTemporaryBmp(job);
    SaveJpeg(job);
    DeleteAndRelease(job);
}

}  // namespace tavelin
