// The summon palette: presented and dismissed by its hot key. For now a shell that keeps whether
// it is on screen; the search field and the list of applications build on it.
#pragma once

namespace quorvel {

class SummonPalette {
public:
    SummonPalette() = default;
    SummonPalette(const SummonPalette&) = delete;
    SummonPalette& operator=(const SummonPalette&) = delete;

    bool panelExists() const { return m_exists; }
    bool isVisible() const { return m_visible; }
    void present() {
        m_exists = true;
        m_visible = true;
    }
    void dismiss() { m_visible = false; }

private:
    bool m_exists = false;
    bool m_visible = false;
};

} // namespace quorvel
