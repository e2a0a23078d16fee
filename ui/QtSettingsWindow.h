// The settings window in Qt Widgets: a normal decorated window of 560 × 548 with the logo and name,
// one tab per SettingsTab, rows at fixed columns (label, control with its explanation, picture) and
// "Quit Quorvel". Shows what SettingsWindowController decides and reports each click back to it.
// Object names for tests: "settingsWindow", "tabs", each control by its id ("accessMode",
// "desktopList.1"), "diagram.<id>", "keycaps.<n>", "keyGuideButton", "customize", "quit".
#pragma once

#include "settingsui/SettingsView.h"

#include <QString>

#include <memory>

class QWidget;

namespace quorvel::ui {

class SettingsWindowWidget;

// The text the window shows for a tab, with its Alt mnemonic ("&General").
QString tabText(SettingsTabId id);
// The object name of a row's control ("accessMode"); a check box adds ".<box>".
QString controlName(SettingsControlId id);

class QtSettingsWindow final : public SettingsView {
public:
    explicit QtSettingsWindow(Handlers handlers);
    ~QtSettingsWindow() override;

    void setContent(const SettingsContent& content) override;
    void updateRow(const SettingsRow& row) override;
    void present() override;
    bool isVisible() const override;

    // The top-level window, for tests and the demo.
    QWidget* widget() const;

private:
    std::unique_ptr<SettingsWindowWidget> m_window;
};

class QtSettingsWindowFactory final : public SettingsViewFactory {
public:
    std::unique_ptr<SettingsView> createSettingsWindow(SettingsView::Handlers handlers) override;

    // The newest window made (tests).
    QtSettingsWindow* window = nullptr;
};

} // namespace quorvel::ui
