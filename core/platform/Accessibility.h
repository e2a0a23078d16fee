// Elements, attributes, actions and observers of other applications' windows, with the error
// codes callers branch on. Elements are opaque handles; the backend gives them meaning.
#pragma once

#include "platform/Types.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quorvel {

// Stored by raw value: the numbers are part of log lines ("observer for pid %d is dead (%d)").
enum class AXError : std::int32_t {
    success = 0,
    failure = -25200,
    illegalArgument = -25201,
    invalidUIElement = -25202,
    invalidUIElementObserver = -25203,
    cannotComplete = -25204,
    attributeUnsupported = -25205,
    actionUnsupported = -25206,
    notificationUnsupported = -25207,
    notImplemented = -25208,
    notificationAlreadyRegistered = -25209,
    notificationNotRegistered = -25210,
    apiDisabled = -25211,
    noValue = -25212,
};

inline std::int32_t code(AXError error) { return static_cast<std::int32_t>(error); }

// An element: the system-wide element, an application or a window (or a menu item, later).
// The zero handle is no element.
struct AXElement {
    std::uint64_t handle = 0;
    explicit operator bool() const { return handle != 0; }
    friend bool operator==(const AXElement&, const AXElement&) = default;
};

using AXValue = std::variant<std::monostate, bool, std::int64_t, double, std::string, Point, Size, AXElement,
                             std::vector<AXElement>>;

template <class T>
struct AXResult {
    AXError error = AXError::failure;
    T value{};
    bool ok() const { return error == AXError::success; }
};

using AXObserverId = std::uint64_t; // 0 is no observer

// Attribute, notification and action names used across the program.
namespace ax {
inline constexpr std::string_view role = "AXRole";
inline constexpr std::string_view subrole = "AXSubrole";
inline constexpr std::string_view title = "AXTitle";
inline constexpr std::string_view position = "AXPosition";
inline constexpr std::string_view size = "AXSize";
inline constexpr std::string_view minimized = "AXMinimized";
inline constexpr std::string_view fullScreen = "AXFullScreen";
inline constexpr std::string_view hidden = "AXHidden";
inline constexpr std::string_view windows = "AXWindows";
inline constexpr std::string_view focusedWindow = "AXFocusedWindow";
inline constexpr std::string_view menuBar = "AXMenuBar";
inline constexpr std::string_view children = "AXChildren";
inline constexpr std::string_view menuItemCmdChar = "AXMenuItemCmdChar";
inline constexpr std::string_view windowRole = "AXWindow";
inline constexpr std::string_view standardWindow = "AXStandardWindow";
inline constexpr std::string_view raise = "AXRaise";
inline constexpr std::string_view press = "AXPress";
inline constexpr std::string_view windowCreated = "AXWindowCreated";
inline constexpr std::string_view focusedWindowChanged = "AXFocusedWindowChanged";
inline constexpr std::string_view elementDestroyed = "AXUIElementDestroyed";
inline constexpr std::string_view windowMiniaturized = "AXWindowMiniaturized";
inline constexpr std::string_view windowDeminiaturized = "AXWindowDeminiaturized";
} // namespace ax

class Accessibility {
public:
    // Called on the main thread for a registered notification; `refcon` is what was registered.
    using ObserverCallback = std::function<void(AXObserverId observer, AXElement element,
                                                const std::string& notification, std::optional<std::uint64_t> refcon)>;

    Accessibility() = default;
    Accessibility(const Accessibility&) = delete;
    Accessibility& operator=(const Accessibility&) = delete;
    virtual ~Accessibility() = default;

    // Whether this process may read and move other applications' windows.
    virtual bool isProcessTrusted() = 0;
    // The same, asking the system to prompt the user when it is not.
    virtual bool isProcessTrustedWithPrompt() = 0;

    virtual AXElement systemWideElement() = 0;
    virtual AXElement applicationElement(Pid pid) = 0;
    virtual AXError setMessagingTimeout(AXElement element, double seconds) = 0;

    virtual AXResult<AXValue> copyAttributeValue(AXElement element, std::string_view attribute) = 0;
    virtual AXError setAttributeValue(AXElement element, std::string_view attribute, const AXValue& value) = 0;
    virtual AXResult<bool> isAttributeSettable(AXElement element, std::string_view attribute) = 0;
    virtual AXError performAction(AXElement element, std::string_view action) = 0;
    virtual AXResult<Pid> pid(AXElement element) = 0;

    // The window number behind a window element. `resolvesWindowLookup` false means the lookup
    // itself is missing on this system; windowId then always answers none.
    virtual bool resolvesWindowLookup() const = 0;
    // Only on success and when the number is not 0.
    virtual std::optional<WindowId> windowId(AXElement element) = 0;

    // Observers: one per application process. Notifications are delivered only while the
    // observer is scheduled on the main run loop.
    virtual AXResult<AXObserverId> createObserver(Pid pid, ObserverCallback callback) = 0;
    virtual AXError addNotification(AXObserverId observer, AXElement element, std::string_view notification,
                                    std::optional<std::uint64_t> refcon) = 0;
    virtual AXError removeNotification(AXObserverId observer, AXElement element, std::string_view notification) = 0;
    virtual void scheduleObserver(AXObserverId observer) = 0;
    virtual void unscheduleObserver(AXObserverId observer) = 0;
    // Releases the observer and every registration it holds.
    virtual void releaseObserver(AXObserverId observer) = 0;
};

} // namespace quorvel
