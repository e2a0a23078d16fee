// The helper window on Qt: a 1×1 frameless window at (0, 0) that the window manager does manage
// (it must live on a desktop), created natively before it is first shown.
#pragma once

#include "platform/HelperWindow.h"

#include <functional>
#include <memory>

class QWindow;

namespace quorvel::ui {

// Activates a window by its number; the app sends the window manager _NET_ACTIVE_WINDOW.
using ActivateWindow = std::function<void(WindowId)>;

class HelperSurface;

class QtHelperWindow final : public HelperWindow {
public:
    // Creates the native window; windowNumber() is 0 when that failed. Without `activate`,
    // makeKeyAndOrderFront asks Qt to activate the window.
    explicit QtHelperWindow(ActivateWindow activate);
    ~QtHelperWindow() override;

    WindowId windowNumber() const override { return m_number; }
    void setLevelNormal() override;
    void setAlpha(double alpha) override;
    void orderBack() override;
    void makeKeyAndOrderFront() override;
    bool isKey() const override;
    bool isMain() const override;
    void setIgnoresMouseEvents(bool ignores) override;
    void setBackgroundBlack() override;
    void close() override;

    QWindow* window() const;

private:
    std::unique_ptr<HelperSurface> m_surface;
    ActivateWindow m_activate;
    WindowId m_number = 0;
    bool m_closed = false;
};

class QtHelperWindowFactory final : public HelperWindowFactory {
public:
    explicit QtHelperWindowFactory(ActivateWindow activate = {}) : m_activate(std::move(activate)) {}

    std::unique_ptr<HelperWindow> createHelperWindow() override;

private:
    ActivateWindow m_activate;
};

} // namespace quorvel::ui
