// The program's own helper window: a 1×1 borderless window that the desktop switcher moves onto a
// desktop and activates so the window server shows that desktop. Implemented by the Qt layer and
// the simulator.
#pragma once

#include "platform/Types.h"

#include <memory>

namespace quorvel {

class HelperWindow {
public:
    HelperWindow() = default;
    HelperWindow(const HelperWindow&) = delete;
    HelperWindow& operator=(const HelperWindow&) = delete;
    virtual ~HelperWindow() = default;

    // The window server's number for this window; fixed for the window's life.
    virtual WindowId windowNumber() const = 0;
    // The normal window level (0), where application windows live.
    virtual void setLevelNormal() = 0;
    // 0 is invisible; a parked helper uses a trace of alpha so the server keeps it on its desktop.
    virtual void setAlpha(double alpha) = 0;
    virtual void orderBack() = 0;
    // Makes the window key and brings it to the front; the server shows the window's desktop.
    virtual void makeKeyAndOrderFront() = 0;
    virtual bool isKey() const = 0;
    virtual bool isMain() const = 0;
    virtual void setIgnoresMouseEvents(bool ignores) = 0;
    virtual void setBackgroundBlack() = 0;
    // Removes the window from the screen; the object stays valid but does nothing useful after.
    virtual void close() = 0;
};

class HelperWindowFactory {
public:
    HelperWindowFactory() = default;
    HelperWindowFactory(const HelperWindowFactory&) = delete;
    HelperWindowFactory& operator=(const HelperWindowFactory&) = delete;
    virtual ~HelperWindowFactory() = default;

    // A new 1×1 borderless window at (0, 0), not yet shown; none if the platform cannot make one.
    virtual std::unique_ptr<HelperWindow> createHelperWindow() = 0;
    // Whether the window server keeps showing a desktop that holds no window. Then a helper that
    // brought the display to an empty desktop closes like any other instead of staying parked.
    virtual bool emptyDesktopsStayShown() const { return false; }
};

} // namespace quorvel
