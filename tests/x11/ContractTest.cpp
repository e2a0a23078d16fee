// One contract per platform interface, run against the simulator and against the X11 backend on a
// real server: the simulator that the tiling tests trust is held to the real server's behaviour.
// A driver gives each platform the same user actions (open a window in another process, switch
// desktops, press keys) and the same way to wait for what should follow.
#include "SimPlatform.h"
#include "X11HotkeySystem.h"
#include "X11Platform.h"

#include <gtest/gtest.h>

#include <memory>

using namespace quorvel;
using namespace quorvel::x11test;
using namespace std::chrono_literals;

namespace {

class Driver {
public:
    virtual ~Driver() = default;
    virtual WindowServer& windowServer() = 0;
    virtual WindowControl& windowControl() = 0;
    virtual Workspace& workspace() = 0;
    virtual Screens& screens() = 0;
    virtual HotkeySystem& hotkeys() = 0;
    virtual Log& log() = 0;

    // A normal window of another application on the current desktop; returns its id and owner.
    virtual std::pair<WindowId, Pid> openWindow(const std::string& title) = 0;
    virtual void closeWindow(WindowId window) = 0;
    // The user switches desktops (0-based), outside our process.
    virtual void switchDesktop(int index) = 0;
    // The user sends the window to another desktop, or makes it full screen or ends that.
    virtual void sendToDesktop(WindowId window, int index) = 0;
    virtual void setFullScreen(WindowId window, bool fullScreen) = 0;
    // Another program takes a key combination before us.
    virtual void takeHotkey(std::uint32_t keyCode, std::uint32_t flags) = 0;
    // The user presses a combination.
    virtual void press(std::uint32_t keyCode, std::uint32_t flags) = 0;
    // The user moves the pointer to a point of the root, y down from its top-left.
    virtual void movePointer(int x, int y) = 0;
    // Runs the platform (events, posted tasks) until `condition` holds, within a bound.
    virtual bool waitFor(const std::function<bool()>& condition) = 0;
};

class SimDriver final : public Driver {
public:
    SimDriver() {
        sim.world.addDisplay({.uuid = "MAIN", .bounds = {0, 0, 1920, 1080}, .topInset = 0, .spaceCount = 4});
    }
    WindowServer& windowServer() override { return sim.windowServer; }
    WindowControl& windowControl() override { return sim.windowControl; }
    Workspace& workspace() override { return sim.workspace; }
    Screens& screens() override { return sim.screens; }
    HotkeySystem& hotkeys() override { return sim.hotkeys; }
    Log& log() override { return sim.log; }

    std::pair<WindowId, Pid> openWindow(const std::string& title) override {
        const Pid pid = sim.world.launchApp({.name = "QuorvelTestClient"});
        return {sim.world.openWindow(pid, {0, 0, 400, 300}, {.title = title}), pid};
    }
    void closeWindow(WindowId window) override {
        const Pid pid = sim.world.window(window)->pid;
        sim.world.closeWindow(window);
        sim.world.quitApp(pid);
    }
    void switchDesktop(int index) override { sim.world.switchToSpace(sim.world.displays()[0].spaces[std::size_t(index)].id); }
    void sendToDesktop(WindowId window, int index) override {
        sim.world.sendWindowToSpace(window, sim.world.displays()[0].spaces[std::size_t(index)].id);
    }
    void setFullScreen(WindowId window, bool fullScreen) override { sim.world.setFullScreen(window, fullScreen); }
    void takeHotkey(std::uint32_t keyCode, std::uint32_t flags) override { sim.world.takeHotkey(keyCode, flags); }
    void press(std::uint32_t keyCode, std::uint32_t flags) override { sim.hotkeys.press(keyCode, flags); }
    void movePointer(int x, int y) override { sim.world.pointer = {double(x), double(y)}; }
    bool waitFor(const std::function<bool()>& condition) override {
        for (int i = 0; i < 300 && !condition(); ++i) sim.scheduler.advance(10ms);
        return condition();
    }

    sim::SimPlatform sim;
};

class X11Driver final : public Driver {
public:
    X11Driver() : platform(server), hotkeySystem(*platform.connection, platform.loop, platform.log) {}
    WindowServer& windowServer() override { return *platform.windowServer; }
    WindowControl& windowControl() override { return *platform.windowControl; }
    Workspace& workspace() override { return *platform.workspace; }
    Screens& screens() override { return *platform.screens; }
    HotkeySystem& hotkeys() override { return hotkeySystem; }
    Log& log() override { return platform.log; }

    std::pair<WindowId, Pid> openWindow(const std::string& title) override {
        const ClientWindow window = server.openWindow({.title = title});
        windows[window.window] = window;
        return {window.window, window.pid};
    }
    void closeWindow(WindowId window) override { server.close(windows.at(window)); }
    void switchDesktop(int index) override { server.run("xdotool set_desktop " + std::to_string(index)); }
    void sendToDesktop(WindowId window, int index) override {
        server.run("xdotool set_desktop_for_window " + std::to_string(window) + " " + std::to_string(index));
    }
    void setFullScreen(WindowId window, bool fullScreen) override {
        const xcb_ewmh_connection_t& ewmh = *platform.connection->ewmh();
        platform.connection->sendRootMessage(window, ewmh._NET_WM_STATE, fullScreen ? 1 : 0,
                                             ewmh._NET_WM_STATE_FULLSCREEN, 0, 2);
    }
    void takeHotkey(std::uint32_t keyCode, std::uint32_t flags) override {
        // Another X client: a second connection of its own, registered through the same backend.
        other = x11::X11Connection::open(server.display(), platform.log);
        otherKeys = std::make_unique<x11::X11HotkeySystem>(*other, platform.loop, platform.log);
        HotkeyRef ref = 0;
        ASSERT_EQ(otherKeys->registerHotkey(keyCode, flags, {0x4f544852, 1}, ref), kHotkeyNoErr);
    }
    void press(std::uint32_t keyCode, std::uint32_t flags) override {
        std::string combo;
        if (flags & 0x1000) combo += "ctrl+";
        if (flags & 0x0800) combo += "alt+";
        if (flags & 0x0200) combo += "shift+";
        if (flags & 0x0100) combo += "super+";
        const std::map<std::uint32_t, std::string> keys = {{35, "p"}, {14, "e"}, {18, "1"}, {123, "Left"}};
        server.run("xdotool key " + combo + keys.at(keyCode));
    }
    void movePointer(int x, int y) override {
        server.run("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y));
    }
    bool waitFor(const std::function<bool()>& condition) override { return platform.waitFor(condition); }

    XServer server;
    X11Platform platform;
    x11::X11HotkeySystem hotkeySystem;
    std::map<WindowId, ClientWindow> windows;
    std::unique_ptr<x11::X11Connection> other;
    std::unique_ptr<x11::X11HotkeySystem> otherKeys;
};

using DriverFactory = std::function<std::unique_ptr<Driver>()>;

class ContractTest : public ::testing::TestWithParam<std::pair<std::string, DriverFactory>> {
protected:
    void SetUp() override {
        if (GetParam().first == "x11") QUORVEL_NEED_X_SERVER();
        driver = GetParam().second();
    }
    std::unique_ptr<Driver> driver;
    DesktopTable table() { return driver->windowServer().desktopTable().valueOr({}); }
    SpaceId spaceAt(int index) { return table().displays.at(0).desktops.at(std::size_t(index)).id; }
    SpaceId current() { return driver->windowServer().currentDesktop().valueOr(0); }
    std::optional<std::vector<SpaceId>> spacesOf(WindowId window) {
        auto answer = driver->windowServer().desktopsOfWindow(window);
        if (!answer) return std::nullopt;
        return *answer;
    }
    std::optional<WindowInfo> frontWindow() {
        for (const WindowInfo& w : driver->windowServer().windows(WindowFilter::onScreenOnly).valueOr({}))
            if (w.layer == 0) return w;
        return std::nullopt;
    }
};

} // namespace

TEST_P(ContractTest, WindowServerDescribesDesktopsAndFollowsSwitches) {
    for (const DesktopHint hint : WindowServerApi::kRequiredHints)
        EXPECT_TRUE(driver->windowServer().announces(hint)) << hintName(hint);
    const DesktopTable t = table();
    ASSERT_EQ(t.displays.size(), 1u);
    const DisplayDesktops& display = t.displays[0];
    ASSERT_FALSE(display.identifier.empty());
    ASSERT_EQ(display.desktops.size(), 4u);
    for (const Desktop& desktop : display.desktops) EXPECT_EQ(desktop.kind, DesktopKind::normal);
    EXPECT_EQ(display.currentDesktop, current());
    // The desktop table's display is the main screen's.
    EXPECT_EQ(driver->screens().displayUUID(driver->screens().mainDisplayId()), display.identifier);

    driver->switchDesktop(2);
    EXPECT_TRUE(driver->waitFor([&] { return current() == spaceAt(2); }));
    EXPECT_TRUE(driver->windowServer().setCurrentDesktop(display.identifier, spaceAt(0)).ok());
    EXPECT_TRUE(driver->waitFor([&] { return current() == spaceAt(0); }));
}

TEST_P(ContractTest, WindowServerListsWindowsFrontToBackWithTheirDesktops) {
    const auto [first, firstPid] = driver->openWindow("first");
    const auto [second, secondPid] = driver->openWindow("second");
    ASSERT_TRUE(driver->waitFor([&] { return frontWindow() && frontWindow()->id == second; }));
    const WindowInfo front = *frontWindow();
    EXPECT_EQ(front.title, "second");
    EXPECT_EQ(front.ownerPid, secondPid);
    EXPECT_TRUE(front.ownerName.has_value());
    EXPECT_GT(front.frame.width, 100);

    using Desktops = std::vector<SpaceId>;
    EXPECT_EQ(spacesOf(first), Desktops{spaceAt(0)});
    EXPECT_TRUE(driver->windowServer().moveWindowsToDesktop({first}, spaceAt(1)).ok());
    EXPECT_TRUE(driver->waitFor([&] { return spacesOf(first) == Desktops{spaceAt(1)}; }));

    driver->closeWindow(second);
    EXPECT_TRUE(driver->waitFor([&] { return spacesOf(second) == Desktops{}; }))
        << "a window that is gone is on no desktop";
}

TEST_P(ContractTest, WindowControlReadsAndMovesAWindowAndReportsItsEnd) {
    WindowControl& control = driver->windowControl();
    const auto [window, pid] = driver->openWindow("movable");
    ASSERT_TRUE(driver->waitFor([&, pid = pid] {
        const auto windows = control.windows(pid);
        return windows && !windows->empty();
    }));
    EXPECT_EQ(control.windows(pid)->front(), window);
    EXPECT_EQ(control.owner(window).valueOr(0), pid);
    EXPECT_EQ(control.kind(window).valueOr(WindowKind::other), WindowKind::standard);
    EXPECT_EQ(control.title(window).valueOr(""), "movable");
    EXPECT_TRUE(control.canResize(window).valueOr(false));
    EXPECT_FALSE(control.isMinimised(window).valueOr(true));

    const Rect target{100, 120, 640, 480};
    EXPECT_TRUE(control.setFrame(window, target).ok());
    EXPECT_TRUE(driver->waitFor([&] {
        const auto frame = control.frame(window);
        return frame && std::abs(frame->x - 100) <= 1 && std::abs(frame->y - 120) <= 1 &&
               std::abs(frame->width - 640) <= 1 && std::abs(frame->height - 480) <= 1;
    })) << "the frame lands on the rectangle within a pixel";

    std::vector<std::pair<WindowEvent, std::optional<std::uint64_t>>> heard;
    const auto observer = control.createObserver(
        pid, [&](WindowObserverId, WindowEvent event, WindowId, std::optional<std::uint64_t> context) {
            heard.emplace_back(event, context);
        });
    ASSERT_TRUE(observer.ok());
    EXPECT_TRUE(control.watch(*observer, WindowEvent::windowDestroyed, window, window).ok());
    const WindowStatus again = control.watch(*observer, WindowEvent::windowDestroyed, window, window);
    ASSERT_FALSE(again.ok());
    EXPECT_EQ(again.error(), WindowError::alreadyWatching);
    EXPECT_EQ(control.watch(*observer, WindowEvent::windowCreated, window, std::nullopt).error(),
              WindowError::unsupported)
        << "a window appearing is heard on its application";
    const auto [otherWindow, otherPid] = driver->openWindow("another application's window");
    ASSERT_TRUE(driver->waitFor([&, w = otherWindow] { return control.owner(w).ok(); }));
    EXPECT_EQ(control.watch(*observer, WindowEvent::windowDestroyed, otherWindow, otherWindow).error(),
              WindowError::windowGone)
        << "an observer watches its own application's windows only";
    driver->closeWindow(window);
    EXPECT_TRUE(driver->waitFor([&] { return !heard.empty(); }));
    ASSERT_FALSE(heard.empty());
    EXPECT_EQ(heard.front().first, WindowEvent::windowDestroyed);
    EXPECT_EQ(heard.front().second, window);
    const FrameWritten gone = control.setFrame(window, Rect{0, 0, 100, 100});
    EXPECT_FALSE(gone.ok()) << "a window that is gone refuses to move";
    EXPECT_EQ(gone.origin.error(), WindowError::windowGone);
    EXPECT_EQ(control.title(window).error(), WindowError::windowGone);
    control.releaseObserver(*observer);
}

TEST_P(ContractTest, WindowControlReportsAFrameChangeOfAWatchedWindowOurOwnWritesIncluded) {
    WindowControl& control = driver->windowControl();
    const auto [window, pid] = driver->openWindow("moved");
    ASSERT_TRUE(driver->waitFor([&, w = window] { return control.owner(w).ok(); }));
    std::vector<std::pair<WindowEvent, std::optional<std::uint64_t>>> heard;
    const auto observer = control.createObserver(
        pid, [&](WindowObserverId, WindowEvent event, WindowId, std::optional<std::uint64_t> context) {
            heard.emplace_back(event, context);
        });
    ASSERT_TRUE(observer.ok());
    ASSERT_TRUE(control.watch(*observer, WindowEvent::frameChanged, window, window).ok());
    EXPECT_TRUE(control.setFrame(window, Rect{300, 200, 500, 400}).ok());
    EXPECT_TRUE(driver->waitFor([&] { return !heard.empty(); }));
    for (const auto& [event, context] : heard) {
        EXPECT_EQ(event, WindowEvent::frameChanged);
        EXPECT_EQ(context, window);
    }
    control.releaseObserver(*observer);
}

TEST_P(ContractTest, WindowControlReadsTheFramesOfManyWindowsAtOnceAndLeavesTheGoneOnesOut) {
    WindowControl& control = driver->windowControl();
    const auto [first, firstPid] = driver->openWindow("first");
    const auto [second, secondPid] = driver->openWindow("second");
    ASSERT_TRUE(driver->waitFor([&, a = first, b = second] { return control.owner(a).ok() && control.owner(b).ok(); }));
    EXPECT_TRUE(control.setFrame(first, Rect{10, 20, 500, 400}).ok());
    EXPECT_TRUE(control.setFrame(second, Rect{600, 20, 300, 200}).ok());
    ASSERT_TRUE(driver->waitFor([&, b = second] {
        const auto frame = control.frame(b);
        return frame && std::abs(frame->x - 600) <= 1 && std::abs(frame->width - 300) <= 1;
    }));

    const auto read = control.frames({first, second, WindowId{0x7ffffff0}});
    ASSERT_EQ(read.size(), 2u) << "a window that does not exist is left out";
    EXPECT_EQ(read.at(first).frame, control.frame(first).valueOr({}));
    EXPECT_EQ(read.at(second).frame, control.frame(second).valueOr({}));
    EXPECT_EQ(read.at(first).sizeStep, (Size{0, 0})) << "any size will do";
    driver->closeWindow(first);
    ASSERT_TRUE(driver->waitFor([&, a = first] { return !control.owner(a).ok(); }));
    EXPECT_EQ(control.frames({first, second}).size(), 1u);
}

TEST_P(ContractTest, WindowControlReportsDesktopMovesAndFullScreenByTheUser) {
    WindowControl& control = driver->windowControl();
    const auto [window, pid] = driver->openWindow("moved about");
    ASSERT_TRUE(driver->waitFor([&, w = window] { return control.owner(w).ok(); }));
    std::vector<WindowEvent> heard;
    const auto observer = control.createObserver(
        pid, [&](WindowObserverId, WindowEvent event, WindowId, std::optional<std::uint64_t>) { heard.push_back(event); });
    ASSERT_TRUE(observer.ok());
    for (const WindowEvent event : {WindowEvent::desktopChanged, WindowEvent::fullScreenEntered,
                                    WindowEvent::fullScreenLeft})
        EXPECT_TRUE(control.watch(*observer, event, window, window).ok()) << eventName(event);

    driver->setFullScreen(window, true);
    ASSERT_TRUE(driver->waitFor([&] { return heard.size() == 1; }));
    EXPECT_EQ(heard.back(), WindowEvent::fullScreenEntered);
    EXPECT_TRUE(control.isFullScreen(window).valueOr(false));
    driver->setFullScreen(window, false);
    ASSERT_TRUE(driver->waitFor([&] { return heard.size() == 2; }));
    EXPECT_EQ(heard.back(), WindowEvent::fullScreenLeft);
    EXPECT_FALSE(control.isFullScreen(window).valueOr(true));

    driver->sendToDesktop(window, 2);
    ASSERT_TRUE(driver->waitFor([&] { return heard.size() == 3; }));
    EXPECT_EQ(heard.back(), WindowEvent::desktopChanged);
    const auto desktops = driver->windowServer().desktopsOfWindow(window);
    ASSERT_TRUE(desktops);
    EXPECT_EQ(*desktops, std::vector<SpaceId>{3});
    control.releaseObserver(*observer);
}

TEST_P(ContractTest, WorkspaceKnowsTheAppsAndHearsDesktopChanges) {
    Workspace& workspace = driver->workspace();
    int desktopChanges = 0;
    const ObserverToken token =
        workspace.addObserver(WorkspaceEvent::activeSpaceDidChange, [&](const auto&) { ++desktopChanges; });
    const auto [window, pid] = driver->openWindow("app window");
    ASSERT_TRUE(driver->waitFor([&, pid = pid] { return workspace.runningApplication(pid).has_value(); }));
    EXPECT_EQ(workspace.runningApplication(pid)->localizedName, "QuorvelTestClient");
    EXPECT_TRUE(driver->waitFor([&, pid = pid] {
        const auto front = workspace.frontmostApplication();
        return front && front->pid == pid;
    }));
    driver->switchDesktop(1);
    EXPECT_TRUE(driver->waitFor([&] { return desktopChanges > 0; }));
    workspace.removeObserver(token);
    (void)window;
}

TEST_P(ContractTest, ScreensDescribeThePrimaryScreenAndThePointerYDownFromTheTopLeft) {
    const auto screens = driver->screens().screens();
    ASSERT_FALSE(screens.empty());
    EXPECT_EQ(screens.front().frame, (Rect{0, 0, 1920, 1080}));
    EXPECT_EQ(driver->screens().displayBounds(screens.front().displayNumber), screens.front().frame);
    const Rect visible = screens.front().visibleFrame;
    EXPECT_TRUE(visible.width > 0 && visible.height > 0 && visible.x >= 0 && visible.y >= 0 &&
                visible.maxX() <= 1920 && visible.maxY() <= 1080);
    EXPECT_EQ(screens.front().displayNumber, driver->screens().mainDisplayId());

    driver->movePointer(300, 40); // near the top edge
    EXPECT_EQ(driver->screens().pointerLocation(), (Point{300, 40}));
}

TEST_P(ContractTest, HotkeysFireWhenPressedAndReportCombinationsTakenElsewhere) {
    HotkeySystem& keys = driver->hotkeys();
    std::vector<std::uint32_t> fired;
    HotkeyHandlerRef handler = 0;
    ASSERT_EQ(keys.installPressHandler([&](HotkeyId id, InputTime) { fired.push_back(id.id); }, handler), kHotkeyNoErr);
    HotkeyRef panel = 0;
    ASSERT_EQ(keys.registerHotkey(35, 0x1800, {0x5156484b, 1}, panel), kHotkeyNoErr);
    EXPECT_NE(panel, 0u);
    driver->press(35, 0x1800);
    EXPECT_TRUE(driver->waitFor([&] { return !fired.empty(); }));
    EXPECT_EQ(fired, std::vector<std::uint32_t>{1});

    driver->takeHotkey(14, 0x1800);
    HotkeyRef taken = 0;
    EXPECT_EQ(keys.registerHotkey(14, 0x1800, {0x5156484b, 2}, taken), kHotkeyExistsErr);
    EXPECT_EQ(taken, 0u);

    // A key still registered, pressed after the unregistered one, marks when the first press
    // would have been reported: presses arrive in order.
    HotkeyRef marker = 0;
    ASSERT_EQ(keys.registerHotkey(18, 0x1800, {0x5156484b, 101}, marker), kHotkeyNoErr);
    EXPECT_EQ(keys.unregisterHotkey(panel), kHotkeyNoErr);
    fired.clear();
    driver->press(35, 0x1800);
    driver->press(18, 0x1800);
    EXPECT_TRUE(driver->waitFor([&] { return !fired.empty(); }));
    EXPECT_EQ(fired, std::vector<std::uint32_t>{101}) << "an unregistered key no longer fires";
    keys.unregisterHotkey(marker);
    keys.removePressHandler(handler);
}

INSTANTIATE_TEST_SUITE_P(
    BothPlatforms, ContractTest,
    ::testing::Values(std::pair<std::string, DriverFactory>{"sim", [] { return std::make_unique<SimDriver>(); }},
                      std::pair<std::string, DriverFactory>{"x11", [] { return std::make_unique<X11Driver>(); }}),
    [](const auto& param) { return param.param.first; });
