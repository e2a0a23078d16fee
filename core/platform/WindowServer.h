// The window server's desktop functions and its window list. Each function may be missing on a
// given system ("unresolved"); callers go through WindowServerApi, which logs and answers neutrally.
// Property-list shaped answers are JSON, so wrong types can be represented exactly.
#pragma once

#include "platform/Types.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

namespace quorvel {

using Json = nlohmann::json;

// Keys of the display/desktop table (copyManagedDisplaySpaces).
namespace spacekeys {
inline constexpr const char* displayIdentifier = "Display Identifier";
inline constexpr const char* spaces = "Spaces";
inline constexpr const char* currentSpace = "Current Space";
inline constexpr const char* managedSpaceId = "ManagedSpaceID";
inline constexpr const char* tileLayoutManager = "TileLayoutManager";
} // namespace spacekeys

// Keys of a window-list entry (copyWindowList) and of its bounds dictionary.
namespace windowkeys {
inline constexpr const char* number = "kCGWindowNumber";
inline constexpr const char* ownerName = "kCGWindowOwnerName";
inline constexpr const char* ownerPid = "kCGWindowOwnerPID";
inline constexpr const char* layer = "kCGWindowLayer";
inline constexpr const char* bounds = "kCGWindowBounds";
inline constexpr const char* name = "kCGWindowName";
inline constexpr const char* x = "X";
inline constexpr const char* y = "Y";
inline constexpr const char* width = "Width";
inline constexpr const char* height = "Height";
} // namespace windowkeys

// Options of the window-list read; they combine as bits.
enum WindowListOption : unsigned {
    windowListAll = 0,
    windowListOnScreenOnly = 1u << 0,
    windowListExcludeDesktopElements = 1u << 4,
};

// The mask of copySpacesForWindows that asks for every desktop a window is on.
inline constexpr int kAllSpacesMask = 7;

class WindowServer {
public:
    enum class Function {
        defaultConnection,
        copyManagedDisplaySpaces,
        getActiveSpace,
        moveWindowsToManagedSpace,
        managedDisplaySetCurrentSpace,
        copySpacesForWindows,
    };

    WindowServer() = default;
    WindowServer(const WindowServer&) = delete;
    WindowServer& operator=(const WindowServer&) = delete;
    virtual ~WindowServer() = default;

    // Whether `function` is available; found or absent, the answer holds for the process.
    virtual bool resolves(Function function) const = 0;

    virtual ConnectionId defaultConnection() = 0;
    // An array of display dictionaries (keys in `spacekeys`).
    virtual Json copyManagedDisplaySpaces(ConnectionId connection) = 0;
    virtual SpaceId getActiveSpace(ConnectionId connection) = 0;
    // Takes effect asynchronously; callers check later.
    virtual void moveWindowsToManagedSpace(ConnectionId connection, const std::vector<WindowId>& windows,
                                           SpaceId space) = 0;
    // Takes effect asynchronously; callers check later.
    virtual void managedDisplaySetCurrentSpace(ConnectionId connection, const std::string& display,
                                               SpaceId space) = 0;
    // An array of desktop ids, or none when the server has no answer.
    virtual std::optional<Json> copySpacesForWindows(ConnectionId connection, int mask,
                                                     const std::vector<WindowId>& windows) = 0;
    // The window list front to back: an array of window dictionaries (keys in `windowkeys`).
    // `relativeTo` 0 means no reference window. Never unresolved.
    virtual Json copyWindowList(unsigned options, WindowId relativeTo) = 0;
};

const char* functionName(WindowServer::Function function);

} // namespace quorvel
