// The tray icon, its menu built from MenuItems, and the in-place edits of the open menu.
#include "QtTrayView.h"

#include "Palette.h"
#include "SpaceRowWidget.h"
#include "TrayMenuWidgets.h"

#include <QApplication>
#include <QCursor>
#include <QKeySequence>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidgetAction>

namespace quorvel::ui {

QtTrayView::QtTrayView(Scheduler& scheduler) : m_scheduler(scheduler), m_menu(std::make_unique<QMenu>()) {
    m_menu->setObjectName(QStringLiteral("trayMenu"));
    // Named for window lists and screen readers (and found by that name in the app tests).
    m_menu->setWindowTitle(QStringLiteral("Quorvel menu"));
    m_menu->setToolTipsVisible(true);
    // Reported on a later turn: the menu is still inside its hide handling, and the controller may
    // replace every action in answer.
    QObject::connect(
        m_menu.get(), &QMenu::aboutToHide, m_menu.get(),
        [this] {
            if (m_actions) m_actions->menuClosed();
        },
        Qt::QueuedConnection);
}

QtTrayView::~QtTrayView() {
    m_trayPoll.cancel();
    m_icon.reset();
}

bool QtTrayView::trayAvailable() { return QSystemTrayIcon::isSystemTrayAvailable(); }

void QtTrayView::createStatusItem(TrayMenuActions& actions) {
    m_actions = &actions;
    if (m_icon) return;
    makeIcon();
    if (!trayAvailable()) watchForTray();
}

void QtTrayView::makeIcon() {
    m_icon = std::make_unique<QSystemTrayIcon>();
    m_icon->setIcon(trayIcon(m_title, m_menu->palette()));
    m_icon->setToolTip(QString::fromStdString(m_title.text));
    // The right button opens it through Qt (and a StatusNotifierItem host gets it over D-Bus).
    m_icon->setContextMenu(m_menu.get());
    QObject::connect(m_icon.get(), &QSystemTrayIcon::activated, m_menu.get(),
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                             popUpMenu(QCursor::pos());
                     });
    m_icon->show();
}

void QtTrayView::watchForTray() {
    m_trayPoll.cancel();
    m_trayPoll = m_scheduler.every(kTrayPollInterval, [this] {
        if (!m_icon || !trayAvailable()) return;
        m_trayPoll.cancel();
        // A fresh icon lets Qt choose its way into the tray that appeared (XEmbed or D-Bus).
        m_icon.reset();
        makeIcon();
    });
}

void QtTrayView::removeStatusItem() {
    m_trayPoll.cancel();
    closeMenu();
    m_icon.reset();
    for (QAction* action : m_menu->actions()) {
        m_menu->removeAction(action);
        action->deleteLater();
    }
}

void QtTrayView::setTitle(const TrayTitle& title) {
    m_title = title;
    m_menu->setTitle(QString::fromStdString(title.text));
    m_menu->setAccessibleName(QString::fromStdString(title.text));
    if (!m_icon) return;
    m_icon->setIcon(trayIcon(title, m_menu->palette()));
    m_icon->setToolTip(QString::fromStdString(title.text));
}

QAction* QtTrayView::makeAction(const MenuItem& item) {
    QMenu* menu = m_menu.get();
    TrayMenuActions& actions = *m_actions;
    switch (item.kind) {
    case MenuItemKind::separator: {
        auto* action = new QAction(menu);
        action->setSeparator(true);
        return action;
    }
    case MenuItemKind::header: {
        auto* action = new QAction(QString::fromStdString(item.title), menu);
        action->setEnabled(false);
        action->setFont(fontOf(menu->font(), 11, FontWeight::semibold));
        return action;
    }
    case MenuItemKind::command: {
        auto* action = new QAction(QString::fromStdString(item.title), menu);
        action->setToolTip(QString::fromStdString(item.toolTip.empty() ? item.title : item.toolTip));
        action->setEnabled(item.enabled);
        if (!item.shortcut.empty()) action->setShortcut(QKeySequence(QString::fromStdString(item.shortcut)));
        const MenuCommand command = *item.command;
        QObject::connect(action, &QAction::triggered, menu, [&actions, command] { actions.perform(command); });
        return action;
    }
    case MenuItemKind::submenu: {
        // Owned by the action, so removing the item removes its submenu too.
        auto* action = new QAction(QString::fromStdString(item.title), menu);
        action->setToolTip(QString::fromStdString(item.toolTip));
        auto* submenu = new QMenu(QString::fromStdString(item.title));
        QObject::connect(action, &QObject::destroyed, submenu, &QObject::deleteLater);
        for (const MenuItem& child : item.submenu) {
            QAction* childAction = makeAction(child);
            childAction->setParent(submenu);
            submenu->addAction(childAction);
        }
        action->setMenu(submenu);
        return action;
    }
    case MenuItemKind::displayChoice: {
        auto* action = new QAction(QString::fromStdString(item.title), menu);
        action->setCheckable(true);
        action->setChecked(item.checked);
        const std::string displayId = item.displayId;
        QObject::connect(action, &QAction::triggered, menu,
                         [&actions, displayId] { actions.focusDisplayChosen(displayId); });
        return action;
    }
    case MenuItemKind::indicator: {
        auto* action = new QWidgetAction(menu);
        action->setText(QString::fromStdString(item.title));
        action->setDefaultWidget(new IndicatorWidget(*item.indicator, actions));
        return action;
    }
    case MenuItemKind::toggleRow: {
        auto* action = new QWidgetAction(menu);
        action->setText(QString::fromStdString(item.title));
        auto* row = new ToggleRowWidget(*item.toggles, actions);
        m_toggles = row;
        action->setDefaultWidget(row);
        return action;
    }
    case MenuItemKind::row: {
        auto* action = new QWidgetAction(menu);
        // A menu exported over D-Bus shows only this text: the row's full accessible label.
        action->setText(QString::fromStdString(item.title));
        action->setToolTip(QString::fromStdString(item.toolTip));
        const Space space = item.space;
        SpaceRowWidget::Callbacks callbacks{
            .onSwitch = [&actions, space] { actions.rowSwitch(space); },
            .onRename = [&actions, space](const std::optional<std::string>& name) { actions.rowRename(space, name); },
            .onEditStateChanged = [&actions, space](bool on) { actions.rowEditStateChanged(space, on); },
            .onCycleTiling = [&actions, space](TilingOverride value) { actions.rowCycleTiling(space, value); },
        };
        auto* widget = new SpaceRowWidget(*item.row, std::move(callbacks), &m_scheduler);
        widget->setToolTip(QString::fromStdString(item.toolTip));
        action->setDefaultWidget(widget);
        // Where the menu is exported instead of shown, activating the entry switches.
        QObject::connect(action, &QAction::triggered, menu, [&actions, space] { actions.rowSwitch(space); });
        return action;
    }
    }
    return new QAction(menu);
}

void QtTrayView::setMenu(const std::vector<MenuItem>& items) {
    if (!m_actions) return;
    applyEdit({0, static_cast<int>(m_menu->actions().size()), items});
}

void QtTrayView::applyEdit(const MenuEdit& edit) {
    if (!m_actions) return;
    const QList<QAction*> current = m_menu->actions();
    const int end = std::min<int>(edit.index + edit.removeCount, static_cast<int>(current.size()));
    for (int i = edit.index; i < end; ++i) {
        QAction* action = current[i];
        m_menu->removeAction(action);
        // The edit may come from inside this very item's event handler: delete it later.
        action->deleteLater();
    }
    const QList<QAction*> rest = m_menu->actions();
    QAction* before = edit.index < rest.size() ? rest[edit.index] : nullptr;
    for (const MenuItem& item : edit.inserted) m_menu->insertAction(before, makeAction(item));
    m_menu->adjustSize();
}

void QtTrayView::setTilingSwitch(bool on) {
    if (m_toggles) m_toggles->setTilingState(on);
}

void QtTrayView::closeMenu() { m_menu->hide(); }

void QtTrayView::requestQuit() { QApplication::quit(); }

void QtTrayView::popUpMenu(const QPoint& at) {
    if (m_menu->isVisible()) return;
    m_menu->popup(at);
}

} // namespace quorvel::ui
