// The window server's desktops and its window list, as typed values. On X11 these are the EWMH
// hints a window manager publishes on the root window; a hint it does not announce makes the
// calls resting on it unavailable. Callers go through WindowServerApi, which logs and answers
// neutrally.
#pragma once

#include "platform/Types.h"

#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace quorvel {

// The window-manager hints the desktop calls rest on.
enum class DesktopHint {
    numberOfDesktops, // _NET_NUMBER_OF_DESKTOPS: the desktop table
    currentDesktop,   // _NET_CURRENT_DESKTOP: the current desktop, and switching to another
    windowDesktop,    // _NET_WM_DESKTOP: the desktops of a window, and moving windows there
    clientList,       // _NET_CLIENT_LIST: the window list
};

// The hint's property name, e.g. "_NET_CURRENT_DESKTOP".
inline const char* hintName(DesktopHint hint) {
    switch (hint) {
    case DesktopHint::numberOfDesktops: return "_NET_NUMBER_OF_DESKTOPS";
    case DesktopHint::currentDesktop: return "_NET_CURRENT_DESKTOP";
    case DesktopHint::windowDesktop: return "_NET_WM_DESKTOP";
    case DesktopHint::clientList: return "_NET_CLIENT_LIST";
    }
    return "?";
}

// Why a call has no answer.
struct ServerError {
    enum class Kind {
        unsupported, // the window manager does not announce the hint the call rests on
        noAnswer,    // the hint is announced but the read gave nothing this time
    };
    Kind kind = Kind::noAnswer;
    std::string what; // unsupported: the hint's name; otherwise what failed, in X11 terms

    static ServerError unsupported(DesktopHint hint) { return {Kind::unsupported, hintName(hint)}; }
    static ServerError noAnswer(std::string what) { return {Kind::noAnswer, std::move(what)}; }
    friend bool operator==(const ServerError&, const ServerError&) = default;
};

// A value, or the reason there is none.
template <class T>
class Answer {
public:
    Answer(T value) : m_value(std::move(value)) {}
    Answer(ServerError error) : m_value(std::move(error)) {}

    bool ok() const { return std::holds_alternative<T>(m_value); }
    explicit operator bool() const { return ok(); }
    const T& operator*() const { return std::get<T>(m_value); }
    T& operator*() { return std::get<T>(m_value); }
    const T* operator->() const { return &std::get<T>(m_value); }
    const ServerError& error() const { return std::get<ServerError>(m_value); }
    T valueOr(T fallback) const { return ok() ? **this : std::move(fallback); }

private:
    std::variant<T, ServerError> m_value;
};

// A request that only succeeds or fails.
using Outcome = Answer<std::monostate>;
inline Outcome done() { return std::monostate{}; }

enum class DesktopKind { normal, fullScreen };

struct Desktop {
    SpaceId id = 0;
    DesktopKind kind = DesktopKind::normal;
    friend bool operator==(const Desktop&, const Desktop&) = default;
};

struct DisplayDesktops {
    std::string identifier;               // empty when the display cannot be named
    std::optional<SpaceId> currentDesktop; // none when the server does not say
    std::vector<Desktop> desktops;         // in the order the user sees them
    friend bool operator==(const DisplayDesktops&, const DisplayDesktops&) = default;
};

// Every display with its desktops; the order of `displays` is the server's.
struct DesktopTable {
    std::vector<DisplayDesktops> displays;
    friend bool operator==(const DesktopTable&, const DesktopTable&) = default;
};

// One entry of the window list. Only ordinary application windows are on layer 0; desktop
// windows, docks, dialogs and menus each have a layer of their own (see the backends).
struct WindowInfo {
    WindowId id = 0;
    std::optional<Pid> ownerPid;
    std::optional<std::string> ownerName;
    int layer = 0;
    Rect frame;                       // window-server space, the frame the window manager draws included
    std::optional<std::string> title; // none when the window has no title
    friend bool operator==(const WindowInfo&, const WindowInfo&) = default;
};

// Which windows the window list holds.
enum class WindowFilter {
    all,
    onScreenOnly,           // on a desktop that is shown (or on every desktop) and not minimised
    excludeDesktopElements, // every desktop, without desktop windows, docks and panels
};

class WindowServer {
public:
    WindowServer() = default;
    WindowServer(const WindowServer&) = delete;
    WindowServer& operator=(const WindowServer&) = delete;
    virtual ~WindowServer() = default;

    // Whether the window manager announces `hint`; the answer holds for the process.
    virtual bool announces(DesktopHint hint) const = 0;

    virtual Answer<DesktopTable> desktopTable() = 0;
    // The desktop the user is on.
    virtual Answer<SpaceId> currentDesktop() = 0;
    // Takes effect asynchronously; callers check later.
    virtual Outcome moveWindowsToDesktop(const std::vector<WindowId>& windows, SpaceId desktop) = 0;
    // Takes effect asynchronously; callers check later. `display` is an identifier of the table.
    virtual Outcome setCurrentDesktop(const std::string& display, SpaceId desktop) = 0;
    // Every desktop the window is on (all of them for a window shown on every desktop); empty for
    // a window that is gone or not placed yet.
    virtual Answer<std::vector<SpaceId>> desktopsOfWindow(WindowId window) = 0;
    // The window list, front to back. No answer is not an empty desktop.
    virtual Answer<std::vector<WindowInfo>> windows(WindowFilter filter) = 0;
};

} // namespace quorvel
