// What one monitor's strip draws (StripPresentation), and where: how much each tab shows so the
// strip fits its monitor, the strip's frame below the top panel, and every tab's parts with its
// accessibility label. Pure; sizes in device-independent pixels, y down.
#pragma once

#include "platform/Types.h"
#include "settings/Settings.h"
#include "strip/StripVisibility.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

struct StripTab {
    SpaceId spaceID = 0;
    int index = 0; // the desktop's number
    std::string name;
    bool isFullScreen = false;
    bool tilingActive = false; // show the tiling mark
    bool isEmpty = false;      // the desktop has no windows
    std::vector<Rect> layout;  // the mini-map: fractions 0…1 of the display
    friend bool operator==(const StripTab&, const StripTab&) = default;
};

struct StripPresentation {
    std::string displayID;
    std::vector<StripTab> tabs;
    std::optional<SpaceId> actualCurrentSpaceID; // the desktop the window manager reports as current
    std::optional<SpaceId> requestedSpaceID;     // the desktop a switch is heading for
    MenuDensity density = MenuDensity::full;
    StripVisibility visibility = strip::Hidden{};
    long topologyGeneration = 0;
    bool showsMiniMaps = true;
    friend bool operator==(const StripPresentation&, const StripPresentation&) = default;
};

namespace StripMetrics {
inline constexpr double height = 32;
inline constexpr double tabHeight = 26;
inline constexpr double tabY = 3;
inline constexpr double firstTabX = 3;
inline constexpr double tabSpacing = 2;
inline constexpr double namedTabWidth = 132;
inline constexpr double badgeTabWidth = 26;
inline constexpr double miniMapExtra = 28;
inline constexpr double edgeMargin = 8;    // from the monitor's edge, left and right alignment
inline constexpr double fitMargin = 32;    // a density fits when the strip is this much narrower than the monitor
} // namespace StripMetrics

// The tab the strip centres on: the first one of the requested desktop, else of the current one.
std::optional<std::size_t> focusTab(const std::vector<StripTab>& tabs, std::optional<SpaceId> requested,
                                    std::optional<SpaceId> actual);

// Whether tab `index` shows its name under `density`.
bool showsName(MenuDensity density, std::optional<std::size_t> focus, std::size_t index);

// 6 + 2 × (n − 1) + the tabs' widths.
double stripWidth(std::size_t tabCount, MenuDensity density, bool showsMiniMaps, std::optional<std::size_t> focus);

// The richest density the setting allows whose strip fits `screenWidth` − 32; minimal when none does.
MenuDensity chooseDensity(MenuDensity setting, std::size_t tabCount, bool showsMiniMaps,
                          std::optional<std::size_t> focus, double screenWidth);

// The strip's frame: hanging below the top panel (`topInset` high), aligned, kept on the monitor
// (a strip wider than the monitor starts at its left edge).
Rect stripFrame(const Rect& screenFrame, double topInset, StripAlignment alignment, double width);

struct StripTabLayout {
    Rect frame;      // in the strip
    bool selected = false;
    bool showsName = false;
    bool showsMiniMap = false;
    Rect badge;      // in the tab
    std::optional<Rect> miniMap;
    std::optional<Rect> nameFrame;
    std::string badgeText; // "⊞" for a full-screen desktop, else its number
    std::string accessibilityLabel;
    friend bool operator==(const StripTabLayout&, const StripTabLayout&) = default;
};

// "Desktop 3, Mail, tiling on, empty, current"; a full-screen desktop is "Fullscreen desktop".
std::string accessibilityLabel(const StripTab& tab, bool selected);

// Every tab of the presentation, left to right.
std::vector<StripTabLayout> layOutStrip(const StripPresentation& presentation);

} // namespace quorvel
