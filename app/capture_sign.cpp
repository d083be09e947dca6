#include "app/capture_sign.h"

#include <shellapi.h>

#include <vector>

#include "framework/system_dlls.h"

namespace tavelin {

namespace {

constexpr wchar_t kSignClass[] = L"TavelinCaptureSign";
constexpr UINT kShowMs = 200;
constexpr BYTE kDimAlpha = 80;  // black at about a third

bool SignWanted() {
    BOOL animations = TRUE;
    if (::SystemParametersInfoW(SPI_GETCLIENTAREAANIMATION, 0, &animations, 0) && !animations) return false;
    QUERY_USER_NOTIFICATION_STATE state{};
    if (SUCCEEDED(::SHQueryUserNotificationState(&state)) &&
        (state == QUNS_BUSY || state == QUNS_RUNNING_D3D_FULL_SCREEN || state == QUNS_PRESENTATION_MODE))
        return false;
    return true;
}

ATOM SignClass() {
    static const ATOM atom = [] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = ::DefWindowProcW;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
        windowClass.lpszClassName = kSignClass;
        return ::RegisterClassW(&windowClass);
    }();
    return atom;
}

constexpr DWORD kRedrawWaitMs = 300;  // for the windows beneath, where nothing composes the screen
constexpr int kSamplesASide = 8;

// Whether a desktop manager composes the screen (from Windows 8 on, always; never Wine: see
// docs/testing.md, What Wine does differently): a window that goes is gone at its next frame.
bool ScreenComposed() {
    using IsCompositionEnabled = HRESULT(WINAPI*)(BOOL*);
    static const auto composing =
        FindExport<IsCompositionEnabled>(LoadSystemDll(L"dwmapi.dll"), "DwmIsCompositionEnabled");
    static const bool wine = ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    BOOL composed = FALSE;
    return !wine && composing && SUCCEEDED(composing(&composed)) && composed;
}

// A grid of points of `rect` as the screen shows them.
std::vector<COLORREF> Samples(const RECT& rect) {
    std::vector<COLORREF> samples;
    const HDC screen = ::GetDC(nullptr);
    if (!screen) return samples;
    const LONG width = rect.right - rect.left, height = rect.bottom - rect.top;
    for (int row = 0; row < kSamplesASide; ++row)
        for (int column = 0; column < kSamplesASide; ++column)
            samples.push_back(::GetPixel(screen, rect.left + width * (2 * column + 1) / (2 * kSamplesASide),
                                         rect.top + height * (2 * row + 1) / (2 * kSamplesASide)));
    ::ReleaseDC(nullptr, screen);
    return samples;
}

// Windows 10 2004 and later leave such a window out of what is copied from the screen, so a
// capture never holds it, gone or not. Earlier ones refuse the affinity; it needs composition.
bool LeaveOutOfCaptures(HWND window) {
    constexpr DWORD kExcludeFromCapture = 0x11;  // WDA_EXCLUDEFROMCAPTURE
    DWORD affinity = 0;
    return ScreenComposed() && ::SetWindowDisplayAffinity(window, kExcludeFromCapture) &&
           ::GetWindowDisplayAffinity(window, &affinity) && affinity == kExcludeFromCapture;
}

// Returns once the screen no longer shows the sign, `shown` being the points of it that the
// screen showed. Without a desktop manager the windows beneath must draw their part again;
// they are asked to, and waited for until every point has changed, or for a while where some
// do not: those may be as dark as the sign was. Nothing sent to this thread is answered
// meanwhile: a tray click or a key handled inside the wait would run in the middle of a
// capture.
void WaitUntilUncovered(const RECT& covered, const std::vector<COLORREF>& shown) {
    if (ScreenComposed()) {
        using Flush = HRESULT(WINAPI*)();
        static const auto flush = FindExport<Flush>(LoadSystemDll(L"dwmapi.dll"), "DwmFlush");
        if (flush) flush();
        return;
    }
    // Lets Wine tell the X server the sign went: see docs/testing.md, What Wine does differently.
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT);
    ::RedrawWindow(nullptr, &covered, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    const DWORD start = ::GetTickCount();
    for (;;) {
        const std::vector<COLORREF> now = Samples(covered);
        bool changed = now.size() == shown.size();
        for (size_t i = 0; changed && i < now.size(); ++i) changed = now[i] != shown[i];
        if (changed || ::GetTickCount() - start > kRedrawWaitMs) return;
        ::Sleep(5);
    }
}

}  // namespace

void CaptureSign::Show(HWND owner, UINT_PTR timerId, const RECT& rect) {
    Remove();
    if (!SignWanted() || !SignClass()) return;
    // Layered and transparent, it takes no clicks; a tool window that never activates, it
    // takes neither the foreground nor a taskbar button.
    m_window = ::CreateWindowExW(WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE,
                                 kSignClass, L"", WS_POPUP, rect.left, rect.top, rect.right - rect.left,
                                 rect.bottom - rect.top, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!m_window) return;
    ::SetLayeredWindowAttributes(m_window, 0, kDimAlpha, LWA_ALPHA);
    m_leftOutOfCaptures = LeaveOutOfCaptures(m_window);
    ::ShowWindow(m_window, SW_SHOWNOACTIVATE);
    m_owner = owner;
    m_timerId = timerId;
    ::SetTimer(owner, timerId, kShowMs, nullptr);
}

void CaptureSign::Remove() {
    if (!m_window) return;
    RECT covered{};
    ::GetWindowRect(m_window, &covered);
    const bool wait = !m_leftOutOfCaptures;
    const std::vector<COLORREF> shown = wait && !ScreenComposed() ? Samples(covered) : std::vector<COLORREF>{};
    ::KillTimer(m_owner, m_timerId);
    ::DestroyWindow(m_window);
    m_window = nullptr;
    if (wait) WaitUntilUncovered(covered, shown);
}

}  // namespace tavelin
