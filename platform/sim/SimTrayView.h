// The tray on the simulator: keeps the menu as a real one would (whole replacements and in-place
// edits), whether it is open, the title and the switch row; tests act as the user through
// `user()`, the actions the menu's items would call.
#pragma once

#include "menubar/TrayView.h"

#include <cassert>
#include <vector>

namespace quorvel::sim {

class SimTrayView final : public TrayView {
public:
    bool trayAvailable() override { return available; }
    void createStatusItem(TrayMenuActions& actions) override {
        m_actions = &actions;
        exists = true;
    }
    void removeStatusItem() override {
        exists = false;
        isOpen = false;
        items.clear();
    }
    void setTitle(const TrayTitle& t) override { title = t; }
    void setMenu(const std::vector<MenuItem>& menu) override {
        items = menu;
        ++menuBuilds;
    }
    void applyEdit(const MenuEdit& edit) override {
        assert(edit.index >= 0 && edit.index + edit.removeCount <= static_cast<int>(items.size()));
        items.erase(items.begin() + edit.index, items.begin() + edit.index + edit.removeCount);
        items.insert(items.begin() + edit.index, edit.inserted.begin(), edit.inserted.end());
        ++edits;
    }
    void setTilingSwitch(bool on) override { tilingSwitch = on; }
    void closeMenu() override {
        if (!isOpen) return;
        isOpen = false;
        m_actions->menuClosed();
    }
    void requestQuit() override { quitRequested = true; }

    // Control surface.
    void open() { isOpen = exists; }
    // The user closes the menu (Escape, a click outside).
    void close() { closeMenu(); }
    // The user clicks the edit switch: it flips on screen, then reports.
    void clickEditSwitch(bool on) {
        for (MenuItem& item : items)
            if (item.kind == MenuItemKind::toggleRow) item.toggles->editOn = on;
        user().editToggled(on);
    }
    TrayMenuActions& user() {
        assert(m_actions);
        return *m_actions;
    }

    bool available = true;
    bool exists = false;
    bool isOpen = false;
    bool quitRequested = false;
    int menuBuilds = 0;
    int edits = 0;
    std::optional<bool> tilingSwitch;
    TrayTitle title;
    std::vector<MenuItem> items;

private:
    TrayMenuActions* m_actions = nullptr;
};

} // namespace quorvel::sim
