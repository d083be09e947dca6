#include "bench/stage_floors.h"

#include <cstring>
#include <memory>

#include "framework/gdiplus_flat.h"
#include "settings/settings_store.h"

namespace tavelin::bench {

namespace {

using gdiplus::kOk;

// The codec copies into the caller's buffer instead of handing out its own.
constexpr UINT kLockModeUserInputBuffer = 4;
constexpr INT kPixelFormat32bppRgb = 0x00022009;

bool StartCodec(ULONG_PTR& token) {
    const gdiplus::GdiplusStartupInput input{1, nullptr, FALSE, FALSE};
    return ::GdiplusStartup(&token, &input, nullptr) == kOk;
}

// What a caller must do to name an encoder: fetch the list and pick it out by its type.
bool FindEncoder(const wchar_t* mimeType, CLSID& clsid) {
    UINT count = 0;
    UINT bytes = 0;
    if (::GdipGetImageEncodersSize(&count, &bytes) != kOk) return false;
    const std::unique_ptr<uint8_t[]> buffer(new uint8_t[bytes]);
    auto* encoders = reinterpret_cast<gdiplus::ImageCodecInfo*>(buffer.get());
    if (::GdipGetImageEncoders(count, bytes, encoders) != kOk) return false;
    for (UINT i = 0; i < count; ++i) {
        if (std::wcscmp(encoders[i].MimeType, mimeType) == 0) {
            clsid = encoders[i].Clsid;
            return true;
        }
    }
    return false;
}

// `quality` 0 leaves the encoder its own default, as the pipeline does.
bool SaveBitmapAs(HBITMAP bitmap, const std::wstring& path, const wchar_t* mimeType, int quality = 0) {
    CLSID encoder{};
    if (!FindEncoder(mimeType, encoder)) return false;
    gdiplus::GpBitmap* raw = nullptr;
    ::GdipCreateBitmapFromHBITMAP(bitmap, nullptr, &raw);
    const unique_gpbitmap wrapper(raw);
    ULONG qualityValue = static_cast<ULONG>(quality);
    const gdiplus::EncoderParameters parameters{
        1, {{gdiplus::kEncoderQuality, 1, gdiplus::kEncoderParameterValueTypeLong, &qualityValue}}};
    return wrapper && ::GdipSaveImageToFile(wrapper.get(), path.c_str(), &encoder,
                                            quality > 0 ? &parameters : nullptr) == kOk;
}

bool SaveBitmapAsJpeg(HBITMAP bitmap, const std::wstring& path) {
    return SaveBitmapAs(bitmap, path, L"image/jpeg");
}

}  // namespace

void FloorCopyScreen(const RECT& rect, FloorJob& job) {
    job.width = rect.right - rect.left;
    job.height = rect.bottom - rect.top;
    job.display.reset(::CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr));
    job.memory.reset(::CreateCompatibleDC(job.display.get()));
    job.bitmap.reset(::CreateCompatibleBitmap(job.display.get(), job.width, job.height));
    job.selected = unique_select(job.memory.get(), job.bitmap.get());
    ::BitBlt(job.memory.get(), 0, 0, job.width, job.height, job.display.get(), rect.left,
             rect.top, SRCCOPY | CAPTUREBLT);
}

void FloorReadNames(FloorJob& job) {
    wchar_t folder[256];
    wchar_t base[100];
    wchar_t type[8];
    DWORD quality = 0;
    DWORD bytes = sizeof(folder);
    const unique_hkey settings = OpenUserKey(kSettingsKeyPath);
    ::RegQueryValueExW(settings.get(), kJpgPathValue, nullptr, nullptr,
                       reinterpret_cast<BYTE*>(folder), &bytes);
    bytes = sizeof(base);
    ::RegQueryValueExW(settings.get(), kJpgNameValue, nullptr, nullptr,
                       reinterpret_cast<BYTE*>(base), &bytes);
    ::RegQueryValueExW(settings.get(), kCopyToClipboardValue, nullptr, nullptr, nullptr, nullptr);
    bytes = sizeof(type);
    ::RegQueryValueExW(settings.get(), kFileTypeValue, nullptr, nullptr,
                       reinterpret_cast<BYTE*>(type), &bytes);
    bytes = sizeof(quality);
    ::RegQueryValueExW(settings.get(), kJpegQualityValue, nullptr, nullptr,
                       reinterpret_cast<BYTE*>(&quality), &bytes);
    // A number is free where neither the BMP nor either picture type stands under it.
    ::GetFileAttributesW(job.bmpPath.c_str());
    ::GetFileAttributesW(job.jpgPath.c_str());
    ::GetFileAttributesW(job.pngPath.c_str());
}

BITMAPINFOHEADER TrueColorHeader(int width, int height) {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    return header;
}

bool FloorAllocatePixels(FloorJob& job) {
    job.pixels.reset(::GlobalAlloc(GMEM_FIXED, static_cast<SIZE_T>(job.width) * job.height * 4));
    return static_cast<bool>(job.pixels);
}

bool FloorWriteBmp(FloorJob& job) {
    BITMAPINFOHEADER header = TrueColorHeader(job.width, job.height);
    const DWORD imageBytes = static_cast<DWORD>(job.width) * job.height * 4;
    if (!::GetDIBits(job.memory.get(), job.bitmap.get(), 0, static_cast<UINT>(job.height),
                     job.pixels.get(), reinterpret_cast<BITMAPINFO*>(&header),
                     DIB_RGB_COLORS)) {
        return false;
    }
    BITMAPFILEHEADER fileHeader{};
    fileHeader.bfType = 0x4D42;  // "BM"
    fileHeader.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    fileHeader.bfSize = fileHeader.bfOffBits + imageBytes;
    header.biSizeImage = imageBytes;

    unique_hfile file(::CreateFileW(job.bmpPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    const bool wrote =
        ::WriteFile(file.get(), &fileHeader, sizeof(fileHeader), &written, nullptr) &&
        ::WriteFile(file.get(), &header, sizeof(header), &written, nullptr) &&
        ::WriteFile(file.get(), job.pixels.get(), imageBytes, &written, nullptr);
    const bool closed = file.close_checked();
    // The pipeline's BMP stage gives back its block and the screen copy before it ends too.
    job.pixels.reset();
    job.selected.reset();
    job.memory.reset();
    job.display.reset();
    job.bitmap.reset();
    return closed && wrote;
}

bool FloorLoadBmp(FloorJob& job) {
    job.codecStarted = StartCodec(job.codecToken);
    gdiplus::GpBitmap* raw = nullptr;
    ::GdipCreateBitmapFromFile(job.bmpPath.c_str(), &raw);
    const unique_gpbitmap decoded(raw);
    if (!decoded) return false;

    BITMAPINFOHEADER header = TrueColorHeader(job.width, job.height);
    job.dib.reset(::CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&header),
                                     DIB_RGB_COLORS, &job.dibBits, nullptr, 0));
    if (!job.dib || !job.dibBits) return false;

    // Bottom-up: the top row is the DIB's last, and rows go backwards from it.
    const INT stride = job.width * 4;
    gdiplus::BitmapData data{};
    data.Width = static_cast<UINT>(job.width);
    data.Height = static_cast<UINT>(job.height);
    data.Stride = -stride;
    data.PixelFormat = kPixelFormat32bppRgb;
    data.Scan0 = static_cast<uint8_t*>(job.dibBits) + static_cast<size_t>(stride) * (job.height - 1);
    const gdiplus::GpRect whole{0, 0, job.width, job.height};
    if (::GdipBitmapLockBits(decoded.get(), &whole,
                             gdiplus::kImageLockModeRead | kLockModeUserInputBuffer,
                             kPixelFormat32bppRgb, &data) != kOk) {
        return false;
    }
    ::GdipBitmapUnlockBits(decoded.get(), &data);
    return true;
}

bool FloorSaveJpeg(FloorJob& job, int quality) {
    return SaveBitmapAs(job.dib.get(), job.jpgPath, L"image/jpeg", quality);
}

bool FloorSavePng(FloorJob& job) { return SaveBitmapAs(job.dib.get(), job.pngPath, L"image/png"); }

void FloorDeleteAndRelease(FloorJob& job) {
    ::DeleteFileW(job.bmpPath.c_str());
    job.dib.reset();
    job.dibBits = nullptr;
    if (job.codecStarted) ::GdiplusShutdown(job.codecToken);
    job.codecStarted = false;
}

bool EncodeDirect(HBITMAP captured, const std::wstring& jpgPath) {
    ULONG_PTR token = 0;
    if (!StartCodec(token)) return false;
    const bool saved = SaveBitmapAsJpeg(captured, jpgPath);
    ::GdiplusShutdown(token);
    return saved;
}

}  // namespace tavelin::bench
