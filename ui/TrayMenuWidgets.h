// The tray menu's custom items on Qt: the density indicator (desktop numbers and the eye), the
// switch row (edit mode, tiling), and the tray icon's picture. They draw core's models and report
// clicks to the TrayMenuActions.
#pragma once

#include "menubar/TrayView.h"

#include <QAbstractButton>
#include <QIcon>
#include <QLabel>
#include <QWidget>

#include <functional>

namespace quorvel::ui {

// The icon: the desktop's number (or "⊞", "?") in a rounded tile, with a ring while it tiles.
QIcon trayIcon(const TrayTitle& title, const QPalette& palette);
QImage trayIconImage(const TrayTitle& title, const QPalette& palette, int side);

class IndicatorWidget final : public QWidget {
public:
    IndicatorWidget(IndicatorModel model, TrayMenuActions& actions, QWidget* parent = nullptr);
    const IndicatorModel& model() const { return m_model; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    IndicatorModel m_model;
    TrayMenuActions& m_actions;
};

// A small on/off switch.
class SwitchButton final : public QAbstractButton {
public:
    explicit SwitchButton(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {36, 22}; }

protected:
    void paintEvent(QPaintEvent* event) override;
};

class ToggleRowWidget final : public QWidget {
public:
    ToggleRowWidget(const ToggleRowModel& model, TrayMenuActions& actions, QWidget* parent = nullptr);
    // Sets the tiling switch without reporting it.
    void setTilingState(bool on);
    SwitchButton* editSwitch() const { return m_edit; }
    SwitchButton* tilingSwitch() const { return m_tiling; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void restyle();

    SwitchButton* m_edit;
    SwitchButton* m_tiling;
    QLabel* m_editLabel;
    QLabel* m_tilingLabel;
};

} // namespace quorvel::ui
