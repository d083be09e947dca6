#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "framework/dialog.h"
#include "framework/message_box.h"
#include "framework/win_app.h"
#include "tests/framework/test_dialogs.h"
#include "tests/support/message_box_watcher.h"

namespace tavelin {
namespace {

// A dialog from the test template whose first act is a script of the test's choosing.
class TestDialog : public CDialog {
public:
    explicit TestDialog(std::function<void(TestDialog&)> script, CWnd* parent = nullptr)
        : CDialog(IDD_TEST_DIALOG, parent), m_script(std::move(script)) {}

    std::vector<UINT> seen;        // every message WindowProc saw
    std::vector<std::string> calls;  // handlers, with their arguments
    CButton m_check;
    CEdit m_edit;
    int exchanges = 0;

    HWND Control(int id) const { return ::GetDlgItem(m_hWnd, id); }
    using CDialog::EndDialog;

protected:
    const MessageMap* GetMessageMap() const override {
        static constexpr MessageMapEntry kEntries[] = {
            OnButtonClicked<IDC_TEST_GO, &TestDialog::OnGo>(),
            OnMessage<WM_LBUTTONDOWN, &TestDialog::OnLButtonDown>(),
            OnMessage<WM_APP + 1, &TestDialog::OnRaw>(),
            OnMessage<WM_QUERYDRAGICON, &TestDialog::OnQueryDragIcon>(),
        };
        static const MessageMap kMap = MakeMessageMap(DialogMessageMap(), kEntries);
        return &kMap;
    }
    void DoDataExchange(CDataExchange* exchange) override {
        CDialog::DoDataExchange(exchange);
        DDX_Control(exchange, IDC_TEST_CHECK, m_check);
        DDX_Control(exchange, IDC_TEST_EDIT, m_edit);
        ++exchanges;
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        seen.push_back(message);
        return CDialog::WindowProc(message, wParam, lParam);
    }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_script(*this);
        return TRUE;
    }

    void OnGo() { calls.push_back("go"); }
    void OnLButtonDown(UINT keys, POINT point) {
        calls.push_back("click " + std::to_string(keys) + " " + std::to_string(point.x) + "," +
                        std::to_string(point.y));
        Default();
    }
    LRESULT OnRaw(WPARAM wParam, LPARAM lParam) { return static_cast<LRESULT>(wParam + lParam); }
    HCURSOR OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(static_cast<intptr_t>(0x1234)); }

private:
    std::function<void(TestDialog&)> m_script;
};

bool Has(const std::vector<UINT>& seen, UINT message) {
    return std::find(seen.begin(), seen.end(), message) != seen.end();
}

TEST(Framework, HandlersGetTheirMessagesWithTypedArguments) {
    LRESULT raw = 0, icon = 0;
    TestDialog dialog([&](TestDialog& d) {
        ::SendMessageW(d.Control(IDC_TEST_GO), BM_CLICK, 0, 0);
        ::SendMessageW(d.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(12, 34));
        raw = ::SendMessageW(d.m_hWnd, WM_APP + 1, 40, 2);
        icon = ::SendMessageW(d.m_hWnd, WM_QUERYDRAGICON, 0, 0);
        d.EndDialog(7);
    });
    EXPECT_EQ(dialog.DoModal(), 7);
    EXPECT_EQ(dialog.calls, (std::vector<std::string>{"go", "click 1 12,34"}));
    EXPECT_EQ(raw, 42);
    EXPECT_EQ(icon, 0x1234);
    EXPECT_TRUE(Has(dialog.seen, WM_COMMAND)) << "WindowProc sees every message";
    EXPECT_TRUE(Has(dialog.seen, WM_LBUTTONDOWN));
    EXPECT_EQ(dialog.m_hWnd, nullptr) << "the object lets go of its window when it is destroyed";
}

TEST(Framework, UnboundCommandsReachOkAndCancel) {
    TestDialog ok([](TestDialog& d) { ::PostMessageW(d.Control(IDOK), BM_CLICK, 0, 0); });
    EXPECT_EQ(ok.DoModal(), IDOK);
    EXPECT_EQ(ok.exchanges, 2) << "once to bind at start, once to save on OK";

    TestDialog cancel([](TestDialog& d) { ::PostMessageW(d.Control(IDCANCEL), BM_CLICK, 0, 0); });
    EXPECT_EQ(cancel.DoModal(), IDCANCEL);

    // Closing the window is turned into Cancel by the default processing.
    TestDialog close([](TestDialog& d) { ::PostMessageW(d.m_hWnd, WM_CLOSE, 0, 0); });
    EXPECT_EQ(close.DoModal(), IDCANCEL);
    EXPECT_TRUE(Has(close.seen, WM_CLOSE));

    // Escape as the user presses it: the dialog manager makes it Cancel.
    TestDialog escape([](TestDialog& d) { ::PostMessageW(d.Control(IDC_TEST_EDIT), WM_KEYDOWN, VK_ESCAPE, 0); });
    EXPECT_EQ(escape.DoModal(), IDCANCEL);
}

TEST(Framework, DataExchangeBindsControls) {
    int check = -1;
    std::wstring text;
    TestDialog dialog([&](TestDialog& d) {
        EXPECT_EQ(d.m_check.m_hWnd, d.Control(IDC_TEST_CHECK));
        EXPECT_EQ(d.m_edit.m_hWnd, d.Control(IDC_TEST_EDIT));
        d.m_check.SetCheck(BST_CHECKED);
        d.m_edit.SetWindowText(L"hello");
        check = static_cast<int>(::SendMessageW(d.Control(IDC_TEST_CHECK), BM_GETCHECK, 0, 0));
        wchar_t buffer[16] = {};
        ::GetWindowTextW(d.Control(IDC_TEST_EDIT), buffer, 16);
        text = buffer;
        d.EndDialog(0);
    });
    dialog.DoModal();
    EXPECT_EQ(check, BST_CHECKED);
    EXPECT_EQ(text, L"hello");
}

class TestApp : public CWinApp {
public:
    int helpCalls = 0;
    void OnTestHelp() { ++helpCalls; }

protected:
    const MessageMap* GetMessageMap() const override {
        static constexpr MessageMapEntry kEntries[] = {
            OnCommand<CWinApp::kHelpCommand, &TestApp::OnTestHelp>(),
        };
        static constexpr MessageMap kMap = MakeMessageMap(nullptr, kEntries);
        return &kMap;
    }
};

TEST(Framework, TheMainWindowOwnsDialogsWithoutAParent) {
    TestApp app;
    ASSERT_EQ(AfxGetApp(), &app);
    HWND ownerSeen = reinterpret_cast<HWND>(1);
    HWND mainWindow = nullptr;
    TestDialog main([&](TestDialog& m) {
        mainWindow = m.m_hWnd;
        app.m_pMainWnd = &m;
        // Commands no window binds go on to the application object.
        ::SendMessageW(m.m_hWnd, WM_COMMAND, CWinApp::kHelpCommand, 0);
        TestDialog child([&](TestDialog& c) {
            ownerSeen = ::GetWindow(c.m_hWnd, GW_OWNER);
            c.EndDialog(0);
        });
        child.DoModal();
        m.EndDialog(0);
    });
    main.DoModal();
    app.m_pMainWnd = nullptr;
    EXPECT_EQ(ownerSeen, mainWindow);
    EXPECT_EQ(app.helpCalls, 1);
}

TEST(Framework, MessageBoxesCarryTheTitleAndTheIconOfTheirButtons) {
    test::MessageBoxWatcher boxes;
    EXPECT_EQ(AfxMessageBox(L"Something failed"), IDOK);
    const auto seen = boxes.Boxes();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, L"framework_tests");
    EXPECT_EQ(seen[0].text, L"Something failed");
    EXPECT_TRUE(seen[0].exclamationIcon);
}

}  // namespace
}  // namespace tavelin
