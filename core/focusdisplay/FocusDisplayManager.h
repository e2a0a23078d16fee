// Focus Display: makes another display the main one by moving display origins. For now a shell
// that keeps the display cache and reports through the callbacks the delegate wires.
#pragma once

#include "platform/Screens.h"

#include <functional>
#include <string>
#include <vector>

namespace quorvel {

class FocusDisplayManager {
public:
    explicit FocusDisplayManager(Screens& screens) : m_screens(screens) {}
    FocusDisplayManager(const FocusDisplayManager&) = delete;
    FocusDisplayManager& operator=(const FocusDisplayManager&) = delete;

    std::function<void()> onStateChanged;
    // After a swap: whether it took, and the name of the display now main.
    std::function<void(bool ok, const std::string& displayName)> onSwapSettled;

    // Re-reads the displays the menu offers.
    void refreshDisplayCache() { m_displays = m_screens.screens(); }
    const std::vector<ScreenInfo>& displays() const { return m_displays; }
    // True while display origins are being moved.
    bool isSwapping() const { return m_swapping; }

private:
    Screens& m_screens;
    std::vector<ScreenInfo> m_displays;
    bool m_swapping = false;
};

} // namespace quorvel
