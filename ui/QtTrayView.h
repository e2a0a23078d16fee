// The tray item on Qt: a QSystemTrayIcon (XEmbed tray or StatusNotifierItem) whose icon shows the
// current desktop's number and whose tool tip is the full title; one QMenu, opened by a left or a
// right click, whose rows, indicator and switch row are QWidgetActions and which is edited in place
// so it stays open. Without a tray it keeps checking and shows the icon once one appears.
#pragma once

#include "menubar/TrayView.h"
#include "platform/Scheduler.h"

#include <QPointer>

#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace quorvel::ui {

class ToggleRowWidget;

class QtTrayView final : public TrayView {
public:
    // How often a missing tray is looked for again.
    static constexpr Seconds kTrayPollInterval{1.0};

    explicit QtTrayView(Scheduler& scheduler);
    ~QtTrayView() override;

    bool trayAvailable() override;
    void createStatusItem(TrayMenuActions& actions) override;
    void removeStatusItem() override;
    void setTitle(const TrayTitle& title) override;
    void setMenu(const std::vector<MenuItem>& items) override;
    void applyEdit(const MenuEdit& edit) override;
    void setTilingSwitch(bool on) override;
    void closeMenu() override;
    void requestQuit() override;

    // For the demo and tests: the menu, the icon (none until created), and opening the menu at a
    // point of the screen as a click on the icon would.
    QMenu* menu() const { return m_menu.get(); }
    QSystemTrayIcon* icon() const { return m_icon.get(); }
    void popUpMenu(const QPoint& at);

private:
    void makeIcon();
    void watchForTray();
    QAction* makeAction(const MenuItem& item);

    Scheduler& m_scheduler;
    TrayMenuActions* m_actions = nullptr;
    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<QSystemTrayIcon> m_icon;
    QPointer<ToggleRowWidget> m_toggles;
    TrayTitle m_title;
    TaskHandle m_trayPoll;
};

} // namespace quorvel::ui
