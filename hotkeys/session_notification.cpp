#include "hotkeys/session_notification.h"

#include <wtsapi32.h>

#include "framework/system_dlls.h"

namespace tavelin {

namespace {

// wtsapi32 is no KnownDLL: imported, Windows would look for it in the program's folder first.
struct WtsFunctions {
    decltype(&::WTSRegisterSessionNotification) registerFor = nullptr;
    decltype(&::WTSUnRegisterSessionNotification) unregister = nullptr;
};

const WtsFunctions& Wts() {
    static const WtsFunctions functions = [] {
        HMODULE wts = LoadSystemDll(L"wtsapi32.dll");
        WtsFunctions found;
        found.registerFor = FindExport<decltype(found.registerFor)>(wts, "WTSRegisterSessionNotification");
        found.unregister = FindExport<decltype(found.unregister)>(wts, "WTSUnRegisterSessionNotification");
        return found;
    }();
    return functions;
}

}  // namespace

bool SessionNotification::Register(HWND window) {
    reset();
    const WtsFunctions& wts = Wts();
    if (!wts.registerFor || !wts.unregister || !wts.registerFor(window, NOTIFY_FOR_THIS_SESSION)) {
        return false;
    }
    m_window = window;
    return true;
}

void SessionNotification::reset() {
    if (m_window) Wts().unregister(m_window);
    m_window = nullptr;
}

}  // namespace tavelin
