// The window opener's ladder on the simulator, each rung failing in turn, and the choice of a
// desktop action among an entry's actions.
#include "SimServices.h"

#include <gtest/gtest.h>

#include <memory>

namespace quorvel::test {
namespace {

using Launch = sim::SimApplications::Launch;
using Result = WindowOpener::Result;

class WindowOpenerTest : public ::testing::Test {
protected:
    sim::SimPlatform sim;
    std::unique_ptr<CoreServices> core;

    void SetUp() override {
        sim.world.addDisplay({.uuid = "MAIN-UUID", .spaceCount = 2});
        core = std::make_unique<CoreServices>(sim::platformServices(sim));
    }
    WindowOpener::Outcome open(const SummonableApp& app) { return core->opener.openWindow(app, 55); }
    Pid startProcess(const std::string& program) {
        return sim.world.launchApp({.name = program, .executablePath = "/usr/bin/" + program});
    }
    std::size_t activations() const { return sim.world.calls("activate"); }
};

SummonableApp entry(const std::string& program, std::vector<DesktopAction> actions = {}) {
    return {.name = program, .desktopFileId = program + ".desktop", .program = program, .actions = std::move(actions)};
}

TEST_F(WindowOpenerTest, AFullScreenDesktopRefusesAndNothingIsLaunchedOrActivated) {
    const SpaceId full = sim.world.addSpace(0, true);
    sim.world.switchToSpace(full);
    startProcess("editor");
    EXPECT_EQ(open(entry("editor")).result, Result::refusedFullscreen);
    EXPECT_EQ(open(entry("mail")).result, Result::refusedFullscreen);
    EXPECT_TRUE(sim.applications.launches.empty());
    EXPECT_EQ(activations(), 0u);
    EXPECT_TRUE(sim.log.contains("summon: refused — active space is fullscreen"));
}

TEST_F(WindowOpenerTest, AnAppNotRunningIsLaunchedWithTheInputsTimeAndAFailureIsReported) {
    EXPECT_EQ(open(entry("mail")), (WindowOpener::Outcome{Result::launched, {}}));
    EXPECT_EQ(sim.applications.launches, (std::vector<Launch>{{Launch::Kind::main, "mail.desktop", {}, 55}}));

    sim.applications.failures[Launch::Kind::main] = "No such file";
    EXPECT_EQ(open(entry("mail")), (WindowOpener::Outcome{Result::launchFailed, "No such file"}));
    EXPECT_TRUE(sim.log.contains("summon: launch failed for mail: No such file"));
}

TEST_F(WindowOpenerTest, ARunningChromiumBrowserGetsANewWindowFromItsCommandLine) {
    startProcess("google-chrome-stable");
    EXPECT_EQ(open(entry("google-chrome-stable", {{"new-window", "New Window"}})),
              (WindowOpener::Outcome{Result::opened, "make new window"}));
    EXPECT_EQ(sim.applications.launches,
              (std::vector<Launch>{{Launch::Kind::program, "google-chrome-stable.desktop", {"--new-window"}, 55}}));

    // When that fails, the desktop action follows; nothing is activated on the way.
    sim.applications.failures[Launch::Kind::program] = "refused";
    EXPECT_EQ(open(entry("google-chrome-stable", {{"new-window", "New Window"}})),
              (WindowOpener::Outcome{Result::opened, "New Window"}));
    EXPECT_EQ(activations(), 0u);
    EXPECT_TRUE(WindowOpener::isChromiumFamily({.desktopFileId = "brave-browser.desktop"}));
    EXPECT_TRUE(WindowOpener::isChromiumFamily({.program = "/usr/bin/chromium"}));
    EXPECT_FALSE(WindowOpener::isChromiumFamily({.desktopFileId = "firefox.desktop", .program = "firefox"}));
}

TEST_F(WindowOpenerTest, ADesktopActionNamedLikeANewWindowCommandIsRun) {
    startProcess("browser");
    const SummonableApp browser = entry("browser", {{"private", "New Private Window"}, {"plain", "New Window"}});
    EXPECT_EQ(open(browser), (WindowOpener::Outcome{Result::opened, "New Window"}));
    EXPECT_EQ(sim.applications.launches.back(), (Launch{Launch::Kind::action, "browser.desktop", {"plain"}, 55}));
    EXPECT_TRUE(sim.log.contains("summon: opened browser via desktop action New Window"));
    EXPECT_EQ(activations(), 0u);
}

TEST_F(WindowOpenerTest, CandidateActionsFollowThePreferredTitlesThenTheNewWindowIdThenTheFirst) {
    WindowOpener& opener = core->opener;
    const auto best = [&](std::vector<DesktopAction> actions) {
        const auto chosen = opener.bestAction(actions);
        return chosen ? chosen->id : "";
    };
    EXPECT_EQ(best({{"tab", "New Tab"}, {"incognito", "New Incognito Window"}}), "");
    EXPECT_EQ(best({{"smart", "New Smart Folder"}, {"doc", "New Document Window"}, {"plain", "Open Window"}}), "");
    EXPECT_EQ(best({{"a", "New Compose Window"}, {"new-window", "New Empty Window"}}), "new-window");
    EXPECT_EQ(best({{"a", "New Compose Window"}, {"b", "New Empty Window"}}), "a");
    EXPECT_EQ(best({{"new-window", "New Empty Window"}, {"fm", "New File Manager Window"}}), "fm");
    EXPECT_EQ(best({{"p", "NEW PERSONAL WINDOW"}, {"w", "New Window"}}), "w");
}

TEST_F(WindowOpenerTest, WithoutAUsableActionItIsLaunchedAgainAndLastActivated) {
    const Pid pid = startProcess("terminal");
    const SummonableApp terminal = entry("terminal", {{"tab", "New Tab"}});
    EXPECT_EQ(open(terminal).result, Result::reopened);
    EXPECT_EQ(sim.applications.launches, (std::vector<Launch>{{Launch::Kind::main, "terminal.desktop", {}, 55}}));
    EXPECT_EQ(activations(), 0u);

    // Every way fails: the app comes forward, which the palette reports.
    sim.applications.failures[Launch::Kind::main] = "busy";
    sim.applications.failures[Launch::Kind::action] = "busy";
    const SummonableApp withAction = entry("terminal", {{"new-window", "New Window"}});
    EXPECT_EQ(open(withAction).result, Result::activatedWithoutWindow);
    EXPECT_EQ(activations(), 1u);
    EXPECT_EQ(sim.world.frontmost(), pid);
    EXPECT_TRUE(sim.log.contains("summon: terminal activated with no new window"));
}

} // namespace
} // namespace quorvel::test
