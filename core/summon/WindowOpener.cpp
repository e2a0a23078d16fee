// The ladder of ways to a new window, and the choice of a desktop action.
#include "summon/WindowOpener.h"

#include "summon/AppCatalog.h"

#include <algorithm>

namespace quorvel {

namespace {

bool startsWithAny(std::string_view text, std::initializer_list<std::string_view> prefixes) {
    return std::ranges::any_of(prefixes, [&](std::string_view p) { return text.starts_with(p); });
}

} // namespace

bool WindowOpener::isChromiumFamily(const SummonableApp& app) {
    std::string id = app.desktopFileId;
    if (id.ends_with(".desktop")) id.resize(id.size() - 8);
    const auto family = [](std::string_view name) {
        return name == "chromium" || name == "chromium-browser" ||
               startsWithAny(name, {"google-chrome", "brave", "microsoft-edge", "vivaldi"});
    };
    return family(id) || family(app.programName());
}

std::optional<DesktopAction> WindowOpener::bestAction(const std::vector<DesktopAction>& actions) const {
    std::vector<std::pair<const DesktopAction*, std::string>> candidates;
    for (const DesktopAction& action : actions) {
        std::string title = m_text.lower(action.name);
        if (!title.starts_with("new ") || !title.ends_with("window")) continue;
        if (std::ranges::any_of(kRejectedFragments,
                                [&](std::string_view fragment) { return title.find(fragment) != std::string::npos; }))
            continue;
        candidates.emplace_back(&action, std::move(title));
    }
    if (candidates.empty()) return std::nullopt;
    for (const std::string_view preferred : kPreferredTitles)
        for (const auto& [action, title] : candidates)
            if (title == preferred) return *action;
    for (const auto& [action, title] : candidates)
        if (action->id == kNewWindowActionId) return *action;
    return *candidates.front().first;
}

bool WindowOpener::currentDesktopIsFullScreen() {
    // A desktop the model cannot find does not refuse.
    const auto info = m_spaces.spaceInfo(m_api.currentDesktop());
    return info && info->isFullScreen;
}

WindowOpener::Outcome WindowOpener::openWindow(const SummonableApp& app, InputTime time) {
    if (currentDesktopIsFullScreen()) {
        m_log.info(kCategory, "summon: refused — active space is fullscreen");
        return {Result::refusedFullscreen, {}};
    }
    const auto running = RunningApps(m_workspace.runningApplications()).find(app);
    if (!running) {
        const LaunchResult launched = m_applications.launch(app, time);
        if (launched.started()) return {Result::launched, {}};
        const std::string error = launched.error.value_or("unknown error");
        m_log.error(kCategory, "summon: launch failed for %s: %s", app.name, error);
        return {Result::launchFailed, error};
    }
    // No rung before the last activates the running app: its windows may sit on another desktop,
    // and activating one would take the user there.
    if (isChromiumFamily(app)) {
        const LaunchResult opened = m_applications.launchProgram(app, {"--new-window"}, time);
        if (opened.started()) {
            m_log.info(kCategory, "summon: opened %s via --new-window", app.name);
            return {Result::opened, "make new window"};
        }
        m_log.error(kCategory, "summon: --new-window failed for %s: %s", app.name,
                    opened.error.value_or("unknown error"));
    }
    if (const auto action = bestAction(app.actions)) {
        const LaunchResult opened = m_applications.launchAction(app, action->id, time);
        if (opened.started()) {
            m_log.info(kCategory, "summon: opened %s via desktop action %s", app.name, action->name);
            return {Result::opened, action->name};
        }
        m_log.error(kCategory, "summon: action %s failed for %s: %s", action->id, app.name,
                    opened.error.value_or("unknown error"));
    }
    const LaunchResult again = m_applications.launch(app, time);
    if (again.started()) {
        m_log.info(kCategory, "summon: opened %s via launching it again", app.name);
        return {Result::reopened, {}};
    }
    m_log.error(kCategory, "summon: launch failed for %s: %s", app.name, again.error.value_or("unknown error"));
    m_workspace.activate(running->pid);
    m_log.info(kCategory, "summon: %s activated with no new window", app.name);
    return {Result::activatedWithoutWindow, {}};
}

} // namespace quorvel
