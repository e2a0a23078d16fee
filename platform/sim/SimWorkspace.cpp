// Simulated workspace, screens and hot keys.
#include "SimWorkspace.h"

namespace quorvel::sim {

// --- Workspace ----------------------------------------------------------------------------------

std::vector<RunningApplication> SimWorkspace::runningApplications() {
    std::vector<RunningApplication> apps;
    for (const auto& [pid, app] : m_world.apps()) apps.push_back(app.info);
    return apps;
}

std::optional<RunningApplication> SimWorkspace::runningApplication(Pid pid) {
    if (const SimApp* app = m_world.app(pid)) return app->info;
    return std::nullopt;
}

std::optional<RunningApplication> SimWorkspace::frontmostApplication() {
    m_world.countCall("frontmostApplication");
    if (const auto pid = m_world.frontmost()) return runningApplication(*pid);
    return std::nullopt;
}

bool SimWorkspace::activate(Pid pid) {
    m_world.countCall("activate");
    if (!m_world.app(pid)) return false;
    m_world.activateApp(pid);
    return true;
}

void SimWorkspace::launch(const LaunchRequest& request, LaunchCompletion completion) {
    m_world.launches.push_back(request);
    if (request.argv.empty() || m_world.takeFailure("launch")) {
        m_world.scheduler().post([completion] {
            if (completion) completion(std::nullopt, std::string("No such file or directory"));
        });
        return;
    }
    const std::string& program = request.argv.front();
    const std::string name = program.substr(program.find_last_of('/') + 1);
    const Pid pid = m_world.launchApp({name, std::nullopt, program});
    m_world.scheduler().post([completion, pid] {
        if (completion) completion(pid, std::nullopt);
    });
}

bool SimWorkspace::openURL(const std::string& url) {
    m_world.openedURLs.push_back(url);
    return true;
}

// --- Screens ------------------------------------------------------------------------------------

std::vector<ScreenInfo> SimScreens::screens() {
    std::vector<ScreenInfo> out;
    for (const SimDisplay& d : m_world.displays()) {
        ScreenInfo screen;
        screen.displayNumber = d.number;
        screen.localizedName = d.name;
        screen.frame = d.bounds;
        screen.visibleFrame = d.visibleBounds();
        out.push_back(screen);
        for (const SimMonitor& m : d.monitors)
            out.push_back({m.number, m.name, m.bounds, m.visibleBounds()});
    }
    return out;
}

std::optional<ScreenInfo> SimScreens::mainScreen() {
    auto all = screens();
    if (all.empty()) return std::nullopt;
    // The screen of the desktop with focus, unless a test chose another.
    std::size_t position = 0;
    if (const auto chosen = m_world.displayOf(m_world.activeSpace())) position = *chosen;
    const DisplayNumber number = m_world.displays().at(position).number;
    for (const ScreenInfo& screen : all)
        if (screen.displayNumber == number) return screen;
    return all.front();
}

DisplayNumber SimScreens::mainDisplayId() {
    return m_world.displays().empty() ? 0 : m_world.displays().front().number;
}

const SimDisplay* SimScreens::display(DisplayNumber number) const {
    for (const SimDisplay& d : m_world.displays())
        if (d.number == number) return &d;
    return nullptr;
}

std::optional<std::string> SimScreens::displayUUID(DisplayNumber number) {
    if (!m_world.uuidLookupResolves()) return std::nullopt;
    if (const SimDisplay* d = display(number)) return d->uuid;
    for (const SimDisplay& d : m_world.displays())
        for (const SimMonitor& m : d.monitors)
            if (m.number == number) return "sim-monitor-" + std::to_string(number);
    return std::nullopt;
}

std::vector<DisplayNumber> SimScreens::onlineDisplays(std::uint32_t maxCount) {
    std::vector<DisplayNumber> out;
    for (const SimDisplay& d : m_world.displays()) {
        if (out.size() < maxCount) out.push_back(d.number);
        for (const SimMonitor& m : d.monitors)
            if (out.size() < maxCount) out.push_back(m.number);
    }
    return out;
}

Rect SimScreens::displayBounds(DisplayNumber number) {
    if (const SimDisplay* d = display(number)) return d->bounds;
    for (const SimDisplay& d : m_world.displays())
        for (const SimMonitor& m : d.monitors)
            if (m.number == number) return m.bounds;
    return Rect{};
}

bool SimScreens::isBuiltin(DisplayNumber number) {
    const SimDisplay* d = display(number);
    return d && d->builtin;
}

// --- Hot keys -----------------------------------------------------------------------------------

std::int32_t SimHotkeySystem::installPressHandler(PressHandler handler, HotkeyHandlerRef& out) {
    out = m_next++;
    m_handlers[out] = std::move(handler);
    return kHotkeyNoErr;
}

std::int32_t SimHotkeySystem::removePressHandler(HotkeyHandlerRef handler) {
    return m_handlers.erase(handler) ? kHotkeyNoErr : kHotkeyParamErr;
}

std::int32_t SimHotkeySystem::registerHotkey(std::uint32_t keyCode, std::uint32_t modifierFlags, HotkeyId id,
                                             HotkeyRef& out) {
    out = 0;
    m_world.countCall("registerHotkey");
    if (m_world.takeFailure("registerHotkey") || m_world.hotkeyTaken(keyCode, modifierFlags))
        return kHotkeyExistsErr;
    for (const auto& [ref, r] : m_registered)
        if (r.keyCode == keyCode && r.modifiers == modifierFlags) return kHotkeyExistsErr;
    out = m_next++;
    m_registered[out] = {keyCode, modifierFlags, id};
    return kHotkeyNoErr;
}

std::int32_t SimHotkeySystem::unregisterHotkey(HotkeyRef ref) {
    return m_registered.erase(ref) ? kHotkeyNoErr : kHotkeyParamErr;
}

bool SimHotkeySystem::press(std::uint32_t keyCode, std::uint32_t modifierFlags, InputTime time) {
    for (const auto& [ref, r] : m_registered) {
        if (r.keyCode != keyCode || r.modifiers != modifierFlags) continue;
        for (const auto& [handlerRef, handler] : m_handlers) handler(r.id, time);
        return true;
    }
    return false;
}

} // namespace quorvel::sim
