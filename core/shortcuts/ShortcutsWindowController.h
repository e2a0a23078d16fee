// The window in which shortcuts are recorded; created on first use and kept. A shell for now.
#pragma once

namespace quorvel {

class ShortcutsWindowController {
public:
    ShortcutsWindowController() = default;
    ShortcutsWindowController(const ShortcutsWindowController&) = delete;
    ShortcutsWindowController& operator=(const ShortcutsWindowController&) = delete;

    void show() { m_visible = true; }
    bool isVisible() const { return m_visible; }

private:
    bool m_visible = false;
};

} // namespace quorvel
