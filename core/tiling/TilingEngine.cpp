// Tiling engine: its state, start and stop, and the answers every part of it shares (attributes,
// trackability, a window's desktop, whether a desktop tiles). Neighbours: TilingTracking.cpp,
// TilingRetile.cpp, TilingAdoption.cpp, TilingCommands.cpp.
#include "tiling/TilingEngine.h"

namespace quorvel {

namespace {
constexpr const char* kCategory = "tiling";
} // namespace

const std::set<std::string> TilingEngine::kSkipApps = {
    "Quorvel", "Dock", "SystemUIServer", "Control Center", "Notification Center", "Spotlight", "Window Server",
    "WindowManager"};

TilingEngine::TilingEngine(const TilingContext& context)
    : m_ctx(context) {}

TilingEngine::~TilingEngine() { stop(); }

SpaceId TilingEngine::activeSpace() { return m_ctx.api.currentDesktop(); }

// --- Lifecycle ----------------------------------------------------------------------------------

void TilingEngine::start() {
    if (m_isRunning) return;
    if (!m_ctx.accessibility.isProcessTrusted()) {
        m_ctx.log.error(kCategory, "Tiling requires Accessibility permission — not starting");
        return;
    }
    m_isRunning = true;
    m_ctx.accessibility.setMessagingTimeout(m_ctx.accessibility.systemWideElement(), 1.0);

    // Each handler holds the engine weakly; a notification without an application is ignored.
    auto observe = [this](WorkspaceEvent event, void (TilingEngine::*handler)(const RunningApplication&)) {
        m_workspaceObservers.push_back(m_ctx.workspace.addObserver(
            event, m_lifetime.guard([this, handler](const std::optional<RunningApplication>& app) {
                if (app) (this->*handler)(*app);
            })));
    };
    m_workspaceObservers.push_back(m_ctx.workspace.addObserver(
        WorkspaceEvent::didLaunchApplication, m_lifetime.guard([this](const std::optional<RunningApplication>& app) {
            if (app) scheduleAttach(*app, 0);
        })));
    m_workspaceObservers.push_back(m_ctx.workspace.addObserver(
        WorkspaceEvent::didTerminateApplication,
        m_lifetime.guard([this](const std::optional<RunningApplication>& app) {
            if (app) detach(app->pid);
        })));
    m_workspaceObservers.push_back(m_ctx.workspace.addObserver(
        WorkspaceEvent::activeSpaceDidChange,
        m_lifetime.guard([this](const std::optional<RunningApplication>&) { activeSpaceChanged(); })));
    observe(WorkspaceEvent::didActivateApplication, &TilingEngine::refreshFocus);
    observe(WorkspaceEvent::didHideApplication, &TilingEngine::applicationHidden);
    observe(WorkspaceEvent::didUnhideApplication, &TilingEngine::applicationUnhidden);
    m_screenObserver =
        m_ctx.screens.observeScreenParameters(m_lifetime.guard([this] { screenParametersChanged(); }));

    for (const RunningApplication& app : m_ctx.workspace.runningApplications()) {
        if (!attach(app)) scheduleAttach(app, 0);
    }

    const SpaceId active = activeSpace();
    adoptSpace(active);
    retile(active, std::nullopt);
    startCloseSweep();
    m_ctx.log.info(kCategory, "Tiling started");
}

void TilingEngine::stop() {
    if (!m_isRunning) return;
    m_isRunning = false;
    ++m_runGeneration;
    m_closeSweepTimer.cancel();
    m_closeSweepTimer = {};
    m_destroyArmed.clear();
    for (const ObserverToken token : m_workspaceObservers) m_ctx.workspace.removeObserver(token);
    m_workspaceObservers.clear();
    if (m_screenObserver) m_ctx.screens.removeObserver(*m_screenObserver);
    m_screenObserver.reset();
    for (const auto& [pid, observer] : m_axObservers) {
        m_ctx.accessibility.unscheduleObserver(observer);
        m_ctx.accessibility.releaseObserver(observer);
    }
    m_axObservers.clear();
    m_windowElements.clear();
    m_windowOwners.clear();
    for (auto& [space, animator] : m_animators) animator->cancel();
    m_animators.clear();
    m_trees.clear();
    m_lastFocused.clear();
    // Stopping forgets everything: a split target from an earlier run means nothing in the next.
    m_previousFocused.clear();
    m_spotlit.clear();
    hideBorder();
    m_hiddenLayouts.clear();
    m_ctx.log.info(kCategory, "Tiling stopped");
}

// --- Shared answers -----------------------------------------------------------------------------

bool TilingEngine::boolAttribute(AXElement element, std::string_view name) {
    const auto result = m_ctx.accessibility.copyAttributeValue(element, name);
    if (!result.ok()) return false;
    const auto* value = std::get_if<bool>(&result.value);
    return value && *value;
}

std::optional<std::string> TilingEngine::stringAttribute(AXElement element, std::string_view name) {
    auto result = m_ctx.accessibility.copyAttributeValue(element, name);
    if (!result.ok()) return std::nullopt;
    if (auto* value = std::get_if<std::string>(&result.value)) return std::move(*value);
    return std::nullopt;
}

bool TilingEngine::isHidden(AXElement element) {
    if (boolAttribute(element, ax::hidden)) return true;
    const auto pid = m_ctx.accessibility.pid(element);
    if (!pid.ok() || pid.value == 0) return false;
    const auto app = m_ctx.workspace.runningApplication(pid.value);
    return app && app->isHidden;
}

bool TilingEngine::isAdoptable(WindowId id) {
    const auto it = m_windowElements.find(id);
    if (it == m_windowElements.end()) return false;
    const AXElement element = it->second;
    return !boolAttribute(element, ax::minimized) && !boolAttribute(element, ax::fullScreen) && !isHidden(element);
}

bool TilingEngine::isTrackable(AXElement element) {
    if (stringAttribute(element, ax::role) != ax::windowRole) return false;
    if (stringAttribute(element, ax::subrole) != ax::standardWindow) return false;
    const auto settable = m_ctx.accessibility.isAttributeSettable(element, ax::size);
    return settable.ok() && settable.value;
}

std::optional<SpaceId> TilingEngine::spaceFor(WindowId id) {
    const auto spaces = m_ctx.api.desktopsOfWindow(id);
    if (!spaces) {
        m_ctx.log.error(kCategory, "space lookup failed for window %u — _NET_WM_DESKTOP gave no answer", id);
        return std::nullopt;
    }
    if (spaces->empty()) {
        m_ctx.log.info(kCategory, "space lookup empty for window %u", id);
        return std::nullopt;
    }
    return spaces->front();
}

bool TilingEngine::shouldTile(SpaceId space) {
    if (const auto info = m_ctx.spaces.spaceInfo(space); info && info->isFullScreen) return false;
    switch (m_ctx.labels.tilingOverride(space)) {
    case TilingOverride::on: return true;
    case TilingOverride::off: return false;
    case TilingOverride::automatic: break;
    }
    return m_ctx.settings.tilingEnabled();
}

BSPTree& TilingEngine::treeFor(SpaceId space) {
    auto& tree = m_trees[space];
    if (!tree) tree = std::make_shared<BSPTree>();
    return *tree;
}

std::optional<Rect> TilingEngine::refitRect(SpaceId space) {
    if (m_ctx.settings.tilingCloseBehavior() == TilingCloseBehavior::keep) return std::nullopt;
    return frameForSpace(space);
}

const BSPTree* TilingEngine::tree(SpaceId space) const {
    const auto it = m_trees.find(space);
    return it == m_trees.end() ? nullptr : it->second.get();
}

std::optional<WindowId> TilingEngine::spotlitWindow(SpaceId space) const {
    const auto it = m_spotlit.find(space);
    if (it == m_spotlit.end()) return std::nullopt;
    return it->second;
}

std::optional<WindowId> TilingEngine::lastFocusedWindow(SpaceId space) const {
    const auto it = m_lastFocused.find(space);
    if (it == m_lastFocused.end()) return std::nullopt;
    return it->second;
}

std::optional<WindowId> TilingEngine::previousFocusedWindow(SpaceId space) const {
    const auto it = m_previousFocused.find(space);
    if (it == m_previousFocused.end()) return std::nullopt;
    return it->second;
}

void TilingEngine::forget(WindowId id) {
    m_windowElements.erase(id);
    m_windowOwners.erase(id);
    m_destroyArmed.erase(id);
}

void TilingEngine::dropAnimator(SpaceId space) {
    const auto it = m_animators.find(space);
    if (it == m_animators.end()) return;
    it->second->cancel();
    m_animators.erase(it);
}

} // namespace quorvel
