#include "strip/StripLayout.h"

#include <algorithm>

namespace quorvel {

namespace {

double tabWidth(bool named, bool showsMiniMaps) {
    const double base = named ? StripMetrics::namedTabWidth : StripMetrics::badgeTabWidth;
    return showsMiniMaps ? base + StripMetrics::miniMapExtra : base;
}

std::vector<MenuDensity> densityCandidates(MenuDensity setting) {
    switch (setting) {
    case MenuDensity::full: return {MenuDensity::full, MenuDensity::focused, MenuDensity::minimal};
    case MenuDensity::focused: return {MenuDensity::focused, MenuDensity::minimal};
    case MenuDensity::minimal: return {MenuDensity::minimal};
    }
    return {MenuDensity::minimal};
}

} // namespace

std::optional<std::size_t> focusTab(const std::vector<StripTab>& tabs, std::optional<SpaceId> requested,
                                    std::optional<SpaceId> actual) {
    const std::optional<SpaceId> target = requested ? requested : actual;
    if (!target) return std::nullopt;
    const auto found = std::find_if(tabs.begin(), tabs.end(), [&](const StripTab& tab) { return tab.spaceID == *target; });
    if (found == tabs.end()) return std::nullopt;
    return static_cast<std::size_t>(found - tabs.begin());
}

bool showsName(MenuDensity density, std::optional<std::size_t> focus, std::size_t index) {
    switch (density) {
    case MenuDensity::full: return true;
    case MenuDensity::focused: return focus == index;
    case MenuDensity::minimal: return false;
    }
    return false;
}

double stripWidth(std::size_t tabCount, MenuDensity density, bool showsMiniMaps, std::optional<std::size_t> focus) {
    if (tabCount == 0) return 2 * StripMetrics::firstTabX;
    double width = 2 * StripMetrics::firstTabX + StripMetrics::tabSpacing * static_cast<double>(tabCount - 1);
    for (std::size_t i = 0; i < tabCount; ++i) width += tabWidth(showsName(density, focus, i), showsMiniMaps);
    return width;
}

MenuDensity chooseDensity(MenuDensity setting, std::size_t tabCount, bool showsMiniMaps,
                          std::optional<std::size_t> focus, double screenWidth) {
    for (MenuDensity candidate : densityCandidates(setting)) {
        if (stripWidth(tabCount, candidate, showsMiniMaps, focus) <= screenWidth - StripMetrics::fitMargin)
            return candidate;
    }
    return MenuDensity::minimal;
}

Rect stripFrame(const Rect& screenFrame, double topInset, StripAlignment alignment, double width) {
    double x = 0;
    switch (alignment) {
    case StripAlignment::left: x = screenFrame.minX() + StripMetrics::edgeMargin; break;
    case StripAlignment::centre: x = screenFrame.minX() + screenFrame.width / 2 - width / 2; break;
    case StripAlignment::right: x = screenFrame.maxX() - width - StripMetrics::edgeMargin; break;
    }
    x = std::min(std::max(x, screenFrame.minX()), std::max(screenFrame.minX(), screenFrame.maxX() - width));
    return {x, screenFrame.minY() + topInset, width, StripMetrics::height};
}

std::string accessibilityLabel(const StripTab& tab, bool selected) {
    std::string label = tab.isFullScreen ? "Fullscreen desktop" : "Desktop " + std::to_string(tab.index);
    if (!tab.name.empty()) label += ", " + tab.name;
    if (tab.tilingActive) label += ", tiling on";
    if (tab.isEmpty) label += ", empty";
    if (selected) label += ", current";
    return label;
}

std::vector<StripTabLayout> layOutStrip(const StripPresentation& presentation) {
    constexpr double badgeSize = 14, partGap = 6, miniWidth = 22, nameHeight = 15;
    const auto focus = focusTab(presentation.tabs, presentation.requestedSpaceID, presentation.actualCurrentSpaceID);
    std::vector<StripTabLayout> layouts;
    double x = StripMetrics::firstTabX;
    for (std::size_t i = 0; i < presentation.tabs.size(); ++i) {
        const StripTab& tab = presentation.tabs[i];
        StripTabLayout layout;
        layout.selected = focus == i;
        layout.showsName = showsName(presentation.density, focus, i);
        layout.showsMiniMap = presentation.showsMiniMaps && !tab.isFullScreen;
        const double width = tabWidth(layout.showsName, presentation.showsMiniMaps);
        const double h = StripMetrics::tabHeight;
        layout.frame = {x, StripMetrics::tabY, width, h};

        const bool leftAligned = layout.showsName || layout.showsMiniMap;
        layout.badge = {leftAligned ? partGap : (width - badgeSize) / 2, (h - badgeSize) / 2, badgeSize, badgeSize};
        double lastMaxX = layout.badge.maxX();
        if (layout.showsMiniMap) {
            layout.miniMap = Rect{lastMaxX + partGap, (h - badgeSize) / 2, miniWidth, badgeSize};
            lastMaxX = layout.miniMap->maxX();
        }
        if (layout.showsName) {
            const double nameX = lastMaxX + partGap;
            layout.nameFrame = Rect{nameX, (h - nameHeight) / 2, std::max(width - nameX - partGap, 0.0), nameHeight};
        }
        layout.badgeText = tab.isFullScreen ? "⊞" : std::to_string(tab.index);
        layout.accessibilityLabel = accessibilityLabel(tab, layout.selected);
        layouts.push_back(std::move(layout));
        x += width + StripMetrics::tabSpacing;
    }
    return layouts;
}

} // namespace quorvel
