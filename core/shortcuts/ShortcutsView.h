// The shortcuts window as values (what ShortcutsWindowController computes) and the window that
// draws them (a Qt window on X11, a recorder on the simulator). The window lays out the rows in
// its own geometry; the controller decides every text, state and colour.
#pragma once

#include "shortcuts/HotkeyAction.h"
#include "shortcuts/KeyModifiers.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

// One key event while a field records, as the window saw it. The window translates its key to the
// stored key code (on X11: platform/x11 keyCodeForKeysym); none when the key has no code.
struct RecordedKey {
    enum class Kind {
        keyDown,
        modifiersChanged, // a modifier key alone went down or up
    };
    Kind kind = Kind::keyDown;
    std::optional<std::int64_t> keyCode;
    KeyModifiers modifiers; // control, alt (option), shift, super (command) held at the time
};

// One action's row: its title and its recorder field.
struct ShortcutsRow {
    HotkeyAction action = HotkeyAction::togglePanel;
    std::string title;
    // The current shortcut's display text, or the prompt while recording.
    std::string fieldText;
    // Recording: the prompt in the secondary label colour, the field tinted with the accent.
    bool recording = false;
    friend bool operator==(const ShortcutsRow&, const ShortcutsRow&) = default;
};

// The line under the rows: a refused recording (red) or the combinations the system refused
// (orange). An empty text keeps the tone it had.
struct ShortcutsStatus {
    enum class Tone { secondary, red, orange };
    std::string text;
    Tone tone = Tone::secondary;
    friend bool operator==(const ShortcutsStatus&, const ShortcutsStatus&) = default;
};

struct ShortcutsContent {
    std::string title;  // the window's title
    std::string header; // the hint above the rows
    std::vector<ShortcutsRow> rows; // one per action, in kHotkeyActions order
    ShortcutsStatus status;
};

class ShortcutsView {
public:
    struct Handlers {
        // A click on an action's recorder field.
        std::function<void(HotkeyAction)> onFieldClick;
        // A key event while the keyboard is grabbed for recording; true when consumed. An event
        // that is not consumed goes on as usual (a combination with super, for one).
        std::function<bool(const RecordedKey&)> onKey;
        // The recording field lost the focus: a click elsewhere, the window lost the focus or closed.
        std::function<void()> onFocusLost;
        std::function<void()> onRestoreDefaults;
        // Done (or Return): the window closes.
        std::function<void()> onDone;
    };

    ShortcutsView() = default;
    ShortcutsView(const ShortcutsView&) = delete;
    ShortcutsView& operator=(const ShortcutsView&) = delete;
    virtual ~ShortcutsView() = default;

    // Replaces every text and state.
    virtual void setContent(const ShortcutsContent& content) = 0;
    // Centres a window that is not on screen, then brings it to the front with the focus.
    virtual void present() = 0;
    // Takes the window off screen; it is kept for the next present().
    virtual void close() = 0;
    virtual bool isVisible() const = 0;
    // The system beep.
    virtual void beep() = 0;
    // While a field records the window grabs the whole keyboard, so that a combination another
    // program holds as a global key still reaches it; released when recording stops.
    virtual void setKeyboardGrab(bool grabbed) = 0;
};

class ShortcutsViewFactory {
public:
    ShortcutsViewFactory() = default;
    ShortcutsViewFactory(const ShortcutsViewFactory&) = delete;
    ShortcutsViewFactory& operator=(const ShortcutsViewFactory&) = delete;
    virtual ~ShortcutsViewFactory() = default;

    virtual std::unique_ptr<ShortcutsView> createShortcutsWindow(ShortcutsView::Handlers handlers) = 0;
};

} // namespace quorvel
