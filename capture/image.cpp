#include "capture/image.h"

#include <shlwapi.h>

#include <climits>
#include <cstring>
#include <cstddef>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "capture/image_rules.h"
#include "capture/new_file.h"
#include "framework/gdiplus_flat.h"

namespace tavelin {

namespace {

using gdiplus::kOk;

// Starts GDI+ for the image objects and stops it when the last one goes. GDI+ must not be
// started or stopped from DllMain, and any codec object still alive at shutdown is left
// dangling, so the codec lives exactly as long as some image object does.
class CodecStartupGuard {
public:
    CodecStartupGuard() { ::InitializeCriticalSection(&m_lock); }
    ~CodecStartupGuard() {
        // An image object that outlives main (a static one, say) would otherwise leave the
        // codec running into the process's end.
        if (m_started) Shutdown();
        ::DeleteCriticalSection(&m_lock);
    }
    CodecStartupGuard(const CodecStartupGuard&) = delete;
    CodecStartupGuard& operator=(const CodecStartupGuard&) = delete;

    bool EnsureStarted() {
        Lock lock(m_lock);
        if (m_started) return true;
        // Background thread left on: GDI+ then runs its own notification thread, and the
        // program need not pump GDI+'s hook calls itself.
        const gdiplus::FlatApi* gdip = gdiplus::Flat();
        const gdiplus::GdiplusStartupInput input{1, nullptr, FALSE, FALSE};
        ULONG_PTR token = 0;
        if (!gdip || gdip->Startup(&token, &input, nullptr) != kOk) return false;
        m_token = token;
        m_started = true;
        ++m_startups;
        return true;
    }

    void AddImage() {
        Lock lock(m_lock);
        ++m_liveImages;
    }

    void RemoveImage() {
        Lock lock(m_lock);
        if (--m_liveImages == 0 && m_started) Shutdown();
    }

    CodecGuardState State() {
        Lock lock(m_lock);
        return CodecGuardState{m_started, m_liveImages, m_startups, m_shutdowns};
    }

private:
    class Lock {
    public:
        explicit Lock(CRITICAL_SECTION& section) : m_section(section) {
            ::EnterCriticalSection(&m_section);
        }
        ~Lock() { ::LeaveCriticalSection(&m_section); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        CRITICAL_SECTION& m_section;
    };

    void Shutdown() {
        gdiplus::Flat()->Shutdown(m_token);
        m_token = 0;
        m_started = false;
        ++m_shutdowns;
    }

    CRITICAL_SECTION m_lock;
    ULONG_PTR m_token = 0;
    // Kept apart from the token, for Wine: see docs/testing.md, What Wine does differently.
    bool m_started = false;
    int m_liveImages = 0;
    int m_startups = 0;
    int m_shutdowns = 0;
};

CodecStartupGuard g_codecGuard;

// Blocks whose size the codec reports at run time; nullptr when there is no memory.
std::unique_ptr<uint8_t[]> AllocateBytes(size_t bytes) {
    return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[bytes == 0 ? 1 : bytes]);
}

// Sets the DIB's colour table from an indexed picture's palette.
HRESULT CopyPalette(const gdiplus::FlatApi* gdip, gdiplus::GpBitmap* decoded, HBITMAP dib) {
    INT size = 0;
    if (gdip->GetImagePaletteSize(decoded, &size) != kOk ||
        size < static_cast<INT>(offsetof(gdiplus::ColorPalette, Entries))) {
        return E_FAIL;  // no palette at all: its count is 0
    }
    const std::unique_ptr<uint8_t[]> buffer = AllocateBytes(static_cast<size_t>(size));
    if (!buffer) return E_OUTOFMEMORY;
    auto* palette = reinterpret_cast<gdiplus::ColorPalette*>(buffer.get());
    if (gdip->GetImagePalette(decoded, palette, size) != kOk) return E_FAIL;
    // The count is checked against the block too: a count the block cannot hold would read
    // past its end.
    const size_t room = (static_cast<size_t>(size) - offsetof(gdiplus::ColorPalette, Entries)) /
                        sizeof(gdiplus::ARGB);
    if (!PaletteCountFits(palette->Count) || palette->Count > room) return E_FAIL;

    RGBQUAD table[256];
    for (UINT i = 0; i < palette->Count; ++i) {
        const ColorEntry entry = ColorEntryFromArgb(palette->Entries[i]);
        table[i] = RGBQUAD{entry.blue, entry.green, entry.red, entry.reserved};
    }
    const unique_hdc dc(::CreateCompatibleDC(nullptr));
    const unique_select selected(dc.get(), dib);
    ::SetDIBColorTable(dc.get(), 0, palette->Count, table);
    return S_OK;
}

}  // namespace

CodecGuardState ReadCodecGuard() { return g_codecGuard.State(); }

CImage::CImage() { g_codecGuard.AddImage(); }

CImage::~CImage() {
    Destroy();
    g_codecGuard.RemoveImage();
}

void CImage::Destroy() {
    m_bitmap.reset();
    m_bits = nullptr;
    m_width = m_height = m_bpp = m_pitch = 0;
    m_hasAlpha = false;
}

HRESULT CImage::Load(const wchar_t* path) {
    Destroy();
    if (!g_codecGuard.EnsureStarted()) return E_FAIL;
    const gdiplus::FlatApi* gdip = gdiplus::Flat();

    gdiplus::GpBitmap* rawDecoded = nullptr;
    const gdiplus::Status decodedStatus = gdip->CreateBitmapFromFile(path, &rawDecoded);
    const unique_gpbitmap decoded(rawDecoded);
    if (decodedStatus != kOk || !decoded) return E_FAIL;

    INT format = 0;
    UINT decodedWidth = 0;
    UINT decodedHeight = 0;
    gdip->GetImagePixelFormat(decoded.get(), &format);
    gdip->GetImageWidth(decoded.get(), &decodedWidth);
    gdip->GetImageHeight(decoded.get(), &decodedHeight);
    const DibChoice choice = ChooseDib(format);

    // A size beyond a LONG would turn negative in the header, and a negative height asks for
    // a top-down DIB: no DIB can be made for it.
    if (decodedWidth == 0 || decodedHeight == 0 || decodedWidth > INT_MAX ||
        decodedHeight > INT_MAX) {
        return E_FAIL;
    }
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD table[256];
    } info{};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = static_cast<LONG>(decodedWidth);
    info.header.biHeight = static_cast<LONG>(decodedHeight);
    info.header.biPlanes = 1;
    info.header.biBitCount = static_cast<WORD>(choice.bits);
    info.header.biCompression = BI_RGB;
    void* dibBits = nullptr;
    unique_hbitmap dib(::CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info),
                                          DIB_RGB_COLORS, &dibBits, nullptr, 0));
    if (!dib || !dibBits) return E_FAIL;

    DIBSECTION section{};
    if (::GetObjectW(dib.get(), sizeof(section), &section) != sizeof(section)) return E_FAIL;
    const int width = section.dsBm.bmWidth;
    const int height = section.dsBm.bmHeight < 0 ? -section.dsBm.bmHeight : section.dsBm.bmHeight;
    const int bits = section.dsBm.bmBitsPixel;
    const int64_t stride = DibStride(width, bits);
    if (stride > INT_MAX) return E_FAIL;
    const int pitch = -static_cast<int>(stride);
    uint8_t* topRow = static_cast<uint8_t*>(section.dsBm.bmBits) + stride * (height - 1);

    if (IsIndexedFormat(format)) {
        const HRESULT copied = CopyPalette(gdip, decoded.get(), dib.get());
        if (FAILED(copied)) return copied;
    }

    if (choice.format == format) {
        const gdiplus::GpRect whole{0, 0, width, height};
        gdiplus::BitmapData data{};
        if (gdip->BitmapLockBits(decoded.get(), &whole, gdiplus::kImageLockModeRead, format,
                                 &data) != kOk) {
            return E_OUTOFMEMORY;
        }
        const size_t rowBytes = static_cast<size_t>(RowBytes(width, bits));
        const auto* source = static_cast<const uint8_t*>(data.Scan0);
        uint8_t* target = topRow;
        for (int y = 0; y < height; ++y) {
            std::memcpy(target, source, rowBytes);
            source += data.Stride;
            target += pitch;
        }
        gdip->BitmapUnlockBits(decoded.get(), &data);
    } else {
        gdiplus::GpBitmap* rawOverlay = nullptr;
        gdip->CreateBitmapFromScan0(width, height, pitch, choice.format, topRow, &rawOverlay);
        const unique_gpbitmap overlay(rawOverlay);
        gdiplus::GpGraphics* rawGraphics = nullptr;
        if (overlay) gdip->GetImageGraphicsContext(overlay.get(), &rawGraphics);
        const unique_gpgraphics graphics(rawGraphics);
        if (graphics) gdip->DrawImageI(graphics.get(), decoded.get(), 0, 0);
    }

    m_bitmap = std::move(dib);
    m_bits = topRow;
    m_width = width;
    m_height = height;
    m_bpp = bits;
    m_pitch = pitch;
    m_hasAlpha = choice.alpha;
    return S_OK;
}

HRESULT CImage::Save(const wchar_t* path, REFGUID fileType, const std::function<bool()>& nameTaken,
                     int quality) const {
    if (!g_codecGuard.EnsureStarted()) return E_FAIL;
    const gdiplus::FlatApi* gdip = gdiplus::Flat();

    UINT count = 0;
    UINT bytes = 0;
    if (gdip->GetImageEncodersSize(&count, &bytes) != kOk) return E_FAIL;
    const std::unique_ptr<uint8_t[]> buffer = AllocateBytes(bytes);
    if (!buffer) return E_OUTOFMEMORY;
    auto* encoders = reinterpret_cast<gdiplus::ImageCodecInfo*>(buffer.get());
    if (gdip->GetImageEncoders(count, bytes, encoders) != kOk) return E_FAIL;

    const gdiplus::ImageCodecInfo* codec = nullptr;
    if (IsEqualGUID(fileType, GUID_NULL)) {
        std::vector<const wchar_t*> patternLists;
        for (UINT i = 0; i < count; ++i) patternLists.push_back(encoders[i].FilenameExtension);
        const int chosen = ChooseEncoderByExtension(
            patternLists, ::PathFindExtensionW(path), [](const std::wstring& name) {
                return std::wstring(::PathFindExtensionW(name.c_str()));
            });
        if (chosen >= 0) codec = &encoders[chosen];
    } else {
        for (UINT i = 0; i < count && !codec; ++i) {
            if (IsEqualGUID(encoders[i].FormatID, fileType)) codec = &encoders[i];
        }
    }
    if (!codec) return E_FAIL;

    // An empty object has no picture to give the encoder.
    if (!m_bitmap) return E_FAIL;
    gdiplus::GpBitmap* rawWrapper = nullptr;
    if (m_hasAlpha) {
        // Made from the handle, GDI+ would read a 32-bit DIB as RGB and drop the alpha.
        gdip->CreateBitmapFromScan0(m_width, m_height, m_pitch, kPixelFormat32bppARGB,
                                    const_cast<uint8_t*>(m_bits), &rawWrapper);
    } else {
        gdip->CreateBitmapFromHBITMAP(m_bitmap.get(), nullptr, &rawWrapper);
    }
    const unique_gpbitmap wrapper(rawWrapper);
    if (!wrapper) return E_FAIL;
    // Written into a file created for it: GDI+ saving to a path truncates whatever file it
    // finds there, and leaves a cut one behind when the disk fills.
    unique_hfile file = CreateNewFile(path, GENERIC_READ | GENERIC_WRITE | DELETE, nameTaken);
    if (!file) return ::GetLastError() == ERROR_FILE_EXISTS ? HRESULT_FROM_WIN32(ERROR_FILE_EXISTS) : E_FAIL;
    bool saved = false;
    {
        const unique_istream stream(NewFileStream(file.get()));
        ULONG qualityValue = static_cast<ULONG>(quality);
        const gdiplus::EncoderParameters parameters{
            1, {{gdiplus::kEncoderQuality, 1, gdiplus::kEncoderParameterValueTypeLong, &qualityValue}}};
        // Other encoders than JPEG's refuse a quality.
        constexpr GUID kJpegFormat = {0xb96b3cae, 0x0728, 0x11d3, {0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
        const bool jpeg = IsEqualGUID(codec->FormatID, kJpegFormat) != FALSE;
        saved = gdip->SaveImageToStream(wrapper.get(), stream.get(), &codec->Clsid,
                                        quality > 0 && jpeg ? &parameters : nullptr) == kOk;
    }
    if (saved && file.close_checked()) return S_OK;
    DiscardNewFile(file, path);
    return E_FAIL;
}

}  // namespace tavelin
