// Window snapshot: filtering the window list and answering which app a desktop belongs to.
#include "spaces/WindowSnapshot.h"

namespace quorvel {

namespace {

std::optional<double> numberAt(const Json& dict, const char* key) {
    const auto it = dict.find(key);
    if (it == dict.end() || !it->is_number()) return std::nullopt;
    return it->get<double>();
}

std::optional<Rect> boundsOf(const Json& window) {
    const auto it = window.find(windowkeys::bounds);
    if (it == window.end() || !it->is_object()) return std::nullopt;
    const auto x = numberAt(*it, windowkeys::x);
    const auto y = numberAt(*it, windowkeys::y);
    const auto w = numberAt(*it, windowkeys::width);
    const auto h = numberAt(*it, windowkeys::height);
    if (!x || !y || !w || !h) return std::nullopt;
    return Rect{*x, *y, *w, *h};
}

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

WindowSnapshot WindowSnapshotSource::capture(ConnectionId connection) {
    ++m_counter;
    WindowSnapshot snapshot;
    const Json list = m_api.server().copyWindowList(windowListAll, 0);
    if (list.is_array()) {
        for (const Json& window : list) {
            if (!window.is_object()) continue;
            const auto number = WindowServerApi::windowNumber(window);
            const auto owner = window.find(windowkeys::ownerName);
            const auto layer = window.find(windowkeys::layer);
            if (!number || owner == window.end() || !owner->is_string()) continue;
            if (layer == window.end() || !layer->is_number_integer() || layer->get<std::int64_t>() != 0) continue;
            const auto bounds = boundsOf(window);
            if (!bounds || !(bounds->width > 100) || !(bounds->height > 100)) continue;

            WindowSnapshot::Entry entry;
            entry.windowID = *number;
            entry.ownerName = owner->get<std::string>();
            if (const auto name = window.find(windowkeys::name); name != window.end() && name->is_string())
                entry.title = name->get<std::string>();
            entry.spaceIDs = m_api.spacesForWindow(connection, *number).value_or(std::vector<SpaceId>{});
            entry.bounds = *bounds;
            snapshot.entries.push_back(std::move(entry));
        }
    }
    m_log.info("app", "window snapshot #%ld: %ld qualifying windows", m_counter,
               static_cast<long>(snapshot.entries.size()));
    return snapshot;
}

const WindowSnapshot& WindowSnapshotSource::current(ConnectionId connection) {
    if (!m_cached) {
        m_cached = capture(connection);
        m_scheduler.post(m_lifetime.guard([this] { m_cached.reset(); }));
    }
    return *m_cached;
}

} // namespace quorvel
