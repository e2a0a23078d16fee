// The spotlight outline on Qt: one click-through window drawing a rounded accent-coloured frame
// over the spotlit window, above normal windows on every desktop.
#pragma once

#include "platform/UserNotifier.h"

#include <memory>

class QWidget;

namespace quorvel::ui {

class QtOutlineWindow final : public OutlineWindow {
public:
    QtOutlineWindow();
    ~QtOutlineWindow() override;

    // The rectangle is in the window server's pixels (y down from the X screen's top-left).
    void show(double x, double y, double width, double height) override;
    void hide() override;

    // Whether a compositing manager blends our windows (the default): a translucent stroke then;
    // without one, an opaque ring-shaped window. Takes effect at once, also while shown.
    void setCompositing(bool compositing);
    bool compositing() const;

    // The outline's window (hidden while no outline is shown).
    QWidget* window() const { return m_window.get(); }

private:
    std::unique_ptr<QWidget> m_window;
};

} // namespace quorvel::ui
