// The welcome window on the simulator: records the content it was given and lets a test act as the
// user (pick an access mode, press the permission button, Get Started).
#pragma once

#include "settingsui/WelcomeView.h"

#include <memory>

namespace quorvel::sim {

class SimWelcomeView final : public WelcomeView {
public:
    explicit SimWelcomeView(Handlers handlers) : m_handlers(std::move(handlers)) {}

    void setContent(const WelcomeContent& newContent) override { content = newContent; }
    void present() override {
        ++presentCount;
        m_visible = true;
    }
    void close() override { m_visible = false; }
    bool isVisible() const override { return m_visible; }

    // The user's side.
    void chooseMode(int index) {
        content.selectedMode = index;
        m_handlers.onModeChosen(index);
    }
    void clickPermissionButton() { m_handlers.onPermissionButton(); }
    void clickGetStarted() { m_handlers.onDone(); }

    WelcomeContent content;
    int presentCount = 0;

private:
    Handlers m_handlers;
    bool m_visible = false;
};

class SimWelcomeViewFactory final : public WelcomeViewFactory {
public:
    std::unique_ptr<WelcomeView> createWelcomeWindow(WelcomeView::Handlers handlers) override {
        ++createdCount;
        auto view = std::make_unique<SimWelcomeView>(std::move(handlers));
        window = view.get();
        return view;
    }

    SimWelcomeView* window = nullptr; // the newest window made
    int createdCount = 0;
};

} // namespace quorvel::sim
