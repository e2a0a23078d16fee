// The first-launch welcome window: what the program does, the main shortcuts as they are now, the
// missing window manager when there is none, and the choice of access mode. Computes the content;
// the window comes from the platform's WelcomeViewFactory (WelcomeView.h). Owned by AppDelegate.
#pragma once

#include "platform/DefaultsStore.h"
#include "platform/UserNotifier.h"
#include "platform/WindowControl.h"
#include "settingsui/WelcomeView.h"

#include <functional>
#include <memory>
#include <string_view>

namespace quorvel {

class WelcomeWindowController {
public:
    static constexpr std::string_view kTitle = "Welcome to Quorvel";
    static constexpr std::string_view kMenuBarItem = "Menu Bar";

    // Without a view factory the content is still computed (and readable through content()).
    WelcomeWindowController(WelcomeViewFactory* views, DefaultsStore& defaults, WindowControl& windows,
                            UserNotifier& notifier);
    WelcomeWindowController(const WelcomeWindowController&) = delete;
    WelcomeWindowController& operator=(const WelcomeWindowController&) = delete;

    // Called after the user chose an access mode here (the choice is stored already).
    std::function<void()> onModeChanged;

    // Computes the content afresh (current shortcuts, stored mode, window manager present) and shows
    // the window, made on the first call and reused after.
    void show();
    bool isVisible() const;

    // The content of the last show().
    const WelcomeContent& content() const { return m_content; }

private:
    WelcomeContent compose();
    void modeChosen(int index);
    void explainMissingWindowManager();
    void done();

    WelcomeViewFactory* m_views;
    DefaultsStore& m_defaults;
    WindowControl& m_windows;
    UserNotifier& m_notifier;
    std::unique_ptr<WelcomeView> m_view;
    WelcomeContent m_content;
    bool m_shownWithoutView = false;
};

} // namespace quorvel
