// The picture of one capture on its way from the temporary BMP to the JPEG file: decoded by
// GDI+, held in a DIB section, and encoded by the GDI+ encoder that lists the target's
// extension.
#pragma once

#include <windows.h>
#include <cguid.h>  // GUID_NULL

#include <cstdint>
#include <functional>

#include "framework/unique_handles.h"

namespace tavelin {

class CImage {
public:
    // An empty image; the codec stays running for as long as any image object lives.
    CImage();
    ~CImage();
    CImage(const CImage&) = delete;
    CImage& operator=(const CImage&) = delete;

    // Decodes the file into a new DIB section. S_OK, E_FAIL or E_OUTOFMEMORY; whatever goes
    // wrong leaves the object empty, so that a later Save cannot write a blank or half-copied
    // picture as if the load had worked.
    HRESULT Load(const wchar_t* path);

    // Encodes the picture into a file created for it where no file stands, whole or not at
    // all. GUID_NULL chooses the encoder by the extension of the path; any other value
    // chooses the encoder of that file format. `quality` (1 to 100) is the JPEG encoder's;
    // 0, and every other parameter, are the encoder's defaults. Where a file stands under the
    // name, `nameTaken` may write another name into path's buffer and return true to have it
    // tried; without it, or when names keep being taken, the result is
    // HRESULT_FROM_WIN32(ERROR_FILE_EXISTS).
    HRESULT Save(const wchar_t* path, REFGUID fileType = GUID_NULL,
                 const std::function<bool()>& nameTaken = {}, int quality = 0) const;

    bool IsNull() const { return !m_bitmap; }
    HBITMAP GetHandle() const { return m_bitmap.get(); }
    // The top row; rows follow each other `GetPitch()` bytes apart (negative: bottom-up).
    const uint8_t* GetBits() const { return m_bits; }
    int GetPitch() const { return m_pitch; }
    int GetWidth() const { return m_width; }
    int GetHeight() const { return m_height; }
    int GetBPP() const { return m_bpp; }
    bool HasAlpha() const { return m_hasAlpha; }

private:
    void Destroy();

    unique_hbitmap m_bitmap;
    uint8_t* m_bits = nullptr;
    int m_width = 0;
    int m_height = 0;
    int m_bpp = 0;
    int m_pitch = 0;
    bool m_hasAlpha = false;
};

// What the process-wide codec start-up guard holds, for tests to observe the codec's life.
struct CodecGuardState {
    bool started = false;  // the codec is running
    int liveImages = 0;    // image objects alive right now
    int startups = 0;      // times the codec was started in this process
    int shutdowns = 0;     // times it was shut down
};
CodecGuardState ReadCodecGuard();

}  // namespace tavelin
