// One desktop and one display as read from the window server's table. Plain values.
#pragma once

#include "platform/Types.h"

#include <optional>
#include <string>
#include <vector>

namespace quorvel {

struct Space {
    SpaceId id = 0;
    int index = 0; // the number the user sees, from 1; 0 for a full-screen desktop
    bool isFullScreen = false;
    std::optional<std::string> fullScreenAppName;
    bool isCurrent = false;
    std::string displayID;
    friend bool operator==(const Space&, const Space&) = default;
};

struct Display {
    std::string id; // the display's UUID, or "display-" and its position in the table
    bool isMain = false;
    std::vector<Space> spaces;
    std::string label; // the screen's name, or "Display " and its 1-based position
    friend bool operator==(const Display&, const Display&) = default;
};

} // namespace quorvel
