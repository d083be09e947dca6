#include "framework/gdiplus_flat.h"

#include <optional>

#include "framework/system_dlls.h"

namespace tavelin::gdiplus {

namespace {

template <typename Fn>
bool Find(HMODULE dll, const char* name, Fn& function) {
    function = FindExport<Fn>(dll, name);
    return function != nullptr;
}

}  // namespace

const FlatApi* Flat() {
    static const std::optional<FlatApi> api = []() -> std::optional<FlatApi> {
        const HMODULE dll = LoadSystemDll(L"gdiplus.dll");
        FlatApi f{};
        const bool found =
            Find(dll, "GdiplusStartup", f.Startup) && Find(dll, "GdiplusShutdown", f.Shutdown) &&
            Find(dll, "GdipCreateBitmapFromFile", f.CreateBitmapFromFile) &&
            Find(dll, "GdipCreateBitmapFromScan0", f.CreateBitmapFromScan0) &&
            Find(dll, "GdipCreateBitmapFromHBITMAP", f.CreateBitmapFromHBITMAP) &&
            Find(dll, "GdipDisposeImage", f.DisposeImage) &&
            Find(dll, "GdipGetImagePixelFormat", f.GetImagePixelFormat) &&
            Find(dll, "GdipGetImageWidth", f.GetImageWidth) &&
            Find(dll, "GdipGetImageHeight", f.GetImageHeight) &&
            Find(dll, "GdipGetImagePaletteSize", f.GetImagePaletteSize) &&
            Find(dll, "GdipGetImagePalette", f.GetImagePalette) &&
            Find(dll, "GdipBitmapLockBits", f.BitmapLockBits) &&
            Find(dll, "GdipBitmapUnlockBits", f.BitmapUnlockBits) &&
            Find(dll, "GdipGetImageGraphicsContext", f.GetImageGraphicsContext) &&
            Find(dll, "GdipDrawImageI", f.DrawImageI) &&
            Find(dll, "GdipDeleteGraphics", f.DeleteGraphics) &&
            Find(dll, "GdipGetImageEncodersSize", f.GetImageEncodersSize) &&
            Find(dll, "GdipGetImageEncoders", f.GetImageEncoders) &&
            Find(dll, "GdipSaveImageToStream", f.SaveImageToStream);
        if (!found) return std::nullopt;
        return f;
    }();
    return api ? &*api : nullptr;
}

}  // namespace tavelin::gdiplus
