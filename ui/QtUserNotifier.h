// What the logic shows the user, on Qt: the one toast of the process (made on first use) and
// modal alerts.
#pragma once

#include "platform/Scheduler.h"
#include "platform/UserNotifier.h"

#include <QMessageBox>

#include <memory>
#include <string>

namespace quorvel::ui {

class Toast;

class QtUserNotifier final : public UserNotifier {
public:
    explicit QtUserNotifier(Scheduler& scheduler);
    ~QtUserNotifier() override;

    void showToast(const std::string& text) override; // UTF-8
    // A modal box titled "Quorvel" with the icon iconFor picks, the buttons left to right in the order
    // given, the first the default; stays on top and takes focus. Closing it answers the last button.
    int runAlert(const AlertSpec& alert) override;
    // Pure: the stop sign for a critical alert only; a question mark when there are answers to
    // choose between; else the information sign.
    static QMessageBox::Icon iconFor(const AlertSpec& alert);

    // Whether a compositing manager blends our windows (the default); passed on to the toast.
    void setCompositing(bool compositing);

    // The toast window; none before the first toast.
    Toast* toast() const { return m_toast.get(); }

private:
    Scheduler& m_scheduler;
    std::unique_ptr<Toast> m_toast;
    bool m_compositing = true;
};

} // namespace quorvel::ui
