// Turns a screen rectangle into a numbered capture file.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "capture/capture_names.h"
#include "capture/image.h"
#include "framework/unique_handles.h"
#include "settings/settings_store.h"

namespace tavelin {

// How writeBMP ended.
enum class BmpWrite {
    Whole,       // every block written (a failed close is shown, and the file used as it is)
    NotCreated,  // shown in a message box; no file was made
    Partial,     // shown in a message box; the file made holds what was written before
};

// What one capture holds on its way from the screen to its JPEG or PNG file.
struct CaptureJob {
    // Declared first so that it goes last: its destruction shuts the codec down, after the
    // capture's own GDI objects are released.
    std::optional<CImage> image;
    unique_hdc display;
    unique_hdc memory;
    unique_hbitmap bitmap;
    unique_select selected;
    wchar_t bmpName[kCaptureNameChars] = {};
    wchar_t imageName[kCaptureNameChars] = {};
    BmpWrite bmpWritten = BmpWrite::NotCreated;
    bool imageSaved = false;
    bool copyToClipboard = false;  // as the settings said when the names were chosen
    CaptureFormat format;          // the same
    bool namesFit = false;         // the names are whole, and Windows can open them
};

class CScreenCapture {
public:
    // Copies the rectangle off the display and saves it as folder\name-n.jpg (or .png), by way
    // of a temporary folder\name-n.bmp that is deleted again, with the folder, base name and
    // file type read afresh from the settings, and n the next number under which no BMP, JPEG
    // or PNG exists. Where the picture cannot be saved, the whole BMP is kept and a message
    // names it. Where the settings say so, a saved capture also goes to the clipboard. True
    // once the picture is saved.
    bool CaptureAndSave(const RECT& rect);

    // The stages CaptureAndSave runs, in its order, one after the other on the same job.
    // They are public so that the benchmark times this very code, stage by stage.
    // CopyScreen returns false, and does nothing, for a rectangle without area.
    bool CopyScreen(const RECT& rect, CaptureJob& job);
    void ReserveNames(CaptureJob& job);
    void WriteTemporaryBmp(CaptureJob& job);
    void LoadTemporaryBmp(CaptureJob& job);
    void SaveImage(CaptureJob& job);
    void CopyToClipboard(CaptureJob& job);
    void DeleteAndRelease(CaptureJob& job);

    // The window that owns what a capture puts on the clipboard; none, nothing is put there.
    void SetClipboardOwner(HWND window) { m_clipboardOwner = window; }
    // The folder the next capture goes to, as it reads the settings.
    std::wstring NextCaptureFolder() const;
    // This run's last saved picture, or an empty text.
    const std::wstring& LastCapture() const { return m_lastCapture; }

    // Writes the bitmap, read through the device context it is selected into, as an
    // uncompressed BMP file under a name where no file stands yet; failures are shown in a
    // message box. Says how it ended, so that the capture knows what it holds. Where a file
    // stands under the name, `nameTaken` may write another name into filePath's buffer and
    // return true to have it tried; without it, the name taken is a failure to create.
    BmpWrite writeBMP(HBITMAP bitmap, HDC deviceContext, const wchar_t* filePath,
                      const std::function<bool()>& nameTaken = {});

private:
    HWND m_clipboardOwner = nullptr;
    std::wstring m_lastCapture;
};

// The one capture object every hotkey uses.
extern CScreenCapture g_screenCapture;

}  // namespace tavelin
