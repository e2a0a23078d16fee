// TilingCoordinator on the simulator with the real engine: start-up with and without a window
// manager, the global switch, per-desktop overrides, the alert and the poll.
#include "DesktopNamesFixture.h"
#include "tiling/TilingCoordinator.h"
#include "tiling/SpotlightBorder.h"
#include "tiling/TilingEngine.h"

#include <memory>

namespace quorvel::test {
namespace {

using Source = TilingCoordinator::Source;

class TilingCoordinatorTest : public DesktopNamesFixture {
protected:
    SpotlightBorder border{sim.outline};
    TilingEngine engine{TilingContext{api, sim.windowControl, sim.workspace, sim.screens, settings, labels, spaces,
                                      border, sim.scheduler, sim.log}};
    TilingCoordinator coordinator{engine,        settings,     labels,        sim.windowControl,
                                  sim.workspace, sim.notifier, sim.scheduler, sim.log};
    std::vector<Source> reported;

    void SetUp() override {
        desktops(2);
        coordinator.onStateChanged = [this](Source source) { reported.push_back(source); };
    }
    void switchStoredOn() { sim.defaults.set("tiling_enabled", true); }
    // Every refused start leaves the engine's line in the log.
    std::size_t refusedStarts() const { return sim.log.count("Tiling requires an EWMH window manager"); }
    const std::vector<std::string>& toasts() const { return sim.notifier.toasts; }
    std::size_t tiledOn(SpaceId space) const {
        const BSPTree* tree = engine.view().tree(space);
        return tree ? tree->leafCount() : 0;
    }
};

TEST_F(TilingCoordinatorTest, LaunchStartsTilingOnlyWhenWanted) {
    openApp("Editor", "notes.txt");
    labels.setTilingOverride(TilingOverride::off, desktop(1)); // an Off override forces nothing
    sim.world.revokeTrust();
    coordinator.startAtLaunchIfEnabled();
    sim.scheduler.advance(Seconds(300));
    EXPECT_EQ(refusedStarts(), 0u);
    EXPECT_TRUE(reported.empty());
    EXPECT_TRUE(toasts().empty());

    switchStoredOn();
    sim.world.grantTrust();
    coordinator.startAtLaunchIfEnabled();
    EXPECT_EQ(tiledOn(desktop(0)), 1u);
    EXPECT_EQ(reported, std::vector<Source>{Source::launch});
    EXPECT_TRUE(toasts().empty());
}

TEST_F(TilingCoordinatorTest, LaunchWithoutTrustRetriesThenPollsUntilGranted) {
    switchStoredOn();
    openApp("Editor", "notes.txt");
    sim.world.revokeTrust();
    coordinator.startAtLaunchIfEnabled();

    // Eleven tries, 0.5 s apart; the toast and the log line come with the last one.
    sim.scheduler.advance(Seconds(4.75));
    EXPECT_EQ(refusedStarts(), 10u);
    EXPECT_TRUE(toasts().empty());
    sim.scheduler.advance(Seconds(0.25));
    EXPECT_EQ(toasts(), std::vector<std::string>{"Tiling paused — no window manager is running on this display"});
    EXPECT_TRUE(sim.log.contains("tiling not started after launch retries — no EWMH window manager running"));
    EXPECT_EQ(refusedStarts(), 12u) << "polling tries at once";
    EXPECT_TRUE(coordinator.permissionPollActive());
    EXPECT_TRUE(sim.notifier.alerts.empty()) << "start-up never shows the modal alert";

    // Then every 2 s.
    sim.scheduler.advance(Seconds(6));
    EXPECT_EQ(refusedStarts(), 15u);

    sim.world.grantTrust();
    sim.scheduler.advance(Seconds(1.5));
    EXPECT_FALSE(engine.isRunning());
    sim.scheduler.advance(Seconds(0.5));
    EXPECT_TRUE(engine.isRunning());
    EXPECT_EQ(tiledOn(desktop(0)), 1u);
    EXPECT_FALSE(coordinator.permissionPollActive());
    EXPECT_EQ(toasts().back(), "Tiling on");
    EXPECT_EQ(reported, std::vector<Source>{Source::permissionPoll});
    EXPECT_EQ(sim.defaults.boolFor("accessibility_ever_granted"), true);
    EXPECT_EQ(sim.defaults.stringFor("accessibility_granted_bundle_path"), "/usr/bin/quorvel");
}

TEST_F(TilingCoordinatorTest, PollingGivesUpAfterSixtyOneTriesAndALaterToggleStartsAgain) {
    switchStoredOn();
    sim.world.revokeTrust();
    coordinator.pollPermission();
    sim.scheduler.advance(Seconds(119.5));
    EXPECT_TRUE(coordinator.permissionPollActive());
    sim.scheduler.advance(Seconds(0.5));
    EXPECT_EQ(refusedStarts(), 61u);
    EXPECT_FALSE(coordinator.permissionPollActive());
    EXPECT_EQ(sim.log.lines("tiling").back(),
              "tiling still blocked after waiting for a window manager — will retry next launch or toggle");
    EXPECT_EQ(sim.scheduler.pendingCount(), 0u);
    EXPECT_TRUE(reported.empty());

    sim.world.grantTrust();
    EXPECT_TRUE(coordinator.setEnabled(true, Source::hotkey));
    EXPECT_EQ(toasts(), std::vector<std::string>{"Tiling on"});
    EXPECT_EQ(reported, std::vector<Source>{Source::hotkey});
}

TEST_F(TilingCoordinatorTest, TurningOnWithoutTrustClosesTheMenuThenAsksAndKeepsTheSwitchOn) {
    sim.world.revokeTrust();
    std::vector<std::string> order;
    sim.notifier.beforeAnswer = [&] { order.push_back("alert"); };

    EXPECT_FALSE(coordinator.setEnabled(true, Source::menu, [&] {
        EXPECT_TRUE(sim.notifier.alerts.empty());
        order.push_back("beforeAlert");
    }));
    EXPECT_EQ(order, (std::vector<std::string>{"beforeAlert", "alert"}));
    ASSERT_EQ(sim.notifier.alerts.size(), 1u);
    EXPECT_EQ(sim.notifier.alerts.front().message, "Tiling needs a window manager");
    EXPECT_EQ(sim.notifier.alerts.front().buttons, std::vector<std::string>{"OK"});
    EXPECT_TRUE(settings.tilingEnabled());
    EXPECT_TRUE(coordinator.permissionPollActive());
    EXPECT_TRUE(toasts().empty());
    EXPECT_EQ(reported, std::vector<Source>{Source::menu});

    // Asking again a second later explains again but starts no second poll: the one poll gives up
    // 120 s after it began, once. Nothing is opened: there is no settings pane to send anyone to.
    sim.scheduler.advance(Seconds(1));
    EXPECT_FALSE(coordinator.setEnabled(true, Source::settings));
    EXPECT_EQ(sim.notifier.alerts.size(), 2u);
    EXPECT_TRUE(sim.world.openedURLs.empty());
    sim.scheduler.advance(Seconds(119));
    EXPECT_FALSE(coordinator.permissionPollActive());
    sim.scheduler.advance(Seconds(10));
    EXPECT_EQ(sim.log.count("tiling still blocked after waiting for a window manager"), 1u);
}

TEST_F(TilingCoordinatorTest, TurningOnTilesTheWindowsAlreadyOpenAndOffStopsEverything) {
    openApp("Editor", "notes.txt");
    openApp("Terminal", "~");

    EXPECT_TRUE(coordinator.setEnabled(true, Source::menu));
    EXPECT_TRUE(settings.tilingEnabled());
    EXPECT_EQ(tiledOn(desktop(0)), 2u);

    EXPECT_FALSE(coordinator.setEnabled(false, Source::hotkey));
    EXPECT_FALSE(engine.isRunning());
    EXPECT_EQ(sim.defaults.object("tiling_enabled"), Json(false));
    EXPECT_EQ(toasts(), (std::vector<std::string>{"Tiling on", "Tiling off"}));
    EXPECT_EQ(reported, (std::vector<Source>{Source::menu, Source::hotkey}));
}

TEST_F(TilingCoordinatorTest, TurningOffKeepsDesktopsSetToOnTiling) {
    openApp("Editor", "notes.txt");
    labels.setTilingOverride(TilingOverride::on, desktop(1));
    coordinator.setEnabled(true, Source::menu);
    ASSERT_EQ(tiledOn(desktop(0)), 1u);

    EXPECT_TRUE(coordinator.setEnabled(false, Source::settings));
    EXPECT_TRUE(engine.isRunning());
    EXPECT_EQ(toasts().back(), "Tiling off — except desktops set to On");
    EXPECT_EQ(tiledOn(desktop(0)), 0u) << "the Auto desktop no longer tiles";
    EXPECT_EQ(reported, (std::vector<Source>{Source::menu, Source::settings}));

    // Back on while running: Auto desktops tile again.
    EXPECT_TRUE(coordinator.setEnabled(true, Source::menu));
    EXPECT_EQ(tiledOn(desktop(0)), 1u);
}

TEST_F(TilingCoordinatorTest, DesktopOverridesStartAndStopTheEngineWhileTheSwitchIsOff) {
    openApp("Editor", "notes.txt");

    labels.setTilingOverride(TilingOverride::on, desktop(0));
    coordinator.spaceOverrideChanged(desktop(0), Source::menu);
    EXPECT_TRUE(engine.isRunning());
    EXPECT_EQ(tiledOn(desktop(0)), 1u);
    EXPECT_EQ(toasts(), std::vector<std::string>{"Tiling on for this desktop"});

    // Another desktop's override changes nothing the user needs to be told.
    labels.setTilingOverride(TilingOverride::off, desktop(1));
    coordinator.spaceOverrideChanged(desktop(1), Source::menu);
    EXPECT_TRUE(engine.isRunning());
    EXPECT_EQ(toasts().size(), 1u);
    EXPECT_EQ(reported.size(), 1u);

    labels.setTilingOverride(TilingOverride::automatic, desktop(0));
    coordinator.spaceOverrideChanged(desktop(0), Source::menu);
    EXPECT_FALSE(engine.isRunning());
    EXPECT_EQ(toasts().back(), "Tiling off");
    EXPECT_EQ(reported, (std::vector<Source>{Source::menu, Source::menu}));
}

TEST_F(TilingCoordinatorTest, ForcingADesktopOnWithoutTrustAsksAndPolls) {
    sim.world.revokeTrust();
    labels.setTilingOverride(TilingOverride::on, desktop(1));
    coordinator.spaceOverrideChanged(desktop(1), Source::menu);

    EXPECT_EQ(sim.notifier.alerts.size(), 1u);
    EXPECT_TRUE(coordinator.permissionPollActive());
    EXPECT_EQ(reported, std::vector<Source>{Source::menu});

    // Setting it back to Auto ends the poll at its next try: a later grant starts nothing.
    labels.setTilingOverride(TilingOverride::automatic, desktop(1));
    coordinator.spaceOverrideChanged(desktop(1), Source::menu);
    sim.world.grantTrust();
    sim.scheduler.advance(Seconds(10));
    EXPECT_FALSE(engine.isRunning());
    EXPECT_FALSE(coordinator.permissionPollActive());
}

TEST_F(TilingCoordinatorTest, RetriesOfAGoneCoordinatorDoNothing) {
    switchStoredOn();
    sim.world.revokeTrust();
    auto other = std::make_unique<TilingCoordinator>(engine, settings, labels, sim.windowControl, sim.workspace,
                                                     sim.notifier, sim.scheduler, sim.log);
    other->startAtLaunchIfEnabled();
    other.reset();
    sim.world.grantTrust();
    sim.scheduler.advance(Seconds(10));

    EXPECT_FALSE(engine.isRunning());
    EXPECT_TRUE(toasts().empty());
}

} // namespace
} // namespace quorvel::test
