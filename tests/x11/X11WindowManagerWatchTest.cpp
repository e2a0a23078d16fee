// The window manager watch on a bare server, with a stand-in window manager on a connection of its
// own: an announcement in two steps, a check window that stops naming itself, and a restart whose
// check window has the old one's id.
#include "CapturingLog.h"
#include "PollLoop.h"
#include "X11WindowManagerWatch.h"
#include "XServer.h"

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace quorvel;
using namespace quorvel::x11test;
using namespace std::chrono_literals;

namespace {

// What a window manager does to announce itself, one request at a time.
class StandIn {
public:
    explicit StandIn(const std::string& display) : m_c(xcb_connect(display.c_str(), nullptr)) {
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
        const auto reply = xcb_intern_atom_reply(m_c, xcb_intern_atom(m_c, 0, 24, "_NET_SUPPORTING_WM_CHECK"), nullptr);
        m_check = reply->atom;
        std::free(reply);
    }
    ~StandIn() { xcb_disconnect(m_c); }
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    // With `id` 0 a new id; otherwise that one again (free once its window is destroyed).
    xcb_window_t create(xcb_window_t id = 0) {
        const xcb_window_t window = id ? id : xcb_generate_id(m_c);
        xcb_create_window(m_c, XCB_COPY_FROM_PARENT, window, m_root, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        return window;
    }
    void name(xcb_window_t on, xcb_window_t check) {
        xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, on, m_check, XCB_ATOM_WINDOW, 32, 1, &check);
        xcb_flush(m_c);
    }
    void rootNames(xcb_window_t check) { name(m_root, check); }
    void unname(xcb_window_t window) {
        xcb_delete_property(m_c, window, m_check);
        xcb_flush(m_c);
    }
    void destroy(xcb_window_t window) {
        xcb_destroy_window(m_c, window);
        xcb_flush(m_c);
    }
    // Waits until the server has handled every request so far.
    void sync() { std::free(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr)); }

private:
    xcb_connection_t* m_c;
    xcb_window_t m_root = 0;
    xcb_atom_t m_check = 0;
};

std::string said(const sim::CapturingLog& log) {
    std::string text;
    for (const std::string& line : log.lines()) text += line + "\n";
    return text;
}

} // namespace

TEST(X11WindowManagerWatchTest, AnnouncementsInTwoStepsLossesAndARestartWithTheSameCheckWindowAreEachHeard) {
    QUORVEL_NEED_X_SERVER();
    XServer server(XServer::Options{.windowManager = false});
    sim::CapturingLog log;
    auto connection = x11::X11Connection::open(server.display(), log);
    ASSERT_TRUE(connection);
    PollLoop loop;
    loop.watch(connection->fileDescriptor(), [&] { connection->dispatch(); });
    x11::X11WindowManagerWatch watch(*connection, loop, log);
    std::vector<bool> reports;
    watch.onChanged = [&](bool present) { reports.push_back(present); };
    const auto reported = [&](std::vector<bool> expected) {
        return loop.runUntil([&] { return reports == expected; }, 3s);
    };
    // Everything the stand-in did has reached our connection and been handled.
    StandIn wm(server.display());
    const auto handled = [&] {
        wm.sync();
        connection->sync();
        connection->dispatch();
    };

    // The root names the check window before the check window names itself.
    const xcb_window_t check = wm.create();
    wm.rootNames(check);
    handled();
    EXPECT_TRUE(reports.empty()) << "not announced until the check window names itself";
    wm.name(check, check);
    ASSERT_TRUE(reported({true})) << said(log);
    EXPECT_TRUE(watch.present());

    // The check window stops naming itself: the connection's kept value follows.
    wm.unname(check);
    handled();
    EXPECT_FALSE(connection->hasEWMHWindowManager());
    ASSERT_TRUE(reported({true, false})) << said(log);
    wm.name(check, check);
    ASSERT_TRUE(reported({true, false, true})) << said(log);

    // A restart whose check window has the old id, all done before we hear of the old one's end.
    wm.destroy(check);
    wm.create(check);
    wm.name(check, check);
    wm.rootNames(check);
    ASSERT_TRUE(reported({true, false, true, true})) << said(log);

    // Its crash is heard too.
    wm.destroy(check);
    EXPECT_TRUE(reported({true, false, true, true, false})) << said(log);
    EXPECT_FALSE(watch.present());
}
