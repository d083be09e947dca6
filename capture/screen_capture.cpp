#include "capture/screen_capture.h"

#include <cwchar>
#include <functional>
#include <string>

#include "capture/bmp_layout.h"
#include "capture/capture_rect.h"
#include "capture/new_file.h"
#include "framework/message_box.h"
#include "settings/settings_store.h"

namespace tavelin {

CScreenCapture g_screenCapture;

namespace {

// Every message of a capture is topmost: where the keyboard hook took the key, Tavelin did not
// get the last input, and Windows may refuse its box the foreground; with no taskbar button,
// the box would wait unseen behind the user's window. MB_SYSTEMMODAL too, for Wine: see
// docs/testing.md, What Wine does differently.
constexpr UINT kCaptureMessage = MB_TOPMOST | MB_SYSTEMMODAL;

// Numbers count captures within one run, from 1.
int g_nextCaptureNumber = 1;

// A stored folder too long to read is not cut (a cut path names some other folder): false,
// and the capture says so. A missing or empty folder is the desktop: the drive's root, where
// a standard user may not write, would be no better. A name too long to read is the default.
// Only the capture falls back: what is stored stays as the user saved it.
bool ReadCaptureNaming(wchar_t (&folder)[kFolderChars], wchar_t (&base)[kBaseNameChars],
                       bool* copyToClipboard = nullptr, CaptureFormat* format = nullptr) {
    const unique_hkey settings = OpenUserKey(kSettingsKeyPath);
    if (copyToClipboard) *copyToClipboard = IsValuePresent(settings.get(), kCopyToClipboardValue);
    if (format) *format = ReadCaptureFormat(settings.get());
    if (ReadText(settings.get(), kJpgNameValue, base) == TextRead::DoesNotFit) {
        std::wcscpy(base, kDefaultJpgName);
    }
    if (ReadText(settings.get(), kJpgPathValue, folder) == TextRead::DoesNotFit) return false;
    if (folder[0] == L'\0') {
        wchar_t desktop[MAX_PATH];
        if (GetDesktopFolder(desktop)) std::wcscpy(folder, desktop);
    }
    return true;
}

bool FileExists(const wchar_t* path) {
    return ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

struct BmpWriteResult {
    BmpWrite outcome;
    const wchar_t* failure;  // the text to show, for NotCreated and Partial
};

BmpWriteResult NotCreated(const wchar_t* failure) { return {BmpWrite::NotCreated, failure}; }

BmpWriteResult WriteBmpFile(HBITMAP bitmap, HDC deviceContext, const wchar_t* filePath,
                            const std::function<bool()>& nameTaken) {
    constexpr const wchar_t* kAllocationFailed = L"writeBMP::Could not allocate memory";

    BITMAP description{};
    if (!::GetObjectW(bitmap, sizeof(description), &description)) {
        return NotCreated(L"Could not retrieve bitmap info");
    }

    const BmpPlan plan = PlanBmp(description.bmWidth, description.bmHeight,
                                 description.bmPlanes, description.bmBitsPixel);
    unique_hlocal info(::LocalAlloc(LPTR, plan.infoBytes));
    if (!info) return NotCreated(kAllocationFailed);
    auto* header = static_cast<BITMAPINFOHEADER*>(info.get());
    header->biSize = kInfoHeaderBytes;
    header->biWidth = description.bmWidth;
    header->biHeight = description.bmHeight;
    header->biPlanes = description.bmPlanes;
    header->biBitCount = description.bmBitsPixel;
    header->biCompression = BI_RGB;
    header->biSizeImage = plan.imageBytes;
    header->biClrUsed = plan.tableEntries;

    if (!plan.fits) return NotCreated(kAllocationFailed);
    unique_hglobal pixels(::GlobalAlloc(GMEM_FIXED, plan.imageBytes));
    if (!pixels) return NotCreated(kAllocationFailed);

    if (!::GetDIBits(deviceContext, bitmap, 0, static_cast<UINT>(header->biHeight),
                     pixels.get(), reinterpret_cast<BITMAPINFO*>(header), DIB_RGB_COLORS)) {
        return NotCreated(L"writeBMP::GetDIB error");
    }
    const BmpContent content = SettleAfterRead(plan, header->biClrUsed, header->biSizeImage);
    header->biClrUsed = content.clrUsed;
    header->biSizeImage = content.sizeImage;

    // A file that took the name after the capture chose it is someone else's, and is neither
    // written over nor, later, deleted.
    unique_hfile file = CreateNewFile(filePath, GENERIC_READ | GENERIC_WRITE, nameTaken);
    if (!file) return NotCreated(L"Could not create file for writing");

    const auto fileHeader = EncodeFileHeader(content.clrUsed, content.sizeImage);
    if (!WriteAll(file.get(), fileHeader.data(), kFileHeaderBytes) ||
        !WriteAll(file.get(), header, kInfoHeaderBytes + 4 * content.clrUsed) ||
        !WriteAll(file.get(), pixels.get(), content.sizeImage)) {
        return {BmpWrite::Partial, L"Could not write in to file"};
    }
    // Every block was handed over: the file is as whole as the system let it be, and is
    // converted as usual.
    if (!file.close_checked()) return {BmpWrite::Whole, L"Could not close file"};
    return {BmpWrite::Whole, nullptr};
}

// Deselected first: GDI refuses to delete a bitmap that a device context still holds.
void ReleaseScreenCopy(CaptureJob& job) {
    job.selected.reset();
    job.memory.reset();
    job.display.reset();
    job.bitmap.reset();
}

}  // namespace

BmpWrite CScreenCapture::writeBMP(HBITMAP bitmap, HDC deviceContext, const wchar_t* filePath,
                                  const std::function<bool()>& nameTaken) {
    // Every block and the file are released before the box goes up, so that nothing is held
    // for as long as the user leaves it open.
    const BmpWriteResult result = WriteBmpFile(bitmap, deviceContext, filePath, nameTaken);
    if (result.failure) AfxMessageBox(result.failure, MB_OK | kCaptureMessage, 0);
    return result.outcome;
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
    BlackenOffScreenParts(job.memory.get(), rect);
    return true;
}

void CScreenCapture::ReserveNames(CaptureJob& job) {
    wchar_t folder[kFolderChars];
    wchar_t base[kBaseNameChars];
    const bool folderRead = ReadCaptureNaming(folder, base, &job.copyToClipboard, &job.format);
    const wchar_t* extension = job.format.png ? L".png" : L".jpg";

    // A number that either type has taken is taken: Shot-3.png beside Shot-3.jpg would read as
    // one capture.
    const int number = FirstFreeNumber(g_nextCaptureNumber, [&](int candidate) {
        wchar_t other[kCaptureNameChars];
        ComposeCaptureName(job.bmpName, folder, base, candidate, L".bmp");
        ComposeCaptureName(job.imageName, folder, base, candidate, L".jpg");
        ComposeCaptureName(other, folder, base, candidate, L".png");
        return FileExists(job.bmpName) || FileExists(job.imageName) || FileExists(other);
    });
    ComposeCaptureName(job.bmpName, folder, base, number, L".bmp");
    ComposeCaptureName(job.imageName, folder, base, number, extension);
    job.namesFit = folderRead && std::wcslen(job.imageName) <= kLongestFileNameChars;
    // Taken before anything can show a message box: a hotkey pressed while the box's own
    // loop runs starts a second capture, which must not reuse this one's names.
    g_nextCaptureNumber = number + 1;
}

void CScreenCapture::WriteTemporaryBmp(CaptureJob& job) {
    // A file that appears under the chosen name between the choice and the write (another
    // program, another copy of ours) moves the capture on to the next free number.
    job.bmpWritten = writeBMP(job.bitmap.get(), job.memory.get(), job.bmpName, [&] {
        ReserveNames(job);
        return true;
    });
    // The file holds the picture now. Let go of the screen copy before the codec decodes the
    // file and encodes the JPEG, each with frame-sized buffers of its own, so that one frame
    // less is held at the peak.
    ReleaseScreenCopy(job);
}

// Only a whole BMP of this capture's own is converted: a cut one holds no whole picture, and
// Wine's GDI+ would keep it open (docs/testing.md, What Wine does differently).
// A failed load is not looked at: the save of an empty image fails in turn, and decides.
void CScreenCapture::LoadTemporaryBmp(CaptureJob& job) {
    if (job.bmpWritten != BmpWrite::Whole) return;
    job.image.emplace();
    job.image->Load(job.bmpName);
}

void CScreenCapture::SaveImage(CaptureJob& job) {
    if (!job.image) return;
    // A file that appears under the JPEG's name moves the JPEG on to the next free number, as
    // one under the BMP's does; the temporary BMP keeps its name and goes as usual.
    job.imageSaved = SUCCEEDED(job.image->Save(job.imageName, GUID_NULL, [&] {
        wchar_t bmpName[kCaptureNameChars];
        std::wcscpy(bmpName, job.bmpName);
        ReserveNames(job);
        std::wcscpy(job.bmpName, bmpName);
        return true;
    }, job.format.jpegQuality));
}

// The temporary BMP is a device-independent bitmap behind its 14-byte file header: the
// clipboard takes it as it stands, read back only where the user asked for the copy. A
// clipboard that another program holds open is tried again for a moment and then left alone.
void CScreenCapture::CopyToClipboard(CaptureJob& job) {
    if (!job.copyToClipboard || !job.imageSaved || job.bmpWritten != BmpWrite::Whole || !m_clipboardOwner) return;
    const unique_hfile file(::CreateFileW(job.bmpName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart <= kFileHeaderBytes ||
        size.QuadPart > 0x7FFFFFFF || ::SetFilePointer(file.get(), kFileHeaderBytes, nullptr, FILE_BEGIN) != kFileHeaderBytes)
        return;
    const DWORD dibBytes = static_cast<DWORD>(size.QuadPart - kFileHeaderBytes);
    unique_hglobal dib(::GlobalAlloc(GMEM_MOVEABLE, dibBytes));
    void* bytes = dib ? ::GlobalLock(dib.get()) : nullptr;
    DWORD read = 0;
    const bool whole = bytes && ::ReadFile(file.get(), bytes, dibBytes, &read, nullptr) && read == dibBytes;
    if (bytes) ::GlobalUnlock(dib.get());
    if (!whole) return;
    bool opened = false;
    for (int attempt = 0; attempt < 10 && !(opened = ::OpenClipboard(m_clipboardOwner)); ++attempt) ::Sleep(20);
    if (!opened) return;
    // Once the clipboard holds the memory, it is the clipboard's to free.
    if (::EmptyClipboard() && ::SetClipboardData(CF_DIB, dib.get())) dib.release();
    ::CloseClipboard();
}

void CScreenCapture::DeleteAndRelease(CaptureJob& job) {
    ReleaseScreenCopy(job);
    job.image.reset();

    const bool ownBmp = job.bmpWritten == BmpWrite::Whole || job.bmpWritten == BmpWrite::Partial;
    // A whole BMP is the capture itself until a JPEG holds it: it goes only once the JPEG is
    // saved. A failed save has taken away whatever it made itself; what stands under the
    // JPEG's name is not the capture's.
    const bool keepBmp = job.bmpWritten == BmpWrite::Whole && !job.imageSaved;
    if (ownBmp && !keepBmp) ::DeleteFileW(job.bmpName);
    if (keepBmp) {
        const std::wstring text = std::wstring(job.format.png ? L"Could not save the PNG file." : L"Could not save the JPEG file.") +
                                  L" The capture was kept as " + job.bmpName;
        AfxMessageBox(text.c_str(), MB_OK | kCaptureMessage, 0);
    }
}

bool CScreenCapture::CaptureAndSave(const RECT& rect) {
    CaptureJob job;
    if (!CopyScreen(rect, job)) return false;
    ReserveNames(job);
    // Never somewhere else without a word: the settings dialog refuses such a folder, and this
    // is one set by other means.
    if (!job.namesFit) {
        ReleaseScreenCopy(job);
        AfxMessageBox(L"Could not save the capture: the folder for captures is too long for its file names. Choose "
                      L"a shorter folder or file name in Settings.",
                      MB_OK | kCaptureMessage, 0);
        return false;
    }
    WriteTemporaryBmp(job);
    LoadTemporaryBmp(job);
    SaveImage(job);
    CopyToClipboard(job);
    DeleteAndRelease(job);
    if (job.imageSaved) m_lastCapture = job.imageName;
    return job.imageSaved;
}

std::wstring CScreenCapture::NextCaptureFolder() const {
    wchar_t folder[kFolderChars];
    wchar_t base[kBaseNameChars];
    ReadCaptureNaming(folder, base);
    return folder;
}

}  // namespace tavelin
