// The welcome window in Qt: a normal decorated window of 460 × 400 that shows the content
// WelcomeWindowController composes, in the palette's colours. Made once and reused; every
// setContent() replaces all of its texts.
#pragma once

#include "settingsui/WelcomeView.h"

#include <QWidget>

#include <memory>

class QComboBox;
class QLabel;
class QPushButton;

namespace quorvel::ui {

class QtWelcomeWindow final : public WelcomeView {
public:
    static constexpr int kWidth = 460;
    static constexpr int kHeight = 400;

    explicit QtWelcomeWindow(Handlers handlers);
    ~QtWelcomeWindow() override;

    void setContent(const WelcomeContent& content) override;
    void present() override;
    void close() override;
    bool isVisible() const override;

    // The window itself (tests find its parts by object name).
    QWidget* widget() const { return m_window.get(); }

private:
    Handlers m_handlers;
    std::unique_ptr<QWidget> m_window;
    QLabel* m_heading = nullptr;
    QLabel* m_bullets = nullptr;
    QLabel* m_shortcutsHeading = nullptr;
    QLabel* m_table = nullptr;
    QWidget* m_permissionRow = nullptr;
    QLabel* m_permissionLabel = nullptr;
    QPushButton* m_permissionButton = nullptr;
    QLabel* m_modeLabel = nullptr;
    QComboBox* m_mode = nullptr;
    QPushButton* m_done = nullptr;
};

class QtWelcomeWindowFactory final : public WelcomeViewFactory {
public:
    std::unique_ptr<WelcomeView> createWelcomeWindow(WelcomeView::Handlers handlers) override;
};

} // namespace quorvel::ui
