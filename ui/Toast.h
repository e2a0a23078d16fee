// The toast: one dark panel low on the primary screen that shows a short message and fades by
// itself. Created once by QtUserNotifier and reused; all timing goes through the Scheduler.
#pragma once

#include "platform/Scheduler.h"

#include <QString>
#include <QWidget>

#include <cstdint>

class QLabel;

namespace quorvel::ui {

class Toast final : public QWidget {
public:
    static constexpr int kMaxLabelWidth = 420;

    explicit Toast(Scheduler& scheduler);
    ~Toast() override;

    // Replaces the message on screen, shows the panel at full opacity without activating it, and
    // restarts the dismissal: 1.6 s for fewer than 41 user-perceived characters, else 3.4 s, then
    // a 0.35 s fade and hide (without a compositing manager, hide at once). A fade under way never
    // touches a newer message.
    void showMessage(const QString& text);
    QString text() const;
    // Whether a compositing manager blends the panel (the default); without one the panel is opaque
    // and cut to its rounded shape, so its corners show what lies beneath instead of black.
    void setCompositing(bool compositing);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void layOut(const QString& text);
    void placeOnPrimaryScreen();
    void fadeOut(std::uint64_t generation);
    void cancelDismissal();
    void reshape();

    Scheduler& m_scheduler;
    QLabel* m_label;
    bool m_compositing = true;
    std::uint64_t m_generation = 0;
    TaskHandle m_dismiss;
    TaskHandle m_fadeTicks;
    TaskHandle m_fadeEnd;
};

} // namespace quorvel::ui
