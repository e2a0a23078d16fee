// Building the tray menu's items and editing them in place (see MenuModel.h).
#include "menubar/MenuModel.h"

#include "menubar/Utf8.h"

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace quorvel {

namespace {

MenuItem separator() { return MenuItem{.kind = MenuItemKind::separator}; }

MenuItem command(MenuCommand cmd, std::string title, std::string toolTip = {}, std::string shortcut = {}) {
    return MenuItem{.kind = MenuItemKind::command,
                    .title = std::move(title),
                    .toolTip = std::move(toolTip),
                    .shortcut = std::move(shortcut),
                    .command = cmd};
}

// The byte offset where each user-perceived character starts. A character is a code point with
// what attaches to it: combining marks, variation selectors, skin-tone modifiers, tags, whatever a
// zero-width joiner joins, and the second regional indicator of a flag (so "👩‍💻", "🇫🇷" or "é"
// written as e + ◌́ is never cut in two).
std::vector<std::size_t> characterStarts(const std::string& text) {
    auto extends = [](char32_t c) {
        return (c >= 0x0300 && c <= 0x036F) || (c >= 0x1AB0 && c <= 0x1AFF) || (c >= 0x20D0 && c <= 0x20FF) ||
               (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xFE20 && c <= 0xFE2F) || c == 0x200D ||
               (c >= 0x1F3FB && c <= 0x1F3FF) || (c >= 0xE0020 && c <= 0xE007F) || (c >= 0xE0100 && c <= 0xE01EF);
    };
    std::vector<std::size_t> starts;
    bool joined = false;
    bool flagOpen = false; // the previous code point is the first regional indicator of a pair
    for (std::size_t i = 0; i < text.size();) {
        const auto [c, length] = utf8::decode(text, i);
        const bool closesFlag = flagOpen && utf8::isRegionalIndicator(c);
        if (starts.empty() || (!extends(c) && !joined && !closesFlag)) starts.push_back(i);
        joined = c == 0x200D;
        flagOpen = utf8::isRegionalIndicator(c) && !closesFlag;
        i += length;
    }
    return starts;
}

} // namespace

MenuDensity nextDensity(MenuDensity density) {
    switch (density) {
    case MenuDensity::full: return MenuDensity::focused;
    case MenuDensity::focused: return MenuDensity::minimal;
    case MenuDensity::minimal: return MenuDensity::full;
    }
    return MenuDensity::full;
}

IndicatorModel makeIndicator(const std::vector<Space>& spaces, MenuDensity density) {
    IndicatorModel m;
    m.density = density;
    const double n = static_cast<double>(spaces.size());
    m.width = std::max(300.0, 24 * n + 60);
    for (std::size_t i = 0; i < spaces.size(); ++i) {
        const Space& s = spaces[i];
        m.numbers.push_back({.frame = {14 + 24 * static_cast<double>(i), 3, 22, 22},
                             .space = s,
                             .title = s.isFullScreen ? "⊞" : std::to_string(s.index),
                             .bold = s.isCurrent,
                             .colour = s.isCurrent ? ColourRole::accent : ColourRole::tertiary});
    }
    m.eyeFrame = {m.width - 14 - 22, 3, 22, 22};
    m.eyeHitRect = m.eyeFrame.insetBy(-6, -3);
    switch (density) {
    case MenuDensity::full:
        m.eyeDescription = "Full menu";
        m.eyeTint = ColourRole::tertiary;
        break;
    case MenuDensity::focused:
        m.eyeDescription = "Focused — configuration hidden";
        m.eyeTint = ColourRole::accent;
        break;
    case MenuDensity::minimal:
        m.eyeDescription = "Minimal — desktops only";
        m.eyeTint = ColourRole::accent;
        break;
    }
    m.eyeToolTip = m.eyeDescription + " — click to change";
    return m;
}

IndicatorModel::Hit IndicatorModel::hitTest(Point p) const {
    auto inside = [&p](const Rect& r) { return p.x >= r.minX() && p.x < r.maxX() && p.y >= r.minY() && p.y < r.maxY(); };
    if (inside(eyeHitRect)) return {.cycleTo = nextDensity(density)};
    for (const IndicatorNumber& number : numbers)
        if (inside(number.frame) && !number.space.isCurrent) return {.switchTo = number.space};
    return {};
}

std::vector<MenuItem> makeSpaceRowItems(const RowSectionInput& in) {
    const bool showPencil = in.editMode && in.density == MenuDensity::full;
    const bool showTiling = showPencil || (in.showTilingBadges && in.density != MenuDensity::minimal);
    const bool several = in.displays.size() >= 2;
    std::vector<MenuItem> items;
    for (const auto& display : in.displays) {
        if (several) items.push_back({.kind = MenuItemKind::header, .title = display.label, .enabled = false});
        for (const SpaceRowSource& src : display.spaces) {
            const Space& s = src.space;
            SpaceRowFields f;
            f.style = SpaceRowStyle::menu;
            f.spaceID = s.id;
            f.index = s.index;
            f.isFullScreen = s.isFullScreen;
            f.placeholder = s.isFullScreen ? s.fullScreenAppName.value_or("Fullscreen") : "Desktop " + std::to_string(s.index);
            f.customLabel = src.customLabel;
            f.displayedName = src.displayName;
            f.showPencil = showPencil;
            f.showMiniMap = in.showMiniMaps;
            f.showTiling = showTiling;
            if (in.showMiniMaps) {
                const auto it = in.layouts.find(s.id);
                if (it != in.layouts.end()) f.miniLayout = it->second;
            }
            f.isCurrent = s.isCurrent;
            f.tilingOverride = src.tilingOverride;
            f.globalTiling = in.tilingEnabled;
            f.width = standardRowWidth(SpaceRowStyle::menu);
            MenuItem item{.kind = MenuItemKind::row, .title = spaceRowAccessibilityLabel(f), .toolTip = kRowToolTip};
            item.row = std::move(f);
            item.space = s;
            items.push_back(std::move(item));
        }
        if (several) items.push_back(separator());
    }
    if (!several) items.push_back(separator());
    return items;
}

std::vector<MenuItem> makeMenuTail(const TailInput& in) {
    std::vector<std::vector<MenuItem>> groups;
    if (in.density == MenuDensity::full) {
        MenuItem toggles{.kind = MenuItemKind::toggleRow, .title = "Edit mode and tiling"};
        toggles.toggles = ToggleRowModel{.editOn = in.editMode, .tilingOn = in.tilingEnabled};
        groups.push_back({std::move(toggles)});
    }
    if (in.density != MenuDensity::minimal && in.engineRunning)
        groups.push_back({command(MenuCommand::flipSplit, "Flip Split Orientation",
                                  "Turn the focused window's split from stacked to side-by-side, or back")});
    if (in.density != MenuDensity::minimal && in.focusDisplayItem) groups.push_back({*in.focusDisplayItem});
    if (in.accessibilityItem) groups.push_back({*in.accessibilityItem});
    if (in.density == MenuDensity::full)
        groups.push_back({command(MenuCommand::reportProblem, "Report a Problem…"),
                          command(MenuCommand::openSettings, "Settings...", {}, "Ctrl+,")});
    groups.push_back({command(MenuCommand::quit, "Quit Quorvel", {}, "Ctrl+Q")});

    std::vector<MenuItem> tail;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        for (MenuItem& item : groups[g]) tail.push_back(std::move(item));
        if (g + 1 < groups.size()) tail.push_back(separator());
    }
    return tail;
}

std::optional<MenuItem> makeFocusDisplayItem(const std::vector<FocusDisplayChoice>& displays) {
    if (displays.size() < 2) return std::nullopt;
    // Every monitor of an X screen shows the same desktops: no setting can make the item unusable.
    MenuItem item{.kind = MenuItemKind::submenu, .title = "Focus Display",
                  .toolTip = "Make another monitor the main one"};
    for (const FocusDisplayChoice& display : displays) {
        MenuItem choice{.kind = MenuItemKind::displayChoice, .title = display.name};
        choice.checked = display.isMain;
        choice.displayId = display.displayId;
        item.submenu.push_back(std::move(choice));
    }
    return item;
}

MenuLayout MenuLayout::build(MenuItem indicator, std::vector<MenuItem> rows, std::vector<MenuItem> tail) {
    MenuLayout m;
    m.m_items.push_back(std::move(indicator));
    m.m_items.push_back(separator());
    m.m_spaceRowsStart = static_cast<int>(m.m_items.size());
    m.m_sectionCount = static_cast<int>(rows.size());
    for (MenuItem& item : rows) m.m_items.push_back(std::move(item));
    m.m_tailStart = static_cast<int>(m.m_items.size());
    for (MenuItem& item : tail) m.m_items.push_back(std::move(item));
    return m;
}

MenuEdit MenuLayout::apply(MenuEdit edit) {
    const auto first = m_items.begin() + edit.index;
    m_items.erase(first, first + edit.removeCount);
    m_items.insert(m_items.begin() + edit.index, edit.inserted.begin(), edit.inserted.end());
    return edit;
}

MenuEdit MenuLayout::replaceRows(std::vector<MenuItem> rows) {
    const int count = static_cast<int>(rows.size());
    MenuEdit edit = apply({m_spaceRowsStart, m_sectionCount, std::move(rows)});
    m_sectionCount = count;
    // The tail keeps its items and moves with the section.
    if (m_tailStart >= 0) m_tailStart = m_spaceRowsStart + m_sectionCount;
    return edit;
}

MenuEdit MenuLayout::replaceTail(std::vector<MenuItem> tail) {
    const int start = m_spaceRowsStart + m_sectionCount;
    MenuEdit edit = apply({start, static_cast<int>(m_items.size()) - start, std::move(tail)});
    m_tailStart = start;
    return edit;
}

std::optional<MenuEdit> MenuLayout::replaceIndicator(MenuItem indicator) {
    if (m_items.empty()) return std::nullopt;
    return apply({0, 1, {std::move(indicator)}});
}

void MenuLayout::setToggles(const ToggleRowModel& toggles) {
    for (MenuItem& item : m_items)
        if (item.kind == MenuItemKind::toggleRow) item.toggles = toggles;
}

bool MenuLayout::holdsIndexInvariant() const {
    const int size = static_cast<int>(m_items.size());
    if (size < 2 || m_spaceRowsStart != 2) return false;
    if (m_items[0].kind != MenuItemKind::indicator || m_items[1].kind != MenuItemKind::separator) return false;
    if (m_sectionCount < 0 || m_spaceRowsStart + m_sectionCount > size) return false;
    for (int i = m_spaceRowsStart; i < m_spaceRowsStart + m_sectionCount; ++i) {
        const MenuItemKind k = m_items[static_cast<std::size_t>(i)].kind;
        if (k != MenuItemKind::row && k != MenuItemKind::header && k != MenuItemKind::separator) return false;
    }
    for (int i = m_spaceRowsStart + m_sectionCount; i < size; ++i) {
        const MenuItemKind k = m_items[static_cast<std::size_t>(i)].kind;
        if (k == MenuItemKind::row || k == MenuItemKind::header || k == MenuItemKind::indicator) return false;
    }
    return true;
}

std::string shortenedTitle(const std::string& name) {
    const std::vector<std::size_t> starts = characterStarts(name);
    if (starts.size() < 25) return name;
    return trimmedName(name.substr(0, starts[23])) + "…";
}

std::string trayTitle(const std::optional<std::string>& currentName, bool tilingMark) {
    if (!currentName) return "?";
    return (tilingMark ? "◎ " : "") + shortenedTitle(*currentName);
}

} // namespace quorvel
