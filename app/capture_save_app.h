// The application object: seeds the settings, then runs the hidden main window for the
// whole life of the process.
#pragma once

#include "framework/win_app.h"

namespace tavelin {

class CCaptureSaveApp : public CWinApp {
public:
    BOOL InitInstance() override;
    void EnsureDefaultSettings();

protected:
    const MessageMap* GetMessageMap() const override;
};

}  // namespace tavelin
