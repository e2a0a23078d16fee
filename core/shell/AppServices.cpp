// Builds the shared components in dependency order.
#include "shell/AppServices.h"

namespace quorvel {

namespace {

DisplayOutputs& displayOutputsOf(const PlatformServices& p) {
    static NoDisplayOutputs none;
    return p.displayOutputs ? *p.displayOutputs : none;
}

// Where the platform keeps no desktop names: nothing to read, writes go nowhere.
class NoDesktopNames final : public DesktopNames {
public:
    std::optional<std::vector<std::string>> names() override { return std::nullopt; }
    void setNames(const std::vector<std::string>&) override {}
    void onNamesChanged(std::function<void()>) override {}
};

DesktopNames& desktopNamesOf(const PlatformServices& p) {
    static NoDesktopNames none;
    return p.desktopNames ? *p.desktopNames : none;
}

} // namespace

CoreServices::CoreServices(const PlatformServices& p)
    : settings(p.defaults),
      api(p.windowServer, p.log),
      snapshots(api, p.scheduler, p.log),
      spaces(api, p.screens, settings, snapshots),
      namer(api, p.workspace, p.windowControl, p.scheduler, p.defaults),
      labels(settings, namer, [&scheduler = p.scheduler] { return scheduler.wallClock(); }),
      persistence(labels, settings, spaces, p.log),
      border(p.outline),
      engine(TilingContext{api, p.windowControl, p.workspace, p.screens, settings, labels, spaces, border,
                           p.scheduler, p.log}),
      coordinator(engine, settings, labels, p.windowControl, p.workspace, p.notifier, p.scheduler, p.log),
      strip({p.strip, p.screens, p.workspace, spaces, labels, settings, p.scheduler, p.log}),
      focusDisplay(displayOutputsOf(p), settings, p.scheduler, p.log),
      catalog(p.applications, p.scheduler, p.text, p.log),
      opener(p.applications, p.workspace, api, spaces, p.text, p.log),
      nameSync(desktopNamesOf(p), spaces, labels, p.scheduler, p.log) {}

CoreServices::~CoreServices() {
    nameSync.stop();
    strip.stop();
    engine.stop();
}

MenuBarController::Dependencies menuBarDependencies(const PlatformServices& p, CoreServices& core) {
    return {.view = p.tray,
            .settings = core.settings,
            .defaults = p.defaults,
            .labels = core.labels,
            .spaces = core.spaces,
            .engine = core.engine,
            .coordinator = core.coordinator,
            .workspace = p.workspace,
            .notifier = p.notifier,
            .scheduler = p.scheduler,
            .log = p.log,
            .activeSpace = [&api = core.api] { return api.currentDesktop(); },
            .isTrusted = [&windows = p.windowControl] { return windows.isAvailable(); },
            .focusDisplay = &core.focusDisplay};
}

} // namespace quorvel
