// The launch sequence, the wiring of callbacks, the routing of hot-key actions and the quit steps.
#include "shell/AppDelegate.h"

#include "settings/AccessibilityGrant.h"
#include "reports/CrashReports.h"
#include "reports/ProblemReport.h"

namespace quorvel {

namespace {

constexpr std::string_view kTilingOff = "Tiling is off";

} // namespace

AppDelegate::AppDelegate(const PlatformServices& platform, CoreServices& core)
    : m_platform(platform),
      m_core(core),
      m_hotkeys(platform.defaults, platform.hotkeys, platform.scheduler, platform.log),
      m_spaceSwitcher(core.spaces, core.api, platform.workspace, platform.helperWindows, platform.scheduler,
                      core.settings, platform.log),
      m_panelController(platform.panels, core.spaces, core.labels, core.settings, core.coordinator),
      m_summonPalette({platform.palettes, core.catalog, core.opener, platform.workspace, platform.notifier,
                       platform.scheduler}),
      m_menuBar(menuBarDependencies(platform, core)),
      m_settingsController({.views = platform.settingsViews,
                            .settings = core.settings,
                            .labels = core.labels,
                            .launchAtLogin = platform.launchAtLogin,
                            .sendsCrashReports = platform.crashReporting && !platform.crashReporting->endpoint.empty(),
                            .log = platform.log}),
      m_welcomeController(platform.welcomeViews, platform.defaults, platform.windowControl, platform.notifier) {}

ShortcutsWindowController& AppDelegate::shortcutsController() {
    if (!m_shortcutsController) m_shortcutsController =
        std::make_unique<ShortcutsWindowController>(m_platform.shortcutViews, m_platform.defaults, &m_hotkeys);
    return *m_shortcutsController;
}

void AppDelegate::showToast(std::string_view text) { m_platform.notifier.showToast(std::string(text)); }

// --- Launch and quit ------------------------------------------------------------------------------

bool AppDelegate::passesCompatibilityGate() {
    bool ok = true;
    for (const DesktopHint hint : WindowServerApi::kRequiredHints) {
        if (m_platform.windowServer.announces(hint)) continue;
        m_platform.log.error("privateapi", "%s unavailable", hintName(hint));
        ok = false;
    }
    if (ok) return true;
    m_platform.notifier.runAlert({
        .message = "Quorvel isn't compatible with this desktop yet",
        .informativeText = "The window manager does not offer the desktop interfaces Quorvel relies on (EWMH). "
                           "Check for an update. (Details logged to the journal.)",
        .buttons = {"Quit"},
        .critical = true,
    });
    return false;
}

bool AppDelegate::applicationDidFinishLaunching() {
    if (!passesCompatibilityGate()) return false;
    wireControllers();
    requestAccessibility();
    registerHotKeys();
    applyMode();
    m_welcomeController.onModeChanged = m_lifetime.guard([this] { applyMode(); });

    Settings& settings = m_core.settings;
    if (!settings.defaults().boolFor(Settings::hasLaunchedBeforeKey)) {
        settings.defaults().set(Settings::hasLaunchedBeforeKey, true);
        m_welcomeController.show();
    }

    restoreSpaceLabels();
    saveSpaceLabels();
    // Every change of a name or an override rewrites the snapshot at once.
    m_core.labels.onChange = m_lifetime.guard([this] { saveSpaceLabels(); });

    // The window manager's pagers show the same names; names they write come back as labels.
    m_core.labels.onChange = [save = m_core.labels.onChange, this, alive = m_lifetime.token()] {
        save();
        if (!alive.expired()) m_core.nameSync.namesMayHaveChanged();
    };
    m_core.nameSync.start();

    refreshMenuBar();
    // The first scan of the installed applications, so that the palette lists them when it opens.
    m_core.catalog.entries(m_platform.scheduler.now());
    m_core.namer.startObserving();
    // Reads the displays and makes the remembered one main again: X forgets it on restart.
    m_core.focusDisplay.start();
    m_core.coordinator.startAtLaunchIfEnabled(0);
    if (settings.defaults().boolFor(Settings::stripDevKey)) m_core.strip.start(m_spaceSwitcher);
    settings.purgeRemovedFeatureKeys();

    Workspace& workspace = m_platform.workspace;
    m_spaceObserver = workspace.addObserver(WorkspaceEvent::activeSpaceDidChange,
                                            m_lifetime.guard([this](const auto&) { spaceChanged(); }));
    m_appObserver = workspace.addObserver(WorkspaceEvent::didActivateApplication,
                                          m_lifetime.guard([this](const auto&) { applicationActivated(); }));
    return true;
}

void AppDelegate::applicationWillTerminate() {
    saveSpaceLabels();
    m_core.nameSync.stop();
    m_core.strip.stop();
    if (m_spaceObserver) m_platform.workspace.removeObserver(m_spaceObserver);
    if (m_appObserver) m_platform.workspace.removeObserver(m_appObserver);
    m_spaceObserver = m_appObserver = 0;
    m_appActivationRefresh.cancel();
    m_hotkeys.stop();
}

void AppDelegate::requestAccessibility() {
    WindowControl& windows = m_platform.windowControl;
    const bool trusted = windows.requestAccess();
    m_platform.log.info(kCategory, "EWMH window manager present: %s", trusted);
    const auto executablePath = m_platform.workspace.ownExecutablePath();
    AccessibilityGrant::noteCurrentState(
        m_platform.defaults, [&windows] { return windows.isAvailable(); }, executablePath,
        m_platform.log);
    if (CrashReporting* reporting = m_platform.crashReporting) {
        ProblemReporter::askAboutCrashReportsIfNeeded(m_core.settings, *reporting, m_platform.notifier, m_platform.log);
        CrashReports::sendIfPermitted(m_core.settings, *reporting, m_platform.scheduler.wallClock(), m_platform.log);
    }
    AccessibilityGrant::logStaleGrantIfNeeded(windows.isAvailable(), m_platform.defaults, executablePath,
                                              m_platform.log);
}

void AppDelegate::registerHotKeys() {
    m_hotkeys.onAction = m_lifetime.guard([this](HotkeyAction action, InputTime time) { perform(action, time); });
    m_hotkeys.onSwitchToSpace = m_lifetime.guard([this](int number) { switchToSpace(number); });
    m_hotkeys.start();
}

void AppDelegate::applyMode() {
    if (m_core.settings.defaults().stringFor(Settings::modeKey) == "hotkey") {
        if (m_menuBar.hasStatusItem()) m_menuBar.removeStatusItem();
        return;
    }
    m_menuBar.setup();
}

// --- Wiring ---------------------------------------------------------------------------------------

void AppDelegate::switchFromView(const Space& space) {
    // The desktop being left keeps its focus; the window manager focuses on the new one.
    if (m_panelController.exists()) m_panelController.hide(PanelController::Focus::keep);
    m_spaceSwitcher.switchTo(space);
}

void AppDelegate::wireControllers() {
    const Lifetime& l = m_lifetime;
    m_panelController.onSwitch = l.guard([this](const Space& space) { switchFromView(space); });
    m_panelController.onToggleEditMode = l.guard([this] { toggleEditMode(); });
    m_panelController.onOpenSettings = l.guard([this] { m_settingsController.show(); });
    // The tray's title and rows show the new name at once.
    m_panelController.onLabelChanged = l.guard([this] { refreshMenuBar(); });
    m_menuBar.onSwitch = l.guard([this](const Space& space) { switchFromView(space); });
    m_menuBar.onOpenSettings = l.guard([this] { m_settingsController.show(); });
    m_menuBar.onReportProblem = l.guard([this] { reportProblem(); });
    m_menuBar.onEditModeChanged = l.guard([this] {
        m_panelController.editingSpaceID.reset();
        if (m_panelController.exists() && m_panelController.isVisible()) m_panelController.rebuildContent();
    });
    m_settingsController.onModeChanged = l.guard([this] { applyMode(); });
    m_settingsController.onRefresh = l.guard([this] { refreshAll(); });
    m_settingsController.onToggleTiling = l.guard([this] {
        m_core.coordinator.setEnabled(!m_core.settings.tilingEnabled(), TilingCoordinator::Source::settings);
    });
    m_settingsController.onEditShortcuts = l.guard([this] { shortcutsController().show(); });
    // Quitting from the settings window takes the tray menu's path: the loop ends, the quit steps run.
    m_settingsController.onQuit = l.guard([this] { m_platform.tray.requestQuit(); });

    m_core.coordinator.onStateChanged = l.guard([this](TilingCoordinator::Source source) {
        m_menuBar.tilingStateChanged(source == TilingCoordinator::Source::menu);
        m_settingsController.refreshTilingState();
    });
    m_core.engine.isDisplayTransitionInProgress = [this, alive = l.token()] {
        return !alive.expired() && m_core.focusDisplay.isSwapping();
    };
    // Windows refusing to move with no window manager: it went away (a restart, a crash). The
    // coordinator waits for one, quietly at first.
    m_core.engine.onAccessLost = l.guard([this] { m_core.coordinator.windowManagerLost(); });
    m_core.focusDisplay.onStateChanged = l.guard([this] { refreshMenuBar(); });
    m_core.engine.onSpotlightChanged = l.guard([this] { refreshMenuBar(); });
    m_core.focusDisplay.onSwapSettled = l.guard([this](bool ok, const std::string& displayName) {
        if (!ok) {
            showToast("Focus Display didn't take — arrangement unchanged");
            return;
        }
        showToast("Focused on " + displayName);
        m_core.engine.retileAllSpaces();
    });
}

void AppDelegate::reportProblem() {
    const ProblemReporting* reporting = m_platform.problemReporting;
    if (!reporting) return;
    bool ewmh = true;
    for (const DesktopHint hint : WindowServerApi::kRequiredHints) ewmh = ewmh && m_platform.windowServer.announces(hint);
    const ProblemFacts facts{
        .windowManagerRunning = m_platform.windowControl.isAvailable(),
        .ewmhAvailable = ewmh,
        .displays = static_cast<int>(m_core.spaces.getDisplays().size()),
        .desktops = static_cast<int>(m_core.spaces.getSpaces().size()),
        .tilingRunning = m_core.engine.isRunning(),
    };
    ProblemReport::report(*reporting, facts, m_core.settings, m_platform.notifier);
}

// --- Refreshes ------------------------------------------------------------------------------------

void AppDelegate::refreshMenuBar() {
    // Whatever refreshes the tray may have changed a shown name, with or without a tray.
    m_core.nameSync.namesMayHaveChanged();
    if (!m_menuBar.hasStatusItem()) return;
    m_menuBar.refresh();
}

void AppDelegate::refreshAll() {
    refreshMenuBar();
    m_core.strip.refresh();
    if (m_panelController.exists() && m_panelController.isVisible()) {
        m_panelController.refreshSpaces();
        m_panelController.rebuildContent();
    }
}

void AppDelegate::spaceChanged() {
    const std::set<SpaceId> ids = m_core.spaces.allSpaceIDs();
    // An empty read is a failed read: pruning against it would drop every name.
    if (!ids.empty()) {
        m_core.labels.pruneDict(LabelStore::labelsKey, LabelStore::labelsLastSeenKey, ids);
        m_core.labels.pruneDict(LabelStore::tilingKey, LabelStore::tilingLastSeenKey, ids);
    }
    saveSpaceLabels();
    if (m_panelController.exists() && m_panelController.isVisible() && !m_panelController.editingSpaceID) {
        m_panelController.refreshSpaces();
        m_panelController.rebuildContent();
    }
    refreshMenuBar();
}

void AppDelegate::applicationActivated() {
    if (m_core.settings.namingMode() == NamingMode::manual) return;
    m_appActivationRefresh.cancel();
    m_appActivationRefresh =
        m_platform.scheduler.after(kActivationRefreshDelay, m_lifetime.guard([this] { refreshMenuBar(); }));
}

// --- Actions --------------------------------------------------------------------------------------

void AppDelegate::perform(HotkeyAction action, InputTime time) {
    TilingEngine& engine = m_core.engine;
    auto swap = [&](Direction direction) {
        if (!engine.isRunning()) return showToast(kTilingOff);
        if (!engine.swapFocusedWindow(direction)) showToast("No window that way");
    };
    switch (action) {
    case HotkeyAction::togglePanel:
        m_panelController.toggle(time);
        break;
    case HotkeyAction::toggleEditMode:
        toggleEditMode(time);
        break;
    case HotkeyAction::summon:
        if (m_summonPalette.panelExists() && m_summonPalette.isVisible()) m_summonPalette.dismiss();
        else m_summonPalette.present(time);
        break;
    case HotkeyAction::swapLeft:
        swap(Direction::left);
        break;
    case HotkeyAction::swapRight:
        swap(Direction::right);
        break;
    case HotkeyAction::swapUp:
        swap(Direction::up);
        break;
    case HotkeyAction::swapDown:
        swap(Direction::down);
        break;
    case HotkeyAction::toggleSplit:
        if (!engine.isRunning()) showToast(kTilingOff);
        else if (!engine.toggleSplitOfFocusedWindow()) showToast("Nothing to flip");
        break;
    case HotkeyAction::toggleTiling:
        m_core.coordinator.setEnabled(!m_core.settings.tilingEnabled(), TilingCoordinator::Source::hotkey);
        break;
    case HotkeyAction::retile: {
        if (!engine.isRunning()) return showToast(kTilingOff);
        const SpaceId active = m_core.api.currentDesktop();
        engine.adoptSpace(active);
        engine.retile(active, std::nullopt);
        showToast("Re-tiled");
        break;
    }
    case HotkeyAction::spotlightWindow:
        engine.toggleSpotlight();
        break;
    case HotkeyAction::addFileManagerWindow:
        openNewFileManagerWindow(time);
        break;
    case HotkeyAction::toggleStrip:
        if (m_core.settings.defaults().boolFor(Settings::stripDevKey)) m_core.strip.toggleVisibilityOverride();
        break;
    }
}

void AppDelegate::switchToSpace(int number) {
    const std::vector<Space> spaces = m_core.spaces.getSpaces();
    if (number < 1 || static_cast<std::size_t>(number) > spaces.size()) return;
    const Space& target = spaces[static_cast<std::size_t>(number - 1)];
    if (target.isCurrent) return;
    if (m_panelController.exists()) m_panelController.hide(PanelController::Focus::keep);
    m_spaceSwitcher.switchTo(target);
}

void AppDelegate::toggleEditMode(InputTime time) {
    DefaultsStore& defaults = m_core.settings.defaults();
    const bool wasOn = defaults.boolFor(Settings::editModeKey);
    defaults.set(Settings::editModeKey, !wasOn);
    m_panelController.editingSpaceID.reset();
    if (!wasOn && !m_panelController.isVisible()) m_panelController.show(time);
    refreshAll();
}

void AppDelegate::openNewFileManagerWindow(InputTime time) {
    const double now = m_platform.scheduler.now();
    if (m_lastFileManagerOpen && now - *m_lastFileManagerOpen < kFileManagerOpenDebounce.count()) return;
    m_lastFileManagerOpen = now;

    // Asked anew each time: the user may choose another one while the program runs.
    const auto fileManager = m_platform.applications.defaultFileManager();
    if (!fileManager) return showToast("Couldn't find a file manager");
    switch (m_core.opener.openWindow(*fileManager, time).result) {
    case WindowOpener::Result::opened:
    case WindowOpener::Result::reopened:
    case WindowOpener::Result::launched:
        break;
    case WindowOpener::Result::activatedWithoutWindow:
        showToast("The file manager has no new-window command");
        break;
    case WindowOpener::Result::refusedFullscreen:
        showToast("Can't open a file manager window on a fullscreen desktop");
        break;
    case WindowOpener::Result::launchFailed:
        showToast("Couldn't start the file manager");
        break;
    }
}

} // namespace quorvel
