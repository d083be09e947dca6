// Turns a screen rectangle into a numbered capture file.
#pragma once

#include <windows.h>

namespace tavelin {

class CScreenCapture {
public:
    // Copies the rectangle off the display and saves it as folder\name-n.jpg, by way of a
    // temporary folder\name-n.bmp that is deleted again, with the folder and base name read
    // afresh from the settings, and n the next number under which neither file exists.
    void CaptureAndSave(const RECT& rect);

    // Writes the bitmap, read through the device context it is selected into, as an
    // uncompressed BMP file; failures are shown in a message box and not returned.
    void writeBMP(HBITMAP bitmap, HDC deviceContext, const wchar_t* filePath);
};

// The one capture object every hotkey uses.
extern CScreenCapture g_screenCapture;

}  // namespace tavelin
