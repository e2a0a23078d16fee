// What the application is built from: the platform's implementations (picked by the composition
// root: X11 and Qt in the app, the simulator in tests and the demo) and the process-wide shared
// components made from them once, in dependency order.
#pragma once

#include "focusdisplay/FocusDisplayManager.h"
#include "menubar/MenuBarController.h"
#include "menubar/PanelView.h"
#include "menubar/TrayView.h"
#include "platform/WindowControl.h"
#include "platform/CrashReporting.h"
#include "platform/DisplayOutputs.h"
#include "platform/DefaultsStore.h"
#include "platform/HelperWindow.h"
#include "platform/HotkeySystem.h"
#include "platform/LaunchAtLogin.h"
#include "platform/Log.h"
#include "platform/Scheduler.h"
#include "platform/Screens.h"
#include "platform/UserNotifier.h"
#include "platform/Applications.h"
#include "platform/TextFolding.h"
#include "platform/WindowServer.h"
#include "platform/Workspace.h"
#include "settings/Settings.h"
#include "settingsui/SettingsView.h"
#include "settingsui/WelcomeView.h"
#include "shortcuts/ShortcutsView.h"
#include "spaces/AutoNamer.h"
#include "spaces/DesktopNameSync.h"
#include "spaces/LabelStore.h"
#include "spaces/SpaceLabelPersistence.h"
#include "spaces/SpaceManager.h"
#include "spaces/WindowServerApi.h"
#include "spaces/WindowSnapshot.h"
#include "strip/StripController.h"
#include "summon/AppCatalog.h"
#include "summon/PaletteView.h"
#include "summon/WindowOpener.h"
#include "tiling/SpotlightBorder.h"
#include "tiling/TilingCoordinator.h"
#include "tiling/TilingEngine.h"

namespace quorvel {

struct PlatformServices {
    WindowServer& windowServer;
    WindowControl& windowControl;
    Workspace& workspace;
    Screens& screens;
    HotkeySystem& hotkeys;
    HelperWindowFactory& helperWindows;
    UserNotifier& notifier;
    OutlineWindow& outline;
    PanelViewFactory& panels;
    DefaultsStore& defaults;
    Scheduler& scheduler;
    Log& log;
    TrayView& tray;
    Applications& applications;
    PaletteViewFactory& palettes;
    TextFolding& text;
    // Until a platform has the shortcuts window, its logic runs without one.
    ShortcutsViewFactory* shortcutViews = nullptr;
    // Null where the platform cannot start the program at login.
    LaunchAtLogin* launchAtLogin = nullptr;
    // Without it the settings window's logic runs with no window.
    SettingsViewFactory* settingsViews = nullptr;
    // Null where the platform has no welcome window: its content is still composed.
    WelcomeViewFactory* welcomeViews = nullptr;
    // Null where the platform keeps no crash reports.
    CrashReporting* crashReporting = nullptr;
    // Null where problem reports cannot be handed to a mail program or the clipboard.
    ProblemReporting* problemReporting = nullptr;
    // Null where the platform draws no strip: the strip keeps its states only.
    StripPlatform* strip = nullptr;
    // Null where the monitors cannot be told apart: Focus Display then offers nothing.
    DisplayOutputs* displayOutputs = nullptr;

    // Null where the window manager keeps no desktop names for pagers: names stay ours alone.
    DesktopNames* desktopNames = nullptr;
};

// The shared instances; each exists once per process and lives as long as this object.
struct CoreServices {
    explicit CoreServices(const PlatformServices& platform);
    // Stops the tiling engine while everything it talks to still exists.
    ~CoreServices();
    CoreServices(const CoreServices&) = delete;
    CoreServices& operator=(const CoreServices&) = delete;

    Settings settings;
    WindowServerApi api;
    WindowSnapshotSource snapshots;
    SpaceManager spaces;
    AutoNamer namer;
    LabelStore labels;
    SpaceLabelPersistence persistence;
    SpotlightBorder border;
    TilingEngine engine;
    TilingCoordinator coordinator;
    StripController strip;
    FocusDisplayManager focusDisplay;
    AppCatalog catalog;
    WindowOpener opener;

    // The shown names, shared with the window manager's pagers.
    DesktopNameSync nameSync;
};

// The tray item's share of the platform and the shared components.
MenuBarController::Dependencies menuBarDependencies(const PlatformServices& platform, CoreServices& core);

} // namespace quorvel
