#include "tests/support/message_box_watcher.h"

#include <algorithm>

namespace tavelin::test {

namespace {

// The static control that holds a message box's text has this identifier in every Windows
// version, and in Wine.
constexpr int kMessageTextId = 0xFFFF;
// The icon's identifier is 0x14 in Windows and 0x440 in Wine.
constexpr int kMessageIconIds[] = {0x0014, 0x0440};

std::wstring TextOf(HWND window) {
    wchar_t text[1024] = {};
    ::GetWindowTextW(window, text, 1024);
    return text;
}

struct Search {
    std::vector<HWND> boxes;
};

BOOL CALLBACK CollectBox(HWND window, LPARAM parameter) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    wchar_t className[32] = {};
    ::GetClassNameW(window, className, 32);
    if (processId == ::GetCurrentProcessId() && std::wstring(className) == L"#32770" &&
        ::IsWindowVisible(window) && ::GetDlgItem(window, kMessageTextId)) {
        reinterpret_cast<Search*>(parameter)->boxes.push_back(window);
    }
    return TRUE;
}

}  // namespace

MessageBoxWatcher::MessageBoxWatcher(int answerAfterMs)
    : m_answerAfterMs(answerAfterMs), m_thread([this] { Watch(); }) {}

MessageBoxWatcher::~MessageBoxWatcher() {
    m_stop = true;
    m_thread.join();
}

std::vector<MessageBoxWatcher::Seen> MessageBoxWatcher::Boxes() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_seen;
}

void MessageBoxWatcher::Watch() {
    std::vector<HWND> answered;
    std::vector<std::pair<HWND, DWORD>> firstSeen;
    while (!m_stop) {
        Search search;
        ::EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&search));
        for (HWND box : search.boxes) {
            if (std::find(answered.begin(), answered.end(), box) != answered.end()) continue;
            auto seenAt = std::find_if(firstSeen.begin(), firstSeen.end(),
                                       [box](const auto& entry) { return entry.first == box; });
            if (seenAt == firstSeen.end()) {
                firstSeen.emplace_back(box, ::GetTickCount());
                seenAt = firstSeen.end() - 1;
            }
            if (::GetTickCount() - seenAt->second < static_cast<DWORD>(m_answerAfterMs)) continue;
            Seen seen;
            seen.caption = TextOf(box);
            seen.text = TextOf(::GetDlgItem(box, kMessageTextId));
            for (int id : kMessageIconIds) {
                HWND icon = ::GetDlgItem(box, id);
                if (icon && reinterpret_cast<HICON>(::SendMessageW(icon, STM_GETICON, 0, 0)) ==
                                ::LoadIconW(nullptr, IDI_EXCLAMATION)) {
                    seen.exclamationIcon = true;
                }
            }
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_seen.push_back(seen);
            }
            answered.push_back(box);
            ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                           reinterpret_cast<LPARAM>(::GetDlgItem(box, IDOK)));
        }
        ::Sleep(20);
    }
}

}  // namespace tavelin::test
