// Other applications' windows, read and moved: whether we may, an application's windows and its
// focused window, typed attributes, one-call frame writes, raise, and per-application observers.
// A window is addressed by its WindowId (on X11 the client window's XID). Main thread only.
#pragma once

#include "platform/Types.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvel {

// Why a window request did nothing. Log lines print the name (errorName), never a number.
enum class WindowError : std::uint8_t {
    windowGone,       // the window or the application no longer exists
    notPermitted,     // no window manager that announces EWMH: nothing may be read or moved
    unsupported,      // the request does not apply to this window or application
    invalidArgument,  // a value that cannot be sent (not finite)
    cannotComplete,   // the window or its application refused, or the request failed
    noValue,          // there is nothing to answer (an application without a focused window)
    observerGone,     // the observer stopped working; make a new one
    alreadyWatching,  // the same registration exists already: nothing changed
};

const char* errorName(WindowError error);

// A value, or the error that explains why there is none.
template <class T>
class [[nodiscard]] WindowResult {
public:
    WindowResult(T value) : m_value(std::move(value)) {}
    WindowResult(WindowError error) : m_error(error) {}

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const { return *m_value; }
    const T& operator*() const { return *m_value; }
    const T* operator->() const { return &*m_value; }
    T valueOr(T fallback) const { return m_value ? *m_value : std::move(fallback); }
    // None when ok().
    std::optional<WindowError> error() const { return ok() ? std::nullopt : std::optional(m_error); }

private:
    std::optional<T> m_value;
    WindowError m_error = WindowError::cannotComplete;
};

// Done, or the error that explains why not.
template <>
class [[nodiscard]] WindowResult<void> {
public:
    WindowResult() = default;
    WindowResult(WindowError error) : m_error(error) {}

    bool ok() const { return !m_error.has_value(); }
    explicit operator bool() const { return ok(); }
    // None when ok().
    std::optional<WindowError> error() const { return m_error; }
    // "ok" or the error's name, for log lines.
    const char* name() const { return m_error ? errorName(*m_error) : "ok"; }

private:
    std::optional<WindowError> m_error;
};

using WindowStatus = WindowResult<void>;

// What a window is, as far as tiling cares: only standard windows are ever tiled.
enum class WindowKind : std::uint8_t {
    standard, // a normal top-level window
    dialog,   // a dialog or a window transient for another
    floating, // utility windows, toolbars, palettes
    other,    // menus, splashes, tooltips, helper windows
    desktop,  // part of the desktop itself: the desktop a file manager draws, panels and docks
};

// Part of a frame, or all of it, in one request: the parts not given are kept.
struct FrameChange {
    std::optional<Point> origin;
    std::optional<Size> size;
};

// The answer to one frame write, per part; a part not asked for is ok.
struct FrameWritten {
    WindowStatus origin;
    WindowStatus size;
    bool ok() const { return origin.ok() && size.ok(); }
};

// A window's outer frame as read with many others, and the steps its size moves in
// (WM_NORMAL_HINTS resize increments on X11; 0 when any size will do).
struct FrameReading {
    Rect frame;
    Size sizeStep;
};

enum class WindowEvent : std::uint8_t {
    windowCreated,        // application-wide: one of its windows appeared
    focusedWindowChanged, // application-wide: its focused window changed
    windowDestroyed,      // per window
    minimised,            // per window
    restored,             // per window: no longer minimised
    desktopChanged,       // per window: moved to another desktop, or onto every desktop, by someone else
    fullScreenEntered,    // per window
    fullScreenLeft,       // per window
    frameChanged,         // per window: moved or resized (also by our own writes); coalesced per turn
};

const char* eventName(WindowEvent event);

// Application-wide events are registered on the application (no window); the others per window.
constexpr bool isApplicationEvent(WindowEvent event) {
    return event == WindowEvent::windowCreated || event == WindowEvent::focusedWindowChanged;
}

using WindowObserverId = std::uint64_t; // 0 is no observer

class WindowControl {
public:
    // Called on the main thread, later than the change, with the window it concerns and the
    // context given when the registration was made.
    using ObserverCallback = std::function<void(WindowObserverId observer, WindowEvent event, WindowId window,
                                                std::optional<std::uint64_t> context)>;

    WindowControl() = default;
    WindowControl(const WindowControl&) = delete;
    WindowControl& operator=(const WindowControl&) = delete;
    virtual ~WindowControl() = default;

    // Whether other applications' windows may be read and moved now (X11: a window manager that
    // announces EWMH runs). Every other call answers notPermitted while this is false.
    virtual bool isAvailable() = 0;
    // The same, asking the user for access first where the platform has anything to ask.
    virtual bool requestAccess() = 0;

    // An application's windows, front to back.
    virtual WindowResult<std::vector<WindowId>> windows(Pid pid) = 0;
    // The window that has (or would have, were the application active) the keyboard focus.
    virtual WindowResult<WindowId> focusedWindow(Pid pid) = 0;
    virtual WindowResult<Pid> owner(WindowId window) = 0;

    virtual WindowResult<WindowKind> kind(WindowId window) = 0;
    virtual WindowResult<std::string> title(WindowId window) = 0;
    // The outer frame in window-server space.
    virtual WindowResult<Rect> frame(WindowId window) = 0;
    virtual WindowResult<bool> isMinimised(WindowId window) = 0;
    virtual WindowResult<bool> isFullScreen(WindowId window) = 0;
    virtual WindowResult<bool> canResize(WindowId window) = 0;
    // The frames of many windows at once (on X11 one round trip for all of them); a window without
    // an answer (gone, or no access) is left out. Writes made right after may reuse what was read.
    virtual std::map<WindowId, FrameReading> frames(const std::vector<WindowId>& windows);

    // One request; takes effect asynchronously on a real server (read the frame back later).
    virtual FrameWritten setFrame(WindowId window, const FrameChange& change) = 0;
    FrameWritten setFrame(WindowId window, const Rect& frame) {
        return setFrame(window, FrameChange{frame.origin(), frame.size()});
    }
    virtual WindowStatus setMinimised(WindowId window, bool minimised) = 0;
    // Brings the window to the front and gives it the focus.
    virtual WindowStatus raise(WindowId window) = 0;

    // One observer per application process; it delivers what is registered on it until released.
    virtual WindowResult<WindowObserverId> createObserver(Pid pid, ObserverCallback callback) = 0;
    // Registers `event` on the observer's application (`window` none, application-wide events) or
    // on one of its windows; `context` comes back with every delivery of this registration.
    virtual WindowStatus watch(WindowObserverId observer, WindowEvent event, std::optional<WindowId> window,
                               std::optional<std::uint64_t> context) = 0;
    // Releases the observer and every registration it holds; nothing more is delivered.
    virtual void releaseObserver(WindowObserverId observer) = 0;
};

} // namespace quorvel
