// The delegate's routes end in Qt's toast: presses on the simulated keyboard, the real delegate,
// the real toast window, all in virtual time.
#include "QtUserNotifier.h"
#include "SimServices.h"
#include "Toast.h"
#include "shell/AppDelegate.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace quorvel;
using namespace std::chrono_literals;

constexpr std::uint32_t kControlOption = 0x1800;
constexpr std::uint32_t kOptionShift = 0x0A00;

class AppDelegateToastTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim.world.addDisplay({.uuid = "MAIN-UUID", .spaceCount = 3});
        core = std::make_unique<CoreServices>(platform);
        app = std::make_unique<AppDelegate>(platform, *core);
        ASSERT_TRUE(app->applicationDidFinishLaunching());
        sim.scheduler.runPending();
    }
    void press(std::uint32_t keyCode, std::uint32_t flags) {
        ASSERT_TRUE(sim.hotkeys.press(keyCode, flags));
        sim.scheduler.runPending();
    }
    bool showing(const QString& text) {
        ui::Toast* toast = notifier.toast();
        return toast && toast->isVisible() && toast->text() == text;
    }

    sim::SimPlatform sim;
    ui::QtUserNotifier notifier{sim.scheduler};
    // The simulated machine, with Qt's toasts.
    PlatformServices platform{sim.windowServer, sim.windowControl, sim.workspace, sim.screens, sim.hotkeys, sim.helpers,
                              notifier,         sim.outline,       sim.panels,    sim.defaults,  sim.scheduler, sim.log,
                              sim.tray,         sim.applications,  sim.palettes,  sim.text};
    std::unique_ptr<CoreServices> core;
    std::unique_ptr<AppDelegate> app;
};

TEST_F(AppDelegateToastTest, TilingKeysWithTilingOffShowTheToastAndTheFileManagerKeyIsDebounced) {
    press(123, kOptionShift); // swap left
    EXPECT_TRUE(showing("Tiling is off"));
    sim.scheduler.advance(2s);
    EXPECT_FALSE(notifier.toast()->isVisible());

    press(40, kOptionShift); // the spotlight key says nothing
    EXPECT_FALSE(notifier.toast()->isVisible());

    press(3, kControlOption); // no file manager known yet
    EXPECT_TRUE(showing("Couldn't find a file manager"));
    sim.scheduler.advance(2s);
    press(3, kControlOption);
    EXPECT_TRUE(showing("Couldn't find a file manager")); // 2 s later: past the debounce
    sim.scheduler.advance(0.3s);
    notifier.toast()->hide();
    press(3, kControlOption); // within 600 ms: nothing at all
    EXPECT_FALSE(notifier.toast()->isVisible());
}

TEST_F(AppDelegateToastTest, TurningTilingOnWithItsKeyAnnouncesIt) {
    press(17, kOptionShift);
    EXPECT_TRUE(core->engine.isRunning());
    EXPECT_TRUE(showing("Tiling on"));
    press(15, kOptionShift); // retile
    EXPECT_TRUE(showing("Re-tiled"));
}

} // namespace
