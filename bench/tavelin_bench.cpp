// Times Tavelin's capture pipeline stage by stage, against the floor of each stage and the
// direct path, and starts the real Tavelin.exe to time its start-up. scripts/bench.sh runs it
// under Wine and reads what it prints: one "key=value" a line.
//
//   tavelin_bench latency WIDTHxHEIGHT CAPTURES WARMUP   stage timings on this screen
//   tavelin_bench picture                                show the test picture until ended
//   tavelin_bench startup EXE COUNT                      process start to tray icon, COUNT times
//   tavelin_bench keys EXE COUNT                         the keyboard hook's cost per key, and
//                                                        press to WM_HOTKEY, COUNT keys each
//   tavelin_bench nullhook                               a hook that does nothing, until ended
//   tavelin_bench animations on|off                      Windows' client-area animations, stored
//   tavelin_bench signs COUNT                            how long each of COUNT capture signs shows
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_stats.h"
#include "bench/stage_floors.h"
#include "capture/screen_capture.h"
#include "framework/unique_handles.h"
#include "hotkeys/capture_hotkeys.h"
#include "res/resource.h"
#include "settings/settings_store.h"

namespace tavelin::bench {
namespace {

// The bottom strip stays free for the taskbar and its notification area.
constexpr int kTaskbarStrip = 40;

double Now() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER count;
    ::QueryPerformanceCounter(&count);
    return static_cast<double>(count.QuadPart) * 1000.0 / frequency;
}

template <typename Work>
double TimeMs(Work&& work) {
    const double start = Now();
    work();
    return Now() - start;
}

void Put(const std::string& key, const std::string& value) {
    std::printf("%s=%s\n", key.c_str(), value.c_str());
}

// ---- the test picture -------------------------------------------------------------------

// A picture with what a screen holds: a photograph-like field of colour with a little grain,
// and a page of text. A flat desktop would flatter the JPEG encoder.
struct TestPicture {
    unique_hdc dc;
    unique_hbitmap bitmap;
    unique_select selected;
};

TestPicture g_picture;

void PaintTestPicture(int width, int height) {
    BITMAPINFOHEADER header = TrueColorHeader(width, -height);
    void* bits = nullptr;
    g_picture.dc.reset(::CreateCompatibleDC(nullptr));
    g_picture.bitmap.reset(::CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&header),
                                              DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!g_picture.bitmap) return;
    g_picture.selected = unique_select(g_picture.dc.get(), g_picture.bitmap.get());

    auto* pixel = static_cast<uint32_t*>(bits);
    uint32_t noise = 12345;
    const int photoRows = height / 2;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int grain = static_cast<int>((noise >> 24) & 15) - 8;
            auto clampByte = [](int v) { return static_cast<uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
            uint32_t value = 0xFFFFFF;
            if (y < photoRows) {
                const int r = x * 255 / width + grain;
                const int g = y * 255 / photoRows + grain;
                const int b = ((x / 3 + y / 2) & 255) / 2 + 64 + grain;
                value = clampByte(r) << 16 | clampByte(g) << 8 | clampByte(b);
            }
            *pixel++ = value;
        }
    }

    static const wchar_t kLine[] =
        L"Tavelin saves the screen as numbered JPEG files: Windows key + A for the window in "
        L"front, Windows key + S for the whole screen. 0123456789 ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    ::SetBkMode(g_picture.dc.get(), TRANSPARENT);
    ::SetTextColor(g_picture.dc.get(), RGB(20, 20, 40));
    const unique_hgdiobj font(::CreateFontW(16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                            DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma"));
    const unique_select withFont(g_picture.dc.get(), font.get());
    for (int y = photoRows + 8; y + 18 < height - kTaskbarStrip; y += 20) {
        for (int x = 8; x < width; x += 1400) {
            ::TextOutW(g_picture.dc.get(), x, y, kLine, static_cast<int>(std::wcslen(kLine)));
        }
    }
}

LRESULT CALLBACK PictureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(window, &paint);
        RECT client;
        ::GetClientRect(window, &client);
        ::BitBlt(dc, 0, 0, client.right, client.bottom, g_picture.dc.get(), 0, 0, SRCCOPY);
        ::EndPaint(window, &paint);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void PumpFor(DWORD ms) {
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < ms) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
        ::Sleep(10);
    }
}

// Covers the screen but its taskbar strip with the test picture, and lets it paint.
HWND ShowTestPicture() {
    const int width = ::GetSystemMetrics(SM_CXSCREEN);
    const int height = ::GetSystemMetrics(SM_CYSCREEN);
    PaintTestPicture(width, height);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = PictureProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TavelinBenchPicture";
    ::RegisterClassW(&windowClass);
    HWND window = ::CreateWindowExW(0, windowClass.lpszClassName, L"benchmark picture",
                                    WS_POPUP | WS_VISIBLE, 0, 0, width, height - kTaskbarStrip,
                                    nullptr, nullptr, windowClass.hInstance, nullptr);
    ::UpdateWindow(window);
    PumpFor(700);
    return window;
}

// ---- latency ----------------------------------------------------------------------------

// The pipeline's stages, and after them the same picture saved as the other settings save it:
// at JPEG quality 95 (JpegQuality), and as PNG (FileType). Those two are timed beside the
// capture, not in its total: a capture saves once.
enum Stage { kCopy, kNames, kWrite, kLoad, kSave, kRelease, kPipelineStages,
             kSaveQuality = kPipelineStages, kSavePng, kStages };
const char* const kStageKeys[kStages] = {"copy", "names", "bmp_write", "bmp_load", "jpeg_save",
                                         "release", "jpeg_save_q95", "png_save"};
constexpr int kHighQuality = 95;

struct Samples {
    std::vector<double> stage[kStages];
    std::vector<double> floor[kStages];
    std::vector<double> total, floorTotal, directEncode, direct;
};

std::wstring DesktopFile(const wchar_t* name) {
    wchar_t desktop[MAX_PATH];
    GetDesktopFolder(desktop);
    return std::wstring(desktop) + L"\\" + name;
}

LONGLONG FileBytes(const wchar_t* path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return -1;
    return (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

struct PipelineRun {
    bool ok = false;
    int capturedWidth = 0, capturedHeight = 0, capturedBits = 0;
    LONGLONG jpegBytes = -1;
    LONGLONG highQualityBytes = -1;
    LONGLONG pngBytes = -1;
};

// The name the capture would have had under the other file type: the same number.
void ChangeExtension(wchar_t (&name)[kCaptureNameChars], const wchar_t* extension) {
    wchar_t* dot = std::wcsrchr(name, L'.');
    if (dot && (dot - name) + std::wcslen(extension) < kCaptureNameChars) std::wcscpy(dot, extension);
}

// The size of a file one stage wrote, which then goes: the next stage writes under its name.
LONGLONG TakeFile(const wchar_t* path) {
    const LONGLONG bytes = FileBytes(path);
    ::DeleteFileW(path);
    return bytes;
}

// One capture through the pipeline's own stages and one made of platform calls only, stage
// by stage in turns, so that whatever else the machine does at that moment (writing back the
// last capture's pages, say) falls on both alike; and the direct path, fed from the very
// screen copy the pipeline took.
PipelineRun RunCapture(const RECT& screen, bool floorFirst, double (&stage)[kStages],
                       double (&floor)[kStages], double& directEncode) {
    PipelineRun run;
    CaptureJob job;
    FloorJob floorJob;
    floorJob.bmpPath = DesktopFile(L"bench-floor.bmp");
    floorJob.jpgPath = DesktopFile(L"bench-floor.jpg");
    floorJob.pngPath = DesktopFile(L"bench-floor.png");
    bool ok = true;
    auto both = [&](Stage s, auto&& ours, auto&& platform) {
        if (floorFirst) floor[s] = TimeMs(platform);
        stage[s] = TimeMs(ours);
        if (!floorFirst) floor[s] = TimeMs(platform);
    };

    both(kCopy, [&] { ok = g_screenCapture.CopyScreen(screen, job) && ok; },
         [&] { FloorCopyScreen(screen, floorJob); });
    if (!ok) return run;
    BITMAP captured{};
    ::GetObjectW(job.bitmap.get(), sizeof(captured), &captured);
    run.capturedWidth = captured.bmWidth;
    run.capturedHeight = captured.bmHeight;
    run.capturedBits = captured.bmBitsPixel;

    const std::wstring directPath = DesktopFile(L"bench-direct.jpg");
    directEncode = TimeMs([&] { ok = EncodeDirect(job.bitmap.get(), directPath) && ok; });
    ok = ok && FileBytes(directPath.c_str()) > 0;
    ::DeleteFileW(directPath.c_str());

    both(kNames, [&] { g_screenCapture.ReserveNames(job); }, [&] { FloorReadNames(floorJob); });
    // The pixel block is a call the stage must make too: GetDIBits needs somewhere to write.
    both(kWrite, [&] { g_screenCapture.WriteTemporaryBmp(job); },
         [&] { ok = FloorAllocatePixels(floorJob) && FloorWriteBmp(floorJob) && ok; });
    both(kLoad, [&] { g_screenCapture.LoadTemporaryBmp(job); },
         [&] { ok = FloorLoadBmp(floorJob) && ok; });
    both(kSave, [&] { g_screenCapture.SaveImage(job); }, [&] { ok = FloorSaveJpeg(floorJob) && ok; });
    ok = ok && job.imageSaved && TakeFile(floorJob.jpgPath.c_str()) > 0;
    run.jpegBytes = TakeFile(job.imageName);

    // The format as ReserveNames reads it where JpegQuality is 95, then where FileType is png;
    // and back, for the last stage.
    const CaptureFormat format = job.format;
    job.format.jpegQuality = kHighQuality;
    both(kSaveQuality, [&] { g_screenCapture.SaveImage(job); },
         [&] { ok = FloorSaveJpeg(floorJob, kHighQuality) && ok; });
    ok = ok && job.imageSaved && TakeFile(floorJob.jpgPath.c_str()) > 0;
    run.highQualityBytes = TakeFile(job.imageName);
    job.format = CaptureFormat{true, 0};
    ChangeExtension(job.imageName, L".png");
    both(kSavePng, [&] { g_screenCapture.SaveImage(job); }, [&] { ok = FloorSavePng(floorJob) && ok; });
    ok = ok && job.imageSaved && TakeFile(floorJob.pngPath.c_str()) > 0;
    run.pngBytes = TakeFile(job.imageName);
    job.format = format;
    ChangeExtension(job.imageName, L".jpg");

    const std::wstring bmpName = job.bmpName;
    both(kRelease, [&] { g_screenCapture.DeleteAndRelease(job); },
         [&] { FloorDeleteAndRelease(floorJob); });

    run.ok = ok && run.jpegBytes > 0 && run.highQualityBytes > 0 && run.pngBytes > 0 &&
             FileBytes(bmpName.c_str()) < 0;
    return run;
}

void PutTimes(const std::string& key, const std::vector<double>& samples) {
    Put(key + ".median", Milliseconds(Median(samples)));
    Put(key + ".spread", Milliseconds(Spread(samples)));
}

int Latency(int expectedWidth, int expectedHeight, int captures, int warmup) {
    const int width = ::GetSystemMetrics(SM_CXSCREEN);
    const int height = ::GetSystemMetrics(SM_CYSCREEN);
    Put("screen", std::to_string(width) + "x" + std::to_string(height));
    if (width != expectedWidth || height != expectedHeight) {
        std::fprintf(stderr, "the screen is %dx%d, not %dx%d\n", width, height, expectedWidth,
                     expectedHeight);
        return 2;
    }
    EnsureDefaultSettings();
    // The captures as they come without a choice: JPEG, at the encoder's own quality.
    {
        const unique_hkey settings = OpenUserKey(kSettingsKeyPath);
        DeleteValue(settings.get(), kFileTypeValue);
        DeleteValue(settings.get(), kJpegQualityValue);
    }
    ShowTestPicture();
    const RECT screen{0, 0, width, height};

    Samples samples;
    PipelineRun last;
    for (int i = 0; i < warmup + captures; ++i) {
        double stage[kStages] = {};
        double floor[kStages] = {};
        double directEncode = 0;
        // Taking turns at going first: neither side always finds the caches warmed by the other.
        last = RunCapture(screen, i % 2 == 1, stage, floor, directEncode);
        if (!last.ok) {
            std::fprintf(stderr, "capture %d failed\n", i);
            return 3;
        }
        if (i < warmup) continue;
        double total = 0, floorTotal = 0;
        for (int s = 0; s < kStages; ++s) {
            samples.stage[s].push_back(stage[s]);
            samples.floor[s].push_back(floor[s]);
            if (s >= kPipelineStages) continue;
            total += stage[s];
            floorTotal += floor[s];
        }
        samples.total.push_back(total);
        samples.floorTotal.push_back(floorTotal);
        samples.directEncode.push_back(directEncode);
        samples.direct.push_back(stage[kCopy] + directEncode);
    }

    Put("captured", std::to_string(last.capturedWidth) + "x" + std::to_string(last.capturedHeight));
    Put("captured_bits", std::to_string(last.capturedBits));
    Put("jpeg_bytes", std::to_string(last.jpegBytes));
    Put("jpeg_q95_bytes", std::to_string(last.highQualityBytes));
    Put("png_bytes", std::to_string(last.pngBytes));
    Put("frame_bytes", std::to_string(static_cast<long long>(width) * height * 4));
    Put("captures", std::to_string(captures));
    for (int s = 0; s < kStages; ++s) {
        const std::string key = std::string("stage.") + kStageKeys[s];
        PutTimes(key, samples.stage[s]);
        PutTimes(key + ".floor", samples.floor[s]);
        Put(key + ".ratio", Fixed(Ratio(Median(samples.stage[s]), Median(samples.floor[s])), 2));
    }
    PutTimes("total", samples.total);
    PutTimes("total.floor", samples.floorTotal);
    Put("total.ratio", Fixed(Ratio(Median(samples.total), Median(samples.floorTotal)), 2));
    PutTimes("direct", samples.direct);
    PutTimes("direct.encode", samples.directEncode);
    Put("pipeline_over_direct", Fixed(Ratio(Median(samples.total), Median(samples.direct)), 2));
    Put("jpeg_q95_over_default",
        Fixed(Ratio(Median(samples.stage[kSaveQuality]), Median(samples.stage[kSave])), 2));
    return 0;
}

// ---- the running program ----------------------------------------------------------------

// Whether the notification area shows an icon in its first place, bottom right: more than a
// quarter of that square differs from the taskbar's colour further left. One small copy of
// the corner, so that polling it leaves the starting program the processor.
bool TrayIconPresent() {
    const int width = ::GetSystemMetrics(SM_CXSCREEN);
    const int height = ::GetSystemMetrics(SM_CYSCREEN);
    constexpr int kStripWidth = 200, kStripHeight = 18;
    const unique_window_dc screen(nullptr, ::GetDC(nullptr));
    const unique_hdc memory(::CreateCompatibleDC(screen.get()));
    BITMAPINFOHEADER header = TrueColorHeader(kStripWidth, -kStripHeight);
    void* bits = nullptr;
    const unique_hbitmap strip(::CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&header),
                                                  DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!strip) return false;
    {
        const unique_select selected(memory.get(), strip.get());
        ::BitBlt(memory.get(), 0, 0, kStripWidth, kStripHeight, screen.get(),
                 width - kStripWidth, height - kStripHeight, SRCCOPY);
    }
    const auto* pixel = static_cast<const uint32_t*>(bits);
    const uint32_t taskbar = pixel[(kStripHeight - 2) * kStripWidth] & 0xFFFFFF;
    int differing = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = kStripWidth - 18; x < kStripWidth - 2; ++x)
            if ((pixel[y * kStripWidth + x] & 0xFFFFFF) != taskbar) ++differing;
    return differing > 64;
}

bool PollUntil(bool wanted, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (TrayIconPresent() != wanted) {
        if (::GetTickCount() - start > timeoutMs) return false;
        ::Sleep(2);
    }
    return true;
}

struct MainWindowSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindMainWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<MainWindowSearch*>(parameter);
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    wchar_t className[16] = {};
    wchar_t caption[16] = {};
    ::GetClassNameW(window, className, 16);
    ::GetWindowTextW(window, caption, 16);
    if (processId == search->processId && std::wcscmp(className, L"#32770") == 0 &&
        std::wcscmp(caption, L"Tavelin") == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// Ends the program the way its tray menu does, so that its icon goes with it.
void EndProgram(const PROCESS_INFORMATION& process) {
    MainWindowSearch search{process.dwProcessId, nullptr};
    ::EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found) ::PostMessageW(search.found, WM_COMMAND, ID_CONTEXT_EXIT, 0);
    if (::WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.hProcess, 1);
        ::WaitForSingleObject(process.hProcess, 5000);
    }
}

int Startup(const wchar_t* exe, int count) {
    if (TrayIconPresent()) {
        std::fprintf(stderr, "an icon is in the notification area already\n");
        return 2;
    }
    std::vector<double> starts;
    // The first start is not counted: it reads the program from disk and seeds its settings.
    for (int i = 0; i <= count; ++i) {
        std::wstring commandLine = L"\"" + std::wstring(exe) + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        const double begin = Now();
        if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &startup, &process)) {
            std::fprintf(stderr, "could not start the program\n");
            return 3;
        }
        const unique_handle processHandle(process.hProcess);
        const unique_handle threadHandle(process.hThread);
        const bool shown = PollUntil(true, 30000);
        const double elapsed = Now() - begin;
        // Left alone for a moment, as a user would, before it is ended.
        ::Sleep(300);
        EndProgram(process);
        if (!shown) {
            std::fprintf(stderr, "no tray icon within 30 s\n");
            return 4;
        }
        if (!PollUntil(false, 10000)) {
            std::fprintf(stderr, "the icon stayed after the program ended\n");
            return 5;
        }
        if (i > 0) starts.push_back(elapsed);
    }
    std::string all;
    for (double s : starts) all += (all.empty() ? "" : " ") + Fixed(s, 0);
    Put("startup.all", all);
    Put("startup.median", Fixed(Median(starts), 1));
    Put("startup.spread", Fixed(Spread(starts), 1));
    return 0;
}

// ---- the keyboard hook ------------------------------------------------------------------

// Every key typed anywhere passes through the hook while it is set, as it always is on Windows
// 10 and 11. What a key that is not ours costs is timed from SendInput to a hook set before
// the program's (the newest hook is called first, so this one sees the key only once the
// program's has passed it on), with Tavelin's hook and with a hook that does nothing in
// another process, in turns.

constexpr WORD kTestKey = 'Q';
constexpr int kBlocks = 8;

struct KeyStamp {
    HANDLE seen = nullptr;  // auto-reset event: the observer saw the test key
    std::atomic<double> at{0};
};
KeyStamp g_observed;

LRESULT CALLBACK ObserveTestKey(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam)->vkCode == kTestKey) {
        g_observed.at = Now();
        ::SetEvent(g_observed.seen);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK PassOn(int code, WPARAM wParam, LPARAM lParam) {
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// A thread that sets a hook and runs its loop until it is ended.
class KeyboardThread {
public:
    explicit KeyboardThread(HOOKPROC hook) : m_hook(hook) {
        m_ready.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        m_thread.reset(::CreateThread(nullptr, 0, &KeyboardThread::Run, this, 0, &m_threadId));
        ::WaitForSingleObject(m_ready.get(), 10000);
    }
    ~KeyboardThread() {
        ::PostThreadMessageW(m_threadId, WM_QUIT, 0, 0);
        ::WaitForSingleObject(m_thread.get(), 10000);
    }
    bool ok() const { return m_ok; }

private:
    static DWORD WINAPI Run(void* parameter) {
        auto* self = static_cast<KeyboardThread*>(parameter);
        MSG message;
        ::PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
        const unique_hhook hook(::SetWindowsHookExW(WH_KEYBOARD_LL, self->m_hook, ::GetModuleHandleW(nullptr), 0));
        self->m_ok = hook.is_valid();
        ::SetEvent(self->m_ready.get());
        while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
        return 0;
    }
    HOOKPROC m_hook;
    bool m_ok = false;
    unique_handle m_ready;
    unique_handle m_thread;
    DWORD m_threadId = 0;
};

void SendKeys(std::initializer_list<std::pair<WORD, bool>> keys) {
    std::vector<INPUT> inputs;
    for (const auto& [key, up] : keys) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(input);
    }
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void DrainMessages() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
}

// Microseconds from SendInput of the test key's press to the observer; its release follows
// untimed.
bool TimeTestKeys(int count, std::vector<double>& samples) {
    for (int i = 0; i < count; ++i) {
        const double sent = Now();
        SendKeys({{kTestKey, false}});
        if (::WaitForSingleObject(g_observed.seen, 2000) != WAIT_OBJECT_0) {
            std::fprintf(stderr, "the observer did not see key %d\n", i);
            return false;
        }
        samples.push_back((g_observed.at - sent) * 1000.0);
        SendKeys({{kTestKey, true}});
        if (::WaitForSingleObject(g_observed.seen, 2000) != WAIT_OBJECT_0) return false;
        DrainMessages();
    }
    return true;
}

struct StartedProcess {
    unique_handle process;
    unique_handle thread;
    DWORD processId = 0;
    DWORD threadId = 0;
};

StartedProcess StartProcess(std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    StartedProcess result;
    if (::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                         &startup, &started)) {
        result.process.reset(started.hProcess);
        result.thread.reset(started.hThread);
        result.processId = started.dwProcessId;
        result.threadId = started.dwThreadId;
    }
    return result;
}

std::wstring OwnPath() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

// Wine tells a program the Windows version set for it when the program starts: Windows 7
// ("win7"), or without one the session's, Windows 10.
void TellTavelinWindowsVersion(const wchar_t* version) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\Tavelin.exe", 0, nullptr, 0,
                          KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    const unique_hkey owned(key);
    if (version) {
        WriteText(key, L"Version", version);
    } else {
        DeleteValue(key, L"Version");
    }
}

// Keys of the user's choice, or the defaults: Windows key + V, which the shell of Windows 10
// and 11 acts on and the hook claims, and Alt + Print Screen, which is registered.
void ChooseTavelinKeys(bool chosen) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return;
    }
    const unique_hkey owned(key);
    WriteCaptureKey(key, kActiveWindowKeyValue, chosen ? KeyCombo{kModWin, 'V'} : kDefaultActiveWindowKey,
                    kDefaultActiveWindowKey);
    WriteCaptureKey(key, kWholeScreenKeyValue, chosen ? KeyCombo{kModAlt, VK_SNAPSHOT} : kDefaultWholeScreenKey,
                    kDefaultWholeScreenKey);
}

// Tavelin.exe runs on both sides, so that whatever it does with a key that reaches it falls on
// both. On one side it runs as on Windows 10 and 11: it registers the keys and sets its hook.
// On the other it runs as on Windows 7, where it only registers them, and a hook that passes
// every key on at once runs in a process of its own, as Tavelin's does: the floor.
bool TimeKeysThroughHook(const wchar_t* exe, bool tavelinsHook, int count, std::vector<double>& samples,
                         bool chosenKeys = false) {
    TellTavelinWindowsVersion(tavelinsHook ? nullptr : L"win7");
    ChooseTavelinKeys(chosenKeys);
    StartedProcess tavelin = StartProcess(L"\"" + std::wstring(exe) + L"\"");
    if (!tavelin.process || !PollUntil(true, 30000)) return false;
    StartedProcess floor;
    bool ok = true;
    if (!tavelinsHook) {
        const unique_handle hookSet(::CreateEventW(nullptr, TRUE, FALSE, L"Local\\TavelinBench.NullHookSet"));
        floor = StartProcess(L"\"" + OwnPath() + L"\" nullhook");
        ok = floor.process && ::WaitForSingleObject(hookSet.get(), 10000) == WAIT_OBJECT_0;
    }
    ok = ok && TimeTestKeys(count, samples);
    if (floor.process) {
        ::PostThreadMessageW(floor.threadId, WM_QUIT, 0, 0);
        ok = ::WaitForSingleObject(floor.process.get(), 10000) == WAIT_OBJECT_0 && ok;
    }
    PROCESS_INFORMATION process{tavelin.process.get(), tavelin.thread.get(), tavelin.processId, tavelin.threadId};
    EndProgram(process);
    ChooseTavelinKeys(false);
    return PollUntil(false, 10000) && ok;
}

int NullHook() {
    const unique_handle hookSet(::OpenEventW(EVENT_MODIFY_STATE, FALSE, L"Local\\TavelinBench.NullHookSet"));
    MSG message;
    ::PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    const unique_hhook hook(::SetWindowsHookExW(WH_KEYBOARD_LL, PassOn, ::GetModuleHandleW(nullptr), 0));
    if (!hook || !hookSet) return 2;
    ::SetEvent(hookSet.get());
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
    return 0;
}

// Press to WM_HOTKEY in a window of the benchmark's own, through the program's own key
// handling: the keys registered, as on Windows 7, or registered and claimed by the hook, as on
// Windows 10 and 11.
std::atomic<int> g_hotkeys{0};
double g_hotkeyAt = 0;

LRESULT CALLBACK HotkeyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_HOTKEY || message == kClaimedHotkeyMessage) {
        g_hotkeyAt = Now();
        ++g_hotkeys;
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

bool TimePresses(bool claimAlways, int count, std::vector<double>& samples) {
    HWND window = ::CreateWindowExW(0, L"TavelinBenchHotkeys", L"", WS_POPUP, 0, 0, 1, 1, nullptr,
                                    nullptr, ::GetModuleHandleW(nullptr), nullptr);
    bool ok = window != nullptr;
    {
        CaptureHotkeys keys;
        ShellKeys shell;
        shell.windows10 = claimAlways;  // the shell's own keys are claimed from Windows 10 on
        const WorkingHotkeys working = keys.Start(window, CaptureKeys{}, shell, 1);
        ok = ok && working.wholeScreen && keys.Hooked() == claimAlways;
        for (int i = 0; ok && i < count; ++i) {
            const int before = g_hotkeys;
            // The press alone: SendInput returns only once every hook has seen all it was given.
            const double sent = Now();
            SendKeys({{VK_LWIN, false}, {'S', false}});
            const DWORD start = ::GetTickCount();
            while (g_hotkeys == before && ::GetTickCount() - start < 2000) {
                ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
                DrainMessages();
            }
            ok = g_hotkeys == before + 1;
            if (ok) samples.push_back((g_hotkeyAt - sent) * 1000.0);
            SendKeys({{'S', true}, {VK_LWIN, true}});
            DrainMessages();
        }
    }
    ::DestroyWindow(window);
    return ok;
}

void PutPercentiles(const std::string& key, const std::vector<double>& samples) {
    Put(key + ".median", Fixed(Median(samples), 0));
    Put(key + ".p99", Fixed(Percentile(samples, 0.99), 0));
}

int KeyCosts(const wchar_t* exe, int count) {
    if (TrayIconPresent()) {
        std::fprintf(stderr, "an icon is in the notification area already\n");
        return 2;
    }
    g_observed.seen = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = HotkeyWindowProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TavelinBenchHotkeys";
    ::RegisterClassW(&windowClass);
    std::vector<double> ours, chosen, floor, registered, hooked, pairRatios, chosenPairRatios;
    {
        const KeyboardThread observer(ObserveTestKey);
        if (!observer.ok()) return 3;
        // In turns, so that a slower spell of the machine falls on both.
        for (int block = 0; block < kBlocks; ++block) {
            const auto oursFrom = ours.size(), chosenFrom = chosen.size(), floorFrom = floor.size();
            if (!TimeKeysThroughHook(exe, true, count / kBlocks, ours) ||
                !TimeKeysThroughHook(exe, true, count / kBlocks, chosen, true)) {
                std::fprintf(stderr, "keys through Tavelin's hook failed\n");
                return 4;
            }
            if (!TimeKeysThroughHook(exe, false, count / kBlocks, floor)) {
                std::fprintf(stderr, "keys through the empty hook failed\n");
                return 5;
            }
            // The slowest keys come in spells of the machine's, which fall on one block: the
            // median of the ratios of neighbouring blocks does not move with one spell.
            const double floorP99 = Percentile({floor.begin() + floorFrom, floor.end()}, 0.99);
            pairRatios.push_back(Ratio(Percentile({ours.begin() + oursFrom, ours.end()}, 0.99), floorP99));
            chosenPairRatios.push_back(Ratio(Percentile({chosen.begin() + chosenFrom, chosen.end()}, 0.99), floorP99));
        }
    }
    const int presses = count / 5;
    for (int block = 0; block < kBlocks; ++block) {
        if (!TimePresses(false, presses / kBlocks, registered) ||
            !TimePresses(true, presses / kBlocks, hooked)) {
            std::fprintf(stderr, "press to WM_HOTKEY failed\n");
            return 6;
        }
    }
    ::CloseHandle(g_observed.seen);
    Put("keys.count", std::to_string(ours.size()));
    PutPercentiles("keys.ours", ours);
    PutPercentiles("keys.floor", floor);
    Put("keys.ratio.median", Fixed(Ratio(Median(ours), Median(floor)), 2));
    Put("keys.ratio.p99", Fixed(Ratio(Percentile(ours, 0.99), Percentile(floor, 0.99)), 2));
    Put("keys.ratio.p99_pairs", Fixed(Median(pairRatios), 2));
    PutPercentiles("keys.chosen", chosen);
    Put("keys.chosen.ratio.median", Fixed(Ratio(Median(chosen), Median(floor)), 2));
    Put("keys.chosen.ratio.p99", Fixed(Ratio(Percentile(chosen, 0.99), Percentile(floor, 0.99)), 2));
    Put("keys.chosen.ratio.p99_pairs", Fixed(Median(chosenPairRatios), 2));
    Put("presses.count", std::to_string(hooked.size()));
    PutPercentiles("presses.registered", registered);
    PutPercentiles("presses.hook", hooked);
    return 0;
}

// ---- the capture sign --------------------------------------------------------------------

// Tavelin dims the captured part of the screen for a moment only where Windows' client-area
// animations are on. Stored, as Windows' own settings store it: Wine keeps a setting made for
// the session alone within the process that made it, and reads a stored one when a program
// starts.
int SetAnimations(bool on) {
    ::SystemParametersInfoW(SPI_SETCLIENTAREAANIMATION, 0, reinterpret_cast<void*>(static_cast<INT_PTR>(on)),
                            SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
    BOOL now = !on;
    if (!::SystemParametersInfoW(SPI_GETCLIENTAREAANIMATION, 0, &now, 0) || !now != !on) {
        std::fprintf(stderr, "the animations did not turn %s\n", on ? "on" : "off");
        return 2;
    }
    Put("animations", on ? "on" : "off");
    return 0;
}

constexpr wchar_t kSignClass[] = L"TavelinCaptureSign";  // the class app/capture_sign.cpp registers

bool SignShown() {
    const HWND sign = ::FindWindowW(kSignClass, nullptr);
    return sign && ::IsWindowVisible(sign);
}

bool WaitForSign(bool shown, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (SignShown() != shown) {
        if (::GetTickCount() - start > timeoutMs) return false;
        ::Sleep(2);
    }
    return true;
}

// For each of `count` captures, how long its sign is on the screen: from the first look that
// finds it shown to the first that finds it gone. Each is said at once, so that the script
// that presses the keys presses for the next capture only once the last sign has gone: under
// Wine, a press that meets a window coming or going may lose its Windows key.
int WatchSigns(int count) {
    std::vector<double> onScreen;
    auto say = [](const std::string& key, const std::string& value) {
        Put(key, value);
        std::fflush(stdout);
    };
    say("signs.watching", std::to_string(count));
    for (int i = 1; i <= count; ++i) {
        const std::string key = "sign." + std::to_string(i);
        if (!WaitForSign(true, 60000)) {
            std::fprintf(stderr, "capture %d showed no sign\n", i);
            return 2;
        }
        const double shownAt = Now();
        say(key + ".shown", "1");
        if (!WaitForSign(false, 10000)) {
            std::fprintf(stderr, "the sign of capture %d stayed\n", i);
            return 3;
        }
        onScreen.push_back(Now() - shownAt);
        say(key + ".gone_ms", Fixed(onScreen.back(), 0));
    }
    PutTimes("sign.on_screen", onScreen);
    return 0;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: tavelin_bench latency WIDTHxHEIGHT CAPTURES WARMUP\n"
                 "       tavelin_bench picture\n"
                 "       tavelin_bench startup EXE COUNT\n"
                 "       tavelin_bench keys EXE COUNT\n"
                 "       tavelin_bench nullhook\n"
                 "       tavelin_bench animations on|off\n"
                 "       tavelin_bench signs COUNT\n");
    return 1;
}

}  // namespace
}  // namespace tavelin::bench

int wmain(int argc, wchar_t** argv) {
    using namespace tavelin::bench;
    if (argc < 2) return Usage();
    const std::wstring mode = argv[1];
    int result = 1;
    if (mode == L"latency" && argc == 5) {
        int width = 0, height = 0;
        if (std::swscanf(argv[2], L"%dx%d", &width, &height) != 2) return Usage();
        result = Latency(width, height, _wtoi(argv[3]), _wtoi(argv[4]));
    } else if (mode == L"picture") {
        ShowTestPicture();
        std::printf("shown\n");
        std::fflush(stdout);
        MSG message;
        while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
        result = 0;
    } else if (mode == L"startup" && argc == 4) {
        result = Startup(argv[2], _wtoi(argv[3]));
    } else if (mode == L"keys" && argc == 4) {
        result = KeyCosts(argv[2], _wtoi(argv[3]));
    } else if (mode == L"nullhook") {
        result = NullHook();
    } else if (mode == L"animations" && argc == 3 && (std::wstring(argv[2]) == L"on" || std::wstring(argv[2]) == L"off")) {
        result = SetAnimations(std::wstring(argv[2]) == L"on");
    } else if (mode == L"signs" && argc == 3) {
        result = WatchSigns(_wtoi(argv[2]));
    } else {
        return Usage();
    }
    std::fflush(stdout);
    return result;
}
