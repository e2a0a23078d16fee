// The shortcuts window on the simulator: records the content it was given, beeps and keyboard
// grabs, and lets a test act as the user (click a field, type a combination, lose the focus).
#pragma once

#include "shortcuts/ShortcutsView.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace quorvel::sim {

class SimShortcutsView final : public ShortcutsView {
public:
    explicit SimShortcutsView(Handlers handlers) : m_handlers(std::move(handlers)) {}

    void setContent(const ShortcutsContent& newContent) override { content = newContent; }
    void present() override {
        if (!m_visible) ++centredCount;
        m_visible = true;
    }
    void close() override { m_visible = false; }
    bool isVisible() const override { return m_visible; }
    void beep() override { ++beeps; }
    void setKeyboardGrab(bool grabbed) override { keyboardGrabbed = grabbed; }

    // The user's side.
    void clickField(HotkeyAction action) { m_handlers.onFieldClick(action); }
    // A key press while the keyboard is grabbed; true when the window consumed it. Without a grab
    // the window is not recording and nothing reaches the recorder.
    bool type(std::optional<std::int64_t> keyCode, KeyModifiers modifiers = {}) {
        if (!keyboardGrabbed) return false;
        return m_handlers.onKey({.kind = RecordedKey::Kind::keyDown, .keyCode = keyCode, .modifiers = modifiers});
    }
    void loseFocus() { m_handlers.onFocusLost(); }
    void clickRestoreDefaults() { m_handlers.onRestoreDefaults(); }
    void clickDone() { m_handlers.onDone(); }

    const ShortcutsRow& row(HotkeyAction action) const {
        return *std::ranges::find(content.rows, action, &ShortcutsRow::action);
    }

    ShortcutsContent content;
    int centredCount = 0;
    int beeps = 0;
    bool keyboardGrabbed = false;

private:
    Handlers m_handlers;
    bool m_visible = false;
};

class SimShortcutsViewFactory final : public ShortcutsViewFactory {
public:
    std::unique_ptr<ShortcutsView> createShortcutsWindow(ShortcutsView::Handlers handlers) override {
        ++createdCount;
        auto view = std::make_unique<SimShortcutsView>(std::move(handlers));
        window = view.get();
        return view;
    }

    SimShortcutsView* window = nullptr; // the newest window made
    int createdCount = 0;
};

} // namespace quorvel::sim
