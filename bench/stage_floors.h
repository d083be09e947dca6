// The least each capture stage must cost: the platform calls the stage has to make, timed
// without any code of ours around them, and the direct path that the pipeline is held
// against (the same screen copy, then the same GDI+ JPEG encoder fed straight from the
// captured bitmap, with no file in between).
#pragma once

#include <windows.h>

#include <string>

#include "framework/unique_handles.h"

namespace tavelin::bench {

// The header of an uncompressed 32-bit DIB; a negative height makes it top-down.
BITMAPINFOHEADER TrueColorHeader(int width, int height);

// One capture made of platform calls only, stage by stage like the pipeline's.
struct FloorJob {
    std::wstring bmpPath;
    std::wstring jpgPath;
    std::wstring pngPath;
    ULONG_PTR codecToken = 0;
    bool codecStarted = false;
    unique_hdc display;
    unique_hdc memory;
    unique_hbitmap bitmap;
    unique_select selected;
    unique_hglobal pixels;  // allocated untouched at the start of the BMP stage
    unique_hbitmap dib;     // the decoded picture, as the pipeline's image holds it
    void* dibBits = nullptr;
    int width = 0;
    int height = 0;
};

// CreateDC, CreateCompatibleDC, CreateCompatibleBitmap, SelectObject, BitBlt.
void FloorCopyScreen(const RECT& rect, FloorJob& job);
// The settings key opened, the folder, the name, the clipboard choice, the file type and the
// JPEG quality read, and closed; the BMP's and both picture types' names looked up on disk.
void FloorReadNames(FloorJob& job);
// The block for the pixels, untouched: the page faults of its first use stay in the floor,
// as they do in the pipeline's own BMP stage.
bool FloorAllocatePixels(FloorJob& job);
// GetDIBits, CreateFile, the three WriteFile calls, CloseHandle; the block freed, the
// bitmap deselected, both DCs and the bitmap deleted.
bool FloorWriteBmp(FloorJob& job);
// GdiplusStartup, GdipCreateBitmapFromFile, CreateDIBSection, and GdipBitmapLockBits into
// the DIB's own bits (the codec does the copy), unlock, dispose.
bool FloorLoadBmp(FloorJob& job);
// The encoder list, GdipCreateBitmapFromHBITMAP, GdipSaveImageToFile, dispose: with the
// JPEG encoder, at its own quality (0) or the one given, or with the PNG encoder.
bool FloorSaveJpeg(FloorJob& job, int quality = 0);
bool FloorSavePng(FloorJob& job);
// DeleteFile, the decoded picture's DIB deleted, GdiplusShutdown.
void FloorDeleteAndRelease(FloorJob& job);

// The direct path after the screen copy: GdiplusStartup, the encoder list,
// GdipCreateBitmapFromHBITMAP of the captured bitmap, GdipSaveImageToFile, dispose, shutdown.
bool EncodeDirect(HBITMAP captured, const std::wstring& jpgPath);

}  // namespace tavelin::bench
