// The tray item: its presence (absent in hot-key mode), its title, and its menu of every desktop of
// every display, built from MenuModel and edited in place while open so that renaming, the edit
// switch and density changes never close it. Shown through a TrayView.
#pragma once

#include "focusdisplay/FocusDisplayManager.h"
#include "menubar/MenuModel.h"
#include "menubar/TrayView.h"
#include "platform/DefaultsStore.h"
#include "platform/Lifetime.h"
#include "platform/Log.h"
#include "platform/Scheduler.h"
#include "platform/UserNotifier.h"
#include "platform/Workspace.h"
#include "settings/Settings.h"
#include "spaces/LabelStore.h"
#include "spaces/Space.h"
#include "spaces/SpaceManager.h"
#include "tiling/TilingCoordinator.h"
#include "tiling/TilingEngine.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

class MenuBarController final : public TrayMenuActions {
public:
    static constexpr std::string_view kCategory = "app";

    // What the tray item reads and drives; shell/AppServices wires it.
    struct Dependencies {
        TrayView& view;
        Settings& settings;
        DefaultsStore& defaults;
        LabelStore& labels;
        SpaceManager& spaces;
        TilingEngine& engine;
        TilingCoordinator& coordinator;
        Workspace& workspace;
        UserNotifier& notifier;
        Scheduler& scheduler;
        Log& log;
        // The desktop with the keyboard focus.
        std::function<SpaceId()> activeSpace;
        // Whether the window manager lets us move other programs' windows.
        std::function<bool()> isTrusted;
        // Null: no Focus Display item.
        FocusDisplayManager* focusDisplay = nullptr;
    };

    explicit MenuBarController(Dependencies dependencies);

    std::function<void(const Space&)> onSwitch;
    std::function<void()> onOpenSettings;
    std::function<void()> onEditModeChanged;
    // "Report a Problem…"; without it the item does what ProblemReporter::report() does.
    std::function<void()> onReportProblem;

    // Creates the tray item once and runs the full refresh; a second call does nothing. Without a
    // tray host the user is told once how to reach the desktops instead (the item still shows as
    // soon as a tray appears).
    void setup();
    // Removes the item from the tray (hot-key mode).
    void removeStatusItem();
    bool hasStatusItem() const { return m_hasStatusItem; }

    // The full refresh: desktops, automatic names, title, menu. While a row of the menu is being
    // renamed the menu keeps its items (rebuilding would drop the field and the text typed): the
    // build waits until the rename ends or the menu closes.
    void refresh();
    // Whether a row of the menu is being renamed, and whether a menu build waits for it to end.
    bool isRenamingInMenu() const { return m_renamingRow.has_value(); }
    bool hasDeferredMenuBuild() const { return m_menuBuildDeferred; }
    // Reads every desktop of every display into cachedSpaces, display order then desktop order.
    void refreshSpaces();
    const std::vector<Space>& cachedSpaces() const { return m_cachedSpaces; }
    const std::vector<Display>& cachedDisplays() const { return m_cachedDisplays; }
    void updateMenuBarTitle();
    const TrayTitle& title() const { return m_title; }
    // Builds a new menu from cachedSpaces and the settings and hands it to the view.
    void buildMenuBarMenu();
    const MenuLayout& menu() const { return m_menu; }
    // Tiling was switched on or off; `fromMenu` when the menu's own switch asked (then the open
    // menu only has its switch set, so it stays open).
    void tilingStateChanged(bool fromMenu);

    // The text of the tray-less toast, naming the panel's shortcut.
    std::string noTrayMessage() const;

    // TrayMenuActions: what the menu's items do.
    void rowSwitch(const Space& space) override;
    void rowRename(const Space& space, const std::optional<std::string>& name) override;
    void rowCycleTiling(const Space& space, TilingOverride value) override;
    void rowEditStateChanged(const Space& space, bool editing) override;
    void indicatorSwitch(const Space& space) override;
    void cycleDensity(MenuDensity next) override;
    void editToggled(bool on) override;
    void tilingToggled(bool on) override;
    void perform(MenuCommand command) override;
    void focusDisplayChosen(const std::string& displayId) override;
    void menuClosed() override;

private:
    std::vector<MenuItem> makeSpaceRowItems();
    std::vector<MenuItem> makeTail(MenuDensity density);
    MenuItem makeIndicatorItem(MenuDensity density) const;
    std::optional<MenuItem> accessibilityItem() const;
    // Reads the displays again.
    std::optional<MenuItem> focusDisplayItem();
    void rebuildRowSection();
    void refreshMenuTail();
    bool activeDesktopTiles();

    Dependencies m_deps;
    TrayView& m_view;
    bool m_hasStatusItem = false;
    bool m_toldNoTray = false;
    std::vector<Space> m_cachedSpaces;
    std::vector<Display> m_cachedDisplays;
    TrayTitle m_title;
    MenuLayout m_menu;
    bool m_hasToggleRow = false;
    std::optional<SpaceId> m_renamingRow; // the row of the open menu in rename mode
    bool m_menuBuildDeferred = false;     // a full refresh came while it was
    Lifetime m_lifetime;
};

// A shortcut as a Linux user reads it: "Ctrl+Alt+P".
std::string linuxShortcutText(std::int64_t modifiersRaw, const std::string& keyName);

} // namespace quorvel
