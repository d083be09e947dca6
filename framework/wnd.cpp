#include "framework/wnd.h"

#include "framework/dialog.h"
#include "framework/win_app.h"

namespace tavelin {

const MessageMapEntry* MessageMap::Find(UINT message, WPARAM wParam) const {
    for (const MessageMap* map = this; map; map = map->base) {
        for (size_t i = 0; i < map->count; ++i) {
            const MessageMapEntry& entry = map->entries[i];
            if (entry.message != message) continue;
            if (message != WM_COMMAND ||
                (entry.id == LOWORD(wParam) && entry.code == HIWORD(wParam))) {
                return &entry;
            }
        }
    }
    return nullptr;
}

const MessageMap* CCmdTarget::GetMessageMap() const { return nullptr; }

const CRuntimeClass CCmdTarget::classCCmdTarget{"CCmdTarget", nullptr};
const CRuntimeClass CDialog::classCDialog{"CDialog", &CCmdTarget::classCCmdTarget};

const CRuntimeClass* CCmdTarget::GetRuntimeClass() const { return &classCCmdTarget; }
const CRuntimeClass* CDialog::GetRuntimeClass() const { return &classCDialog; }

bool CCmdTarget::IsKindOf(const CRuntimeClass* runtimeClass) const {
    for (const CRuntimeClass* c = GetRuntimeClass(); c; c = c->m_pBaseClass)
        if (c == runtimeClass) return true;
    return false;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (const MessageMap* map = GetMessageMap()) {
        if (const MessageMapEntry* entry = map->Find(message, wParam)) {
            return entry->invoke(*this, wParam, lParam);
        }
    }
    // Commands no window takes go to the application object, as the help command does.
    if (message == WM_COMMAND) {
        if (CWinApp* app = AfxGetApp()) {
            if (const MessageMap* map = app->GetMessageMap()) {
                if (const MessageMapEntry* entry = map->Find(message, wParam)) {
                    return entry->invoke(*app, wParam, lParam);
                }
            }
        }
    }
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CWnd::Default() {
    return DefWindowProc(m_current.message, m_current.wParam, m_current.lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_defaultProc) return ::CallWindowProcW(m_defaultProc, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

void CWnd::AttachAndRoute(HWND window) {
    m_hWnd = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_defaultProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
        window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::RoutedWindowProc)));
}

LRESULT CALLBACK CWnd::RoutedWindowProc(HWND window, UINT message, WPARAM wParam,
                                        LPARAM lParam) {
    auto* self = reinterpret_cast<CWnd*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    // Handlers can cause messages of their own (a modal box inside a handler runs a whole
    // loop); each keeps its own current message for Default().
    const CurrentMessage outer = self->m_current;
    self->m_current = {message, wParam, lParam};
    const LRESULT result = self->WindowProc(message, wParam, lParam);
    self->m_current = outer;
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(self->m_defaultProc));
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->m_defaultProc = nullptr;
        self->m_hWnd = nullptr;
    }
    return result;
}

void DDX_Control(CDataExchange* exchange, int id, CWnd& control) {
    if (!control.m_hWnd) control.m_hWnd = ::GetDlgItem(exchange->m_pDlgWnd->m_hWnd, id);
}

}  // namespace tavelin
