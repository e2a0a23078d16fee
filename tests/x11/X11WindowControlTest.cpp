// Window control on a real server with Openbox: what the tiling engine reads (kind, resizability,
// the application's windows), frame writes landing on a tile, observers with their contexts,
// vanished windows and a missing window manager.
#include "X11ClientFixture.h"
#include "X11WindowControl.h"

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::x11test;
using x11::X11WindowControl;

namespace {

struct Heard {
    WindowEvent event;
    WindowId window;
    std::optional<std::uint64_t> context;
};

class X11WindowControlTest : public X11ClientFixture {
protected:
    void SetUp() override {
        X11ClientFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        control = std::make_unique<X11WindowControl>(*connection, *tracker, loop, log);
    }

    // An observer of `pid` that records what it hears.
    WindowObserverId listen(Pid pid) {
        const auto created = control->createObserver(
            pid, [this](WindowObserverId, WindowEvent event, WindowId window, std::optional<std::uint64_t> context) {
                heard.push_back({event, window, context});
            });
        EXPECT_TRUE(created.ok());
        return created.valueOr(0);
    }
    bool hears(WindowEvent event, WindowId window) {
        return waitFor([&] {
            for (const Heard& h : heard)
                if (h.event == event && h.window == window) return true;
            return false;
        });
    }
    // Runs everything already queued on the main queue (deliveries are queued when the event arrives).
    bool drained() {
        bool reached = false;
        loop.post([&] { reached = true; });
        return waitFor([&] { return reached; });
    }
    std::optional<std::uint64_t> contextOf(WindowEvent event) {
        for (const Heard& h : heard)
            if (h.event == event) return h.context;
        return std::nullopt;
    }

    std::unique_ptr<X11WindowControl> control;
    std::vector<Heard> heard;
};

} // namespace

TEST_F(X11WindowControlTest, OnlyNormalResizableWindowsLookTileable) {
    const ClientWindow normal = server->openWindow({.title = "Editor"});
    const ClientWindow dialog = server->openWindow({.title = "Save as", .type = ClientWindowOptions::Type::dialog});
    const ClientWindow fixed = server->openWindow({.title = "Calculator", .width = 240, .height = 320,
                                                   .type = ClientWindowOptions::Type::fixedSize});
    ASSERT_TRUE(managed(normal.window) && managed(dialog.window) && managed(fixed.window));

    EXPECT_EQ(control->kind(normal.window).valueOr(WindowKind::other), WindowKind::standard);
    EXPECT_EQ(control->kind(dialog.window).valueOr(WindowKind::other), WindowKind::dialog);
    EXPECT_EQ(control->kind(fixed.window).valueOr(WindowKind::other), WindowKind::standard);
    EXPECT_TRUE(control->canResize(normal.window).valueOr(false));
    EXPECT_FALSE(control->canResize(fixed.window).valueOr(true)) << "minimum size equals maximum size";
    const FrameWritten resized = control->setFrame(fixed.window, FrameChange{.size = Size{600, 600}});
    ASSERT_FALSE(resized.ok());
    EXPECT_EQ(resized.size.error(), WindowError::cannotComplete);
    EXPECT_TRUE(resized.origin.ok()) << "no position was asked for";
    EXPECT_EQ(control->title(normal.window).valueOr(""), "Editor");
    EXPECT_FALSE(control->isMinimised(normal.window).valueOr(true));
    EXPECT_FALSE(control->isFullScreen(normal.window).valueOr(true));

    // The application: its windows, its focus, and who owns a window.
    const auto windows = control->windows(normal.pid);
    ASSERT_TRUE(windows.ok());
    EXPECT_EQ(*windows, std::vector<WindowId>{normal.window});
    EXPECT_EQ(control->focusedWindow(normal.pid).valueOr(0), normal.window);
    EXPECT_EQ(control->owner(normal.window).valueOr(0), normal.pid);

    // Frame geometry is the outer frame, decoration included.
    EXPECT_TRUE(near(control->frame(normal.window).valueOr(Rect{}), server->frameGeometry(normal.window), 0));
}

TEST_F(X11WindowControlTest, AFrameWriteLandsOnTheTileEvenWhenMaximised) {
    const ClientWindow window = server->openWindow({.title = "Tile me"});
    ASSERT_TRUE(managed(window.window));

    const Rect tile{100, 120, 800, 500};
    EXPECT_TRUE(control->setFrame(window.window, tile).ok());
    EXPECT_TRUE(waitFor([&] { return near(server->frameGeometry(window.window), tile); }))
        << server->frameGeometry(window.window).description();
    EXPECT_TRUE(waitFor([&] { return near(control->frame(window.window).valueOr(Rect{}), tile); }))
        << "read back the same";

    // A size written alone keeps the frame's corner; a position alone keeps its size.
    EXPECT_TRUE(control->setFrame(window.window, FrameChange{.size = Size{640, 400}}).ok());
    EXPECT_TRUE(waitFor([&] { return near(server->frameGeometry(window.window), {100, 120, 640, 400}); }));
    EXPECT_TRUE(control->setFrame(window.window, FrameChange{.origin = Point{300, 40}}).ok());
    EXPECT_TRUE(waitFor([&] { return near(server->frameGeometry(window.window), {300, 40, 640, 400}); }));

    // The window manager ignores moves of a maximised window: the write un-maximises it first.
    const auto* ewmh = connection->ewmh();
    connection->sendRootMessage(window.window, ewmh->_NET_WM_STATE, 1, ewmh->_NET_WM_STATE_MAXIMIZED_VERT,
                                ewmh->_NET_WM_STATE_MAXIMIZED_HORZ, 2);
    ASSERT_TRUE(waitFor([&] { return server->frameGeometry(window.window).width >= 1900; }));
    const Rect other{960, 0, 960, 540};
    (void)control->setFrame(window.window, other);
    EXPECT_TRUE(waitFor([&] { return near(server->frameGeometry(window.window), other); }))
        << server->frameGeometry(window.window).description();
}

TEST_F(X11WindowControlTest, ObserversHearCreationFocusMinimisingAndDestructionWithTheirContexts) {
    const Pid self = static_cast<Pid>(::getpid());
    const WindowObserverId observer = listen(self);
    ASSERT_TRUE(control->watch(observer, WindowEvent::windowCreated, std::nullopt, std::nullopt).ok());
    ASSERT_TRUE(control->watch(observer, WindowEvent::focusedWindowChanged, std::nullopt, std::nullopt).ok());
    EXPECT_EQ(control->watch(observer, WindowEvent::windowCreated, std::nullopt, std::nullopt).error(),
              WindowError::alreadyWatching);

    const std::uint32_t first = own->open("first");
    ASSERT_TRUE(hears(WindowEvent::windowCreated, first));
    // Openbox may not focus a window mapped while it is still starting: ask for focus outright.
    EXPECT_TRUE(control->raise(first).ok());
    EXPECT_TRUE(hears(WindowEvent::focusedWindowChanged, first));
    for (const WindowEvent event : {WindowEvent::windowDestroyed, WindowEvent::minimised, WindowEvent::restored})
        ASSERT_TRUE(control->watch(observer, event, first, first).ok());

    const std::uint32_t second = own->open("second");
    ASSERT_TRUE(managed(second));
    (void)control->raise(second);
    ASSERT_TRUE(hears(WindowEvent::focusedWindowChanged, second));
    heard.clear();
    EXPECT_TRUE(control->raise(first).ok());
    EXPECT_TRUE(hears(WindowEvent::focusedWindowChanged, first));

    EXPECT_TRUE(control->setMinimised(first, true).ok());
    ASSERT_TRUE(hears(WindowEvent::minimised, first));
    EXPECT_EQ(contextOf(WindowEvent::minimised), first);
    EXPECT_TRUE(control->isMinimised(first).valueOr(false));
    EXPECT_TRUE(control->setMinimised(first, false).ok());
    ASSERT_TRUE(hears(WindowEvent::restored, first));
    EXPECT_EQ(contextOf(WindowEvent::restored), first);

    own->destroy(first);
    ASSERT_TRUE(hears(WindowEvent::windowDestroyed, first));
    EXPECT_EQ(contextOf(WindowEvent::windowDestroyed), first);
    EXPECT_EQ(control->kind(first).error(), WindowError::windowGone);
    EXPECT_EQ(control->watch(observer, WindowEvent::windowDestroyed, first, first).error(), WindowError::windowGone);
}

TEST_F(X11WindowControlTest, AnObserverHearsOnlyItsApplicationAndNothingOnceReleased) {
    const Pid self = static_cast<Pid>(::getpid());
    EXPECT_EQ(control->createObserver(999999, [](auto...) {}).error(), WindowError::windowGone)
        << "no windows and no such process";

    const WindowObserverId observer = listen(self);
    ASSERT_TRUE(control->watch(observer, WindowEvent::windowCreated, std::nullopt, std::nullopt).ok());
    const ClientWindow foreign = server->openWindow({.title = "another process"});
    ASSERT_TRUE(managed(foreign.window));
    ASSERT_TRUE(drained());
    EXPECT_TRUE(heard.empty());

    control->releaseObserver(observer);
    ASSERT_TRUE(managed(own->open("unheard")));
    ASSERT_TRUE(drained());
    EXPECT_TRUE(heard.empty());
    EXPECT_EQ(control->watch(observer, WindowEvent::windowCreated, std::nullopt, std::nullopt).error(),
              WindowError::observerGone);
}

TEST_F(X11WindowControlTest, AWindowDestroyedBetweenAReadAndAWriteIsRefusedAndLoggedOnce) {
    const std::uint32_t window = own->open("short-lived");
    ASSERT_TRUE(managed(window));
    ASSERT_TRUE(control->frame(window).ok());

    own->destroy(window); // our connection has not seen it go yet
    EXPECT_EQ(control->setFrame(window, FrameChange{.origin = Point{10, 10}}).origin.error(),
              WindowError::cannotComplete);
    EXPECT_EQ(control->setFrame(window, FrameChange{.size = Size{500, 400}}).size.error(),
              WindowError::cannotComplete);
    EXPECT_FALSE(control->setFrame(window, Rect{10, 10, 500, 400}).ok());
    EXPECT_EQ(log.count("is gone"), 1u);

    ASSERT_TRUE(waitFor([&] { return !tracker->isManaged(window); }));
    EXPECT_EQ(control->setFrame(window, FrameChange{.origin = Point{10, 10}}).origin.error(),
              WindowError::windowGone);
    EXPECT_EQ(control->owner(window).error(), WindowError::windowGone);
    EXPECT_EQ(log.count("is gone"), 1u);
    EXPECT_TRUE(connection->isAlive());
}

TEST_F(X11WindowControlTest, WithoutAWindowManagerEverythingIsRefused) {
    const ClientWindow window = server->openWindow({.title = "Editor"});
    ASSERT_TRUE(managed(window.window));
    EXPECT_TRUE(control->isAvailable()) << "Openbox announces EWMH support";

    control->setAvailabilityOverride(false);
    EXPECT_FALSE(control->isAvailable());
    EXPECT_FALSE(control->requestAccess()) << "there is nothing to ask for";
    EXPECT_EQ(control->kind(window.window).error(), WindowError::notPermitted);
    EXPECT_EQ(control->setFrame(window.window, Rect{0, 0, 100, 100}).origin.error(), WindowError::notPermitted);
    EXPECT_EQ(control->createObserver(window.pid, [](auto...) {}).error(), WindowError::notPermitted);
    EXPECT_EQ(control->windows(window.pid).error(), WindowError::notPermitted);

    control->setAvailabilityOverride(std::nullopt);
    EXPECT_EQ(control->kind(window.window).valueOr(WindowKind::other), WindowKind::standard);
}

TEST_F(X11WindowControlTest, WhatIsKeptOfAWindowIsReadAfreshOnceItsClientChangesIt) {
    const ClientWindow window = server->openWindow({.title = "Editor"});
    ASSERT_TRUE(managed(window.window));
    ASSERT_TRUE(control->isAvailable()); // asked again only after a second
    // Read when the window appeared: the questions of its adoption cost no round trip.
    const std::uint64_t before = connection->roundTrips();
    EXPECT_EQ(control->kind(window.window).valueOr(WindowKind::other), WindowKind::standard);
    EXPECT_TRUE(control->canResize(window.window).valueOr(false));
    EXPECT_FALSE(control->isFullScreen(window.window).valueOr(true));
    EXPECT_EQ(connection->roundTrips(), before);

    // Another client makes it a dialog. Once this connection has received the news (a round trip of
    // its own), undispatched, the answer is read afresh.
    xcb_connection_t* other = xcb_connect(server->display().c_str(), nullptr);
    const xcb_atom_t dialog = connection->ewmh()->_NET_WM_WINDOW_TYPE_DIALOG;
    xcb_change_property(other, XCB_PROP_MODE_REPLACE, window.window, connection->ewmh()->_NET_WM_WINDOW_TYPE,
                        XCB_ATOM_ATOM, 32, 1, &dialog);
    std::free(xcb_get_input_focus_reply(other, xcb_get_input_focus(other), nullptr));
    xcb_disconnect(other);
    connection->sync();
    EXPECT_EQ(control->kind(window.window).valueOr(WindowKind::other), WindowKind::dialog);

    // That read came after the change: dispatching the news does not make it stale again.
    const std::uint64_t reread = connection->roundTrips();
    ASSERT_TRUE(drained());
    EXPECT_EQ(control->kind(window.window).valueOr(WindowKind::other), WindowKind::dialog);
    EXPECT_EQ(connection->roundTrips(), reread);
}

TEST_F(X11WindowControlTest, NothingIsKeptOfADestroyedWindow) {
    const ClientWindow window = server->openWindow({.title = "Gone soon"});
    ASSERT_TRUE(managed(window.window));
    const auto named = connection->windowClass(window.window); // kept since the window appeared
    ASSERT_TRUE(named.has_value());
    EXPECT_FALSE(named->second.empty());
    server->close(window);
    // Its destruction received, not dispatched: the window's values are gone with it.
    connection->sync();
    EXPECT_FALSE(connection->windowClass(window.window).has_value());
    EXPECT_FALSE(connection->cardinal(window.window, connection->ewmh()->_NET_WM_DESKTOP).has_value());
}
