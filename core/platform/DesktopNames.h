// The desktop names the window manager keeps for every pager and taskbar (on X11 the root's
// _NET_DESKTOP_NAMES), in desktop order: read, write and hear of changes, whoever made them.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

class DesktopNames {
public:
    DesktopNames() = default;
    DesktopNames(const DesktopNames&) = delete;
    DesktopNames& operator=(const DesktopNames&) = delete;
    virtual ~DesktopNames() = default;

    // The list as it is now, first desktop first; none when nobody has set it or it cannot be
    // read. It may hold more or fewer names than there are desktops.
    virtual std::optional<std::vector<std::string>> names() = 0;
    // Replaces the whole list. Takes effect asynchronously; a later names() sees it.
    virtual void setNames(const std::vector<std::string>& names) = 0;
    // Called on the main queue after the list changed (our own writes included); one handler,
    // replaced by the next call, none with an empty function.
    virtual void onNamesChanged(std::function<void()> handler) = 0;
};

} // namespace quorvel
