// The desktop row's layout tables, texts and behaviour (see SpaceRow.h).
#include "menubar/SpaceRow.h"

#include "menubar/Utf8.h"

#include <algorithm>
#include <utility>

namespace quorvel {

namespace {

// A child's frame, y down from the row's top edge, and its font.
RowElement element(double x, double y, double w, double h, double size, FontWeight weight = FontWeight::regular) {
    return {{x, y, w, h}, size, weight};
}

std::string countText(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " window" : " windows");
}

std::string_view word(TilingOverride value) {
    switch (value) {
    case TilingOverride::automatic: return "Auto";
    case TilingOverride::on: return "On";
    case TilingOverride::off: return "Off";
    }
    return "Auto";
}

} // namespace

double standardRowWidth(SpaceRowStyle style) { return style == SpaceRowStyle::menu ? 300 : 360; }
double rowHeight(SpaceRowStyle style) { return style == SpaceRowStyle::menu ? 28 : 40; }

SpaceRowLayout layOutSpaceRow(SpaceRowStyle style, double width, bool showMiniMap, bool showPencil, bool showTiling,
                              bool isCurrent) {
    const double W = width > 0 ? width : standardRowWidth(style);
    const double H = rowHeight(style);
    const FontWeight nameWeight = isCurrent ? FontWeight::semibold : FontWeight::regular;
    SpaceRowLayout l;
    l.width = W;
    l.height = H;
    double nameX = 0;
    double nameInsetRight = 0;
    if (style == SpaceRowStyle::menu) {
        // Every child is centred in the 28-point row.
        l.marker = element(6, 6, 14, 16, 8);
        l.badge = element(22, 4, 20, 20, 12, FontWeight::medium);
        if (showMiniMap) l.miniMap = Rect{44, 6, 22, 16};
        if (showPencil) l.pencil = element(showMiniMap ? 70 : 44, 2, 22, 24, 13);
        if (showTiling) {
            l.tilingButton = element(W - 68, 4, 18, 20, 12, FontWeight::medium);
            l.tilingWord = element(W - 46, 4, 40, 20, 10, FontWeight::medium);
        }
        nameX = !showMiniMap ? 68 : (showPencil ? 96 : 72);
        nameInsetRight = showTiling ? 76 : 16;
        l.name = element(nameX, 4, W - nameX - nameInsetRight, 20, 13, nameWeight);
        l.editField = element(nameX, 4, (W - nameX) - 6, 20, 13, nameWeight);
        l.tilingSymbolSize = 10;
    } else {
        // The marker, badge, pencil and mini-map are centred in the 40-point row; the name and the
        // tiling control sit a point below its middle.
        l.marker = element(16, 12, 14, 16, 9);
        l.badge = element(32, 8, 22, 24, 12, FontWeight::medium);
        if (showMiniMap) l.miniMap = Rect{54, 11, 26, 18};
        if (showPencil) l.pencil = element(showMiniMap ? 86 : 54, 10, 24, 20, 15);
        if (showTiling) {
            l.tilingButton = element(W - 74, 10, 18, 22, 13, FontWeight::medium);
            l.tilingWord = element(W - 52, 10, 40, 22, 11, FontWeight::medium);
        }
        if (showMiniMap) nameX = showPencil ? 116 : 86;
        else nameX = showPencil ? 80 : 54;
        nameInsetRight = showTiling ? 82 : 16;
        l.name = element(nameX, 10, W - nameX - nameInsetRight, 22, 14, nameWeight);
        l.editField = element(nameX, 10, (W - nameX) - 16, 22, 14, nameWeight);
        l.tilingSymbolSize = 11;
    }
    const double tilingX = showTiling ? l.tilingButton->frame.x : 0;
    l.tilingBtnFrame = {tilingX - 8, 0, 34, H};
    // One point of air under the field, as wide as the field.
    l.underline = {nameX, l.editField.frame.maxY() + 1, l.editField.frame.width, 1};
    return l;
}

TilingBadge tilingBadge(TilingOverride value, bool globalTiling) {
    TilingBadge b;
    b.filled = value != TilingOverride::off;
    b.word = std::string(word(value));
    switch (value) {
    case TilingOverride::on:
        b.tint = ColourRole::accent;
        b.accessibilityValue = globalTiling ? "tiling on" : "tiling on, overriding the global setting";
        b.toolTip = "Tiling: On" + std::string(globalTiling ? " — click to change"
                                                             : " — this desktop tiles even with tiling off — click to change");
        break;
    case TilingOverride::off:
        b.tint = ColourRole::tertiary;
        b.accessibilityValue = globalTiling ? "tiling off, overriding the global setting" : "tiling off";
        b.toolTip = "Tiling: Off" + std::string(globalTiling ? " — this desktop stays untiled — click to change"
                                                              : " — click to change");
        break;
    case TilingOverride::automatic:
        b.tint = globalTiling ? ColourRole::secondary : ColourRole::tertiary;
        b.accessibilityValue = std::string("tiling auto, currently ") + (globalTiling ? "on" : "off");
        b.toolTip = "Tiling: Auto — follows the global setting — click to change";
        break;
    }
    return b;
}

TilingOverride nextTilingOverride(TilingOverride value) {
    switch (value) {
    case TilingOverride::automatic: return TilingOverride::on;
    case TilingOverride::on: return TilingOverride::off;
    case TilingOverride::off: return TilingOverride::automatic;
    }
    return TilingOverride::automatic;
}

std::string miniMapToolTip(std::size_t windowCount) {
    return windowCount == 0 ? "No windows" : countText(windowCount);
}

std::string spaceRowAccessibilityLabel(const SpaceRowFields& fields) {
    if (fields.isCurrent) return fields.displayedName + " — current desktop";
    if (!fields.showMiniMap) return fields.displayedName;
    if (fields.miniLayout.empty()) return fields.displayedName + ", empty";
    return fields.displayedName + ", " + countText(fields.miniLayout.size());
}

std::string spaceRowBadgeTitle(const SpaceRowFields& fields) {
    return fields.isFullScreen ? "⊞" : std::to_string(fields.index);
}

std::vector<Rect> miniMapBlocks(const std::vector<Rect>& layout, const Rect& bounds) {
    const Rect inner = bounds.insetBy(2, 2);
    std::vector<Rect> blocks;
    blocks.reserve(layout.size());
    for (auto it = layout.rbegin(); it != layout.rend(); ++it) {
        const Rect& r = *it;
        const double w = std::max(r.width * inner.width - 0.5, 2.0);
        const double h = std::max(r.height * inner.height - 0.5, 2.0);
        // The block hangs from the window's bottom edge: the half-point gap is towards the top.
        const Rect block{inner.minX() + r.minX() * inner.width, inner.minY() + r.maxY() * inner.height - h, w, h};
        const Rect clipped = block.intersection(inner);
        if (!clipped.isEmpty()) blocks.push_back(clipped);
    }
    return blocks;
}

Rect miniMapOutline(const Rect& bounds) { return bounds.insetBy(0.5, 0.5); }
ColourRole miniMapStrokeRole(bool accented) { return accented ? ColourRole::accent : ColourRole::tertiary; }
ColourRole miniMapFillRole(bool accented) { return accented ? ColourRole::accent : ColourRole::secondary; }

std::string trimmedName(const std::string& text) {
    // Byte by byte would miss a no-break or ideographic space, and could cut into a character
    // whose last byte happens to be 0x85 or 0xA0 ("à" is C3 A0).
    std::size_t first = std::string::npos;
    std::size_t end = 0;
    for (std::size_t i = 0; i < text.size();) {
        const utf8::CodePoint c = utf8::decode(text, i);
        if (!utf8::isWhiteSpace(c.value)) {
            if (first == std::string::npos) first = i;
            end = i + c.length;
        }
        i += c.length;
    }
    if (first == std::string::npos) return {};
    return text.substr(first, end - first);
}

std::string oneLineName(const std::string& text) {
    std::string line = text;
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return trimmedName(line);
}

SpaceRow::SpaceRow(SpaceRowFields fields, Scheduler* scheduler)
    : m_fields(std::move(fields)), m_scheduler(scheduler) {
    if (m_fields.width <= 0) m_fields.width = standardRowWidth(m_fields.style);
    m_layout = layOutSpaceRow(m_fields.style, m_fields.width, m_fields.showMiniMap, m_fields.showPencil,
                              m_fields.showTiling, m_fields.isCurrent);
}

SpaceRow::~SpaceRow() { m_wordTimer.cancel(); }

void SpaceRow::changed() {
    if (onVisualChange) onVisualChange();
}

bool SpaceRow::mouseDown(Point point, bool control) {
    if (control) {
        if (!m_isEditing) askToEdit();
        return true;
    }
    if (m_fields.style == SpaceRowStyle::panel) {
        // Without Control only the row's own controls are its; elsewhere the press is the panel's
        // (it moves the window).
        const auto on = [&point](const Rect& r) {
            return point.x >= r.minX() && point.x < r.maxX() && point.y >= r.minY() && point.y < r.maxY();
        };
        if (on(m_layout.badge.frame)) badgeClicked();
        else if (m_layout.pencil && on(m_layout.pencil->frame)) pencilClicked();
        else if (m_layout.tilingButton && on(m_layout.tilingButton->frame)) tilingClicked();
        else return false;
        return true;
    }
    if (m_isEditing) return true;
    if (m_fields.showTiling) {
        const Rect& zone = m_layout.tilingBtnFrame;
        if (point.x >= zone.minX() && point.x < zone.maxX() && point.y >= zone.minY() && point.y < zone.maxY()) {
            tilingClicked();
            return true;
        }
    }
    if (m_layout.pencil) {
        const Rect zone = m_layout.pencil->frame.insetBy(-4, -2);
        if (point.x >= zone.minX() && point.x < zone.maxX() && point.y >= zone.minY() && point.y < zone.maxY()) {
            beginEditing();
            return true;
        }
    }
    if (onSwitch) onSwitch();
    return true;
}

void SpaceRow::rightMouseDown() { pencilClicked(); }

void SpaceRow::badgeClicked() {
    if (m_fields.style == SpaceRowStyle::menu && m_isEditing) return;
    if (onSwitch) onSwitch();
}

void SpaceRow::pencilClicked() {
    if (m_isEditing) return;
    askToEdit();
}

void SpaceRow::askToEdit() {
    // The menu renames in place; the panel's owner decides which of its rows edits.
    if (m_fields.style == SpaceRowStyle::menu) {
        beginEditing();
    } else if (onEditStateChanged) {
        onEditStateChanged(true);
    }
}

void SpaceRow::tilingClicked() {
    if (m_isEditing) return;
    m_fields.tilingOverride = nextTilingOverride(m_fields.tilingOverride);
    flashWord();
    changed();
    if (onCycleTiling) onCycleTiling(m_fields.tilingOverride);
}

void SpaceRow::flashWord() {
    const TilingBadge b = badge();
    m_word = b.word;
    m_wordTint = b.tint;
    m_wordShown = true;
    m_wordTimer.cancel();
    if (!m_scheduler) return;
    // The handle is cancelled by the destructor, so the task never outlives the row.
    m_wordTimer = m_scheduler->after(Seconds(kWordSeconds), [this] {
        m_wordShown = false;
        changed();
    });
}

void SpaceRow::hoverEntered() {
    if (m_fields.style != SpaceRowStyle::menu || m_isEditing || m_hover) return;
    m_hover = Rect{0, 0, m_layout.width, m_layout.height}.insetBy(5, 1);
    changed();
}

void SpaceRow::hoverExited() {
    if (!m_hover) return;
    m_hover.reset();
    changed();
}

void SpaceRow::beginEditing() {
    if (m_isEditing) return;
    m_isEditing = true;
    m_hasCommitted = false;
    m_hover.reset();
    changed();
    // A menu row starts renaming by itself: its owner learns it here, and must not replace the row
    // until it ends. The panel's owner chose this row itself and needs no word.
    if (m_fields.style == SpaceRowStyle::menu && onEditStateChanged) onEditStateChanged(true);
}

void SpaceRow::commit(const std::string& text) {
    if (!m_isEditing || m_hasCommitted) return;
    m_hasCommitted = true;
    std::string name = trimmedName(text);
    if (onRename) onRename(name.empty() ? std::nullopt : std::optional<std::string>(std::move(name)));
}

void SpaceRow::cancelEditing() {
    if (!m_isEditing) return;
    m_isEditing = false;
    changed();
    if (onEditStateChanged) onEditStateChanged(false);
}

std::vector<std::string> SpaceRow::accessibilityActions() const {
    std::vector<std::string> actions{kActionSwitch, kActionRename};
    if (m_fields.showTiling) actions.emplace_back(kActionCycleTiling);
    return actions;
}

void SpaceRow::performAccessibilityAction(const std::string& name) {
    if (name == kActionSwitch) {
        if (onSwitch) onSwitch();
    } else if (name == kActionRename) {
        if (!m_isEditing) askToEdit();
    } else if (name == kActionCycleTiling && m_fields.showTiling) {
        tilingClicked();
    }
}

void SpaceRow::accessibilityPress() {
    if (onSwitch) onSwitch();
}

} // namespace quorvel
