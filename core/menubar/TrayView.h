// The tray item as MenuBarController sees it: an icon with a title and a menu of MenuItems that can
// be edited in place while it is open. Implemented with Qt in ui/QtTrayView and recorded by the
// simulator (platform/sim/SimTrayView).
#pragma once

#include "menubar/MenuModel.h"

#include <optional>
#include <string>
#include <vector>

namespace quorvel {

// What the menu's items do when the user uses them; implemented by MenuBarController. A view calls
// these from its event handlers; the controller may edit or close the menu from inside them.
class TrayMenuActions {
public:
    TrayMenuActions() = default;
    TrayMenuActions(const TrayMenuActions&) = delete;
    TrayMenuActions& operator=(const TrayMenuActions&) = delete;
    virtual ~TrayMenuActions() = default;

    // A desktop row.
    virtual void rowSwitch(const Space& space) = 0;
    virtual void rowRename(const Space& space, const std::optional<std::string>& name) = 0;
    virtual void rowCycleTiling(const Space& space, TilingOverride value) = 0;
    // A row of the menu started (true) or left (false) renaming. A row that commits a name is
    // replaced by the edit that rowRename makes; it reports no false.
    virtual void rowEditStateChanged(const Space& space, bool editing) = 0;
    // The indicator: a desktop number, the eye.
    virtual void indicatorSwitch(const Space& space) = 0;
    virtual void cycleDensity(MenuDensity next) = 0;
    // The switch row.
    virtual void editToggled(bool on) = 0;
    virtual void tilingToggled(bool on) = 0;
    // A command of the tail.
    virtual void perform(MenuCommand command) = 0;
    // A display of the Focus Display submenu, by its persistent identifier.
    virtual void focusDisplayChosen(const std::string& displayId) = 0;
    // The menu was closed, by the user or by closeMenu (a view may report it on a later turn).
    virtual void menuClosed() = 0;
};

// The tray's face: the current desktop's number in the icon, a ring while its windows tile.
struct TrayTitle {
    std::string text;        // the full title: tool tip and accessible name
    std::string iconText;    // the desktop's number, "⊞" for a full-screen desktop, "?" without one
    bool tilingMark = false; // draw the ring
    friend bool operator==(const TrayTitle&, const TrayTitle&) = default;
};

class TrayView {
public:
    TrayView() = default;
    TrayView(const TrayView&) = delete;
    TrayView& operator=(const TrayView&) = delete;
    virtual ~TrayView() = default;

    // Whether a tray host is there to show an icon right now.
    virtual bool trayAvailable() = 0;
    // Creates the item (once); it shows as soon as a tray is there, now or later.
    virtual void createStatusItem(TrayMenuActions& actions) = 0;
    virtual void removeStatusItem() = 0;
    virtual void setTitle(const TrayTitle& title) = 0;
    // Replaces the whole menu. An open menu stays open with the new items.
    virtual void setMenu(const std::vector<MenuItem>& items) = 0;
    // Replaces items in place; an open menu stays open.
    virtual void applyEdit(const MenuEdit& edit) = 0;
    // Sets the tiling switch of the switch row without calling back.
    virtual void setTilingSwitch(bool on) = 0;
    // Closes the menu if it is open.
    virtual void closeMenu() = 0;
    // "Quit Quorvel": ends the application's event loop; the quit steps run after it.
    virtual void requestQuit() = 0;
};

} // namespace quorvel
