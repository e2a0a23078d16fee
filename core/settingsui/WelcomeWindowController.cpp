// The welcome window's content, composed from the current shortcuts and settings at every show.
#include "settingsui/WelcomeWindowController.h"

#include "settings/Settings.h"
#include "shortcuts/ShortcutStore.h"

#include <string>

namespace quorvel {

namespace {

constexpr int kMenuBarIndex = 0;
constexpr int kHotkeyIndex = 1;

} // namespace

WelcomeWindowController::WelcomeWindowController(WelcomeViewFactory* views, DefaultsStore& defaults,
                                                 WindowControl& windows, UserNotifier& notifier)
    : m_views(views), m_defaults(defaults), m_windows(windows), m_notifier(notifier) {}

WelcomeContent WelcomeWindowController::compose() {
    const ShortcutStore store(m_defaults);
    const auto text = [&store](HotkeyAction action) { return store.shortcut(action).displayText(); };
    const std::string panel = text(HotkeyAction::togglePanel);
    const std::string tiling = text(HotkeyAction::toggleTiling);

    WelcomeContent c;
    c.title = std::string(kTitle);
    c.heading = std::string(kTitle);
    c.bullets = "• Name your desktops — auto-name from the frontmost app, or set custom names that stick\n"
                "• Switch instantly — " + panel +
                " opens the switcher panel; menu-bar mode shows your spaces at a glance\n"
                "• Tile automatically — each window gets its own tile, nothing overlaps. Tiling is off by "
                "default: " + tiling + " turns it on or off";
    c.shortcutsHeading = "Keyboard shortcuts";
    // The runs of spaces line the two columns up in a monospaced font.
    c.shortcutTable = panel + "  Switcher panel     " + text(HotkeyAction::toggleEditMode) + "  Edit mode\n" +
                      tiling + "  Toggle tiling        " + text(HotkeyAction::retile) +
                      "  Re-tile current space\n" + store.shortcut(HotkeyAction::swapLeft).modifiers.symbols() +
                      "←→↑↓  Swap window with its neighbour";
    if (!m_windows.isAvailable()) {
        c.permission = WelcomePermissionRow{
            .label = "Quorvel needs a window manager that supports EWMH to read window titles and tile windows.",
            .button = "What's Missing?",
        };
    }
    c.modeLabel = "Access mode:";
    c.modeItems = {std::string(kMenuBarItem), "Keyboard Shortcut (" + panel + ")"};
    c.selectedMode = m_defaults.stringFor(Settings::modeKey) == "hotkey" ? kHotkeyIndex : kMenuBarIndex;
    c.doneButton = "Get Started";
    return c;
}

void WelcomeWindowController::show() {
    if (!m_view && m_views) {
        m_view = m_views->createWelcomeWindow({
            .onModeChosen = [this](int index) { modeChosen(index); },
            .onPermissionButton = [this] { explainMissingWindowManager(); },
            .onDone = [this] { done(); },
        });
    }
    m_content = compose();
    m_shownWithoutView = !m_view;
    if (!m_view) return;
    m_view->setContent(m_content);
    m_view->present();
}

bool WelcomeWindowController::isVisible() const { return m_view ? m_view->isVisible() : m_shownWithoutView; }

void WelcomeWindowController::modeChosen(int index) {
    if (index != kMenuBarIndex && index != kHotkeyIndex) return;
    m_defaults.set(Settings::modeKey, index == kHotkeyIndex ? "hotkey" : "menubar");
    m_content.selectedMode = index;
    if (onModeChanged) onModeChanged();
}

void WelcomeWindowController::explainMissingWindowManager() {
    m_notifier.runAlert({
        .message = "No window manager is running",
        .informativeText = "Quorvel reads window titles, desktops and tiles through the window manager's EWMH "
                           "interface, and no window manager on this display offers it. Start one that does "
                           "(Openbox, Xfwm, KWin, Fluxbox, IceWM…); Quorvel notices it by itself.",
        .buttons = {"OK"},
    });
}

void WelcomeWindowController::done() {
    if (m_view) m_view->close();
    m_shownWithoutView = false;
}

} // namespace quorvel
