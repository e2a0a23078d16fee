// The switcher panel's content, selection, keys and rename flow. Frames are laid out top down: the
// rows hang from the title, the hint and the buttons sit at fixed distances above the bottom edge.
#include "menubar/PanelController.h"

#include "menubar/MenuBarController.h"
#include "shortcuts/HotkeyAction.h"
#include "shortcuts/ShortcutStore.h"

namespace quorvel {

namespace {

constexpr double kTitleHeight = 44;
constexpr double kFooterHeight = 44;
constexpr double kBottomMargin = 16;

} // namespace

PanelController::PanelController(PanelViewFactory& views, SpaceManager& spaces, LabelStore& labels,
                                 Settings& settings, TilingCoordinator& coordinator)
    : m_views(views), m_spaces(spaces), m_labels(labels), m_settings(settings), m_coordinator(coordinator) {}

double PanelController::contentHeight(std::size_t desktops, std::size_t displays) {
    double height = kRowHeight * static_cast<double>(desktops) + kTitleHeight + kFooterHeight + kBottomMargin;
    if (displays >= 2) height += kHeaderHeight * static_cast<double>(displays);
    return height;
}

// --- Showing and hiding ---------------------------------------------------------------------------

void PanelController::toggle(InputTime time) {
    if (isVisible()) return hide();
    // Each opening builds a fresh window, with no row left in rename mode.
    m_panel.reset();
    editingSpaceID.reset();
    show(time);
}

void PanelController::show(InputTime time) {
    refreshSpaces();
    m_selectedIndex = 0;
    for (std::size_t i = 0; i < m_cachedSpaces.size(); ++i)
        if (m_cachedSpaces[i].isCurrent) {
            m_selectedIndex = static_cast<int>(i);
            break;
        }
    // The window only ever reports to this controller, which owns it and outlives it.
    if (!m_panel) m_panel = m_views.createPanel(handlers());
    rebuildContent();
    m_panel->present(time);
}

void PanelController::hide(Focus focus) {
    if (m_panel) m_panel->orderOut(focus == Focus::giveBack);
}

PanelView::Handlers PanelController::handlers() {
    return {
        .onKeyDown = [this](PanelKey key) { return handleKey(key); },
        .onEditToggle = [this] { editToggleClicked(); },
        .onSettings = [this] { settingsClicked(); },
        .onRowSwitch = [this](SpaceId id) { rowSwitch(id); },
        .onRowRename = [this](SpaceId id, std::optional<std::string> name) { rowRenamed(id, name); },
        .onRowEditStateChanged = [this](SpaceId id, bool editing) { rowEditStateChanged(id, editing); },
        .onRowCycleTiling = [this](SpaceId id, TilingOverride value) { rowCycledTiling(id, value); },
    };
}

// --- Content --------------------------------------------------------------------------------------

void PanelController::refreshSpaces() {
    m_cachedDisplays = m_spaces.getDisplays();
    m_cachedSpaces.clear();
    for (const Display& display : m_cachedDisplays)
        m_cachedSpaces.insert(m_cachedSpaces.end(), display.spaces.begin(), display.spaces.end());
}

void PanelController::rebuildContent() {
    if (!m_panel) return;
    // A desktop that went away while its row was renamed would leave the panel with no row to
    // type into and a content that refuses every key, Escape included.
    if (editingSpaceID && !cachedSpace(*editingSpaceID)) editingSpaceID.reset();
    m_labels.refreshAutoNames(m_cachedSpaces);
    m_panel->setContent(makeContent());
}

PanelContent PanelController::makeContent() {
    const bool editMode = m_settings.editMode();
    const bool miniMaps = m_settings.showMiniMaps();
    const bool tilingBadges = m_settings.showTilingBadges();
    const std::map<SpaceId, std::vector<Rect>> layouts =
        miniMaps ? m_spaces.windowLayouts(m_cachedDisplays) : std::map<SpaceId, std::vector<Rect>>{};

    const double height = contentHeight(m_cachedSpaces.size(), m_cachedDisplays.size());

    PanelContent content;
    content.size = {kWidth, height};
    content.accessibleName = "Desktops";
    content.title = {"Desktops", {16, 10, 328, 28}};

    // Under the title, each display's header (when there are several) and then its rows.
    const bool headers = m_cachedDisplays.size() >= 2;
    double y = kTitleHeight;
    int index = 0; // position in m_cachedSpaces, which lists the displays' desktops in this order
    for (const Display& display : m_cachedDisplays) {
        if (headers) {
            content.headers.push_back({display.label, {16, y + 2, 328, 18}});
            y += kHeaderHeight;
        }
        for (const Space& space : display.spaces) {
            const Rect box{8, y + 1, 344, 38};
            if (space.isCurrent) content.highlights.push_back({PanelHighlight::Kind::current, box});
            else if (index == m_selectedIndex) content.highlights.push_back({PanelHighlight::Kind::selection, box});

            const auto layout = layouts.find(space.id);
            PanelRow row = makeRow(space, layout != layouts.end() ? layout->second : std::vector<Rect>{}, editMode,
                                   miniMaps, tilingBadges);
            row.frame = {0, y, kWidth, kRowHeight};
            content.rows.push_back(std::move(row));
            y += kRowHeight;
            ++index;
        }
    }

    // The footer keeps to the panel's bottom edge.
    content.separator = {16, height - 44, 328, 1};
    content.hint = {editMode ? editModeHint() : std::string(kHint), {16, height - 30, 200, 16}};
    content.editButton = {editMode ? "✎ On" : "✎ Off", {232, height - 33, 50, 22}, editMode};
    content.settingsButton = {"Settings", {290, height - 33, 54, 22}, false};
    content.takesKeys = !editingSpaceID;
    return content;
}

PanelRow PanelController::makeRow(const Space& space, const std::vector<Rect>& layout, bool editMode, bool miniMaps,
                                  bool tilingBadges) {
    PanelRow row;
    row.space = space;
    SpaceRowFields& f = row.fields;
    f.style = SpaceRowStyle::panel;
    f.spaceID = space.id;
    f.index = space.index;
    f.isFullScreen = space.isFullScreen;
    f.placeholder = space.isFullScreen ? space.fullScreenAppName.value_or("Fullscreen")
                                       : "Desktop " + std::to_string(space.index);
    f.customLabel = m_labels.label(space.id);
    f.showPencil = editMode;
    f.showMiniMap = miniMaps;
    f.showTiling = editMode || tilingBadges;
    f.miniLayout = layout;
    f.displayedName = m_labels.displayName(space);
    f.isCurrent = space.isCurrent;
    f.tilingOverride = m_labels.tilingOverride(space.id);
    f.globalTiling = m_settings.tilingEnabled();
    f.width = kWidth;
    row.renaming = editingSpaceID == space.id;
    return row;
}

std::string PanelController::editModeHint() const {
    const Shortcut shortcut = ShortcutStore(m_settings.defaults()).shortcut(HotkeyAction::toggleEditMode);
    // Written the way the tray's texts write shortcuts.
    return "↑↓ · ⏎ switch · ✎ rename · " + linuxShortcutText(shortcut.modifiers.rawValue, Shortcut::keyName(shortcut.keyCode)) +
           " edit off";
}

const Space* PanelController::cachedSpace(SpaceId id) const {
    for (const Space& space : m_cachedSpaces)
        if (space.id == id) return &space;
    return nullptr;
}

// --- Keys and buttons -----------------------------------------------------------------------------

bool PanelController::handleKey(PanelKey key) {
    if (editingSpaceID) return false;
    const int count = static_cast<int>(m_cachedSpaces.size());
    switch (key) {
    case PanelKey::right:
    case PanelKey::down:
        if (count > 0) {
            m_selectedIndex = (m_selectedIndex + 1 + count) % count;
            rebuildContent();
        }
        return true;
    case PanelKey::left:
    case PanelKey::up:
        if (count > 0) {
            m_selectedIndex = (m_selectedIndex - 1 + count) % count;
            rebuildContent();
        }
        return true;
    case PanelKey::escape:
        hide();
        return true;
    case PanelKey::returnKey:
    case PanelKey::keypadEnter:
        switchToSelectedSpace();
        return true;
    case PanelKey::other:
        return false;
    }
    return false;
}

void PanelController::switchToSelectedSpace() {
    if (m_selectedIndex < 0 || m_selectedIndex >= static_cast<int>(m_cachedSpaces.size())) return;
    const Space space = m_cachedSpaces[static_cast<std::size_t>(m_selectedIndex)];
    if (!space.isCurrent && onSwitch) onSwitch(space);
}

void PanelController::editToggleClicked() {
    if (onToggleEditMode) onToggleEditMode();
}

void PanelController::settingsClicked() {
    if (onOpenSettings) onOpenSettings();
}

// --- What the rows report -------------------------------------------------------------------------

void PanelController::rowSwitch(SpaceId id) {
    const Space* space = cachedSpace(id);
    if (!space || space->isCurrent || !onSwitch) return;
    const Space chosen = *space; // the owner may refresh the cache while it switches
    onSwitch(chosen);
}

void PanelController::rowRenamed(SpaceId id, const std::optional<std::string>& name) {
    m_labels.setLabel(name, id);
    editingSpaceID.reset();
    refreshSpaces();
    rebuildContent();
    if (onLabelChanged) onLabelChanged();
}

void PanelController::rowEditStateChanged(SpaceId id, bool editing) {
    if (editing) editingSpaceID = id;
    else editingSpaceID.reset();
    rebuildContent();
}

void PanelController::rowCycledTiling(SpaceId id, TilingOverride value) {
    m_labels.setTilingOverride(value, id);
    m_coordinator.spaceOverrideChanged(id, TilingCoordinator::Source::menu);
}

} // namespace quorvel
