// Toasts through the one Toast window; alerts through QMessageBox.
#include "QtUserNotifier.h"

#include "Toast.h"

#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <vector>

namespace quorvel::ui {

QtUserNotifier::QtUserNotifier(Scheduler& scheduler) : m_scheduler(scheduler) {}

QtUserNotifier::~QtUserNotifier() = default;

void QtUserNotifier::showToast(const std::string& text) {
    if (!m_toast) {
        m_toast = std::make_unique<Toast>(m_scheduler);
        m_toast->setCompositing(m_compositing);
    }
    m_toast->showMessage(QString::fromStdString(text));
}

void QtUserNotifier::setCompositing(bool compositing) {
    m_compositing = compositing;
    if (m_toast) m_toast->setCompositing(compositing);
}

QMessageBox::Icon QtUserNotifier::iconFor(const AlertSpec& alert) {
    if (alert.critical) return QMessageBox::Critical;
    // Choosing between answers is a question; a lone button only acknowledges.
    return alert.buttons.size() > 1 ? QMessageBox::Question : QMessageBox::Information;
}

int QtUserNotifier::runAlert(const AlertSpec& alert) {
    QMessageBox box;
    box.setWindowTitle(QStringLiteral("Quorvel"));
    box.setIcon(iconFor(alert));
    box.setText(QString::fromStdString(alert.message));
    box.setInformativeText(QString::fromStdString(alert.informativeText));
    box.setWindowFlag(Qt::WindowStaysOnTopHint);

    // One role for every button keeps them in the order given whatever the platform's layout.
    std::vector<QPushButton*> buttons;
    for (const std::string& title : alert.buttons)
        buttons.push_back(box.addButton(QString::fromStdString(title), QMessageBox::ActionRole));
    if (!buttons.empty()) {
        box.setDefaultButton(buttons.front());
        box.setEscapeButton(buttons.back());
    }

    // Once the box is on screen, inside its own loop.
    QMetaObject::invokeMethod(
        &box,
        [&box] {
            box.raise();
            box.activateWindow();
        },
        Qt::QueuedConnection);
    box.exec();

    const auto chosen = std::find(buttons.begin(), buttons.end(), box.clickedButton());
    if (chosen == buttons.end()) return kAlertFirstButton + std::max(0, static_cast<int>(buttons.size()) - 1);
    return kAlertFirstButton + static_cast<int>(chosen - buttons.begin());
}

} // namespace quorvel::ui
