// Move-only owners for the Win32 resources the program acquires, one per cleanup call.
//
// Each owner type keeps a count of the resources it holds right now, so that the leak tests
// see every capture give back what it took: Wine reports no handle counts (docs/testing.md,
// What Wine cannot report).
#pragma once

#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <utility>

#include "framework/gdiplus_flat.h"

namespace tavelin {

template <typename Traits>
class unique_any {
public:
    using pointer = typename Traits::pointer;

    unique_any() noexcept = default;
    explicit unique_any(pointer value) noexcept : m_value(value) { Count(); }
    ~unique_any() { reset(); }

    unique_any(unique_any&& other) noexcept : m_value(other.release()) { Count(); }
    unique_any& operator=(unique_any&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    unique_any(const unique_any&) = delete;
    unique_any& operator=(const unique_any&) = delete;

    pointer get() const noexcept { return m_value; }
    bool is_valid() const noexcept { return m_value != Traits::Invalid(); }
    explicit operator bool() const noexcept { return is_valid(); }

    // Gives up ownership without closing.
    pointer release() noexcept {
        if (is_valid()) --s_live;
        return std::exchange(m_value, Traits::Invalid());
    }

    void reset(pointer value = Traits::Invalid()) noexcept {
        pointer old = release();
        if (old != Traits::Invalid()) Traits::Close(old);
        m_value = value;
        Count();
    }

    // Closes now and reports whether the cleanup call succeeded, for the few places where a
    // failed close means something (a file whose last buffered write did not reach the disk).
    bool close_checked() noexcept {
        if (!is_valid()) return true;
        return Traits::Close(release());
    }

    // Resources of this type alive in the process right now.
    static int Live() noexcept { return s_live.load(); }

private:
    void Count() noexcept {
        if (is_valid()) ++s_live;
    }

    pointer m_value = Traits::Invalid();
    static inline std::atomic<int> s_live{0};
};

namespace traits {
struct hdc {
    using pointer = HDC;
    static pointer Invalid() { return nullptr; }
    static bool Close(pointer p) { return ::DeleteDC(p) != FALSE; }
};
struct hgdiobj {
    using pointer = HGDIOBJ;
    static pointer Invalid() { return nullptr; }
    static bool Close(pointer p) { return ::DeleteObject(p) != FALSE; }
};
struct hbitmap {
    using pointer = HBITMAP;
    static pointer Invalid() { return nullptr; }
    static bool Close(pointer p) { return ::DeleteObject(p) != FALSE; }
};
struct hrgn {
    using pointer = HRGN;
    static pointer Invalid() { return nullptr; }
    static bool Close(pointer p) { return ::DeleteObject(p) != FALSE; }
};
struct hkey {
    using pointer = HKEY;
    static pointer Invalid() { return nullptr; }
    static bool Close(pointer p) { return ::RegCloseKey(p) == ERROR_SUCCESS; }
};
struct hmenu {
    using pointer = HMENU;
    static pointer Invalid() { return nullptr; }
    static bool Close(pointer p) { return ::DestroyMenu(p) != FALSE; }
};
struct hhook {
    using pointer = HHOOK;
    static pointer Invalid() { return nullptr; }
    static bool Close(pointer p) { return ::UnhookWindowsHookEx(p) != FALSE; }
};
struct hicon {
    using pointer = HICON;
    static pointer Invalid() { return nullptr; }
    static bool Close(pointer p) { return ::DestroyIcon(p) != FALSE; }
};
struct hwineventhook {
    using pointer = HWINEVENTHOOK;
    static pointer Invalid() { return nullptr; }
    static bool Close(pointer p) { return ::UnhookWinEvent(p) != FALSE; }
};
// CreateFileW reports failure as INVALID_HANDLE_VALUE, not as null.
struct hfile {
    using pointer = HANDLE;
    static pointer Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Close(pointer p) { return ::CloseHandle(p) != FALSE; }
};
struct handle {
    using pointer = HANDLE;
    static pointer Invalid() { return nullptr; }
    static bool Close(pointer p) { return ::CloseHandle(p) != FALSE; }
};
struct hlocal {
    using pointer = HLOCAL;
    static pointer Invalid() { return nullptr; }
    static bool Close(pointer p) { return ::LocalFree(p) == nullptr; }
};
struct hglobal {
    using pointer = HGLOBAL;
    static pointer Invalid() { return nullptr; }
    static bool Close(pointer p) { return ::GlobalFree(p) == nullptr; }
};
struct cotaskmem {
    using pointer = void*;
    static pointer Invalid() { return nullptr; }
    static bool Close(pointer p) {
        ::CoTaskMemFree(p);
        return true;
    }
};
struct istream {
    using pointer = IStream*;
    static pointer Invalid() { return nullptr; }
    static bool Close(pointer p) {
        p->Release();
        return true;
    }
};
// Codec bitmaps and graphics of GDI+; all must be gone before the codec shuts down. Only made
// where GDI+ could be had.
struct gpbitmap {
    using pointer = gdiplus::GpBitmap*;
    static pointer Invalid() { return nullptr; }
    static bool Close(pointer p) { return gdiplus::Flat()->DisposeImage(p) == gdiplus::kOk; }
};
struct gpgraphics {
    using pointer = gdiplus::GpGraphics*;
    static pointer Invalid() { return nullptr; }
    static bool Close(pointer p) { return gdiplus::Flat()->DeleteGraphics(p) == gdiplus::kOk; }
};
}  // namespace traits

using unique_hdc = unique_any<traits::hdc>;          // DeleteDC
using unique_hgdiobj = unique_any<traits::hgdiobj>;  // DeleteObject
using unique_hbitmap = unique_any<traits::hbitmap>;  // DeleteObject
using unique_hrgn = unique_any<traits::hrgn>;        // DeleteObject
using unique_hkey = unique_any<traits::hkey>;        // RegCloseKey
using unique_hmenu = unique_any<traits::hmenu>;      // DestroyMenu
using unique_hhook = unique_any<traits::hhook>;      // UnhookWindowsHookEx
using unique_hwineventhook = unique_any<traits::hwineventhook>;  // UnhookWinEvent
using unique_hicon = unique_any<traits::hicon>;      // DestroyIcon
using unique_hfile = unique_any<traits::hfile>;      // CloseHandle, INVALID_HANDLE_VALUE when empty
using unique_handle = unique_any<traits::handle>;    // CloseHandle, null when empty
using unique_hlocal = unique_any<traits::hlocal>;    // LocalFree
using unique_hglobal = unique_any<traits::hglobal>;  // GlobalFree
using unique_cotaskmem = unique_any<traits::cotaskmem>;    // CoTaskMemFree
using unique_istream = unique_any<traits::istream>;        // IStream::Release
using unique_gpbitmap = unique_any<traits::gpbitmap>;      // GdipDisposeImage
using unique_gpgraphics = unique_any<traits::gpgraphics>;  // GdipDeleteGraphics

// A device context from GetDC/GetWindowDC, which must go back through ReleaseDC with its window.
class unique_window_dc {
public:
    unique_window_dc() noexcept = default;
    unique_window_dc(HWND window, HDC dc) noexcept : m_window(window), m_dc(dc) {
        if (m_dc) ++s_live;
    }
    ~unique_window_dc() { reset(); }
    unique_window_dc(unique_window_dc&& other) noexcept
        : m_window(other.m_window), m_dc(std::exchange(other.m_dc, nullptr)) {}
    unique_window_dc& operator=(unique_window_dc&& other) noexcept {
        if (this != &other) {
            reset();
            m_window = other.m_window;
            m_dc = std::exchange(other.m_dc, nullptr);
        }
        return *this;
    }
    unique_window_dc(const unique_window_dc&) = delete;
    unique_window_dc& operator=(const unique_window_dc&) = delete;

    HDC get() const noexcept { return m_dc; }
    explicit operator bool() const noexcept { return m_dc != nullptr; }
    void reset() noexcept {
        if (m_dc) {
            ::ReleaseDC(m_window, std::exchange(m_dc, nullptr));
            --s_live;
        }
    }
    static int Live() noexcept { return s_live.load(); }

private:
    HWND m_window = nullptr;
    HDC m_dc = nullptr;
    static inline std::atomic<int> s_live{0};
};

// Puts back the object that a SelectObject displaced, so that the selected one can be deleted:
// GDI refuses to delete a bitmap that is still selected into a device context.
class unique_select {
public:
    unique_select() noexcept = default;
    unique_select(HDC dc, HGDIOBJ object) noexcept : m_dc(dc) {
        HGDIOBJ previous = ::SelectObject(dc, object);
        if (previous && previous != HGDI_ERROR) {
            m_previous = previous;
            ++s_live;
        }
    }
    ~unique_select() { reset(); }
    unique_select(unique_select&& other) noexcept
        : m_dc(other.m_dc), m_previous(std::exchange(other.m_previous, nullptr)) {}
    unique_select& operator=(unique_select&& other) noexcept {
        if (this != &other) {
            reset();
            m_dc = other.m_dc;
            m_previous = std::exchange(other.m_previous, nullptr);
        }
        return *this;
    }
    unique_select(const unique_select&) = delete;
    unique_select& operator=(const unique_select&) = delete;

    explicit operator bool() const noexcept { return m_previous != nullptr; }
    void reset() noexcept {
        if (m_previous) {
            ::SelectObject(m_dc, std::exchange(m_previous, nullptr));
            --s_live;
        }
    }
    static int Live() noexcept { return s_live.load(); }

private:
    HDC m_dc = nullptr;
    HGDIOBJ m_previous = nullptr;
    static inline std::atomic<int> s_live{0};
};

}  // namespace tavelin
