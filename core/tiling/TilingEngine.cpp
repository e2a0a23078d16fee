// Tiling engine: wires the window tracker, the frame writer and the tree policy, starts and stops
// them, and routes workspace and screen notifications. Neighbours: TilingTracking.cpp,
// FrameWriter.cpp, TilingAdoption.cpp, TilingRetile.cpp, TilingCommands.cpp.
#include "tiling/TilingEngine.h"

namespace quorvel {

using tiling::kCategory;

TilingEngine::TilingEngine(const TilingContext& context)
    : m_ctx(context),
      m_policy(m_ctx, m_run, m_tracker, m_writer),
      m_tracker(m_ctx, m_run, m_policy),
      m_writer(m_ctx, m_run, m_tracker, m_policy),
      m_view(m_tracker, m_writer, m_policy) {
    m_policy.onSpotlightChanged = [this] {
        if (onSpotlightChanged) onSpotlightChanged();
    };
    m_policy.onAccessLost = [this] {
        pause();
        if (onAccessLost) onAccessLost();
    };
}

TilingEngine::~TilingEngine() { stop(); }

void TilingEngine::start() {
    if (m_run.running) return;
    if (!m_ctx.windows.isAvailable()) {
        m_ctx.log.error(kCategory, "Tiling requires an EWMH window manager — not starting");
        return;
    }
    m_run.running = true;
    m_paused = false;

    // Each handler holds the engine weakly; a notification without an application is ignored.
    const auto observe = [this](WorkspaceEvent event, std::function<void(const RunningApplication&)> handler) {
        m_workspaceObservers.push_back(m_ctx.workspace.addObserver(
            event, m_lifetime.guard([handler = std::move(handler)](const std::optional<RunningApplication>& app) {
                if (app) handler(*app);
            })));
    };
    observe(WorkspaceEvent::didLaunchApplication, [this](const auto& app) { m_tracker.attachLaunched(app); });
    observe(WorkspaceEvent::didTerminateApplication, [this](const auto& app) { m_tracker.detach(app.pid); });
    m_workspaceObservers.push_back(m_ctx.workspace.addObserver(
        WorkspaceEvent::activeSpaceDidChange,
        m_lifetime.guard([this](const std::optional<RunningApplication>&) { m_policy.activeSpaceChanged(); })));
    observe(WorkspaceEvent::didActivateApplication, [this](const auto& app) { m_tracker.refreshFocus(app); });
    observe(WorkspaceEvent::didHideApplication, [this](const auto& app) { m_policy.applicationHidden(app); });
    observe(WorkspaceEvent::didUnhideApplication, [this](const auto& app) { m_policy.applicationUnhidden(app); });
    m_screenObserver =
        m_ctx.screens.observeScreenParameters(m_lifetime.guard([this] { screenParametersChanged(); }));

    m_tracker.start();
    // After a pause: the trees as they were, without the windows closed meanwhile.
    m_policy.restoreTrees(m_kept);
    m_kept.clear();
    m_policy.startUp();
    m_tracker.startCloseSweep();
    m_ctx.log.info(kCategory, "Tiling started");
}

void TilingEngine::pause() {
    if (!m_run.running) return;
    TreePolicy::TreeMap kept = m_policy.keptTrees();
    stop();
    m_kept = std::move(kept);
    m_paused = true;
    m_ctx.log.info(kCategory, "Tiling paused — %ld tree(s) kept", static_cast<long>(m_kept.size()));
}

void TilingEngine::resume() {
    const bool restoring = !m_kept.empty();
    start();
    if (restoring && m_run.running) m_policy.retileAllSpaces();
}

bool TilingEngine::keptWindowsListed() {
    for (const auto& [key, tree] : m_kept)
        for (const WindowId id : tree->leaves())
            if (m_ctx.windows.owner(id).error() == WindowError::windowGone) return false;
    return true;
}

void TilingEngine::stop() {
    m_kept.clear();
    m_paused = false;
    if (!m_run.running) return;
    m_run.running = false;
    ++m_run.generation;
    for (const ObserverToken token : m_workspaceObservers) m_ctx.workspace.removeObserver(token);
    m_workspaceObservers.clear();
    if (m_screenObserver) m_ctx.screens.removeObserver(*m_screenObserver);
    m_screenObserver.reset();
    m_tracker.stop();
    m_writer.stop();
    m_policy.stop();
    m_ctx.log.info(kCategory, "Tiling stopped");
}

void TilingEngine::screenParametersChanged() {
    if (!m_run.running) return;
    if (isDisplayTransitionInProgress && isDisplayTransitionInProgress()) return;
    m_ctx.scheduler.post(m_lifetime.guard([this] {
        if (!m_run.running || (isDisplayTransitionInProgress && isDisplayTransitionInProgress())) return;
        m_ctx.log.info(kCategory, "screen parameters changed — retiling %ld space(s)",
                       static_cast<long>(m_policy.trees().size()));
        m_policy.screensChanged();
        m_policy.retileAllSpaces();
    }));
}

} // namespace quorvel
