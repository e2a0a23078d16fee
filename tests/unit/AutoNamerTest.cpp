// AutoNamer: document titles, automatic names per desktop, and what the workspace observers record
// as the user moves between desktops and applications.
#include "DesktopNamesFixture.h"

#include <memory>

namespace quorvel::test {
namespace {

class AutoNamerTest : public DesktopNamesFixture {
protected:
    std::map<SpaceId, std::string> namesNow() { return namer.autoNameAll(spaces.getSpaces()); }
};

TEST_F(AutoNamerTest, DocumentTitleLosesTheApplicationSuffix) {
    desktops(2);
    const Pid pid = openApp("TextEdit", "Report.txt \u2014 TextEdit");
    const auto app = *sim.workspace.runningApplication(pid);
    EXPECT_EQ(namer.documentTitle(app), "Report.txt");
    EXPECT_EQ(namesNow()[desktop(0)], "TextEdit \u2014 Report.txt");
    EXPECT_EQ(namer.currentSpaceAutoName(), "TextEdit \u2014 Report.txt");

    const WindowId window = *world.app(pid)->focusedWindow;
    world.setTitle(window, "TextEdit");
    EXPECT_EQ(namer.documentTitle(app), std::nullopt);
    EXPECT_EQ(namesNow()[desktop(0)], "TextEdit");

    world.setTitle(window, "a.txt - TextEdit \u2013 TextEdit");
    EXPECT_EQ(namer.documentTitle(app), "a.txt");
    world.setTitle(window, "Notes - Q3 - Budget");
    EXPECT_EQ(namer.documentTitle(app), "Notes - Q3 - Budget");
    world.setTitle(window, "");
    EXPECT_EQ(namer.documentTitle(app), std::nullopt);

    world.setTitle(window, "Report.txt");
    world.failNext("title");
    EXPECT_EQ(namesNow()[desktop(0)], "TextEdit");
    world.failNext("focusedWindow");
    EXPECT_EQ(namer.documentTitle(app), std::nullopt);
}

TEST_F(AutoNamerTest, UnnamedApplicationKeepsItsWholeTitle) {
    desktops(1);
    const Pid pid = world.launchApp({.name = "", .desktopFileId = "org.example.sheets"});
    world.app(pid)->info.localizedName.reset();
    world.openWindow(pid, {0, 0, 800, 600}, {.title = "Q3 - Budget \u2014 Draft"});
    sim.scheduler.runPending();
    EXPECT_EQ(namer.currentSpaceAutoName(), "org.example.sheets \u2014 Q3 - Budget \u2014 Draft");

    world.app(pid)->info.desktopFileId.reset();
    EXPECT_EQ(namer.currentSpaceAutoName(), "Unknown \u2014 Q3 - Budget \u2014 Draft");
}

TEST_F(AutoNamerTest, OurOwnWindowFrontmostLeavesTheDesktopItsNumber) {
    desktops(3);
    switchTo(desktop(1));
    openApp("Quorvel", "Settings");
    const auto names = namesNow();
    EXPECT_EQ(names.at(desktop(1)), "Desktop 2");
    EXPECT_EQ(names.at(desktop(0)), "Desktop 1");
    EXPECT_EQ(namer.currentSpaceAutoName(), std::nullopt);
    namer.recordCurrentSpaceApp();
    EXPECT_TRUE(namer.lastAppPerSpace().empty());
}

TEST_F(AutoNamerTest, TheDesktopOrAPanelInFrontNeverNamesTheDesktop) {
    desktops(2);
    namer.startObserving();
    openApp("Editor", "Notes");
    EXPECT_EQ(namesNow().at(desktop(0)), "Editor \u2014 Notes");

    // The file manager draws the desktop: clicking on it makes the file manager frontmost.
    const Pid files = world.launchApp({.name = "Files"});
    const WindowId drawn = world.openWindow(files, {0, 0, 1920, 1080}, {.title = "Desktop", .layer = -1,
                                                                        .kind = WindowKind::desktop});
    sim.scheduler.runPending();
    EXPECT_EQ(namer.currentSpaceAutoName(), std::nullopt);
    EXPECT_EQ(namer.lastAppPerSpace().at(desktop(0)).name, "Editor") << "the desktop records nothing";
    switchTo(desktop(1));
    sim.scheduler.advance(Seconds(1));
    EXPECT_EQ(namesNow().at(desktop(0)), "Editor \u2014 Notes");

    // A panel taking the focus on the second desktop leaves it its number.
    const Pid panel = world.launchApp({.name = "Panel"});
    world.openWindow(panel, {0, 0, 1920, 30}, {.title = "panel", .layer = 20, .kind = WindowKind::desktop});
    sim.scheduler.runPending();
    EXPECT_EQ(namesNow().at(desktop(1)), "Desktop 2");
    EXPECT_FALSE(namer.lastAppPerSpace().contains(desktop(1)));

    // The same file manager's own window does name the desktop.
    world.openWindow(files, {0, 0, 800, 600}, {.title = "Documents"});
    sim.scheduler.runPending();
    EXPECT_EQ(namesNow().at(desktop(1)), "Files \u2014 Documents");
    EXPECT_EQ(namer.lastAppPerSpace().at(desktop(1)).name, "Files");
    world.focusWindow(drawn);
    EXPECT_EQ(namer.currentSpaceAutoName(), std::nullopt);
}

TEST_F(AutoNamerTest, OurOwnPanelInFrontKeepsTheNameOfTheApplicationBehindIt) {
    desktops(2);
    openApp("TextEdit", "Report.txt \u2014 TextEdit");
    namer.startObserving();
    // The panel takes the keyboard focus: we are the frontmost application now.
    world.launchApp({.name = "Quorvel", .pid = world.ownPid});
    world.activateApp(world.ownPid);
    sim.scheduler.runPending();
    EXPECT_EQ(namesNow().at(desktop(0)), "TextEdit \u2014 Report.txt");
    EXPECT_EQ(namer.autoName(spaces.getSpaces().front()), "TextEdit \u2014 Report.txt");
    EXPECT_EQ(namer.currentSpaceAutoName(), std::nullopt) << "without a desktop there is nothing to fall back on";
}

TEST_F(AutoNamerTest, ObservingRecordsEachDesktopsApplication) {
    desktops(3);
    const Pid textEdit = openApp("TextEdit", "Report.txt \u2014 TextEdit");
    namer.startObserving();
    namer.startObserving(); // a second call adds nothing
    EXPECT_EQ(namer.lastAppPerSpace().at(desktop(0)), (AutoNamer::RecordedApp{"TextEdit", "Report.txt"}));

    // The record after a switch waits 0.3 s for the frontmost application to settle.
    switchTo(desktop(1));
    sim.scheduler.advance(Seconds(0.29));
    EXPECT_FALSE(namer.lastAppPerSpace().contains(desktop(1)));
    sim.scheduler.advance(Seconds(0.02));
    EXPECT_EQ(namer.lastAppPerSpace().at(desktop(1)), (AutoNamer::RecordedApp{"TextEdit", "Report.txt"}));

    // An activation records at once, once.
    world.resetCalls();
    openApp("Terminal", "bash");
    EXPECT_EQ(namer.lastAppPerSpace().at(desktop(1)), (AutoNamer::RecordedApp{"Terminal", "bash"}));
    EXPECT_EQ(world.calls("frontmostApplication"), 1u);

    switchTo(desktop(2));
    world.activateApp(textEdit);
    sim.scheduler.advance(Seconds(1));
    const auto names = namesNow();
    EXPECT_EQ(names.at(desktop(0)), "TextEdit \u2014 Report.txt");
    EXPECT_EQ(names.at(desktop(1)), "Terminal \u2014 bash");
    EXPECT_EQ(names.at(desktop(2)), "TextEdit \u2014 Report.txt");
}

TEST_F(AutoNamerTest, LabelledDesktopsGetNoAutomaticNameAndVanishedOnesAreForgotten) {
    desktops(3);
    openApp("Mail", "Inbox");
    namer.recordCurrentSpaceApp();
    switchTo(desktop(2));
    namer.recordCurrentSpaceApp();
    labels.setLabel("Post", desktop(0));

    const SpaceId gone = desktop(2);
    switchTo(desktop(1));
    world.removeSpace(gone);
    const auto names = namesNow();
    EXPECT_FALSE(names.contains(desktop(0)));
    EXPECT_EQ(names.at(desktop(1)), "Mail \u2014 Inbox");
    EXPECT_EQ(names.size(), 1u);
    EXPECT_EQ(namer.lastAppPerSpace().size(), 1u);
    EXPECT_TRUE(namer.lastAppPerSpace().contains(desktop(0)));
}

TEST_F(AutoNamerTest, StoppedOrDestroyedNamerIgnoresLateNotifications) {
    desktops(2);
    openApp("TextEdit", "Report.txt \u2014 TextEdit");
    namer.startObserving();
    switchTo(desktop(1)); // the record is now 0.3 s away
    namer.stopObserving();
    sim.scheduler.advance(Seconds(1));
    EXPECT_FALSE(namer.lastAppPerSpace().contains(desktop(1)));

    auto other = std::make_unique<AutoNamer>(api, sim.workspace, sim.windowControl, sim.scheduler, sim.defaults);
    other->startObserving();
    switchTo(desktop(0));
    other.reset();
    openApp("Terminal", "bash");
    sim.scheduler.advance(Seconds(1)); // neither the delayed record nor the activation reaches it
}

} // namespace
} // namespace quorvel::test
