// Focus Display's manager (see FocusDisplayManager.h).
#include "focusdisplay/FocusDisplayManager.h"

#include "focusdisplay/FocusDisplayPlanner.h"

#include <algorithm>
#include <utility>

namespace quorvel {

FocusDisplayManager::FocusDisplayManager(DisplayOutputs& outputs, Settings& settings, Scheduler& scheduler, Log& log)
    : m_outputs(outputs), m_settings(settings), m_scheduler(scheduler), m_log(log) {}

FocusDisplayManager::~FocusDisplayManager() {
    if (m_observer) m_outputs.removeObserver(m_observer);
}

void FocusDisplayManager::start() {
    if (m_observer) return;
    restorePreferred({});
    m_observer = m_outputs.observeChanges(m_lifetime.guard([this] { outputsChanged(); }));
}

void FocusDisplayManager::refreshDisplayCache() {
    std::vector<DisplayInfo> displays;
    for (const DisplayOutput& output : m_outputs.outputs()) {
        if (displays.size() >= kMaxDisplays) break;
        if (output.identifier.empty()) continue;
        displays.push_back({.id = output.id,
                            .uuid = output.identifier,
                            .name = output.name.empty() ? std::to_string(output.id) : output.name,
                            .isBuiltin = output.builtin});
    }
    m_displays = std::move(displays);
}

void FocusDisplayManager::activate(const std::string& displayUUID) {
    refreshDisplayCache();
    const auto it = std::find_if(m_displays.begin(), m_displays.end(),
                                 [&](const DisplayInfo& d) { return d.uuid == displayUUID; });
    if (it == m_displays.end()) {
        m_log.error(kCategory, "activate: display %s not online", displayUUID);
        return;
    }
    performSwap(*it, displayUUID);
}

void FocusDisplayManager::returnToLaptop() {
    refreshDisplayCache();
    const auto it = std::find_if(m_displays.begin(), m_displays.end(), [](const DisplayInfo& d) { return d.isBuiltin; });
    if (it == m_displays.end()) {
        m_log.error(kCategory, "returnToLaptop: no built-in display online (clamshell?)");
        return;
    }
    performSwap(*it, std::nullopt);
}

void FocusDisplayManager::performSwap(const DisplayInfo& target, const std::optional<std::string>& preferredAfter) {
    if (m_swapping) {
        m_log.info(kCategory, "swap ignored: already swapping");
        return;
    }
    // Every monitor of an X screen shares its desktops: there is no setting that could refuse here.
    if (m_outputs.primary() == target.id) {
        m_settings.setPreferredFocusDisplayUUID(preferredAfter);
        if (onStateChanged) onStateChanged();
        return;
    }
    std::vector<std::pair<DisplayNumber, Point>> origins;
    const std::vector<DisplayOutput> outputs = m_outputs.outputs();
    for (const DisplayInfo& display : m_displays) {
        const auto output = std::find_if(outputs.begin(), outputs.end(),
                                         [&](const DisplayOutput& o) { return o.id == display.id; });
        if (output != outputs.end()) origins.emplace_back(display.id, output->bounds.origin());
    }
    // The root has no negative coordinates: shifting every origin so the target lands at (0, 0)
    // and bringing the arrangement back inside the root gives the arrangement we started from. So
    // the origins stay; what the plan decides is whether the target can be made main at all.
    if (!FocusDisplayPlanner::originShifts(origins, target.id)) return;

    m_swapping = true;
    if (!m_outputs.setPrimary(target.id)) {
        m_log.error(kCategory, "swap: setting the primary output failed");
        m_swapping = false;
        if (onStateChanged) onStateChanged();
        return;
    }
    m_scheduler.after(kVerificationDelay, m_lifetime.guard([this, target, preferredAfter] {
        verify(target, preferredAfter);
    }));
}

void FocusDisplayManager::verify(const DisplayInfo& target, const std::optional<std::string>& preferredAfter) {
    m_swapping = false;
    refreshDisplayCache();
    const bool ok = m_outputs.primary() == target.id;
    if (ok) {
        m_settings.setPreferredFocusDisplayUUID(preferredAfter);
        m_log.info(kCategory, "swap verified: %s is main", target.name);
    } else {
        m_log.error(kCategory, "swap did not take: %s is not main — state unchanged", target.name);
    }
    if (onStateChanged) onStateChanged();
    if (onSwapSettled) onSwapSettled(ok, target.name);
}

void FocusDisplayManager::outputsChanged() {
    std::set<std::string> before;
    for (const DisplayInfo& display : m_displays) before.insert(display.uuid);
    restorePreferred(before);
    if (onStateChanged) onStateChanged();
}

void FocusDisplayManager::restorePreferred(const std::set<std::string>& onlineBefore) {
    refreshDisplayCache();
    std::set<std::string> online;
    std::string names;
    for (const DisplayInfo& display : m_displays) {
        online.insert(display.uuid);
        names += (names.empty() ? "" : ", ") + display.name;
    }
    if (online != onlineBefore) m_log.info(kCategory, "displays online: %s", names.empty() ? "none" : names);
    const std::optional<std::string> preferred = m_settings.preferredFocusDisplayUUID();
    // While a change of ours is under way its verification decides; a display that stayed online
    // is left alone, so another tool's choice of primary is not fought over.
    if (!preferred || m_swapping || onlineBefore.contains(*preferred)) return;
    const auto it = std::find_if(m_displays.begin(), m_displays.end(),
                                 [&](const DisplayInfo& d) { return d.uuid == *preferred; });
    if (it == m_displays.end() || m_outputs.primary() == it->id) return;
    if (m_outputs.setPrimary(it->id))
        m_log.info(kCategory, "preferred display %s is online: made main again", it->name);
    else
        m_log.error(kCategory, "preferred display %s is online but could not be made main", it->name);
}

} // namespace quorvel
