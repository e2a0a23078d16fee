// The window server on a real X server: desktops from Openbox, switching, moving windows between
// desktops, the window list's order, layers and filters, and the core's desktop model read through it.
#include "CapturingLog.h"
#include "MemoryDefaults.h"
#include "PollLoop.h"
#include "X11Connection.h"
#include "X11Screens.h"
#include "X11WindowServer.h"
#include "XServer.h"
#include "settings/Settings.h"
#include "spaces/SpaceManager.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>

#include <unistd.h>

using namespace std::chrono_literals;
using namespace quorvel;
using namespace quorvel::x11test;

namespace {

struct Session {
    Session() : connection(x11::X11Connection::open(server.display(), log)) {
        if (!connection) throw std::runtime_error("cannot connect to " + server.display());
        windowServer = std::make_unique<x11::X11WindowServer>(*connection, log);
    }

    std::optional<std::uint32_t> currentDesktop() {
        return connection->cardinal(connection->root(), connection->ewmh()->_NET_CURRENT_DESKTOP);
    }
    std::vector<WindowInfo> list(WindowFilter filter = WindowFilter::all) {
        auto answer = windowServer->windows(filter);
        EXPECT_TRUE(answer.ok());
        return answer.valueOr({});
    }
    std::vector<SpaceId> spacesOf(WindowId window) { return windowServer->desktopsOfWindow(window).valueOr({}); }
    SpaceId current() { return windowServer->currentDesktop().valueOr(0); }

    XServer server;
    sim::CapturingLog log;
    std::unique_ptr<x11::X11Connection> connection;
    std::unique_ptr<x11::X11WindowServer> windowServer;
};

std::vector<WindowId> numbers(const std::vector<WindowInfo>& list) {
    std::vector<WindowId> out;
    for (const WindowInfo& entry : list) out.push_back(entry.id);
    return out;
}

const WindowInfo* entryFor(const std::vector<WindowInfo>& list, WindowId window) {
    for (const WindowInfo& entry : list)
        if (entry.id == window) return &entry;
    return nullptr;
}

DesktopTable oneDisplay(std::optional<SpaceId> current) {
    return {{{"x11-monitor-screen", current, {{1}, {2}, {3}, {4}}}}};
}

} // namespace

TEST(X11WindowServerTest, DesktopTableCarriesEveryDesktopAndFollowsSwitches) {
    Session s;
    for (const auto hint : {DesktopHint::numberOfDesktops, DesktopHint::currentDesktop, DesktopHint::windowDesktop,
                            DesktopHint::clientList})
        EXPECT_TRUE(s.windowServer->announces(hint)) << hintName(hint);

    ASSERT_TRUE(s.windowServer->desktopTable().ok());
    EXPECT_EQ(*s.windowServer->desktopTable(), oneDisplay(1));
    EXPECT_EQ(s.current(), 1u);

    // Every change of the current desktop, as the window manager publishes it.
    PollLoop loop;
    loop.watch(s.connection->fileDescriptor(), [&] { s.connection->dispatch(); });
    std::vector<std::optional<std::uint32_t>> changes;
    s.connection->addListener([&](const xcb_generic_event_t& event) {
        const auto& property = reinterpret_cast<const xcb_property_notify_event_t&>(event);
        if ((event.response_type & 0x7f) == XCB_PROPERTY_NOTIFY &&
            property.atom == s.connection->ewmh()->_NET_CURRENT_DESKTOP)
            changes.push_back(s.currentDesktop());
    });

    // Someone else switches: desktop index 2 is our desktop 3.
    ASSERT_EQ(s.server.run("xdotool set_desktop 2"), 0);
    ASSERT_TRUE(loop.runUntil([&] { return !changes.empty() && changes.back() == 2u; }, 2000ms));
    EXPECT_EQ(s.current(), 3u);
    EXPECT_EQ(*s.windowServer->desktopTable(), oneDisplay(3));

    // We switch: only on the display the table names, and only to a desktop that exists. The window
    // manager handles requests in order, so a wrong one would show up before the right one.
    changes.clear();
    EXPECT_TRUE(s.windowServer->setCurrentDesktop("x11-monitor-elsewhere", 1).ok()) << "ignored, not an error";
    EXPECT_TRUE(s.windowServer->setCurrentDesktop("x11-monitor-screen", 9).ok());
    EXPECT_TRUE(s.windowServer->setCurrentDesktop("x11-monitor-screen", 4).ok());
    ASSERT_TRUE(loop.runUntil([&] { return !changes.empty() && changes.back() == 3u; }, 2000ms));
    EXPECT_EQ(changes.size(), 1u);
    EXPECT_EQ(s.current(), 4u);
}

TEST(X11WindowServerTest, WindowListIsFrontToBackWithOnlyNormalWindowsAtLayerZero) {
    Session s;
    const ClientWindow editor = s.server.openWindow({.title = "Notes", .width = 500, .height = 400});
    const ClientWindow browser = s.server.openWindow({.title = "Browser", .width = 600, .height = 300});
    const ClientWindow dialog = s.server.openWindow({.title = "Save?", .width = 300, .height = 120,
                                                     .type = ClientWindowOptions::Type::dialog});

    // Newest in front; then the user brings the editor forward and it leads the list.
    EXPECT_EQ(numbers(s.list()), (std::vector<WindowId>{dialog.window, browser.window, editor.window}));
    s.connection->sendRootMessage(editor.window, s.connection->ewmh()->_NET_ACTIVE_WINDOW, 2);
    const std::vector<WindowId> raised{editor.window, dialog.window, browser.window};
    ASSERT_TRUE(XServer::waitFor([&] { return numbers(s.list()) == raised; }));

    const auto list = s.list();
    const WindowInfo* entry = entryFor(list, editor.window);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->ownerPid, editor.pid);
    EXPECT_EQ(entry->ownerName, "QuorvelTestClient");
    EXPECT_EQ(entry->title, "Notes");
    EXPECT_EQ(entry->layer, 0);
    EXPECT_EQ(entry->frame, s.server.frameGeometry(editor.window)) << "the frame is the outer one, decoration included";
    EXPECT_EQ(entryFor(list, browser.window)->layer, 0);
    EXPECT_NE(entryFor(list, dialog.window)->layer, 0) << "a dialog is not an ordinary window";

    // A window that turns into a dock sits on the dock's layer and is a desktop element.
    const xcb_atom_t dock = s.connection->ewmh()->_NET_WM_WINDOW_TYPE_DOCK;
    xcb_change_property(s.connection->raw(), XCB_PROP_MODE_REPLACE, browser.window,
                        s.connection->ewmh()->_NET_WM_WINDOW_TYPE, XCB_ATOM_ATOM, 32, 1, &dock);
    s.connection->sync();
    EXPECT_EQ(entryFor(s.list(), browser.window)->layer, x11::layers::dock);
    EXPECT_FALSE(entryFor(s.list(WindowFilter::excludeDesktopElements), browser.window));
}

TEST(X11WindowServerTest, OnScreenListLeavesOutOtherDesktopsAndMinimisedWindows) {
    Session s;
    const ClientWindow here = s.server.openWindow({.title = "here"});
    const ClientWindow elsewhere = s.server.openWindow({.title = "elsewhere", .desktop = 1});
    const ClientWindow minimised = s.server.openWindow({.title = "minimised"});
    ASSERT_EQ(s.server.run("xdotool windowminimize " + std::to_string(minimised.window)), 0);
    ASSERT_TRUE(XServer::waitFor([&] { return s.list(WindowFilter::onScreenOnly).size() == 1; }));

    EXPECT_EQ(numbers(s.list(WindowFilter::onScreenOnly)), std::vector<WindowId>{here.window});
    EXPECT_EQ(s.list(WindowFilter::all).size(), 3u);
    EXPECT_EQ(s.list(WindowFilter::excludeDesktopElements).size(), 3u)
        << "windows on other desktops and minimised ones still exist";

    // Shown on every desktop, the other window is on screen too.
    s.connection->sendRootMessage(elsewhere.window, s.connection->ewmh()->_NET_WM_DESKTOP, 0xFFFFFFFF, 2);
    EXPECT_TRUE(XServer::waitFor([&] { return s.list(WindowFilter::onScreenOnly).size() == 2; }));
}

TEST(X11WindowServerTest, SpacesOfAWindowFollowMovesAndAGoneWindowHasNone) {
    Session s;
    const ClientWindow window = s.server.openWindow({.title = "mover"});
    EXPECT_EQ(s.spacesOf(window.window), std::vector<SpaceId>{1});

    EXPECT_TRUE(s.windowServer->moveWindowsToDesktop({window.window}, 3).ok());
    ASSERT_TRUE(XServer::waitFor([&] { return s.spacesOf(window.window) == std::vector<SpaceId>{3}; }));

    s.connection->sendRootMessage(window.window, s.connection->ewmh()->_NET_WM_DESKTOP, 0xFFFFFFFF, 2);
    ASSERT_TRUE(
        XServer::waitFor([&] { return s.spacesOf(window.window) == std::vector<SpaceId>{1, 2, 3, 4}; }));

    s.server.close(window);
    const auto gone = s.windowServer->desktopsOfWindow(window.window);
    ASSERT_TRUE(gone.ok()) << "a gone window is on no desktop, which is an answer";
    EXPECT_TRUE(gone->empty());
    EXPECT_TRUE(s.spacesOf(0x7FFFFF).empty()) << "a number that never was a window";
    EXPECT_TRUE(s.list().empty());
    EXPECT_TRUE(s.connection->isAlive());
}

TEST(X11WindowServerTest, SpaceManagerNumbersTheDesktopsAndDrawsTheMiniMaps) {
    Session s;
    PollLoop loop;
    x11::X11Screens screens(*s.connection, loop);
    WindowServerApi api(*s.windowServer, s.log);
    WindowSnapshotSource snapshots(api, loop, s.log);
    sim::MemoryDefaults defaults;
    Settings settings(defaults);
    SpaceManager spaces(api, screens, settings, snapshots);
    EXPECT_TRUE(api.hasRequiredHints());

    const ClientWindow window = s.server.openWindow({.title = "Report", .width = 900, .height = 500});
    ASSERT_EQ(s.server.run("xdotool set_desktop 1"), 0);
    ASSERT_TRUE(XServer::waitFor([&] { return s.currentDesktop() == 1u; }));

    const auto displays = spaces.getDisplays();
    ASSERT_EQ(displays.size(), 1u);
    EXPECT_EQ(displays[0].id, "x11-monitor-screen");
    EXPECT_TRUE(displays[0].isMain);
    EXPECT_EQ(displays[0].label, "screen");
    ASSERT_EQ(displays[0].spaces.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        const Space& space = displays[0].spaces[i];
        EXPECT_EQ(space.id, SpaceId(i + 1));
        EXPECT_EQ(space.index, i + 1);
        EXPECT_EQ(space.isCurrent, i == 1) << "desktop " << i + 1;
        EXPECT_EQ(space.displayID, "x11-monitor-screen");
    }

    // The mini-map of desktop 1 shows the window where it really is.
    const auto layouts = spaces.windowLayouts(displays);
    const Rect frame = s.server.frameGeometry(window.window);
    ASSERT_EQ(layouts.at(1).size(), 1u);
    const Rect shown = layouts.at(1).front();
    EXPECT_NEAR(shown.x, frame.x / 1920, 1e-9);
    EXPECT_NEAR(shown.y, frame.y / 1080, 1e-9);
    EXPECT_NEAR(shown.width, frame.width / 1920, 1e-9);
    EXPECT_NEAR(shown.height, frame.height / 1080, 1e-9);
    EXPECT_TRUE(layouts.at(2).empty());
}

TEST(X11WindowServerTest, TheFocusPassesOnlyToAWindowOfAnotherProcessPlacedOnTheDesktopShown) {
    Session s;
    xcb_connection_t* c = s.connection->raw();
    const ClientWindow here = s.server.openWindow({.title = "here"});
    // One of this process's own windows, managed like any other.
    const xcb_window_t ours = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, ours, s.connection->root(), 0, 0, 300, 200, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    const std::uint32_t self = static_cast<std::uint32_t>(::getpid());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, ours, s.connection->ewmh()->_NET_WM_PID, XCB_ATOM_CARDINAL, 32, 1,
                        &self);
    xcb_map_window(c, ours);
    s.connection->sync();
    ASSERT_TRUE(XServer::waitFor([&] { return entryFor(s.list(), ours) != nullptr; }));
    const ClientWindow unplaced = s.server.openWindow({.title = "unplaced"});
    const ClientWindow leaving = s.server.openWindow({.title = "leaving"});
    ASSERT_TRUE(XServer::waitFor([&] { return s.server.activeWindow() == leaving.window; }));

    // Above "here" but neither qualifies: one is ours, the other has lost its desktop.
    xcb_delete_property(c, unplaced.window, s.connection->ewmh()->_NET_WM_DESKTOP);
    s.connection->sync();
    EXPECT_EQ(s.windowServer->focusSuccessor(leaving.window), std::optional<WindowId>(here.window));
    s.windowServer->handFocusAwayFrom(leaving.window);
    EXPECT_TRUE(XServer::waitFor([&] { return s.server.activeWindow() == here.window; }));

    s.server.close(here);
    EXPECT_EQ(s.windowServer->focusSuccessor(leaving.window), std::nullopt);
}

TEST(X11WindowServerTest, GivingTheFocusToNoWindowLeavesItOnNone) {
    XServer server({.windowManager = false});
    sim::CapturingLog log;
    auto connection = x11::X11Connection::open(server.display(), log);
    ASSERT_TRUE(connection);
    x11::X11WindowServer windowServer(*connection, log);
    xcb_connection_t* c = connection->raw();
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, connection->root(), 0, 0, 300, 200, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_map_window(c, window);
    xcb_set_input_focus(c, XCB_INPUT_FOCUS_NONE, window, XCB_CURRENT_TIME);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, connection->root(), connection->ewmh()->_NET_ACTIVE_WINDOW,
                        XCB_ATOM_WINDOW, 32, 1, &window);
    connection->sync();

    windowServer.handFocusAwayFrom(window);
    const auto focus = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
    ASSERT_NE(focus, nullptr);
    EXPECT_EQ(focus->focus, XCB_NONE) << "not the window under the pointer";
    std::free(focus);
}

TEST(X11WindowServerTest, WithoutAnEWMHWindowManagerNothingIsAvailable) {
    Session s;
    // The window manager's check window no longer names itself: as after a crash of the window manager.
    const auto check =
        s.connection->cardinal(s.connection->root(), s.connection->ewmh()->_NET_SUPPORTING_WM_CHECK, XCB_ATOM_WINDOW);
    ASSERT_TRUE(check);
    xcb_delete_property(s.connection->raw(), *check, s.connection->ewmh()->_NET_SUPPORTING_WM_CHECK);
    s.connection->sync();

    x11::X11WindowServer withoutManager(*s.connection, s.log);
    EXPECT_FALSE(withoutManager.announces(DesktopHint::currentDesktop));
    EXPECT_EQ(withoutManager.currentDesktop().error(), ServerError::unsupported(DesktopHint::currentDesktop));
    EXPECT_EQ(withoutManager.windows(WindowFilter::all).error().what, "_NET_CLIENT_LIST");
    WindowServerApi api(withoutManager, s.log);
    EXPECT_FALSE(api.hasRequiredHints());
    s.log.clear();
    EXPECT_EQ(api.currentDesktop(), 0u);
    EXPECT_EQ(s.log.lines("privateapi"), std::vector<std::string>{"_NET_CURRENT_DESKTOP unavailable"});
}
