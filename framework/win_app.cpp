#include "framework/win_app.h"

#include "framework/message_box.h"

namespace tavelin {

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp() { g_app = this; }

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::Run() {
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return ExitInstance();
}

int CWinApp::ExitInstance() { return 0; }

void CWinApp::OnHelp() {}

CWinApp* AfxGetApp() { return g_app; }

CWnd* AfxGetMainWnd() { return g_app ? g_app->m_pMainWnd : nullptr; }

HINSTANCE AfxGetResourceHandle() { return ::GetModuleHandleW(nullptr); }

int AfxWinMain(HINSTANCE instance) {
    CWinApp* app = AfxGetApp();
    if (!app) return -1;
    app->m_hInstance = instance;
    app->m_pszAppName = ApplicationTitle();
    if (!app->InitInstance()) return app->ExitInstance();
    return app->Run();
}

}  // namespace tavelin
