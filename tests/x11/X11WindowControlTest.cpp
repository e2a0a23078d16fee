// Accessibility on a real server with Openbox: what the tiling engine reads (role, subrole,
// settable size, the application's windows), frame writes landing on a tile, observers with their
// refcons, vanished windows and revoked trust.
#include "X11Accessibility.h"
#include "X11ClientFixture.h"

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::x11test;
using x11::X11Accessibility;

namespace {

struct Heard {
    AXElement element;
    std::string notification;
    std::optional<std::uint64_t> refcon;
};

class X11AccessibilityTest : public X11ClientFixture {
protected:
    void SetUp() override {
        X11ClientFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ax = std::make_unique<X11Accessibility>(*connection, *tracker, loop, log);
    }

    std::string text(AXElement element, std::string_view attribute) {
        const auto result = ax->copyAttributeValue(element, attribute);
        const auto* value = std::get_if<std::string>(&result.value);
        return result.ok() && value ? *value : "<" + std::to_string(code(result.error)) + ">";
    }
    bool flag(AXElement element, std::string_view attribute) {
        const auto result = ax->copyAttributeValue(element, attribute);
        const auto* value = std::get_if<bool>(&result.value);
        return result.ok() && value && *value;
    }
    bool sizeSettable(AXElement element) {
        const auto result = ax->isAttributeSettable(element, ax::size);
        return result.ok() && result.value;
    }
    std::optional<Rect> frame(AXElement element) {
        const auto position = ax->copyAttributeValue(element, ax::position);
        const auto size = ax->copyAttributeValue(element, ax::size);
        const auto* p = std::get_if<Point>(&position.value);
        const auto* s = std::get_if<Size>(&size.value);
        if (!p || !s) return std::nullopt;
        return Rect{p->x, p->y, s->width, s->height};
    }
    // An observer of `pid` that records what it hears, scheduled.
    AXObserverId listen(Pid pid) {
        const auto created = ax->createObserver(
            pid, [this](AXObserverId, AXElement element, const std::string& notification,
                        std::optional<std::uint64_t> refcon) { heard.push_back({element, notification, refcon}); });
        EXPECT_TRUE(created.ok());
        ax->scheduleObserver(created.value);
        return created.value;
    }
    bool hears(std::string_view notification, AXElement element) {
        return waitFor([&] {
            for (const Heard& h : heard)
                if (h.notification == notification && h.element == element) return true;
            return false;
        });
    }
    // Runs everything already queued on the main queue (deliveries are queued when the event arrives).
    bool drained() {
        bool reached = false;
        loop.post([&] { reached = true; });
        return waitFor([&] { return reached; });
    }
    std::optional<std::uint64_t> refconOf(std::string_view notification) {
        for (const Heard& h : heard)
            if (h.notification == notification) return h.refcon;
        return std::nullopt;
    }

    std::unique_ptr<X11Accessibility> ax;
    std::vector<Heard> heard;
};

} // namespace

TEST_F(X11AccessibilityTest, OnlyNormalResizableWindowsLookTrackable) {
    const ClientWindow normal = server->openWindow({.title = "Editor"});
    const ClientWindow dialog = server->openWindow({.title = "Save as", .type = ClientWindowOptions::Type::dialog});
    const ClientWindow fixed = server->openWindow({.title = "Calculator", .width = 240, .height = 320,
                                                   .type = ClientWindowOptions::Type::fixedSize});
    ASSERT_TRUE(managed(normal.window) && managed(dialog.window) && managed(fixed.window));

    const AXElement editor = X11Accessibility::windowElement(normal.window);
    const AXElement saveAs = X11Accessibility::windowElement(dialog.window);
    const AXElement calculator = X11Accessibility::windowElement(fixed.window);
    for (const AXElement element : {editor, saveAs, calculator}) EXPECT_EQ(text(element, ax::role), "AXWindow");
    EXPECT_EQ(text(editor, ax::subrole), "AXStandardWindow");
    EXPECT_EQ(text(saveAs, ax::subrole), "AXDialog");
    EXPECT_EQ(text(calculator, ax::subrole), "AXStandardWindow");
    EXPECT_TRUE(sizeSettable(editor));
    EXPECT_FALSE(sizeSettable(calculator)) << "minimum size equals maximum size";
    EXPECT_EQ(ax->setAttributeValue(calculator, ax::size, Size{600, 600}), AXError::cannotComplete);
    EXPECT_EQ(text(editor, ax::title), "Editor");
    EXPECT_FALSE(flag(editor, ax::minimized));
    EXPECT_FALSE(flag(editor, ax::fullScreen));

    // The application: its windows, focus, name, and never hidden.
    const AXElement app = ax->applicationElement(normal.pid);
    const auto windows = ax->copyAttributeValue(app, ax::windows);
    ASSERT_TRUE(windows.ok());
    EXPECT_EQ(std::get<std::vector<AXElement>>(windows.value), std::vector<AXElement>{editor});
    const auto focused = ax->copyAttributeValue(app, ax::focusedWindow);
    ASSERT_TRUE(focused.ok());
    EXPECT_EQ(std::get<AXElement>(focused.value), editor);
    EXPECT_EQ(text(app, ax::title), "QuorvelTestClient");
    EXPECT_FALSE(flag(app, ax::hidden));
    EXPECT_TRUE(ax->copyAttributeValue(app, ax::hidden).ok());
    EXPECT_EQ(ax->pid(editor).value, normal.pid);
    EXPECT_EQ(ax->windowId(editor), normal.window);

    // Frame geometry is the outer frame, decoration included.
    EXPECT_TRUE(near(frame(editor).value_or(Rect{}), server->frameGeometry(normal.window), 0));
}

TEST_F(X11AccessibilityTest, PositionThenSizeLandsTheFrameOnTheTileEvenWhenMaximised) {
    const ClientWindow window = server->openWindow({.title = "Tile me"});
    ASSERT_TRUE(managed(window.window));
    const AXElement element = X11Accessibility::windowElement(window.window);

    const Rect tile{100, 120, 800, 500};
    EXPECT_EQ(ax->setAttributeValue(element, ax::position, tile.origin()), AXError::success);
    EXPECT_EQ(ax->setAttributeValue(element, ax::size, tile.size()), AXError::success);
    EXPECT_TRUE(waitFor([&] { return near(server->frameGeometry(window.window), tile); }))
        << server->frameGeometry(window.window).description();
    EXPECT_TRUE(waitFor([&] { return near(frame(element).value_or(Rect{}), tile); })) << "read back the same";

    // A size written alone keeps the frame's corner; a position alone keeps its size.
    EXPECT_EQ(ax->setAttributeValue(element, ax::size, Size{640, 400}), AXError::success);
    EXPECT_TRUE(waitFor([&] { return near(server->frameGeometry(window.window), {100, 120, 640, 400}); }));
    EXPECT_EQ(ax->setAttributeValue(element, ax::position, Point{300, 40}), AXError::success);
    EXPECT_TRUE(waitFor([&] { return near(server->frameGeometry(window.window), {300, 40, 640, 400}); }));

    // The window manager ignores moves of a maximised window: the write un-maximises it first.
    const auto* ewmh = connection->ewmh();
    connection->sendRootMessage(window.window, ewmh->_NET_WM_STATE, 1, ewmh->_NET_WM_STATE_MAXIMIZED_VERT,
                                ewmh->_NET_WM_STATE_MAXIMIZED_HORZ, 2);
    ASSERT_TRUE(waitFor([&] { return server->frameGeometry(window.window).width >= 1900; }));
    const Rect other{960, 0, 960, 540};
    ax->setAttributeValue(element, ax::position, other.origin());
    ax->setAttributeValue(element, ax::size, other.size());
    EXPECT_TRUE(waitFor([&] { return near(server->frameGeometry(window.window), other); }))
        << server->frameGeometry(window.window).description();
}

TEST_F(X11AccessibilityTest, ObserversHearCreationFocusMinimisingAndDestructionWithTheirRefcons) {
    const Pid self = static_cast<Pid>(::getpid());
    const AXObserverId observer = listen(self);
    const AXElement app = ax->applicationElement(self);
    ASSERT_EQ(ax->addNotification(observer, app, ax::windowCreated, std::nullopt), AXError::success);
    ASSERT_EQ(ax->addNotification(observer, app, ax::focusedWindowChanged, std::nullopt), AXError::success);
    EXPECT_EQ(ax->addNotification(observer, app, ax::windowCreated, std::nullopt),
              AXError::notificationAlreadyRegistered);

    const std::uint32_t first = own->open("first");
    const AXElement firstElement = X11Accessibility::windowElement(first);
    ASSERT_TRUE(hears(ax::windowCreated, firstElement));
    // Openbox may not focus a window mapped while it is still starting: ask for focus outright.
    EXPECT_EQ(ax->performAction(firstElement, ax::raise), AXError::success);
    EXPECT_TRUE(hears(ax::focusedWindowChanged, firstElement));
    for (const auto notification : {ax::elementDestroyed, ax::windowMiniaturized, ax::windowDeminiaturized})
        ASSERT_EQ(ax->addNotification(observer, firstElement, notification, first), AXError::success);

    const std::uint32_t second = own->open("second");
    ASSERT_TRUE(managed(second));
    ax->performAction(X11Accessibility::windowElement(second), ax::raise);
    ASSERT_TRUE(hears(ax::focusedWindowChanged, X11Accessibility::windowElement(second)));
    heard.clear();
    EXPECT_EQ(ax->performAction(firstElement, ax::raise), AXError::success);
    EXPECT_TRUE(hears(ax::focusedWindowChanged, firstElement));

    EXPECT_EQ(ax->setAttributeValue(firstElement, ax::minimized, true), AXError::success);
    ASSERT_TRUE(hears(ax::windowMiniaturized, firstElement));
    EXPECT_EQ(refconOf(ax::windowMiniaturized), first);
    EXPECT_TRUE(flag(firstElement, ax::minimized));
    EXPECT_EQ(ax->setAttributeValue(firstElement, ax::minimized, false), AXError::success);
    ASSERT_TRUE(hears(ax::windowDeminiaturized, firstElement));
    EXPECT_EQ(refconOf(ax::windowDeminiaturized), first);

    own->destroy(first);
    ASSERT_TRUE(hears(ax::elementDestroyed, firstElement));
    EXPECT_EQ(refconOf(ax::elementDestroyed), first);
    EXPECT_EQ(ax->copyAttributeValue(firstElement, ax::role).error, AXError::invalidUIElement);
    EXPECT_EQ(ax->addNotification(observer, firstElement, ax::elementDestroyed, first), AXError::invalidUIElement);
}

TEST_F(X11AccessibilityTest, AnUnscheduledOrReleasedObserverHearsNothing) {
    const Pid self = static_cast<Pid>(::getpid());
    EXPECT_EQ(ax->createObserver(999999, [](auto...) {}).error, AXError::illegalArgument)
        << "no windows and no such process";

    const AXObserverId observer = listen(self);
    ax->addNotification(observer, ax->applicationElement(self), ax::windowCreated, std::nullopt);
    ax->unscheduleObserver(observer);
    const std::uint32_t quiet = own->open("unheard");
    ASSERT_TRUE(managed(quiet));
    ASSERT_TRUE(drained());
    EXPECT_TRUE(heard.empty());

    ax->scheduleObserver(observer);
    ax->releaseObserver(observer);
    ASSERT_TRUE(managed(own->open("also unheard")));
    ASSERT_TRUE(drained());
    EXPECT_TRUE(heard.empty());
    EXPECT_EQ(ax->addNotification(observer, ax->applicationElement(self), ax::windowCreated, std::nullopt),
              AXError::invalidUIElementObserver);
}

TEST_F(X11AccessibilityTest, AWindowDestroyedBetweenAReadAndAWriteIsRefusedAndLoggedOnce) {
    const std::uint32_t window = own->open("short-lived");
    ASSERT_TRUE(managed(window));
    const AXElement element = X11Accessibility::windowElement(window);
    ASSERT_TRUE(frame(element));

    own->destroy(window); // our connection has not seen it go yet
    EXPECT_EQ(ax->setAttributeValue(element, ax::position, Point{10, 10}), AXError::cannotComplete);
    EXPECT_EQ(ax->setAttributeValue(element, ax::size, Size{500, 400}), AXError::cannotComplete);
    EXPECT_EQ(ax->setAttributeValue(element, ax::position, Point{10, 10}), AXError::cannotComplete);
    EXPECT_EQ(log.count("is gone"), 1u);

    ASSERT_TRUE(waitFor([&] { return !tracker->isManaged(window); }));
    EXPECT_EQ(ax->setAttributeValue(element, ax::position, Point{10, 10}), AXError::invalidUIElement);
    EXPECT_EQ(ax->windowId(element), std::nullopt);
    EXPECT_EQ(log.count("is gone"), 1u);
    EXPECT_TRUE(connection->isAlive());
}

TEST_F(X11AccessibilityTest, RevokedTrustRefusesEverything) {
    const ClientWindow window = server->openWindow({.title = "Editor"});
    ASSERT_TRUE(managed(window.window));
    const AXElement element = X11Accessibility::windowElement(window.window);
    EXPECT_TRUE(ax->isProcessTrusted()) << "Openbox announces EWMH support";

    ax->setTrustOverride(false);
    EXPECT_FALSE(ax->isProcessTrusted());
    EXPECT_EQ(ax->copyAttributeValue(element, ax::role).error, AXError::apiDisabled);
    EXPECT_EQ(ax->setAttributeValue(element, ax::position, Point{0, 0}), AXError::apiDisabled);
    EXPECT_EQ(ax->createObserver(window.pid, [](auto...) {}).error, AXError::apiDisabled);
    EXPECT_EQ(ax->windowId(element), std::nullopt);

    ax->setTrustOverride(std::nullopt);
    EXPECT_EQ(text(element, ax::role), "AXWindow");
}
