// The desktop row shown by the tray menu (style `menu`) and the switcher panel (style `panel`): its
// fields, its layout tables, its texts and its behaviour (switch, rename in place, tiling cycle).
// Pure logic; ui/SpaceRowWidget draws a SpaceRow and feeds it the user's input.
#pragma once

#include "platform/Scheduler.h"
#include "platform/Types.h"
#include "settings/Settings.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

enum class SpaceRowStyle { panel, menu };

// Colours by role; the drawing layer maps them onto its palette.
enum class ColourRole { accent, label, secondary, tertiary };
enum class FontWeight { regular, medium, semibold, bold };

// Everything the owner sets before the row is laid out.
struct SpaceRowFields {
    SpaceRowStyle style = SpaceRowStyle::menu;
    SpaceId spaceID = 0;
    int index = 0;             // the desktop's number on the badge
    bool isFullScreen = false; // the badge shows "⊞" instead of the number
    std::string placeholder;   // shown in an empty edit field
    std::optional<std::string> customLabel;
    bool showPencil = false;
    bool showMiniMap = false;
    bool showTiling = false;
    std::vector<Rect> miniLayout; // fractions 0…1 of the display, from its top-left corner
    std::string displayedName;
    bool isCurrent = false;
    TilingOverride tilingOverride = TilingOverride::automatic;
    bool globalTiling = false;
    double width = 0; // 0: the style's standard width (300 menu, 360 panel)
    friend bool operator==(const SpaceRowFields&, const SpaceRowFields&) = default;
};

// One child's frame (y down, row coordinates) and its font.
struct RowElement {
    Rect frame;
    double fontSize = 0;
    FontWeight weight = FontWeight::regular;
};

// Where every child of a row sits. Optional parts are absent when the row does not show them.
struct SpaceRowLayout {
    double width = 0;
    double height = 0;
    RowElement marker;
    RowElement badge;
    std::optional<Rect> miniMap;
    std::optional<RowElement> pencil;
    std::optional<RowElement> tilingButton;
    std::optional<RowElement> tilingWord;
    RowElement name;
    Rect tilingBtnFrame;      // click zone of the tiling control (meaningful only with it)
    RowElement editField;     // the rename field over the name
    Rect underline;           // the accent line under the edit field
    double tilingSymbolSize = 0;
};

// The layout tables of both styles, y down from the row's top edge. Pure.
double standardRowWidth(SpaceRowStyle style);
double rowHeight(SpaceRowStyle style);
SpaceRowLayout layOutSpaceRow(SpaceRowStyle style, double width, bool showMiniMap, bool showPencil, bool showTiling,
                              bool isCurrent);

// How the tiling control shows an override under the global switch. Pure.
struct TilingBadge {
    bool filled = true; // "square.fill", else "square"
    ColourRole tint = ColourRole::secondary;
    std::string word; // "Auto", "On", "Off"
    std::string accessibilityValue;
    std::string toolTip;
};
TilingBadge tilingBadge(TilingOverride value, bool globalTiling);
// auto → on → off → auto.
TilingOverride nextTilingOverride(TilingOverride value);

// "No windows", "1 window", "3 windows".
std::string miniMapToolTip(std::size_t windowCount);
// The row's name for screen readers: the name, then " — current desktop", or the window count.
std::string spaceRowAccessibilityLabel(const SpaceRowFields& fields);
// The badge's text: "⊞" for a full-screen desktop, else the number.
std::string spaceRowBadgeTitle(const SpaceRowFields& fields);

// The blocks a mini-map of `bounds` fills, in painting order (the last layout rectangle first, so
// earlier rectangles end up on top). Each block is at least 2 × 2, clipped to the inner area
// (bounds inset by 2); blocks clipped away entirely are left out. y down. Pure.
std::vector<Rect> miniMapBlocks(const std::vector<Rect>& layout, const Rect& bounds);
// The outline of a mini-map: bounds inset by 0.5 (stroked 1 wide, corner radius 3).
Rect miniMapOutline(const Rect& bounds);
// Stroke and fill roles: both accent for the current desktop, else tertiary and secondary.
ColourRole miniMapStrokeRole(bool accented);
ColourRole miniMapFillRole(bool accented);

// The row's behaviour. The owner builds it with every field, sets the callbacks, and from then on
// only user input drives it. It never stores anything itself: it reports through the callbacks,
// and the owner may destroy the row from inside any of them (the row touches nothing afterwards).
class SpaceRow {
public:
    static constexpr double kWordSeconds = 1.4;
    static constexpr const char* kActionSwitch = "Switch";
    static constexpr const char* kActionRename = "Rename";
    static constexpr const char* kActionCycleTiling = "Cycle tiling";

    // `scheduler` hides the tiling word again; without one the word stays until the next flash.
    SpaceRow(SpaceRowFields fields, Scheduler* scheduler);
    ~SpaceRow();
    SpaceRow(const SpaceRow&) = delete;
    SpaceRow& operator=(const SpaceRow&) = delete;

    std::function<void()> onSwitch;
    std::function<void(const std::optional<std::string>&)> onRename; // absent: clear the custom name
    std::function<void(bool)> onEditStateChanged;
    std::function<void(TilingOverride)> onCycleTiling;
    // For the drawing layer: the row's visible state changed (editing, hover, tiling, word).
    std::function<void()> onVisualChange;

    const SpaceRowFields& fields() const { return m_fields; }
    const SpaceRowLayout& layout() const { return m_layout; }
    SpaceRowStyle style() const { return m_fields.style; }

    bool isEditing() const { return m_isEditing; }
    bool hasCommitted() const { return m_hasCommitted; }
    TilingOverride tilingOverride() const { return m_fields.tilingOverride; }
    TilingBadge badge() const { return tilingBadge(m_fields.tilingOverride, m_fields.globalTiling); }
    // The tiling word while it is shown.
    std::optional<std::string> shownWord() const { return m_wordShown ? std::optional(m_word) : std::nullopt; }
    ColourRole wordTint() const { return m_wordTint; }
    // The hover box (menu style): bounds inset 5 × 1, label colour at alpha 0.09, radius 5.
    std::optional<Rect> hoverBox() const { return m_hover; }
    // The pencil's tint: accent while renaming.
    ColourRole pencilTint() const { return m_isEditing ? ColourRole::accent : ColourRole::secondary; }
    ColourRole nameColour() const { return m_fields.isCurrent ? ColourRole::accent : ColourRole::label; }
    // The text the edit field starts with.
    std::string editText() const { return m_fields.customLabel.value_or(""); }

    // Input. Each returns whether the row handled it.
    // Left button down at `point` (row coordinates, y down). Panel style handles it only with
    // Control or on the badge, the pencil or the tiling button.
    bool mouseDown(Point point, bool control);
    void rightMouseDown();
    void badgeClicked();
    void pencilClicked();
    void tilingClicked();
    void hoverEntered();
    void hoverExited();
    // Enters rename mode (ignored while renaming). The drawing layer shows the field over the name.
    // A menu row reports true to onEditStateChanged.
    void beginEditing();
    // Return in the field: reports the trimmed text once per rename (empty → absent). Stays editing.
    void commit(const std::string& text);
    // Escape in the field: leaves rename mode and reports false.
    void cancelEditing();

    // Accessibility: the label, the custom actions in order, and performing one or the press.
    std::string accessibilityLabel() const { return spaceRowAccessibilityLabel(m_fields); }
    std::vector<std::string> accessibilityActions() const;
    void performAccessibilityAction(const std::string& name);
    void accessibilityPress();

private:
    void askToEdit();
    void flashWord();
    void changed();

    SpaceRowFields m_fields;
    SpaceRowLayout m_layout;
    Scheduler* m_scheduler;
    bool m_isEditing = false;
    bool m_hasCommitted = false;
    bool m_wordShown = false;
    std::string m_word;
    ColourRole m_wordTint = ColourRole::secondary;
    TaskHandle m_wordTimer;
    std::optional<Rect> m_hover;
};

// Trims Unicode white space (no-break and ideographic spaces, line separators…) at both ends.
std::string trimmedName(const std::string& text);
// A name typed anywhere made one line, as the rename field gives it: control characters (a tab,
// a line break) become spaces, then white space at both ends goes.
std::string oneLineName(const std::string& text);

} // namespace quorvel
