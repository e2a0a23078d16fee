// What the logic shows the user: short toasts and the rare modal alert. Implemented by the Qt
// layer; recorded by the simulator.
#pragma once

#include <string>
#include <vector>

namespace quorvel {

struct AlertSpec {
    std::string message;
    std::string informativeText;
    std::vector<std::string> buttons; // the first is the default
    bool critical = false;            // a stop sign instead of the program's icon
};

// The answer of a modal alert: 1000 for the first button, 1001 for the second, and so on.
inline constexpr int kAlertFirstButton = 1000;

class UserNotifier {
public:
    UserNotifier() = default;
    UserNotifier(const UserNotifier&) = delete;
    UserNotifier& operator=(const UserNotifier&) = delete;
    virtual ~UserNotifier() = default;

    // A short message that fades by itself and never takes focus.
    virtual void showToast(const std::string& text) = 0;
    // Blocks until the user answers; returns kAlertFirstButton + the index of the button chosen.
    virtual int runAlert(const AlertSpec& alert) = 0;
};

// The outline drawn around a spotlit window: a click-through window above normal windows.
class OutlineWindow {
public:
    OutlineWindow() = default;
    OutlineWindow(const OutlineWindow&) = delete;
    OutlineWindow& operator=(const OutlineWindow&) = delete;
    virtual ~OutlineWindow() = default;

    // Shows the outline over the rectangle (X pixels, y down), replacing any outline shown.
    virtual void show(double x, double y, double width, double height) = 0;
    virtual void hide() = 0;
};

} // namespace quorvel
