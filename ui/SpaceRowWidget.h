// The desktop row on Qt, in the tray menu's style or the switcher panel's, and its window mini-map.
// All behaviour is core's SpaceRow; this draws it and hands it the user's clicks and keys.
//
// Use: construct with the fields and the callbacks, put it in a layout or a QWidgetAction, and
// (panel) call beginEditing() on the row the panel is renaming. Nothing else needs calling; the
// owner rebuilds its rows after a callback. A callback may drop the row: delete it with
// deleteLater(), never from inside the callback.
//
// Children (object names, for tests): "marker", "badge", "miniMap", "pencil", "tilingButton",
// "tilingWord", "name", and while renaming "editField" and "underline".
#pragma once

#include "menubar/SpaceRow.h"

#include <QLabel>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLineEdit;

namespace quorvel::ui {

// A thumbnail of a desktop's windows: an outline and one block per window. Accent colours when
// `accented` (the current desktop), else tertiary outline and secondary fill.
class SpaceMiniMapWidget final : public QWidget {
public:
    SpaceMiniMapWidget(std::vector<Rect> layout, bool accented, QWidget* parent = nullptr);
    const std::vector<Rect>& miniLayout() const { return m_layout; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<Rect> m_layout;
    bool m_accented;
};

class SpaceRowWidget final : public QWidget {
public:
    struct Callbacks {
        std::function<void()> onSwitch;
        std::function<void(const std::optional<std::string>&)> onRename; // absent: clear the name
        std::function<void(bool)> onEditStateChanged;
        std::function<void(TilingOverride)> onCycleTiling;
    };

    // `scheduler` hides the tiling word after 1.4 s (may be null: then a QTimer does).
    SpaceRowWidget(SpaceRowFields fields, Callbacks callbacks, Scheduler* scheduler, QWidget* parent = nullptr);
    ~SpaceRowWidget() override;

    // Enters rename mode: a line edit over the name, focused (all text selected in the panel).
    void beginEditing();

    // The row's logic, for owners and tests that need its state.
    SpaceRow& row() { return *m_row; }
    const SpaceRow& row() const { return *m_row; }
    QLineEdit* editField() const { return m_edit; }

    QSize sizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class TilingSymbol;

    void sync();
    void showEditor();
    void hideEditor();

    std::unique_ptr<SpaceRow> m_row;
    QLabel* m_marker = nullptr;
    QLabel* m_badge = nullptr;
    SpaceMiniMapWidget* m_miniMap = nullptr;
    QLabel* m_pencil = nullptr;
    TilingSymbol* m_tiling = nullptr;
    QLabel* m_word = nullptr;
    QLabel* m_name = nullptr;
    QLineEdit* m_edit = nullptr;
    QWidget* m_underline = nullptr;
    std::unique_ptr<Scheduler> m_ownScheduler;
};

} // namespace quorvel::ui
