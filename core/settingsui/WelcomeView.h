// The welcome window as values (what WelcomeWindowController computes) and the window that shows
// them (a Qt window on X11, a recorder on the simulator). The window lays the texts out in its own
// geometry; the controller decides every text and the access-mode selection.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

// Shown only while no EWMH window manager runs: why the program cannot work yet, and a button that
// explains what is missing.
struct WelcomePermissionRow {
    std::string label;
    std::string button;
    friend bool operator==(const WelcomePermissionRow&, const WelcomePermissionRow&) = default;
};

struct WelcomeContent {
    std::string title;   // the window's title
    std::string heading; // in bold, large
    std::string bullets; // three lines, each starting with "• "
    std::string shortcutsHeading;
    // Two columns per line, aligned with runs of spaces: set it in a monospaced font.
    std::string shortcutTable;
    std::optional<WelcomePermissionRow> permission;
    std::string modeLabel;
    std::vector<std::string> modeItems; // "Menu Bar", then the keyboard shortcut item
    int selectedMode = 0;               // an index into modeItems
    std::string doneButton;             // the default button (Return)
    friend bool operator==(const WelcomeContent&, const WelcomeContent&) = default;
};

class WelcomeView {
public:
    struct Handlers {
        // The user picked an access-mode item (an index into modeItems).
        std::function<void(int)> onModeChosen;
        // The permission row's button.
        std::function<void()> onPermissionButton;
        // "Get Started" or Return: the window closes.
        std::function<void()> onDone;
    };

    WelcomeView() = default;
    WelcomeView(const WelcomeView&) = delete;
    WelcomeView& operator=(const WelcomeView&) = delete;
    virtual ~WelcomeView() = default;

    // Replaces every text and the selection; rows absent from the content disappear.
    virtual void setContent(const WelcomeContent& content) = 0;
    // Centres the window, shows it and brings it to the front with the focus.
    virtual void present() = 0;
    // Takes the window off screen; it is kept for the next present().
    virtual void close() = 0;
    // False once the user closed the window, by its button or the title bar.
    virtual bool isVisible() const = 0;
};

class WelcomeViewFactory {
public:
    WelcomeViewFactory() = default;
    WelcomeViewFactory(const WelcomeViewFactory&) = delete;
    WelcomeViewFactory& operator=(const WelcomeViewFactory&) = delete;
    virtual ~WelcomeViewFactory() = default;

    virtual std::unique_ptr<WelcomeView> createWelcomeWindow(WelcomeView::Handlers handlers) = 0;
};

} // namespace quorvel
