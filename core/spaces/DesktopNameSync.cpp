// The shown names go out as one list per burst of changes; names written by others come back in
// as labels, and our own writes (or the window manager repeating them) are recognised as ours.
#include "spaces/DesktopNameSync.h"

#include <algorithm>

namespace quorvel {

DesktopNameSync::DesktopNameSync(DesktopNames& names, SpaceManager& spaces, LabelStore& labels, Scheduler& scheduler,
                                 Log& log)
    : m_names(names), m_spaces(spaces), m_labels(labels), m_scheduler(scheduler), m_log(log) {}

DesktopNameSync::~DesktopNameSync() { stop(); }

void DesktopNameSync::start() {
    if (m_started) return;
    m_started = true;
    m_names.onNamesChanged(m_lifetime.guard([this] { namesChanged(); }));
    // Whatever the list holds now is the baseline, never a rename: a window manager fills it
    // from its own configuration when it starts.
    m_known = m_names.names();
    writeIfChanged();
}

void DesktopNameSync::windowManagerChanged() {
    if (!m_started) return;
    m_known = m_names.names();
    m_settlingUntil = m_scheduler.now() + kWindowManagerSettling.count();
    namesMayHaveChanged();
}

void DesktopNameSync::stop() {
    if (!m_started) return;
    m_started = false;
    m_names.onNamesChanged({});
    m_pendingWrite.cancel();
    m_writePending = false;
}

void DesktopNameSync::namesMayHaveChanged() {
    if (!m_started || m_writePending) return;
    m_writePending = true;
    m_pendingWrite = m_scheduler.after(kCoalesceDelay, m_lifetime.guard([this] { writeIfChanged(); }));
}

std::vector<std::string> DesktopNameSync::shownNames(const std::vector<Space>& spaces) {
    // As the tray menu computes them, automatic names refreshed first.
    m_labels.refreshAutoNames(spaces);
    std::vector<std::string> shown;
    shown.reserve(spaces.size());
    for (const Space& space : spaces) shown.push_back(m_labels.displayName(space));
    return shown;
}

void DesktopNameSync::writeIfChanged() {
    m_pendingWrite.cancel();
    m_writePending = false;
    if (!m_started) return;
    const std::vector<Space> spaces = m_spaces.getSpaces();
    // An empty read is a failed read, not a machine without desktops.
    if (spaces.empty()) return;
    const std::vector<std::string> shown = shownNames(spaces);
    // Extra trailing names (for desktops the window manager no longer has) are left alone.
    if (m_known && m_known->size() >= shown.size() && std::equal(shown.begin(), shown.end(), m_known->begin()))
        return;
    m_names.setNames(shown);
    m_known = shown;
}

void DesktopNameSync::namesChanged() {
    if (!m_started) return;
    const auto current = m_names.names();
    if (!current || !m_known || m_scheduler.now() < m_settlingUntil) {
        // Removed, set for the first time, or the window manager's defaults as it settles: nothing
        // to compare with. Ours go (back) in.
        m_known = current;
        namesMayHaveChanged();
        return;
    }
    if (*current == *m_known) return; // our own write, or the same list written again
    const std::vector<Space> spaces = m_spaces.getSpaces();
    if (spaces.empty()) return;
    const std::vector<std::string> shown = shownNames(spaces);
    // Only positions we have written can be renamed: a name the window manager fills in for a
    // desktop we have not named yet is its default, not the user's choice.
    const std::size_t count = std::min({spaces.size(), current->size(), m_known->size()});
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& entry = (*current)[i];
        if (entry == (*m_known)[i]) continue;
        (*m_known)[i] = entry;
        if (entry == shown[i]) continue; // set back to what we show: no rename
        const SpaceId id = spaces[i].id;
        if (entry.empty()) {
            if (!m_labels.label(id)) continue;
            m_log.info(kCategory, "desktop %ld: name cleared by another program", static_cast<long>(i + 1));
            m_labels.setLabel(std::nullopt, id);
        } else {
            m_log.info(kCategory, "desktop %ld renamed by another program: %s", static_cast<long>(i + 1),
                       entry);
            m_labels.setLabel(entry, id);
        }
    }
    // A cleared entry gets the name we show back; a shorter list is not lengthened (no tug of war).
    namesMayHaveChanged();
}

} // namespace quorvel
