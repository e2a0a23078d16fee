// The "Keyboard Shortcuts" window on Qt: a normal decorated window drawing what
// ShortcutsWindowController computes (ShortcutsContent) and sending clicks and recorded keys back.
// While a field records it grabs the whole keyboard, so a combination another program holds as a
// global key still reaches it. Our own process's windows are never tiled.
//
// Object names, for tests: "shortcutsWindow", "shortcutsHeader", "shortcutTitle" and
// "shortcutField" (one each per row, the field's "action" property is the action's stored name),
// "shortcutsStatus" (its "tone" property: secondary, red or orange), "restoreDefaultsButton",
// "doneButton".
//
// Its layout is fixed so a row can be found from outside: 480 wide, the first field's centre 62
// below the client's top, one row every 30, fields centred 105 left of the right edge.
#pragma once

#include "shortcuts/ShortcutsView.h"

#include <Qt>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace quorvel::ui {

// A pressed key to the stored key code: its keysym as typed (Qt's native virtual key on X11, with
// shift applied) and the server's keycode (Qt's native scan code), from which the backend reads
// the key's own unshifted symbol. None when the key has no code. Given by the composition root, so
// ui/ stays free of any backend.
using KeyCodeForKey = std::function<std::optional<std::int64_t>(std::uint32_t keysym, std::uint32_t keycode)>;

// Control, alt, shift and super (Qt's meta) as the recorder's modifiers.
KeyModifiers recordedModifiers(Qt::KeyboardModifiers modifiers);

class ShortcutsWidget;

class QtShortcutsWindow final : public ShortcutsView {
public:
    QtShortcutsWindow(Handlers handlers, KeyCodeForKey keyCodes);
    ~QtShortcutsWindow() override;

    void setContent(const ShortcutsContent& content) override;
    void present() override;
    void close() override;
    bool isVisible() const override;
    void beep() override;
    void setKeyboardGrab(bool grabbed) override;

    // The top-level window, for tests.
    QWidget* window() const;

private:
    std::unique_ptr<ShortcutsWidget> m_window;
    bool m_placed = false;
};

class QtShortcutsWindowFactory final : public ShortcutsViewFactory {
public:
    explicit QtShortcutsWindowFactory(KeyCodeForKey keyCodes = {}) : m_keyCodes(std::move(keyCodes)) {}

    std::unique_ptr<ShortcutsView> createShortcutsWindow(ShortcutsView::Handlers handlers) override;

private:
    KeyCodeForKey m_keyCodes;
};

} // namespace quorvel::ui
