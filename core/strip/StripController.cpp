#include "strip/StripController.h"

#include "settings/Settings.h"
#include "spaces/LabelStore.h"
#include "spaces/SpaceManager.h"
#include "spaces/SpaceSwitcher.h"

#include <algorithm>

namespace quorvel {

namespace {

constexpr std::string_view kCategory = "strip";

std::optional<SpaceId> currentOf(const Display& display) {
    for (const Space& space : display.spaces)
        if (space.isCurrent) return space.id;
    return std::nullopt;
}

template <class Map>
std::optional<typename Map::mapped_type> lookup(const Map& map, const typename Map::key_type& key) {
    const auto found = map.find(key);
    if (found == map.end()) return std::nullopt;
    return found->second;
}

} // namespace

StripController::StripController(Dependencies dependencies) : m_deps(dependencies) {}

StripController::~StripController() { stop(); }

void StripController::start(SpaceSwitcher& switcher) {
    m_switcher = &switcher;
    if (m_spaceObserver) return;
    m_spaceObserver = m_deps.workspace.addObserver(WorkspaceEvent::activeSpaceDidChange,
                                                   m_lifetime.guard([this](const auto&) { spaceChanged(); }));
    m_screenObserver = m_deps.screens.observeScreenParameters(m_lifetime.guard([this] {
        m_screenChangeTask.cancel();
        m_screenChangeTask = m_deps.scheduler.after(Seconds(screenChangeDelay), m_lifetime.guard([this] { rebuild(); }));
    }));
    m_settingsObserver = m_deps.settings.observeChanges(m_lifetime.guard([this](const auto&) { refresh(); }));
    m_settingsSignature = settingsSignature();
    rebuild();
}

void StripController::stop() {
    for (TaskHandle* task : {&m_revealTask, &m_hideTask, &m_overrideTask, &m_screenChangeTask}) task->cancel();
    if (m_spaceObserver) m_deps.workspace.removeObserver(*m_spaceObserver);
    if (m_screenObserver) m_deps.screens.removeObserver(*m_screenObserver);
    if (m_settingsObserver) m_deps.settings.stopObservingChanges(*m_settingsObserver);
    m_spaceObserver.reset();
    m_screenObserver.reset();
    m_settingsObserver.reset();
    for (auto& [id, strip] : m_strips) strip->hide();
    m_triggers.clear();
    updatePointerWatch();
    m_strips.clear();
    m_visibility.clear();
    m_switcher = nullptr;
    m_override.reset();
}

void StripController::settingsChanged() {
    m_revealTask.cancel();
    m_hideTask.cancel();
    m_visibility.clear();
    m_pointerOverStrip.clear();
    m_pointerOverTrigger.clear();
    if (isRunning()) rebuild();
}

void StripController::refresh() {
    if (!isRunning()) return;
    if (std::string now = settingsSignature(); now != m_settingsSignature) {
        m_settingsSignature = std::move(now);
        settingsChanged();
        return;
    }
    for (const Monitor& monitor : m_monitors) render(monitor);
}

std::string StripController::settingsSignature() const {
    const Settings& s = m_deps.settings;
    return std::string(rawValue(s.stripMode())) + "|" + s.stripPosition() + "|" + std::string(rawValue(s.menuDensity())) +
           "|" + (s.stripMiniMaps() ? "maps" : "") + "|" + (s.stripTilingMarks() ? "marks" : "") + "|" +
           (s.stripRevealInFullscreen() ? "fullscreen" : "");
}

void StripController::toggleVisibilityOverride() {
    if (!isRunning() || m_monitors.empty()) return;
    const Point pointer = m_deps.screens.pointerLocation();
    const Monitor* target = &m_monitors.front();
    for (const Monitor& candidate : m_monitors) {
        const Rect& f = candidate.frame;
        if (pointer.x >= f.minX() && pointer.x < f.maxX() && pointer.y >= f.minY() && pointer.y < f.maxY()) {
            target = &candidate;
            break;
        }
    }
    if (m_override) {
        m_override.reset();
    } else {
        VisibilityInput input = visibilityInput(*target);
        m_override = isOnScreen(StripVisibilityMachine::restingState(input)) ? VisibilityOverride::forceHidden
                                                                             : VisibilityOverride::forceVisible;
    }
    m_overrideTask.cancel();
    if (m_override == VisibilityOverride::forceVisible && m_deps.settings.stripMode() == StripMode::never) {
        m_overrideTask = m_deps.scheduler.after(Seconds(overrideDelay), m_lifetime.guard([this] {
            m_override.reset();
            for (const Monitor& monitor : std::vector<Monitor>(m_monitors)) apply(monitor);
        }));
    }
    const std::string id = target->id;
    send(StripEvent::overrideToggled, id);
    if (const Monitor* still = monitor(id)) apply(*still);
}

std::optional<StripVisibility> StripController::visibility(const std::string& monitorID) const {
    const Monitor* found = monitor(monitorID);
    if (!found) return std::nullopt;
    return currentState(*found);
}

std::vector<std::string> StripController::monitorIDs() const {
    std::vector<std::string> ids;
    for (const Monitor& monitor : m_monitors) ids.push_back(monitor.id);
    return ids;
}

// --- Topology -------------------------------------------------------------------------------------

std::vector<StripController::Monitor> StripController::readMonitors(const std::vector<Display>& displays) {
    std::vector<Monitor> monitors;
    const auto mainDisplay = std::find_if(displays.begin(), displays.end(), [](const Display& d) { return d.isMain; });
    const std::string fallback = mainDisplay != displays.end() ? mainDisplay->id : displays.front().id;
    for (const ScreenInfo& screen : m_deps.screens.screens()) {
        Monitor monitor;
        monitor.id = m_deps.screens.displayUUID(screen.displayNumber)
                         .value_or("monitor-" + std::to_string(screen.displayNumber));
        const bool ownDisplay = std::any_of(displays.begin(), displays.end(),
                                            [&](const Display& d) { return d.id == monitor.id; });
        monitor.displayID = ownDisplay ? monitor.id : fallback;
        monitor.frame = screen.frame;
        monitor.topInset = std::max(0.0, screen.visibleFrame.minY() - screen.frame.minY());
        monitors.push_back(std::move(monitor));
    }
    return monitors;
}

void StripController::rebuild() {
    const std::vector<Display> displays = m_deps.spaces.getDisplays();
    std::vector<Monitor> monitors = displays.empty() ? std::vector<Monitor>{} : readMonitors(displays);
    if (monitors.empty()) {
        m_deps.log.info(kCategory, "strip: empty display read ignored, keeping last good state");
        return;
    }
    std::set<std::string> before, after;
    for (const Monitor& monitor : m_monitors) before.insert(monitor.id);
    for (const Monitor& monitor : monitors) after.insert(monitor.id);
    if (before != after) {
        ++m_generation;
        m_deps.log.info(kCategory, "strip: topology generation %ld, %ld display(s)", m_generation,
                        static_cast<long>(after.size()));
    }
    dropVanishedTargets(displays);
    m_displays = displays;
    m_monitors = std::move(monitors);
    refreshCurrentSpaces();
    for (auto it = m_strips.begin(); it != m_strips.end();) {
        if (after.count(it->first)) {
            ++it;
            continue;
        }
        it->second->hide();
        m_triggers.erase(it->first);
        m_visibility.erase(it->first);
        it = m_strips.erase(it);
    }
    for (auto it = m_triggers.begin(); it != m_triggers.end();)
        it = after.count(it->first) ? std::next(it) : m_triggers.erase(it);
    for (const Monitor& monitor : std::vector<Monitor>(m_monitors)) apply(monitor);
    updatePointerWatch();
}

void StripController::dropVanishedTargets(const std::vector<Display>& displays) {
    const auto exists = [&](SpaceId wanted) {
        return std::any_of(displays.begin(), displays.end(), [&](const Display& d) {
            return std::any_of(d.spaces.begin(), d.spaces.end(), [&](const Space& s) { return s.id == wanted; });
        });
    };
    std::set<std::string> vanished;
    for (const auto& [display, target] : m_pending)
        if (!exists(target.id)) vanished.insert(display);
    for (const auto& [display, target] : m_requested)
        if (!exists(target)) vanished.insert(display);
    for (const std::string& display : vanished) {
        m_pending.erase(display);
        m_requested.erase(display);
        m_inFlight.erase(display);
    }
}

void StripController::refreshCurrentSpaces() {
    for (const Display& display : m_displays)
        if (const auto current = currentOf(display)) m_actual[display.id] = *current;
}

void StripController::spaceChanged() {
    const std::vector<Display> displays = m_deps.spaces.getDisplays();
    if (displays.empty()) return;
    dropVanishedTargets(displays);
    m_displays = displays;
    refreshCurrentSpaces();
    for (const Display& display : m_displays) {
        const std::string& d = display.id;
        const std::optional<SpaceId> actual = lookup(m_actual, d);
        if (const auto pending = lookup(m_pending, d)) {
            m_pending.erase(d);
            if (pending->id != actual) {
                beginSwitch(*pending);
                continue;
            }
        }
        const std::optional<SpaceId> requested = lookup(m_requested, d);
        if ((requested && requested == actual) || m_inFlight.count(d) || (!requested && !actual)) {
            m_requested.erase(d);
            m_inFlight.erase(d);
        }
    }
    for (const Monitor& monitor : std::vector<Monitor>(m_monitors)) {
        m_visibility[monitor.id] = StripVisibilityMachine::next(currentState(monitor), StripEvent::spaceChanged,
                                                                visibilityInput(monitor));
        apply(monitor);
    }
}

// --- Visibility -----------------------------------------------------------------------------------

const StripController::Monitor* StripController::monitor(const std::string& id) const {
    const auto found = std::find_if(m_monitors.begin(), m_monitors.end(), [&](const Monitor& m) { return m.id == id; });
    return found == m_monitors.end() ? nullptr : &*found;
}

const Display* StripController::display(const std::string& id) const {
    const auto found = std::find_if(m_displays.begin(), m_displays.end(), [&](const Display& d) { return d.id == id; });
    return found == m_displays.end() ? nullptr : &*found;
}

VisibilityInput StripController::visibilityInput(const Monitor& monitor) const {
    VisibilityInput input;
    input.mode = m_deps.settings.stripMode();
    input.visibilityOverride = m_override;
    bool fullScreenDesktop = false;
    if (const Display* shown = display(monitor.displayID)) {
        for (const Space& space : shown->spaces)
            if (space.isCurrent) {
                fullScreenDesktop = space.isFullScreen;
                break;
            }
    }
    input.currentIsFullScreen =
        fullScreenDesktop || (m_deps.platform && m_deps.platform->activeWindowFullScreen(monitor.frame));
    input.revealInFullScreen = m_deps.settings.stripRevealInFullscreen();
    input.isAvailable = true;
    return input;
}

StripVisibility StripController::currentState(const Monitor& monitor) const {
    if (const auto stored = lookup(m_visibility, monitor.id)) return *stored;
    return StripVisibilityMachine::restingState(visibilityInput(monitor));
}

void StripController::send(StripEvent event, const std::string& monitorID) {
    const Monitor* target = monitor(monitorID);
    if (!target) return;
    const StripVisibility current = currentState(*target);
    const StripVisibility next = StripVisibilityMachine::next(current, event, visibilityInput(*target));
    if (next == current) return;
    m_visibility[monitorID] = next;
    m_deps.log.info(kCategory, "strip[%s]: %s → %s", monitorID, describe(current), describe(next));
    scheduleTimers(next, monitorID);
    render(*target);
}

void StripController::scheduleTimers(const StripVisibility& state, const std::string& monitorID) {
    m_revealTask.cancel();
    m_hideTask.cancel();
    if (state == StripVisibility{strip::Visible{VisibleReason::hover}}) {
        startHideTimer(monitorID);
    } else if (std::holds_alternative<strip::RevealPending>(state)) {
        m_revealTask = m_deps.scheduler.after(Seconds(revealDelay), m_lifetime.guard([this, monitorID] {
            send(StripEvent::revealDelayElapsed, monitorID);
        }));
    }
}

void StripController::startHideTimer(const std::string& monitorID) {
    m_hideTask.cancel();
    m_hideTask = m_deps.scheduler.after(Seconds(hideDelay), m_lifetime.guard([this, monitorID] {
        if (lookup(m_pointerOverTrigger, monitorID).value_or(false)) return;
        send(StripEvent::hideDelayElapsed, monitorID);
    }));
}

void StripController::apply(const Monitor& monitor) {
    const StripMode mode = m_deps.settings.stripMode();
    if (mode == StripMode::never && !m_override) {
        if (m_triggers.erase(monitor.id)) updatePointerWatch();
        if (const auto strip = m_strips.find(monitor.id); strip != m_strips.end()) strip->second->hide();
        m_visibility[monitor.id] = strip::Hidden{HiddenReason::preference};
        return;
    }
    if (!m_visibility.count(monitor.id)) m_visibility[monitor.id] = StripVisibilityMachine::restingState(visibilityInput(monitor));
    if (mode == StripMode::onHover) {
        std::vector<Rect> trayIcons;
        if (m_deps.platform) trayIcons = MenuBarGeometry::statusItemsAtTop(monitor.frame, m_deps.platform->trayIconFrames());
        const TriggerRegion region = MenuBarGeometry::triggerRegion(monitor.frame, monitor.topInset, trayIcons, triggerDepth);
        if (lookup(m_triggers, monitor.id) != region)
            m_deps.log.info(kCategory, "strip: trigger for %s at %s reason %s", monitor.id, region.rect.description(),
                            describe(region.reason));
        if (lookup(m_triggers, monitor.id) != region) {
            m_triggers[monitor.id] = region;
            updatePointerWatch();
        }
    } else if (m_triggers.erase(monitor.id)) {
        updatePointerWatch();
    }
    render(monitor);
}

void StripController::updatePointerWatch() {
    if (!m_deps.platform) return;
    if (m_triggers.empty() && !m_watchingPointer) return;
    std::map<std::string, Rect> regions;
    for (const auto& [id, trigger] : m_triggers) regions[id] = trigger.rect;
    m_watchingPointer = !regions.empty();
    m_deps.platform->watchPointer(std::move(regions), m_lifetime.guard([this](const std::string& id, bool inside) {
        pointerChanged(id, inside);
    }));
}

void StripController::pointerChanged(const std::string& monitorID, bool inside) {
    m_pointerOverTrigger[monitorID] = inside;
    if (inside) {
        m_hideTask.cancel();
        send(StripEvent::pointerEnteredTrigger, monitorID);
    } else {
        startHideTimer(monitorID);
        send(StripEvent::pointerLeftTrigger, monitorID);
    }
}

// --- Drawing --------------------------------------------------------------------------------------

std::vector<StripTab> StripController::buildTabs(const Display& shown) {
    const auto layouts = m_deps.spaces.windowLayouts({shown});
    const bool marks = m_deps.settings.stripTilingMarks() && m_deps.settings.tilingEnabled();
    std::vector<StripTab> tabs;
    for (const Space& space : shown.spaces) {
        StripTab tab;
        tab.spaceID = space.id;
        tab.index = space.index;
        tab.name = m_deps.labels.displayName(space);
        tab.isFullScreen = space.isFullScreen;
        tab.tilingActive = marks;
        const auto layout = layouts.find(space.id);
        tab.isEmpty = !space.isFullScreen && layout != layouts.end() && layout->second.empty();
        if (layout != layouts.end()) tab.layout = layout->second;
        tabs.push_back(std::move(tab));
    }
    return tabs;
}

void StripController::render(const Monitor& monitor) {
    if (!m_deps.platform) return;
    const auto state = lookup(m_visibility, monitor.id);
    auto strip = m_strips.find(monitor.id);
    if (!state || !isOnScreen(*state)) {
        if (strip != m_strips.end()) strip->second->hide();
        return;
    }
    const Display* shown = display(monitor.displayID);
    if (!shown) return;
    if (strip == m_strips.end()) {
        const std::string id = monitor.id;
        StripWindowView::Handlers handlers;
        handlers.onSelect = m_lifetime.guard([this, id](SpaceId space) {
            select(space);
            m_pointerOverStrip[id] = false;
            startHideTimer(id);
        });
        handlers.onHoverTab = m_lifetime.guard([this, id](std::optional<SpaceId> space) { hoverTab(id, space); });
        strip = m_strips.emplace(id, m_deps.platform->createStripWindow(std::move(handlers))).first;
    }

    StripPresentation presentation;
    presentation.displayID = monitor.id;
    presentation.tabs = buildTabs(*shown);
    presentation.actualCurrentSpaceID = lookup(m_actual, monitor.displayID);
    presentation.requestedSpaceID = lookup(m_requested, monitor.displayID);
    presentation.showsMiniMaps = m_deps.settings.stripMiniMaps();
    const auto focus = focusTab(presentation.tabs, presentation.requestedSpaceID, presentation.actualCurrentSpaceID);
    const double scale = m_deps.platform->scale() > 0 ? m_deps.platform->scale() : 1;
    presentation.density = chooseDensity(m_deps.settings.menuDensity(), presentation.tabs.size(),
                                         presentation.showsMiniMaps, focus, monitor.frame.width * scale);
    presentation.visibility = *state;
    presentation.topologyGeneration = m_generation;
    strip->second->render(presentation, monitor.frame, stripAlignment(m_deps.settings.stripPosition()), monitor.topInset);
}

void StripController::renderDisplay(const std::string& displayID) {
    for (const Monitor& monitor : m_monitors)
        if (monitor.displayID == displayID) render(monitor);
}

void StripController::hoverTab(const std::string& monitorID, std::optional<SpaceId> space) {
    m_pointerOverStrip[monitorID] = space.has_value();
    if (space) {
        m_hideTask.cancel();
    } else {
        startHideTimer(monitorID);
    }
}

// --- Switching ------------------------------------------------------------------------------------

void StripController::select(SpaceId spaceID) {
    for (const Display& shown : m_displays) {
        for (const Space& space : shown.spaces) {
            if (space.id != spaceID) continue;
            const std::string d = shown.id;
            if (lookup(m_actual, d) == spaceID) return;
            m_requested[d] = spaceID;
            renderDisplay(d);
            if (m_inFlight.count(d)) {
                m_pending[d] = space;
            } else {
                beginSwitch(space);
            }
            return;
        }
    }
}

void StripController::beginSwitch(const Space& target) {
    m_inFlight.insert(target.displayID);
    m_deps.log.info(kCategory, "strip: switching to space %llu", static_cast<unsigned long long>(target.id));
    if (m_switcher) m_switcher->switchTo(target);
}

} // namespace quorvel
