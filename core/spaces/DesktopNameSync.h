// Keeps the window manager's desktop names (DesktopNames) equal to the names Quorvel shows
// (LabelStore::displayName), and takes names that another program writes there in as the user's
// names. Neighbours: LabelStore (the names), SpaceManager (the desktops, in order).
#pragma once

#include "platform/DesktopNames.h"
#include "platform/Lifetime.h"
#include "platform/Log.h"
#include "platform/Scheduler.h"
#include "spaces/LabelStore.h"
#include "spaces/SpaceManager.h"

#include <optional>
#include <string>
#include <vector>

namespace quorvel {

class DesktopNameSync {
public:
    static constexpr std::string_view kCategory = "names";
    // Changes within this time of the first one are written together.
    static constexpr Seconds kCoalesceDelay{0.1};
    // A window manager that starts (or restarts) writes the names of its own configuration, maybe
    // a moment after it announced itself: what it writes this soon after is its defaults, never
    // a rename, and our names go back.
    static constexpr Seconds kWindowManagerSettling{3.0};

    DesktopNameSync(DesktopNames& names, SpaceManager& spaces, LabelStore& labels, Scheduler& scheduler, Log& log);
    DesktopNameSync(const DesktopNameSync&) = delete;
    DesktopNameSync& operator=(const DesktopNameSync&) = delete;
    ~DesktopNameSync();

    // Listens for writes of others and writes our names once. What the list holds before this
    // (the window manager's defaults, names from a session without us) is not taken in: our
    // names replace it.
    void start();
    void stop();

    // A shown name may have changed (a label, a desktop switch, an application in front, the
    // naming mode, the number of desktops): the list is written once after kCoalesceDelay if it
    // differs from what the window manager holds as far as we know.
    void namesMayHaveChanged();
    // Writes now when the shown names differ from the last list written or taken in.
    void writeIfChanged();
    // A window manager (re)started or was replaced: its list is the baseline again for a while.
    void windowManagerChanged();

private:
    // The list changed on the server: each entry of the first N (N desktops) that differs from
    // what we last wrote and from what we show now is a rename by someone else. An empty entry
    // clears the user's name. Missing entries (a shorter list) and extra trailing ones change
    // nothing.
    void namesChanged();
    std::vector<std::string> shownNames(const std::vector<Space>& spaces);

    DesktopNames& m_names;
    SpaceManager& m_spaces;
    LabelStore& m_labels;
    Scheduler& m_scheduler;
    Log& m_log;
    bool m_started = false;
    // Until then a change of the list is the window manager's defaults (scheduler time).
    double m_settlingUntil = 0;
    // What the server holds as far as we know: our last write, updated by what others wrote.
    std::optional<std::vector<std::string>> m_known;
    TaskHandle m_pendingWrite;
    bool m_writePending = false;
    Lifetime m_lifetime;
};

} // namespace quorvel
