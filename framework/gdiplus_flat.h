// The entries of GDI+'s flat interface that Tavelin uses, declared as gdiplus.dll exports
// them. MinGW's own GDI+ headers pull in the C++ wrapper classes, which do not build cleanly
// with our warnings as errors; these few declarations are all the program needs.
//
// gdiplus is no KnownDLL on Windows 7: imported, it would be taken from the program's folder
// before the program's first line runs. The program reaches the functions through Flat(),
// looked up at the first use from the system folder, and never by name; the declarations
// give their types (the benchmark and the tests link gdiplus and call them by name).
#pragma once

#include <windows.h>
#include <objidl.h>  // IStream

#include <cstdint>

namespace tavelin::gdiplus {

// Opaque codec objects; a bitmap is an image to every call that takes one.
struct GpImage {};
struct GpBitmap : GpImage {};
struct GpGraphics {};

using Status = int;  // 0 is Ok
using ARGB = uint32_t;

inline constexpr Status kOk = 0;
inline constexpr UINT kImageLockModeRead = 1;

struct GdiplusStartupInput {
    UINT32 GdiplusVersion;
    void* DebugEventCallback;
    BOOL SuppressBackgroundThread;
    BOOL SuppressExternalCodecs;
};

struct GpRect {
    INT X, Y, Width, Height;
};

struct BitmapData {
    UINT Width;
    UINT Height;
    INT Stride;
    INT PixelFormat;
    void* Scan0;
    UINT_PTR Reserved;
};

struct ColorPalette {
    UINT Flags;
    UINT Count;
    ARGB Entries[1];  // Count entries follow
};

struct ImageCodecInfo {
    CLSID Clsid;
    GUID FormatID;
    const WCHAR* CodecName;
    const WCHAR* DllName;
    const WCHAR* FormatDescription;
    const WCHAR* FilenameExtension;
    const WCHAR* MimeType;
    DWORD Flags;
    DWORD Version;
    DWORD SigCount;
    DWORD SigSize;
    const BYTE* SigPattern;
    const BYTE* SigMask;
};

struct EncoderParameter {
    GUID Guid;
    ULONG NumberOfValues;
    ULONG Type;  // 4: ULONG values
    void* Value;
};
struct EncoderParameters {
    UINT Count;
    EncoderParameter Parameter[1];
};
inline constexpr ULONG kEncoderParameterValueTypeLong = 4;
// The JPEG encoder's quality, 0 to 100.
inline constexpr GUID kEncoderQuality = {0x1d5be4b5, 0xfa4a, 0x452d, {0x9c, 0xdd, 0x5d, 0xb3, 0x51, 0x05, 0xe7, 0xeb}};

}  // namespace tavelin::gdiplus

extern "C" {
int WINAPI GdiplusStartup(ULONG_PTR* token, const tavelin::gdiplus::GdiplusStartupInput* input,
                          void* output);
void WINAPI GdiplusShutdown(ULONG_PTR token);
int WINAPI GdipCreateBitmapFromFile(const WCHAR* file, tavelin::gdiplus::GpBitmap** bitmap);
int WINAPI GdipCreateBitmapFromScan0(INT width, INT height, INT stride, INT format, BYTE* scan0,
                                     tavelin::gdiplus::GpBitmap** bitmap);
int WINAPI GdipCreateBitmapFromHBITMAP(HBITMAP hbitmap, HPALETTE palette,
                                       tavelin::gdiplus::GpBitmap** bitmap);
int WINAPI GdipDisposeImage(tavelin::gdiplus::GpImage* image);
int WINAPI GdipGetImagePixelFormat(tavelin::gdiplus::GpImage* image, INT* format);
int WINAPI GdipGetImageWidth(tavelin::gdiplus::GpImage* image, UINT* width);
int WINAPI GdipGetImageHeight(tavelin::gdiplus::GpImage* image, UINT* height);
int WINAPI GdipGetImagePaletteSize(tavelin::gdiplus::GpImage* image, INT* size);
int WINAPI GdipGetImagePalette(tavelin::gdiplus::GpImage* image,
                               tavelin::gdiplus::ColorPalette* palette, INT size);
int WINAPI GdipBitmapLockBits(tavelin::gdiplus::GpBitmap* bitmap,
                              const tavelin::gdiplus::GpRect* rect, UINT flags, INT format,
                              tavelin::gdiplus::BitmapData* data);
int WINAPI GdipBitmapUnlockBits(tavelin::gdiplus::GpBitmap* bitmap,
                                tavelin::gdiplus::BitmapData* data);
int WINAPI GdipGetImageGraphicsContext(tavelin::gdiplus::GpImage* image,
                                       tavelin::gdiplus::GpGraphics** graphics);
int WINAPI GdipDrawImageI(tavelin::gdiplus::GpGraphics* graphics, tavelin::gdiplus::GpImage* image,
                          INT x, INT y);
int WINAPI GdipDeleteGraphics(tavelin::gdiplus::GpGraphics* graphics);
int WINAPI GdipGetImageEncodersSize(UINT* count, UINT* size);
int WINAPI GdipGetImageEncoders(UINT count, UINT size, tavelin::gdiplus::ImageCodecInfo* encoders);
int WINAPI GdipSaveImageToFile(tavelin::gdiplus::GpImage* image, const WCHAR* file,
                               const CLSID* encoder,
                               const tavelin::gdiplus::EncoderParameters* parameters);
int WINAPI GdipSaveImageToStream(tavelin::gdiplus::GpImage* image, IStream* stream,
                                 const CLSID* encoder,
                                 const tavelin::gdiplus::EncoderParameters* parameters);
}

namespace tavelin::gdiplus {

struct FlatApi {
    decltype(&::GdiplusStartup) Startup;
    decltype(&::GdiplusShutdown) Shutdown;
    decltype(&::GdipCreateBitmapFromFile) CreateBitmapFromFile;
    decltype(&::GdipCreateBitmapFromScan0) CreateBitmapFromScan0;
    decltype(&::GdipCreateBitmapFromHBITMAP) CreateBitmapFromHBITMAP;
    decltype(&::GdipDisposeImage) DisposeImage;
    decltype(&::GdipGetImagePixelFormat) GetImagePixelFormat;
    decltype(&::GdipGetImageWidth) GetImageWidth;
    decltype(&::GdipGetImageHeight) GetImageHeight;
    decltype(&::GdipGetImagePaletteSize) GetImagePaletteSize;
    decltype(&::GdipGetImagePalette) GetImagePalette;
    decltype(&::GdipBitmapLockBits) BitmapLockBits;
    decltype(&::GdipBitmapUnlockBits) BitmapUnlockBits;
    decltype(&::GdipGetImageGraphicsContext) GetImageGraphicsContext;
    decltype(&::GdipDrawImageI) DrawImageI;
    decltype(&::GdipDeleteGraphics) DeleteGraphics;
    decltype(&::GdipGetImageEncodersSize) GetImageEncodersSize;
    decltype(&::GdipGetImageEncoders) GetImageEncoders;
    decltype(&::GdipSaveImageToStream) SaveImageToStream;
};

// GDI+'s functions from gdiplus.dll in the system folder, looked up at the first call; null
// when the DLL or any of them cannot be had.
const FlatApi* Flat();

}  // namespace tavelin::gdiplus
