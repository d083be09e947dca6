// The About box: name, version and hotkeys; a click anywhere in it closes it.
#pragma once

#include "framework/dialog.h"

namespace tavelin {

class CAboutDlg : public CDialog {
public:
    CAboutDlg();

protected:
    const MessageMap* GetMessageMap() const override;
    void DoDataExchange(CDataExchange* exchange) override;
    BOOL OnInitDialog() override;
    void OnLButtonDown(UINT keys, POINT point);
};

}  // namespace tavelin
