// Focus Display: makes another display the main one and remembers the choice. On X11 the main
// display is the primary output: the change sets it (origins stay where they are), is checked
// 1.5 s later, and the remembered display is made primary again at launch and whenever it comes
// back online, since the X server forgets the primary output when it restarts. The tray menu
// (MenuBarController) offers the displays; the delegate turns the settle report into a toast.
#pragma once

#include "platform/DisplayOutputs.h"
#include "platform/Lifetime.h"
#include "platform/Log.h"
#include "platform/Scheduler.h"
#include "settings/Settings.h"

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quorvel {

class FocusDisplayManager {
public:
    static constexpr std::string_view kCategory = "focusdisplay";
    static constexpr Seconds kVerificationDelay{1.5};
    static constexpr std::uint32_t kMaxDisplays = 16;

    struct DisplayInfo {
        DisplayNumber id = 0;
        std::string uuid; // the output's persistent identifier
        std::string name;
        bool isBuiltin = false;
        friend bool operator==(const DisplayInfo&, const DisplayInfo&) = default;
    };

    FocusDisplayManager(DisplayOutputs& outputs, Settings& settings, Scheduler& scheduler, Log& log);
    ~FocusDisplayManager();
    FocusDisplayManager(const FocusDisplayManager&) = delete;
    FocusDisplayManager& operator=(const FocusDisplayManager&) = delete;

    // Whenever the main display or the preference may have changed.
    std::function<void()> onStateChanged;
    // After a change was checked: whether the target is now main, and the target's name.
    std::function<void(bool ok, const std::string& displayName)> onSwapSettled;

    // At launch: reads the displays, makes the remembered one primary if it is online and not
    // already, and from then on follows output changes. A second call does nothing.
    void start();

    // Re-reads the displays. An output without an identifier is left out: it cannot be chosen.
    void refreshDisplayCache();
    const std::vector<DisplayInfo>& displays() const { return m_displays; }
    // The primary output; none when the server names none.
    std::optional<DisplayNumber> mainDisplayId() { return m_outputs.primary(); }
    // True from a request to the server until it has been checked (or has failed).
    bool isSwapping() const { return m_swapping; }

    // Makes the display with this identifier main and remembers it.
    void activate(const std::string& displayUUID);
    // Makes the built-in display main and forgets the remembered one.
    void returnToLaptop();

private:
    void performSwap(const DisplayInfo& target, const std::optional<std::string>& preferredAfter);
    void verify(const DisplayInfo& target, const std::optional<std::string>& preferredAfter);
    // Outputs changed: the remembered display, back online, is made primary again.
    void outputsChanged();
    void restorePreferred(const std::set<std::string>& onlineBefore);

    DisplayOutputs& m_outputs;
    Settings& m_settings;
    Scheduler& m_scheduler;
    Log& m_log;
    std::vector<DisplayInfo> m_displays;
    bool m_swapping = false;
    ObserverToken m_observer = 0;
    Lifetime m_lifetime;
};

} // namespace quorvel
