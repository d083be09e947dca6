// The application object: one global instance, constructed during static initialisation.
#pragma once

#include <windows.h>

#include "framework/message_map.h"
#include "framework/wnd.h"

namespace tavelin {

class CWinApp : public CCmdTarget {
public:
    CWinApp();
    ~CWinApp() override;

    // Called once after start-up. Returning false ends the application without a message
    // loop of its own.
    virtual BOOL InitInstance();
    virtual int Run();
    virtual int ExitInstance();

    // The framework's default help handler for the help command (ID_HELP); the program has
    // no help file, so it opens none.
    void OnHelp();
    static constexpr UINT kHelpCommand = 0xE146;

    HINSTANCE m_hInstance = nullptr;
    const wchar_t* m_pszAppName = nullptr;  // the executable's name without its extension
    CWnd* m_pMainWnd = nullptr;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetResourceHandle();

// Runs the application object: InitInstance, then its loop if it asks for one.
int AfxWinMain(HINSTANCE instance);

}  // namespace tavelin
