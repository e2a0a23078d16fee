// Window snapshot: filtering the window list and answering which app a desktop belongs to.
#include "spaces/WindowSnapshot.h"

#include <algorithm>

namespace quorvel {

namespace {

std::string displayName(const WindowSnapshot::Entry& entry) {
    if (entry.title && !entry.title->empty() && *entry.title != entry.ownerName)
        return entry.ownerName + " \u2014 " + *entry.title;
    return entry.ownerName;
}

} // namespace

std::map<SpaceId, std::string> WindowSnapshot::fullScreenAppNames(const std::set<SpaceId>& ids) const {
    std::map<SpaceId, std::string> names;
    if (ids.empty() || entries.empty()) return names;
    for (const Entry& entry : entries) {
        if (!(entry.bounds.width > 500)) continue;
        for (const SpaceId space : entry.spaceIDs) {
            if (ids.contains(space) && !names.contains(space)) names[space] = entry.ownerName;
        }
        if (names.size() == ids.size()) break;
    }
    return names;
}

std::optional<std::string> WindowSnapshot::firstAppName(SpaceId space, const std::set<std::string>& skipApps) const {
    for (const Entry& entry : entries) {
        if (skipApps.contains(entry.ownerName)) continue;
        for (const SpaceId s : entry.spaceIDs)
            if (s == space) return displayName(entry);
    }
    return std::nullopt;
}

WindowSnapshot WindowSnapshotSource::capture() {
    ++m_counter;
    WindowSnapshot snapshot;
    for (const WindowInfo& window : m_api.windows(WindowFilter::all).value_or(std::vector<WindowInfo>{})) {
        if (!window.ownerName || window.layer != 0) continue;
        if (!(window.frame.width > 100) || !(window.frame.height > 100)) continue;

        WindowSnapshot::Entry entry;
        entry.windowID = window.id;
        entry.ownerName = *window.ownerName;
        entry.title = window.title;
        entry.spaceIDs = m_api.desktopsOfWindow(window.id).value_or(std::vector<SpaceId>{});
        entry.bounds = window.frame;
        snapshot.entries.push_back(std::move(entry));
    }
    m_log.info("app", "window snapshot #%ld: %ld qualifying windows", m_counter,
               static_cast<long>(snapshot.entries.size()));
    return snapshot;
}

const WindowSnapshot& WindowSnapshotSource::current() {
    if (!m_cached) {
        m_cached = capture();
        m_scheduler.post(m_lifetime.guard([this] { m_cached.reset(); }));
    }
    return *m_cached;
}

std::map<std::string, Rect> layoutAreas(const std::vector<std::string>& displays,
                                        const std::map<std::string, Rect>& monitorBounds) {
    const std::set<std::string> named(displays.begin(), displays.end());
    std::map<std::string, Rect> areas;
    for (const std::string& display : displays) {
        const auto own = monitorBounds.find(display);
        if (own == monitorBounds.end()) continue;
        Rect box = own->second;
        for (const auto& [monitor, bounds] : monitorBounds) {
            if (named.contains(monitor)) continue;
            const double left = std::min(box.minX(), bounds.minX());
            const double top = std::min(box.minY(), bounds.minY());
            box = {left, top, std::max(box.maxX(), bounds.maxX()) - left, std::max(box.maxY(), bounds.maxY()) - top};
        }
        areas[display] = box;
    }
    return areas;
}

} // namespace quorvel
