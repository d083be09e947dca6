// Message maps as data: each class has a static table that binds a window message, or a
// command identifier with its notification code, to a member handler with typed arguments.
// A map names its base class's map; a message that no map in the chain binds goes to the
// default processing.
#pragma once

#include <windows.h>
#include <windowsx.h>

#include <cstddef>

namespace tavelin {

class CCmdTarget;

struct MessageMapEntry {
    UINT message;  // WM_COMMAND for command entries
    UINT code;     // notification code of a command entry (0 for menus and button clicks)
    UINT id;       // command identifier of a command entry
    LRESULT (*invoke)(CCmdTarget& target, WPARAM wParam, LPARAM lParam);
};

struct MessageMap {
    const MessageMap* base;
    const MessageMapEntry* entries;
    size_t count;

    // The first entry along the chain that binds the message, or null.
    const MessageMapEntry* Find(UINT message, WPARAM wParam) const;
};

// Run-time class information: a class's name and its base's, so that an object can be asked
// what it is. Objects are not created by name.
struct CRuntimeClass {
    const char* m_lpszClassName;
    const CRuntimeClass* m_pBaseClass;
};

class CCmdTarget {
public:
    virtual const CRuntimeClass* GetRuntimeClass() const;
    virtual ~CCmdTarget() = default;
    virtual const MessageMap* GetMessageMap() const;
    bool IsKindOf(const CRuntimeClass* runtimeClass) const;
    static const CRuntimeClass classCCmdTarget;
};

namespace detail {

template <typename Member>
struct MemberClass;
template <typename C, typename R, typename... A>
struct MemberClass<R (C::*)(A...)> {
    using type = C;
};

template <auto Handler>
using ClassOf = typename MemberClass<decltype(Handler)>::type;

// How each message's parameters reach a handler: the message crackers.
template <UINT Message>
struct Cracker {
    // Any message without a cracker of its own: LRESULT Handler(WPARAM, LPARAM).
    template <auto Handler, typename T>
    static LRESULT Call(T& target, WPARAM wParam, LPARAM lParam) {
        return (target.*Handler)(wParam, lParam);
    }
};

// void Handler() for messages whose parameters carry nothing the handler needs.
struct NoArguments {
    template <auto Handler, typename T>
    static LRESULT Call(T& target, WPARAM, LPARAM) {
        (target.*Handler)();
        return 0;
    }
};
template <> struct Cracker<WM_PAINT> : NoArguments {};
template <> struct Cracker<WM_DESTROY> : NoArguments {};
template <> struct Cracker<WM_CLOSE> : NoArguments {};
template <> struct Cracker<WM_COMMAND> : NoArguments {};

// void OnSysCommand(UINT id, LPARAM lParam)
template <>
struct Cracker<WM_SYSCOMMAND> {
    template <auto Handler, typename T>
    static LRESULT Call(T& target, WPARAM wParam, LPARAM lParam) {
        (target.*Handler)(static_cast<UINT>(wParam), lParam);
        return 0;
    }
};

// HCURSOR OnQueryDragIcon()
template <>
struct Cracker<WM_QUERYDRAGICON> {
    template <auto Handler, typename T>
    static LRESULT Call(T& target, WPARAM, LPARAM) {
        return reinterpret_cast<LRESULT>((target.*Handler)());
    }
};

// void OnWindowPosChanging(WINDOWPOS* position)
template <>
struct Cracker<WM_WINDOWPOSCHANGING> {
    template <auto Handler, typename T>
    static LRESULT Call(T& target, WPARAM, LPARAM lParam) {
        (target.*Handler)(reinterpret_cast<WINDOWPOS*>(lParam));
        return 0;
    }
};

// void OnLButtonDown(UINT keys, POINT point)
template <>
struct Cracker<WM_LBUTTONDOWN> {
    template <auto Handler, typename T>
    static LRESULT Call(T& target, WPARAM wParam, LPARAM lParam) {
        (target.*Handler)(static_cast<UINT>(wParam), POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    }
};

template <UINT Message, auto Handler>
LRESULT Invoke(CCmdTarget& target, WPARAM wParam, LPARAM lParam) {
    return Cracker<Message>::template Call<Handler>(static_cast<ClassOf<Handler>&>(target), wParam,
                                                    lParam);
}

}  // namespace detail

// A window message bound to a handler whose arguments its cracker gives.
template <UINT Message, auto Handler>
constexpr MessageMapEntry OnMessage() {
    return {Message, 0, 0, &detail::Invoke<Message, Handler>};
}

// A menu command, or any WM_COMMAND with notification code 0, bound to void Handler().
template <UINT Id, auto Handler>
constexpr MessageMapEntry OnCommand() {
    return {WM_COMMAND, 0, Id, &detail::Invoke<WM_COMMAND, Handler>};
}

// A click on push button or check box Id, bound to void Handler().
template <UINT Id, auto Handler>
constexpr MessageMapEntry OnButtonClicked() {
    return {WM_COMMAND, BN_CLICKED, Id, &detail::Invoke<WM_COMMAND, Handler>};
}

// A notification `Code` from control Id (EN_SETFOCUS, say), bound to void Handler().
template <UINT Code, UINT Id, auto Handler>
constexpr MessageMapEntry OnControlNotify() {
    return {WM_COMMAND, Code, Id, &detail::Invoke<WM_COMMAND, Handler>};
}

template <size_t N>
constexpr MessageMap MakeMessageMap(const MessageMap* base, const MessageMapEntry (&entries)[N]) {
    return {base, entries, N};
}

}  // namespace tavelin
