// The tray item's refresh, its menu's builds and in-place edits, and what every item does.
#include "menubar/MenuBarController.h"

#include "settings/AccessibilityGrant.h"
#include "reports/CrashReports.h"
#include "shortcuts/ShortcutStore.h"

#include <algorithm>
#include <utility>
#include <variant>

namespace quorvel {

std::string linuxShortcutText(std::int64_t raw, const std::string& keyName) {
    const KeyModifiers m(raw);
    std::string out;
    if (m.contains(KeyModifiers::control)) out += "Ctrl+";
    if (m.contains(KeyModifiers::option)) out += "Alt+";
    if (m.contains(KeyModifiers::shift)) out += "Shift+";
    if (m.contains(KeyModifiers::command)) out += "Super+";
    return out + keyName;
}

MenuBarController::MenuBarController(Dependencies dependencies)
    : m_deps(std::move(dependencies)), m_view(m_deps.view) {}

// --- Presence -------------------------------------------------------------------------------------

void MenuBarController::setup() {
    if (m_hasStatusItem) return;
    // Trays on X11 place their icons themselves: there is no position hint to store.
    m_view.createStatusItem(*this);
    m_hasStatusItem = true;
    if (!m_view.trayAvailable() && !m_toldNoTray) {
        // Tray mode without a tray would leave the user with nothing to click.
        m_toldNoTray = true;
        const std::string message = noTrayMessage();
        m_deps.log.info(kCategory, "no system tray; waiting for one: %s", message);
        m_deps.notifier.showToast(message);
    }
    refresh();
}

std::string MenuBarController::noTrayMessage() const {
    const Shortcut panel = ShortcutStore(m_deps.defaults).shortcut(HotkeyAction::togglePanel);
    return "No system tray — " + linuxShortcutText(panel.modifiers.rawValue, Shortcut::keyName(panel.keyCode)) +
           " opens the desktop panel";
}

void MenuBarController::removeStatusItem() {
    if (!m_hasStatusItem) return;
    m_view.removeStatusItem();
    m_hasStatusItem = false;
    m_menu = {};
    m_hasToggleRow = false;
    m_renamingRow.reset();
    m_menuBuildDeferred = false;
}

// --- Refresh --------------------------------------------------------------------------------------

void MenuBarController::refresh() {
    refreshSpaces();
    m_deps.labels.refreshAutoNames(m_cachedSpaces);
    updateMenuBarTitle();
    if (m_renamingRow && m_hasStatusItem) {
        // The rows keep the desktops they were built with; their callbacks carry their own Space.
        m_menuBuildDeferred = true;
        return;
    }
    buildMenuBarMenu();
}

void MenuBarController::refreshSpaces() {
    m_cachedDisplays = m_deps.spaces.getDisplays();
    m_cachedSpaces.clear();
    for (const Display& display : m_cachedDisplays)
        m_cachedSpaces.insert(m_cachedSpaces.end(), display.spaces.begin(), display.spaces.end());
}

bool MenuBarController::activeDesktopTiles() {
    const TilingEngine& engine = m_deps.engine;
    if (!engine.isRunning()) return false;
    const SpaceId active = m_deps.activeSpace();
    return engine.trees().contains(active);
}

void MenuBarController::updateMenuBarTitle() {
    TrayTitle title;
    std::optional<std::string> name;
    std::string iconText("?");
    for (const Space& space : m_cachedSpaces) {
        if (!space.isCurrent) continue;
        name = m_deps.labels.displayName(space);
        iconText = space.isFullScreen ? std::string("⊞") : std::to_string(space.index);
        break;
    }
    title.iconText = std::move(iconText);
    title.tilingMark = name && activeDesktopTiles();
    title.text = trayTitle(name, title.tilingMark);
    if (title.text != m_title.text) m_deps.log.info(kCategory, "tray title: %s", title.text);
    m_title = title;
    if (m_hasStatusItem) m_view.setTitle(m_title);
}

// --- Building -------------------------------------------------------------------------------------

MenuItem MenuBarController::makeIndicatorItem(MenuDensity density) const {
    MenuItem item{.kind = MenuItemKind::indicator, .title = "Menu detail"};
    item.indicator = makeIndicator(m_cachedSpaces, density);
    item.toolTip = item.indicator->eyeToolTip;
    return item;
}

std::vector<MenuItem> MenuBarController::makeSpaceRowItems() {
    const Settings& settings = m_deps.settings;
    RowSectionInput in;
    in.density = settings.menuDensity();
    in.editMode = settings.editMode();
    in.showTilingBadges = settings.showTilingBadges();
    in.showMiniMaps = settings.showMiniMaps();
    in.tilingEnabled = settings.tilingEnabled();
    if (in.showMiniMaps) in.layouts = m_deps.spaces.windowLayouts(m_cachedDisplays);
    LabelStore& labels = m_deps.labels;
    for (const Display& display : m_cachedDisplays) {
        RowSectionInput::DisplayRows rows{.label = display.label};
        for (const Space& space : display.spaces)
            rows.spaces.push_back({.space = space,
                                   .customLabel = labels.label(space.id),
                                   .displayName = labels.displayName(space),
                                   .tilingOverride = labels.tilingOverride(space.id)});
        in.displays.push_back(std::move(rows));
    }
    return quorvel::makeSpaceRowItems(in);
}

std::optional<MenuItem> MenuBarController::accessibilityItem() const {
    if (m_deps.isTrusted()) return std::nullopt;
    MenuItem item{.kind = MenuItemKind::command, .command = MenuCommand::openAccessibility};
    // Access to other windows on X11 is a window manager that speaks EWMH.
    const auto state =
        AccessibilityGrant::classify(false, m_deps.defaults, m_deps.workspace.ownExecutablePath());
    if (std::holds_alternative<AccessibilityGrant::NotGranted>(state)) {
        item.title = "Tiling Needs an EWMH Window Manager…";
    } else if (std::holds_alternative<AccessibilityGrant::DuplicateCopy>(state)) {
        item.title = "Duplicate Copy Blocking Tiling…";
    } else {
        item.title = "Fix Window Manager Access…";
        item.toolTip = "The window manager stopped answering as it did before, so Quorvel cannot move windows. "
                       "Restart the window manager (one that supports EWMH, such as Openbox), then try again.";
    }
    return item;
}

std::optional<MenuItem> MenuBarController::focusDisplayItem() {
    FocusDisplayManager* manager = m_deps.focusDisplay;
    if (!manager) return std::nullopt;
    manager->refreshDisplayCache();
    const std::optional<DisplayNumber> main = manager->mainDisplayId();
    std::vector<FocusDisplayChoice> choices;
    for (const FocusDisplayManager::DisplayInfo& display : manager->displays())
        choices.push_back({.displayId = display.uuid, .name = display.name, .isMain = main == display.id});
    return makeFocusDisplayItem(choices);
}

void MenuBarController::focusDisplayChosen(const std::string& displayId) {
    FocusDisplayManager* manager = m_deps.focusDisplay;
    if (!manager) return;
    const auto& displays = manager->displays();
    const auto builtin = std::find_if(displays.begin(), displays.end(), [](const auto& d) { return d.isBuiltin; });
    if (builtin != displays.end() && builtin->uuid == displayId) manager->returnToLaptop();
    else manager->activate(displayId);
}

std::vector<MenuItem> MenuBarController::makeTail(MenuDensity density) {
    const Settings& settings = m_deps.settings;
    TailInput in{.density = density,
                 .editMode = settings.editMode(),
                 .tilingEnabled = settings.tilingEnabled(),
                 .engineRunning = m_deps.engine.isRunning(),
                 .accessibilityItem = accessibilityItem(),
                 .focusDisplayItem = focusDisplayItem()};
    m_hasToggleRow = density == MenuDensity::full;
    return makeMenuTail(in);
}

void MenuBarController::buildMenuBarMenu() {
    if (!m_hasStatusItem) return;
    const MenuDensity density = m_deps.settings.menuDensity();
    MenuItem indicator = makeIndicatorItem(density);
    std::vector<MenuItem> rows = makeSpaceRowItems();
    std::vector<MenuItem> tail = makeTail(density);
    m_menu = MenuLayout::build(std::move(indicator), std::move(rows), std::move(tail));
    // Every row is new: none is renaming any more, and nothing waits.
    m_renamingRow.reset();
    m_menuBuildDeferred = false;
    m_view.setMenu(m_menu.items());
}

void MenuBarController::rebuildRowSection() {
    if (!m_hasStatusItem || m_menu.menuTailStartIndex() < 0) return;
    // A refresh that waited also has a new indicator and tail to show.
    if (m_menuBuildDeferred) return buildMenuBarMenu();
    m_renamingRow.reset();
    m_view.applyEdit(m_menu.replaceRows(makeSpaceRowItems()));
}

void MenuBarController::refreshMenuTail() {
    if (!m_hasStatusItem || m_menu.menuTailStartIndex() < 0) return;
    m_view.applyEdit(m_menu.replaceTail(makeTail(m_deps.settings.menuDensity())));
}

void MenuBarController::tilingStateChanged(bool fromMenu) {
    if (!m_hasStatusItem) return;
    if (!fromMenu) return refresh();
    if (m_hasToggleRow) m_view.setTilingSwitch(m_deps.settings.tilingEnabled());
    // The icon's ring follows at once; the title does not touch the open menu.
    updateMenuBarTitle();
}

// --- Actions --------------------------------------------------------------------------------------

void MenuBarController::rowSwitch(const Space& space) {
    m_view.closeMenu();
    if (!space.isCurrent && onSwitch) onSwitch(space);
}

void MenuBarController::rowRename(const Space& space, const std::optional<std::string>& name) {
    m_deps.labels.setLabel(name, space.id);
    updateMenuBarTitle();
    rebuildRowSection();
}

void MenuBarController::rowEditStateChanged(const Space& space, bool editing) {
    if (editing) {
        m_renamingRow = space.id;
        return;
    }
    if (m_renamingRow != space.id) return;
    m_renamingRow.reset();
    if (m_menuBuildDeferred) buildMenuBarMenu();
}

void MenuBarController::menuClosed() {
    // A rename left open with the menu is abandoned; the next opening shows fresh rows.
    if (m_renamingRow || m_menuBuildDeferred) buildMenuBarMenu();
}

void MenuBarController::rowCycleTiling(const Space& space, TilingOverride value) {
    m_deps.labels.setTilingOverride(value, space.id);
    m_deps.coordinator.spaceOverrideChanged(space.id, TilingCoordinator::Source::menu);
}

void MenuBarController::indicatorSwitch(const Space& space) {
    m_view.closeMenu();
    if (onSwitch) onSwitch(space);
}

void MenuBarController::cycleDensity(MenuDensity next) {
    m_deps.defaults.set(Settings::menuDensityKey, std::string(rawValue(next)));
    rebuildRowSection();
    refreshMenuTail();
    // The indicator being replaced is the one handling this click: replace it on a later turn.
    m_deps.scheduler.post(m_lifetime.guard([this] {
        if (!m_hasStatusItem) return;
        if (auto edit = m_menu.replaceIndicator(makeIndicatorItem(m_deps.settings.menuDensity())))
            m_view.applyEdit(*edit);
    }));
}

void MenuBarController::editToggled(bool on) {
    m_deps.defaults.set(Settings::editModeKey, on);
    if (m_hasToggleRow) m_menu.setToggles({.editOn = on, .tilingOn = m_deps.settings.tilingEnabled()});
    rebuildRowSection();
    if (onEditModeChanged) onEditModeChanged();
}

void MenuBarController::tilingToggled(bool on) {
    m_deps.coordinator.setEnabled(on, TilingCoordinator::Source::menu,
                                  m_lifetime.guard([this] { m_view.closeMenu(); }));
    // The coordinator may have refused.
    if (m_hasStatusItem && m_hasToggleRow) m_view.setTilingSwitch(m_deps.settings.tilingEnabled());
}

void MenuBarController::perform(MenuCommand command) {
    switch (command) {
    case MenuCommand::flipSplit:
        if (!m_deps.engine.toggleSplitOfFocusedWindow()) m_deps.notifier.showToast("Nothing to flip");
        break;
    case MenuCommand::openAccessibility:
        m_deps.coordinator.explainMissingWindowManager();
        break;
    case MenuCommand::reportProblem:
        if (onReportProblem) onReportProblem();
        else ProblemReporter::report();
        break;
    case MenuCommand::openSettings:
        if (onOpenSettings) onOpenSettings();
        break;
    case MenuCommand::quit:
        m_view.requestQuit();
        break;
    }
}

} // namespace quorvel
