// Shared by the window-control and workspace tests: a private server, our connection, the client
// tracker and a poll loop, plus windows owned by the test process itself (so a test can watch an
// application before its window exists, and destroy a window without ending its process).
#pragma once

#include "CapturingLog.h"
#include "FrameNear.h"
#include "PollLoop.h"
#include "X11ClientTracker.h"
#include "X11Connection.h"
#include "XServer.h"

#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <xcb/xcb_icccm.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

namespace quorvel::x11test {

// Windows of the test process, on a connection of their own.
class OwnWindows {
public:
    explicit OwnWindows(const std::string& display) : m_c(xcb_connect(display.c_str(), nullptr)) {}
    ~OwnWindows() { xcb_disconnect(m_c); }
    OwnWindows(const OwnWindows&) = delete;
    OwnWindows& operator=(const OwnWindows&) = delete;

    xcb_window_t open(const std::string& title, int width = 400, int height = 300) {
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data;
        const xcb_window_t window = xcb_generate_id(m_c);
        xcb_create_window(m_c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, static_cast<std::uint16_t>(width),
                          static_cast<std::uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0,
                          nullptr);
        xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, window, intern("_NET_WM_NAME"), intern("UTF8_STRING"), 8,
                            static_cast<std::uint32_t>(title.size()), title.data());
        static const char wmClass[] = "quorvel-tests\0QuorvelTests";
        xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, sizeof wmClass,
                            wmClass);
        const auto pid = static_cast<std::uint32_t>(::getpid());
        xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, window, intern("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
        xcb_map_window(m_c, window);
        xcb_flush(m_c);
        return window;
    }

    // Openbox announces itself some 40 ms before it manages windows, and a window mapped in between
    // stays unmapped for good: map a probe until the window manager lists it, then remove it.
    bool awaitWindowManager() {
        const xcb_window_t probe = open("probe", 10, 10);
        bool listed = false;
        for (int attempt = 0; attempt < 20 && !listed; ++attempt) {
            listed = XServer::waitFor([&] { return isListed(probe); }, std::chrono::milliseconds(100));
            if (!listed) {
                xcb_unmap_window(m_c, probe);
                xcb_map_window(m_c, probe);
                xcb_flush(m_c);
            }
        }
        destroy(probe);
        return listed && XServer::waitFor([&] { return !isListed(probe); });
    }

    // Destroys the window and waits until the server has done so.
    void destroy(xcb_window_t window) {
        xcb_destroy_window(m_c, window);
        std::free(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr));
    }

private:
    bool isListed(xcb_window_t window) {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
        auto* reply = xcb_get_property_reply(
            m_c, xcb_get_property(m_c, 0, root, intern("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 0, 4096), nullptr);
        bool found = false;
        if (reply && reply->format == 32) {
            const auto* windows = static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
            const int count = xcb_get_property_value_length(reply) / 4;
            found = std::find(windows, windows + count, window) != windows + count;
        }
        std::free(reply);
        return found;
    }

    xcb_atom_t intern(const char* name) {
        auto* reply = xcb_intern_atom_reply(
            m_c, xcb_intern_atom(m_c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return atom;
    }

    xcb_connection_t* m_c;
};

class X11ClientFixture : public ::testing::Test {
protected:
    void SetUp() override {
        QUORVEL_NEED_X_SERVER();
        server = std::make_unique<XServer>();
        connection = x11::X11Connection::open(server->display(), log);
        ASSERT_TRUE(connection);
        loop.watch(connection->fileDescriptor(), [this] { connection->dispatch(); });
        own = std::make_unique<OwnWindows>(server->display());
        ASSERT_TRUE(own->awaitWindowManager());
        tracker = std::make_unique<x11::X11ClientTracker>(*connection, loop, log);
    }

    // Runs the loop until `condition` holds (bounded).
    bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(3)) {
        return loop.runUntil(condition, timeout);
    }
    bool managed(std::uint32_t window) {
        return waitFor([&] { return tracker->isManaged(window); });
    }

    sim::CapturingLog log;
    PollLoop loop;
    std::unique_ptr<XServer> server;
    std::unique_ptr<x11::X11Connection> connection;
    std::unique_ptr<x11::X11ClientTracker> tracker;
    std::unique_ptr<OwnWindows> own;
};

} // namespace quorvel::x11test
