// The application's spine: owns the controllers with a window or menu of their own, the hot-key
// manager and the desktop switcher; connects every callback; routes each hot-key action; starts
// everything at launch in a fixed order and saves the desktop snapshot at quit.
#pragma once

#include "menubar/MenuBarController.h"
#include "menubar/PanelController.h"
#include "platform/Lifetime.h"
#include "settingsui/SettingsWindowController.h"
#include "settingsui/WelcomeWindowController.h"
#include "shell/AppServices.h"
#include "shortcuts/HotkeyManager.h"
#include "shortcuts/ShortcutsWindowController.h"
#include "spaces/SpaceSwitcher.h"
#include "summon/SummonPalette.h"

#include <memory>
#include <optional>
#include <string_view>

namespace quorvel {

class AppDelegate {
public:
    static constexpr std::string_view kCategory = "app";
    // A burst of application activations yields one tray refresh this long after the last.
    static constexpr Seconds kActivationRefreshDelay{0.2};
    // A second new-file-manager-window press within this window does nothing.
    static constexpr Seconds kFileManagerOpenDebounce{0.6};

    AppDelegate(const PlatformServices& platform, CoreServices& core);
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    // Runs the launch sequence. Returns false when the window server cannot serve the program:
    // the user has been told (a modal alert) and nothing was started; the caller quits.
    bool applicationDidFinishLaunching();
    // Saves the desktop snapshot, stops the strip, removes the observers, releases the hot keys.
    void applicationWillTerminate();

    // Routing, as the hot-key manager reports presses; `time` is the press's time stamp (a window
    // the action opens takes the focus with it).
    void perform(HotkeyAction action, InputTime time = 0);
    void switchToSpace(int number);

    // The tray refresh: skipped while there is no status item (hot-key mode).
    void refreshMenuBar();
    void refreshAll();
    void toggleEditMode(InputTime time = 0);
    void openNewFileManagerWindow(InputTime time = 0);

    HotkeyManager& hotkeys() { return m_hotkeys; }
    SpaceSwitcher& spaceSwitcher() { return m_spaceSwitcher; }
    PanelController& panelController() { return m_panelController; }
    SummonPalette& summonPalette() { return m_summonPalette; }
    MenuBarController& menuBar() { return m_menuBar; }
    SettingsWindowController& settingsController() { return m_settingsController; }
    // Created on first use and then kept.
    ShortcutsWindowController& shortcutsController();
    bool hasShortcutsController() const { return m_shortcutsController != nullptr; }
    WelcomeWindowController& welcomeController() { return m_welcomeController; }

private:
    bool passesCompatibilityGate();
    void wireControllers();
    void requestAccessibility();
    void registerHotKeys();
    void applyMode();
    void restoreSpaceLabels() { m_core.persistence.restoreSpaceLabels(); }
    void saveSpaceLabels() { m_core.persistence.saveSpaceLabels(); }
    void spaceChanged();
    void applicationActivated();
    void switchFromView(const Space& space);
    // "Report a Problem…": the e-mail with what is known now.
    void reportProblem();
    void showToast(std::string_view text);

    PlatformServices m_platform;
    CoreServices& m_core;

    ObserverToken m_spaceObserver = 0;
    ObserverToken m_appObserver = 0;
    TaskHandle m_appActivationRefresh;
    HotkeyManager m_hotkeys;
    std::optional<double> m_lastFileManagerOpen;
    SpaceSwitcher m_spaceSwitcher;
    PanelController m_panelController;
    SummonPalette m_summonPalette;
    MenuBarController m_menuBar;
    SettingsWindowController m_settingsController;
    std::unique_ptr<ShortcutsWindowController> m_shortcutsController;
    WelcomeWindowController m_welcomeController;
    Lifetime m_lifetime;
};

} // namespace quorvel
