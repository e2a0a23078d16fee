// Records toasts, alerts and the outline window, and answers alerts as the test says.
#pragma once

#include "platform/Types.h"
#include "platform/UserNotifier.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::sim {

class SimNotifier final : public UserNotifier {
public:
    void showToast(const std::string& text) override { toasts.push_back(text); }
    int runAlert(const AlertSpec& alert) override {
        alerts.push_back(alert);
        if (beforeAnswer) beforeAnswer();
        return alertAnswer;
    }

    std::vector<std::string> toasts;
    std::vector<AlertSpec> alerts;
    int alertAnswer = kAlertFirstButton + 1; // "Cancel" unless a test chooses otherwise
    std::function<void()> beforeAnswer;
};

class SimOutlineWindow final : public OutlineWindow {
public:
    void show(double x, double y, double width, double height) override {
        shown = Rect{x, y, width, height};
        ++showCount;
    }
    void hide() override { shown.reset(); }

    std::optional<Rect> shown;
    int showCount = 0;
};

} // namespace quorvel::sim
