// The tray menu as a value: its items in order (density indicator, desktop rows with display headers,
// separators, the switch row, the commands of the tail), how each is built from the desktops and
// the settings, and the in-place edits that keep its index layout. Pure; MenuBarController decides
// when to build and edit, a TrayView shows the result.
#pragma once

#include "menubar/SpaceRow.h"
#include "platform/Types.h"
#include "settings/Settings.h"
#include "spaces/Space.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

// A submenu holds its items in `submenu`; a displayChoice is one display of Focus Display's.
enum class MenuItemKind { indicator, separator, header, row, toggleRow, command, submenu, displayChoice };
enum class MenuCommand { flipSplit, openAccessibility, reportProblem, openSettings, quit };

// One desktop number of the indicator.
struct IndicatorNumber {
    Rect frame; // also its hit rect
    Space space;
    std::string title; // "⊞" for a full-screen desktop, else the number
    bool bold = false; // the current desktop
    ColourRole colour = ColourRole::tertiary;
    friend bool operator==(const IndicatorNumber&, const IndicatorNumber&) = default;
};

// The density indicator at the top of the menu: one number per desktop and the eye.
struct IndicatorModel {
    static constexpr double kHeight = 28;
    MenuDensity density = MenuDensity::full;
    double width = 300;
    std::vector<IndicatorNumber> numbers;
    Rect eyeFrame;
    Rect eyeHitRect;   // the eye grown by 6 left and right, 3 up and down
    std::string eyeDescription;
    std::string eyeToolTip;
    ColourRole eyeTint = ColourRole::tertiary;
    std::string accessibilityLabel = "Menu detail";

    // A click released at `point` (y down): the next density for the eye, a desktop that is not
    // current for its number, nothing otherwise.
    struct Hit {
        std::optional<MenuDensity> cycleTo;
        std::optional<Space> switchTo;
    };
    Hit hitTest(Point point) const;
    friend bool operator==(const IndicatorModel&, const IndicatorModel&) = default;
};

IndicatorModel makeIndicator(const std::vector<Space>& spaces, MenuDensity density);
// full → focused → minimal → full.
MenuDensity nextDensity(MenuDensity density);

// The edit and tiling switches (300 × 34).
struct ToggleRowModel {
    static constexpr double kWidth = 300, kHeight = 34;
    bool editOn = false;
    bool tilingOn = false;
    friend bool operator==(const ToggleRowModel&, const ToggleRowModel&) = default;
};

struct MenuItem {
    MenuItemKind kind = MenuItemKind::separator;
    std::string title;   // headers and commands; a row's accessibility label (so exported menus read)
    std::string toolTip;
    bool enabled = true;
    std::string shortcut; // "Ctrl+Q"
    std::optional<MenuCommand> command;
    std::optional<IndicatorModel> indicator;
    std::optional<SpaceRowFields> row;
    Space space; // the row's desktop
    std::optional<ToggleRowModel> toggles;
    std::vector<MenuItem> submenu;
    bool checked = false;  // a displayChoice: the main display
    std::string displayId; // a displayChoice: the display's persistent identifier
    // Every field, the row's, the indicator's and the switch row's contents included: an item
    // equal to another draws the same.
    friend bool operator==(const MenuItem&, const MenuItem&) = default;
};

// Everything a row of one desktop is built from.
struct SpaceRowSource {
    Space space;
    std::optional<std::string> customLabel;
    std::string displayName;
    TilingOverride tilingOverride = TilingOverride::automatic;
};

struct RowSectionInput {
    MenuDensity density = MenuDensity::full;
    bool editMode = false;
    bool showTilingBadges = true;
    bool showMiniMaps = true;
    bool tilingEnabled = false;
    struct DisplayRows {
        std::string label;
        std::vector<SpaceRowSource> spaces;
    };
    std::vector<DisplayRows> displays;
    std::map<SpaceId, std::vector<Rect>> layouts; // read only with mini-maps
};

inline constexpr const char* kRowToolTip = "Click to switch · right-click to rename";

// The desktop-row section: per display a header (two or more displays), its rows and a separator;
// with a single display one separator ends the section.
std::vector<MenuItem> makeSpaceRowItems(const RowSectionInput& input);

struct TailInput {
    MenuDensity density = MenuDensity::full;
    bool editMode = false;
    bool tilingEnabled = false;
    bool engineRunning = false;
    // The window-manager item shown while tiling cannot move windows; none when it can.
    std::optional<MenuItem> accessibilityItem;
    // The Focus Display submenu; none with fewer than two displays.
    std::optional<MenuItem> focusDisplayItem;
};

// One display Focus Display can make main.
struct FocusDisplayChoice {
    std::string displayId;
    std::string name;
    bool isMain = false;
};

// "Focus Display" with one checkable item per display (checked when main), in the order given;
// none with fewer than two displays.
std::optional<MenuItem> makeFocusDisplayItem(const std::vector<FocusDisplayChoice>& displays);

// The fixed commands after the rows, grouped and separated per density.
std::vector<MenuItem> makeMenuTail(const TailInput& input);

// A replacement of `removeCount` items at `index` by `inserted`, applied to the model and to the
// menu on screen alike.
struct MenuEdit {
    int index = 0;
    int removeCount = 0;
    std::vector<MenuItem> inserted;
};

// The menu with its index layout: [indicator, separator] [row section] [tail].
class MenuLayout {
public:
    static MenuLayout build(MenuItem indicator, std::vector<MenuItem> rows, std::vector<MenuItem> tail);

    const std::vector<MenuItem>& items() const { return m_items; }
    int spaceRowsStartIndex() const { return m_spaceRowsStart; }
    int menuSpaceSectionCount() const { return m_sectionCount; }
    // -1 until the first build.
    int menuTailStartIndex() const { return m_tailStart; }

    // Each edit changes the model and returns what it did, for the menu on screen.
    MenuEdit replaceRows(std::vector<MenuItem> rows);
    MenuEdit replaceTail(std::vector<MenuItem> tail);
    std::optional<MenuEdit> replaceIndicator(MenuItem indicator);
    // The switch row's state after the user flipped a switch on screen: the model follows what the
    // menu already shows, with no edit for the menu. Nothing without a switch row.
    void setToggles(const ToggleRowModel& toggles);

    // Items 0 and 1 are the indicator and a separator, rows follow, the rest is the tail.
    bool holdsIndexInvariant() const;

private:
    MenuEdit apply(MenuEdit edit);

    std::vector<MenuItem> m_items;
    int m_spaceRowsStart = 0;
    int m_sectionCount = 0;
    int m_tailStart = -1;
};

// The tray's title: the current desktop's shown name (25 characters or more: the first 23,
// trimmed, and "…"), "◎ " before it while the active desktop tiles; "?" with no current desktop.
std::string shortenedTitle(const std::string& name);
std::string trayTitle(const std::optional<std::string>& currentName, bool tilingMark);

} // namespace quorvel
