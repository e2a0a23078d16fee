// Automatic names from the frontmost application, its focused window's title and what was recorded
// per desktop; the workspace observers that keep the record current.
#include "spaces/AutoNamer.h"

#include "spaces/LabelStore.h"

#include <chrono>
#include <utility>

namespace quorvel {

namespace {

constexpr Seconds kRecordDelayAfterSwitch{0.3};
constexpr std::string_view kEmDash = " \u2014 ";

// Every non-overlapping occurrence, left to right; the text put in is not searched again.
std::string removeAll(std::string text, const std::string& pattern) {
    if (pattern.empty()) return text;
    std::string result;
    std::size_t from = 0;
    for (std::size_t at = text.find(pattern); at != std::string::npos; at = text.find(pattern, from)) {
        result.append(text, from, at - from);
        from = at + pattern.size();
    }
    result.append(text, from, std::string::npos);
    return result;
}

std::string desktopNumber(const Space& space) { return "Desktop " + std::to_string(space.index); }

} // namespace

AutoNamer::AutoNamer(WindowServerApi& api, Workspace& workspace, WindowControl& windows, Scheduler& scheduler,
                     const DefaultsStore& defaults)
    : m_api(api), m_workspace(workspace), m_windows(windows), m_scheduler(scheduler),
      m_defaults(defaults) {}

AutoNamer::~AutoNamer() { stopObserving(); }

std::string AutoNamer::appName(const RunningApplication& app) {
    if (app.localizedName) return *app.localizedName;
    if (app.desktopFileId) return *app.desktopFileId;
    return "Unknown";
}

void AutoNamer::startObserving() {
    if (m_isObserving) return;
    m_isObserving = true;
    recordCurrentSpaceApp();

    m_observers.push_back(m_workspace.addObserver(
        WorkspaceEvent::activeSpaceDidChange, m_lifetime.guard([this](const std::optional<RunningApplication>&) {
            // The frontmost application settles a moment after the switch.
            m_scheduler.after(kRecordDelayAfterSwitch,
                              m_lifetime.guard([this, generation = m_observeGeneration] {
                                  if (generation == m_observeGeneration) recordCurrentSpaceApp();
                              }));
        })));
    m_observers.push_back(m_workspace.addObserver(
        WorkspaceEvent::didActivateApplication,
        m_lifetime.guard([this](const std::optional<RunningApplication>&) { recordCurrentSpaceApp(); })));
}

void AutoNamer::stopObserving() {
    for (const ObserverToken token : m_observers) m_workspace.removeObserver(token);
    m_observers.clear();
    ++m_observeGeneration;
    m_isObserving = false;
}

void AutoNamer::recordCurrentSpaceApp() {
    const SpaceId active = m_api.currentDesktop();
    const auto front = m_workspace.frontmostApplication();
    if (!front) return;
    std::string name = appName(*front);
    if (skipApps.contains(name) || desktopInFront(*front)) return;
    auto title = documentTitle(*front);
    m_lastAppPerSpace[active] = RecordedApp{std::move(name), std::move(title)};
}

bool AutoNamer::desktopInFront(const RunningApplication& app) {
    const auto focused = m_windows.focusedWindow(app.pid);
    return focused && m_windows.kind(*focused).valueOr(WindowKind::standard) == WindowKind::desktop;
}

std::optional<std::string> AutoNamer::documentTitle(const RunningApplication& app) {
    const auto focused = m_windows.focusedWindow(app.pid);
    if (!focused) return std::nullopt;
    const auto title = m_windows.title(*focused);
    if (!title || title->empty()) return std::nullopt;

    const std::string name = app.localizedName.value_or("");
    std::string result = *title;
    // Without a name there is no suffix to strip; stripping the bare dashes would glue the title's
    // own parts together ("Q3 - Budget" → "Q3Budget").
    if (!name.empty()) {
        result = removeAll(std::move(result), std::string(kEmDash) + name);
        result = removeAll(std::move(result), " - " + name);
        result = removeAll(std::move(result), " \u2013 " + name);
    }
    if (result.empty() || result == name) return std::nullopt;
    return result;
}

std::optional<std::string> AutoNamer::recordedName(SpaceId space, bool withTitle) const {
    const auto recorded = m_lastAppPerSpace.find(space);
    if (recorded == m_lastAppPerSpace.end()) return std::nullopt;
    const RecordedApp& app = recorded->second;
    const bool showTitle = withTitle && app.title && !app.title->empty() && *app.title != app.name;
    return showTitle ? app.name + std::string(kEmDash) + *app.title : app.name;
}

std::optional<std::string> AutoNamer::currentSpaceAutoName(std::optional<SpaceId> space) {
    const auto front = m_workspace.frontmostApplication();
    if (!front) return std::nullopt;
    // Our own panel takes the keyboard focus, which makes us frontmost while it is open: the
    // desktop keeps the name of the application the user was working in.
    if (space && front->pid == m_workspace.ownPid()) return recordedName(*space, true);
    const std::string name = appName(*front);
    if (skipApps.contains(name) || desktopInFront(*front)) return std::nullopt;
    if (const auto title = documentTitle(*front)) return name + std::string(kEmDash) + *title;
    return name;
}

std::map<SpaceId, std::string> AutoNamer::autoNameAll(const std::vector<Space>& spaces) {
    std::set<SpaceId> present;
    for (const Space& space : spaces) present.insert(space.id);
    std::erase_if(m_lastAppPerSpace, [&](const auto& entry) { return !present.contains(entry.first); });

    const auto labels = LabelStore::storedLabels(m_defaults);
    std::map<SpaceId, std::string> names;
    for (const Space& space : spaces) {
        if (labels.contains(std::to_string(space.id))) continue;
        if (space.isFullScreen) {
            names[space.id] = space.fullScreenAppName.value_or("Fullscreen");
        } else if (space.isCurrent) {
            names[space.id] = currentSpaceAutoName(space.id).value_or(desktopNumber(space));
        } else {
            names[space.id] = recordedName(space.id, true).value_or(desktopNumber(space));
        }
    }
    return names;
}

std::optional<std::string> AutoNamer::autoName(const Space& space) {
    if (space.isFullScreen) return space.fullScreenAppName;
    if (space.isCurrent) return currentSpaceAutoName(space.id);
    return recordedName(space.id, false);
}

} // namespace quorvel
