#include "app/capture_save_dlg.h"

#include "about/about_dlg.h"
#include "app/foreground_return.h"
#include "app/startup_balloon.h"
#include "capture/capture_rect.h"
#include "capture/screen_capture.h"
#include "framework/system_dlls.h"
#include "framework/unique_handles.h"
#include "res/resource.h"
#include "settings/settings_dialog.h"
#include "settings/settings_store.h"
#include "tray/tray_icon.h"

#include <mmsystem.h>
#include <shlobj.h>

#include <string>

namespace tavelin {

namespace {

// Explorer broadcasts this when it (re)creates the taskbar; icons added before are gone.
const UINT kTaskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");

// A second copy of the program asks for the balloon with this.
const UINT kShowBalloonAgain = ::RegisterWindowMessageW(kShowBalloonAgainMessage);

// What the user chose for Tavelin's Capture event in Sound settings, played without waiting;
// nothing where they chose nothing.
void PlayCaptureSound() {
    using PlaySoundFn = BOOL(WINAPI*)(LPCWSTR, HMODULE, DWORD);
    static const auto play = FindExport<PlaySoundFn>(LoadSystemDll(L"winmm.dll"), "PlaySoundW");
    if (play) play(kCaptureSoundAlias, nullptr, SND_ALIAS | SND_APPLICATION | SND_ASYNC | SND_NODEFAULT);
}

// Run elevated beside an Explorer that is not (an administrator whose UAC prompt is off),
// Tavelin would hear neither of the shell's messages to it: User Interface Privilege
// Isolation drops messages from a lower integrity level unless the window lets them in.
void LetTheShellsMessagesIn(HWND window) {
    using FilterFn = BOOL(WINAPI*)(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT);
    static const auto filter = FindExport<FilterFn>(::GetModuleHandleW(L"user32.dll"), "ChangeWindowMessageFilterEx");
    if (!filter) return;
    for (const UINT message : {kTaskbarCreated, kTrayCallbackMessage})
        if (message != 0) filter(window, message, MSGFLT_ALLOW, nullptr);
}

}  // namespace

CCaptureSaveDlg::CCaptureSaveDlg()
    : CDialog(IDD_TAVELIN_DIALOG),
      m_hIcon(::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME))) {}

const MessageMap* CCaptureSaveDlg::GetMessageMap() const {
    static constexpr MessageMapEntry kEntries[] = {
        OnMessage<WM_SYSCOMMAND, &CCaptureSaveDlg::OnSysCommand>(),
        OnMessage<WM_PAINT, &CCaptureSaveDlg::OnPaint>(),
        OnMessage<WM_QUERYDRAGICON, &CCaptureSaveDlg::OnQueryDragIcon>(),
        OnMessage<WM_DESTROY, &CCaptureSaveDlg::OnDestroy>(),
        OnMessage<WM_WINDOWPOSCHANGING, &CCaptureSaveDlg::OnWindowPosChanging>(),
        OnCommand<ID_CONTEXT_EXIT, &CCaptureSaveDlg::OnExit>(),
        OnMessage<WM_CLOSE, &CCaptureSaveDlg::OnClose>(),
        OnCommand<ID_CONTEXT_ABOUT, &CCaptureSaveDlg::OnAbout>(),
        OnCommand<ID_CONTEXT_SETTINGS, &CCaptureSaveDlg::OnSettings>(),
        OnCommand<ID_CONTEXT_OPEN_FOLDER, &CCaptureSaveDlg::OnOpenCapturesFolder>(),
        OnMessage<WM_HOTKEY, &CCaptureSaveDlg::OnHotKey>(),
        OnMessage<kClaimedHotkeyMessage, &CCaptureSaveDlg::OnClaimedHotkey>(),
        OnMessage<WM_WTSSESSION_CHANGE, &CCaptureSaveDlg::OnSessionChange>(),
        OnMessage<WM_POWERBROADCAST, &CCaptureSaveDlg::OnPowerBroadcast>(),
        OnMessage<WM_INPUT, &CCaptureSaveDlg::OnInput>(),
        OnMessage<WM_ACTIVATEAPP, &CCaptureSaveDlg::OnActivateApp>(),
        OnMessage<WM_TIMER, &CCaptureSaveDlg::OnTimer>(),
    };
    static const MessageMap kMap = MakeMessageMap(DialogMessageMap(), kEntries);
    return &kMap;
}

void CCaptureSaveDlg::DoDataExchange(CDataExchange* exchange) { CDialog::DoDataExchange(exchange); }

LRESULT CCaptureSaveDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kTrayCallbackMessage) OnTrayCallback(lParam);
    if (message == kTaskbarCreated && kTaskbarCreated != 0) g_trayIcon.Recreate();
    if (message == kShowBalloonAgain && kShowBalloonAgain != 0 && !m_balloonText.empty()) {
        g_trayIcon.ShowBalloon(NIIF_INFO, kBalloonTitle, m_balloonText.c_str());
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

BOOL CCaptureSaveDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    if (HMENU systemMenu = ::GetSystemMenu(m_hWnd, FALSE)) {
        wchar_t aboutText[64] = {};
        ::LoadStringW(::GetModuleHandleW(nullptr), IDS_ABOUTBOX, aboutText, 64);
        if (aboutText[0]) {
            ::AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, aboutText);
        }
    }

    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    m_smallIcon = LoadSmallAppIcon();
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon ? m_smallIcon.get() : m_hIcon));

    m_userWindows.Start();
    g_screenCapture.SetClipboardOwner(m_hWnd);
    // Taken before the icon shows: a press the moment it is there captures. And before the
    // balloon goes up, so that it can say which keys work.
    const CaptureKeys keys = ReadCaptureKeys();
    const WorkingHotkeys working = m_hotkeys.Start(m_hWnd, keys, ReadShellKeys(), kHookCatchUpTimer);
    if (m_hotkeys.Hooked()) m_sessionNotification.Register(m_hWnd);
    LetTheShellsMessagesIn(m_hWnd);
    g_trayIcon.Create(m_hWnd, kTrayToolTip);
    m_balloonText = StartupBalloonText(keys, working.activeWindow, working.wholeScreen);
    g_trayIcon.ShowBalloon(NIIF_INFO, kBalloonTitle, m_balloonText.c_str());
    return TRUE;
}

void CCaptureSaveDlg::TakeCaptureKeys() {
    const CaptureKeys keys = ReadCaptureKeys();
    const WorkingHotkeys working = m_hotkeys.Choose(keys, ReadShellKeys());
    m_sessionNotification.reset();
    if (m_hotkeys.Hooked()) m_sessionNotification.Register(m_hWnd);
    m_balloonText = StartupBalloonText(keys, working.activeWindow, working.wholeScreen);
}

void CCaptureSaveDlg::OnSysCommand(UINT id, LPARAM) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        OnAbout();
    } else if ((id & 0xFFF0) == SC_CLOSE) {
        // Alt+F4 while the hidden window has the foreground: the default would turn it into
        // WM_CLOSE and end the program without a word. Another program's WM_CLOSE still does.
    } else {
        Default();
    }
}

void CCaptureSaveDlg::OnPaint() {
    if (!::IsIconic(m_hWnd)) {
        Default();
        return;
    }
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc));
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &paint);
}

HCURSOR CCaptureSaveDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

void CCaptureSaveDlg::OnDestroy() {
    Default();
    // The shell gets its own handling of the keys back with the window's end, not only with
    // the process's.
    m_hotkeys.Stop();
    m_sessionNotification.reset();
    m_userWindows.Stop();
    g_trayIcon.Remove();
}

// A lock and a sleep are when Windows drops a keyboard hook it found too slow, and programs
// started since may have set hooks that come before ours: the hook is set anew after both.
LRESULT CCaptureSaveDlg::OnSessionChange(WPARAM event, LPARAM) {
    if (event == WTS_SESSION_UNLOCK) m_hotkeys.SetHookAnew();
    return 0;
}

LRESULT CCaptureSaveDlg::OnPowerBroadcast(WPARAM event, LPARAM) {
    if (event == PBT_APMRESUMEAUTOMATIC) m_hotkeys.SetHookAnew();
    return TRUE;
}

// Raw keyboard input, received while the keyboard hook is set: it shows keys the hook missed.
LRESULT CCaptureSaveDlg::OnInput(WPARAM, LPARAM input) {
    m_hotkeys.OnRawInput(reinterpret_cast<HRAWINPUT>(input));
    // The system frees the input's data in the default handling.
    Default();
    return 0;
}

// The user left a dialog of ours for a window of their own; on Windows this changes nothing.
// Wine 8 tells the watch nothing of it: see docs/testing.md, Two Wines.
LRESULT CCaptureSaveDlg::OnActivateApp(WPARAM active, LPARAM) {
    if (!active) m_userWindows.Saw(::GetForegroundWindow());
    Default();
    return 0;
}

// The dialog is shown when its modal loop starts, and the template asks for a taskbar
// button; taking the show flag out of every position change keeps it hidden for good.
void CCaptureSaveDlg::OnWindowPosChanging(WINDOWPOS* position) {
    if (!m_visible) {
        position->flags &= ~SWP_SHOWWINDOW;
        position->flags |= SWP_NOACTIVATE;
    }
    Default();
}

LRESULT CCaptureSaveDlg::OnHotKey(WPARAM hotkeyId, LPARAM) {
    const int id = static_cast<int>(hotkeyId);
    if (m_hotkeys.IsNewPress(id, PressWay::Registration, static_cast<DWORD>(::GetMessageTime()))) Capture(id);
    return 0;
}

LRESULT CCaptureSaveDlg::OnClaimedHotkey(WPARAM claim, LPARAM time) {
    if (m_hotkeys.IsNewClaim(claim, time)) Capture(LOWORD(claim));
    return 0;
}

void CCaptureSaveDlg::Capture(int hotkeyId) {
    const auto rect = CaptureRectForHotkey(hotkeyId, ReadScreenArea());
    if (!rect) return;
    // The sign of an earlier capture is not part of this one.
    m_sign.Remove();
    if (!g_screenCapture.CaptureAndSave(*rect)) return;
    PlayCaptureSound();
    m_sign.Show(m_hWnd, kCaptureSignTimer, *rect);
}

LRESULT CCaptureSaveDlg::OnTimer(WPARAM id, LPARAM) {
    if (id == kCaptureSignTimer) m_sign.Remove();
    return 0;
}

// Explorer on the folder the next capture goes to, with this run's last capture selected
// where it is there. A folder that is not there gives way to the desktop, where the user
// finds something rather than a message; a capture there would say that it cannot write.
// The menu left the foreground here, for Explorer's window to come up in front: where nothing
// opens, it goes back to the user's window.
void CCaptureSaveDlg::OnOpenCapturesFolder() {
    ForegroundReturn giveBack(m_userWindows, ForegroundReturn::Taker::Menu);
    std::wstring folder = g_screenCapture.NextCaptureFolder();
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    wchar_t desktop[MAX_PATH];
    if ((attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) && GetDesktopFolder(desktop))
        folder = desktop;
    // A copy: the shell's calls below may run a capture, which names a new last one.
    const std::wstring last = g_screenCapture.LastCapture();
    const size_t slash = last.find_last_of(L'\\');
    const bool selectLast = slash != std::wstring::npos && ::GetFileAttributesW(last.c_str()) != INVALID_FILE_ATTRIBUTES &&
                            IsSameFolder(last.substr(0, slash).c_str(), folder.c_str());
    ::AllowSetForegroundWindow(ASFW_ANY);
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    bool opened = false;
    if (selectLast) {
        PIDLIST_ABSOLUTE item = nullptr;
        if (SUCCEEDED(::SHParseDisplayName(last.c_str(), nullptr, &item, 0, nullptr))) {
            opened = SUCCEEDED(::SHOpenFolderAndSelectItems(item, 0, nullptr, 0));
            ::CoTaskMemFree(item);
        }
    }
    if (!opened) {
        SHELLEXECUTEINFOW open{};
        open.cbSize = sizeof(open);
        open.fMask = SEE_MASK_FLAG_NO_UI;
        open.lpVerb = L"open";
        open.lpFile = folder.c_str();
        open.nShow = SW_SHOWNORMAL;
        opened = ::ShellExecuteExW(&open) != FALSE;
    }
    if (SUCCEEDED(com)) ::CoUninitialize();
    if (opened) giveBack.Cancel();
}

void CCaptureSaveDlg::OnExit() { ::PostQuitMessage(0); }

// What taskkill without /F and installers send: the program ends as its Exit does.
void CCaptureSaveDlg::OnClose() { OnExit(); }

// The hidden window can still become the foreground (Windows activates the owner of a dialog
// that closes), and then Enter and Escape reach it as IDOK and IDCANCEL. A dialog ends on
// those; this one lives until Exit.
void CCaptureSaveDlg::OnOK() {}
void CCaptureSaveDlg::OnCancel() {}

void CCaptureSaveDlg::OnAbout() {
    const ForegroundReturn giveBack(m_userWindows, ForegroundReturn::Taker::Dialog);
    CAboutDlg about;
    about.DoModal();
}

void CCaptureSaveDlg::OnSettings() {
    const ForegroundReturn giveBack(m_userWindows, ForegroundReturn::Taker::Dialog);
    CSettingsDialog settings(nullptr, &m_hotkeys);
    // Saved keys capture at once, without a restart.
    if (settings.DoModal() == 0) TakeCaptureKeys();
}

void CCaptureSaveDlg::OnTrayCallback(LPARAM lParam) {
    switch (LOWORD(lParam)) {
        case WM_LBUTTONUP:
            OnAbout();
            break;
        case WM_RBUTTONUP:
            ShowTrayMenu();
            break;
        default:
            break;
    }
}

void CCaptureSaveDlg::ShowTrayMenu() {
    const unique_hmenu menu(::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_TRAY_MENU)));
    HMENU popup = ::GetSubMenu(menu.get(), 0);
    POINT cursor{};
    ::GetCursorPos(&cursor);
    // A second click on the icon only closes the menu. Where the shell does not say where the
    // icon is (before Windows 7; Wine), it is where the click that opened the menu was.
    RECT icon{};
    if (!g_trayIcon.ScreenRect(&icon)) {
        const int reach = ::GetSystemMetrics(SM_CXSMICON);
        icon = {cursor.x - reach, cursor.y - reach, cursor.x + reach, cursor.y + reach};
    }
    // The sign goes first, for Wine's menu: see docs/testing.md, What Wine does differently.
    m_sign.Remove();
    ForegroundReturn giveBack(m_userWindows, ForegroundReturn::Taker::Menu);
    // A menu of a window that is not in the foreground does not close when the user clicks
    // elsewhere; and the WM_NULL after it lets the menu close properly on the second click.
    ::SetForegroundWindow(m_hWnd);
    {
        const MenuClickWatch clicks(icon);
        ::TrackPopupMenu(popup, 0, cursor.x, cursor.y, 0, m_hWnd, nullptr);
        // The user went to the window they clicked: the foreground goes there, also where Wine
        // keeps the click (docs/testing.md, What Wine does differently).
        if (const HWND clicked = clicks.Clicked()) {
            giveBack.Cancel();
            if (clicked != ::GetForegroundWindow()) ::SetForegroundWindow(clicked);
            m_userWindows.Saw(clicked);
        }
    }
    ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
    // A chosen command is already posted. The dialog it opens needs the foreground, which
    // stays with us, and gives it back to the user's window when it closes.
    MSG command;
    if (::PeekMessageW(&command, m_hWnd, WM_COMMAND, WM_COMMAND, PM_NOREMOVE) &&
        LOWORD(command.wParam) != ID_CONTEXT_EXIT) {
        giveBack.Cancel();
    }
}

}  // namespace tavelin
