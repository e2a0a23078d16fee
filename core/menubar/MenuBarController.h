// The tray item: its presence (absent in hot-key mode), the desktops it lists and its title.
// For now a shell with the operations the application delegate calls; the tray icon and its menu
// of desktop rows build on it.
#pragma once

#include "spaces/LabelStore.h"
#include "spaces/Space.h"
#include "spaces/SpaceManager.h"

#include <functional>
#include <string>
#include <vector>

namespace quorvel {

class MenuBarController {
public:
    MenuBarController(SpaceManager& spaces, LabelStore& labels) : m_spaces(spaces), m_labels(labels) {}
    MenuBarController(const MenuBarController&) = delete;
    MenuBarController& operator=(const MenuBarController&) = delete;

    std::function<void(const Space&)> onSwitch;
    std::function<void()> onOpenSettings;
    std::function<void()> onEditModeChanged;

    // Creates the status item if there is none.
    void setup() { m_hasStatusItem = true; }
    // Removes the status item from the tray and drops it.
    void removeStatusItem() { m_hasStatusItem = false; }
    bool hasStatusItem() const { return m_hasStatusItem; }

    // Reads every desktop of every display into cachedSpaces.
    void refreshSpaces() { m_cachedSpaces = m_spaces.getSpaces(); }
    const std::vector<Space>& cachedSpaces() const { return m_cachedSpaces; }
    // The title is the shown name of the current desktop (of the first display that has one).
    void updateMenuBarTitle();
    const std::string& title() const { return m_title; }
    // Rebuilds the menu from cachedSpaces; counted so the refresh order can be observed.
    void buildMenuBarMenu() { ++m_menuBuilds; }
    int menuBuildCount() const { return m_menuBuilds; }
    // Tiling was switched on or off; `fromMenu` when the menu itself asked.
    void tilingStateChanged(bool fromMenu) {
        ++m_tilingStateChanges;
        m_lastTilingChangeFromMenu = fromMenu;
    }
    int tilingStateChangeCount() const { return m_tilingStateChanges; }
    bool lastTilingChangeFromMenu() const { return m_lastTilingChangeFromMenu; }

private:
    SpaceManager& m_spaces;
    LabelStore& m_labels;
    bool m_hasStatusItem = false;
    std::vector<Space> m_cachedSpaces;
    std::string m_title;
    int m_menuBuilds = 0;
    int m_tilingStateChanges = 0;
    bool m_lastTilingChangeFromMenu = false;
};

} // namespace quorvel
