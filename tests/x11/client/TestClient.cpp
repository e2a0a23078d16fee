// A tiny X client for the X11 tests: opens one window with the given title, size, type and desktop,
// prints its XID once the map request is sent, and keeps it open until the process is ended. Like a
// running application, it opens more windows when told on stdin ("open TITLE WIDTH HEIGHT") and
// closes one ("close XID"), printing each new XID.
//   quorvel-test-client --title T --width W --height H --type normal|dialog|fixed|desktop|dock [--desktop N]
//                       [--color RRGGBB]   (background, on a 24-bit TrueColor screen such as Xvfb's)
//                       [--min-width W --min-height H]   (a minimum size in WM_NORMAL_HINTS)
//                       [--shadow L,R,T,B] (_GTK_FRAME_EXTENTS: invisible margins, as client-side decorations)
//                       [--pid no|N]       (sets no _NET_WM_PID, or N instead of its own, as a sandbox does)
//                       [--class no]       (sets no WM_CLASS)
//                       [--state above|below|skip-taskbar] [--desktop all]
#include <xcb/xcb.h>
#include <xcb/xcb_icccm.h>

#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

xcb_atom_t intern(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

struct WindowOptions {
    std::string title = "test window";
    std::string type = "normal";
    int width = 400;
    int height = 300;
    int desktop = -1;
    long color = -1; // none: white
    int minWidth = 0; // 0: no minimum size
    int minHeight = 0;
    std::string shadow;
    bool pid = true;
    long pidValue = -1; // none: its own
    bool wmClass = true;
    std::string state;
    bool sticky = false;
};

xcb_window_t openWindow(xcb_connection_t* c, xcb_screen_t* screen, const WindowOptions& o) {
    const xcb_window_t window = xcb_generate_id(c);
    const std::uint32_t background = o.color >= 0 ? static_cast<std::uint32_t>(o.color) : screen->white_pixel;
    const std::uint32_t values[] = {background, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, static_cast<std::uint16_t>(o.width),
                      static_cast<std::uint16_t>(o.height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);

    const xcb_atom_t utf8 = intern(c, "UTF8_STRING");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<std::uint32_t>(o.title.size()), o.title.data());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, intern(c, "_NET_WM_NAME"), utf8, 8,
                        static_cast<std::uint32_t>(o.title.size()), o.title.data());
    static const char wmClass[] = "quorvel-test-client\0QuorvelTestClient";
    if (o.wmClass)
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, sizeof wmClass,
                            wmClass);
    const std::uint32_t pid = static_cast<std::uint32_t>(o.pidValue > 0 ? o.pidValue : getpid());
    if (o.pid)
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, intern(c, "_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
    std::uint32_t shadow[4] = {};
    if (!o.shadow.empty() &&
        std::sscanf(o.shadow.c_str(), "%u,%u,%u,%u", &shadow[0], &shadow[1], &shadow[2], &shadow[3]) == 4)
    {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, intern(c, "_GTK_FRAME_EXTENTS"), XCB_ATOM_CARDINAL, 32,
                            4, shadow);
        // Drawing its own decorations, the window asks the window manager for none (flags: decorations).
        const std::uint32_t motif[5] = {2, 0, 0, 0, 0};
        const xcb_atom_t hints = intern(c, "_MOTIF_WM_HINTS");
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, hints, hints, 32, 5, motif);
    }
    if (!o.state.empty()) {
        const std::string name = o.state == "skip-taskbar" ? "_NET_WM_STATE_SKIP_TASKBAR"
                                 : o.state == "below"      ? "_NET_WM_STATE_BELOW"
                                                           : "_NET_WM_STATE_ABOVE";
        const xcb_atom_t state = intern(c, name.c_str());
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, intern(c, "_NET_WM_STATE"), XCB_ATOM_ATOM, 32, 1, &state);
    }
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_STRING, 8,
                        static_cast<std::uint32_t>(std::strlen(host)), host);
    const xcb_atom_t windowType = intern(c, o.type == "dialog"    ? "_NET_WM_WINDOW_TYPE_DIALOG"
                                            : o.type == "desktop" ? "_NET_WM_WINDOW_TYPE_DESKTOP"
                                            : o.type == "dock"    ? "_NET_WM_WINDOW_TYPE_DOCK"
                                                                  : "_NET_WM_WINDOW_TYPE_NORMAL");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, intern(c, "_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1,
                        &windowType);
    xcb_size_hints_t hints{};
    if (o.type == "fixed") {
        xcb_icccm_size_hints_set_min_size(&hints, o.width, o.height);
        xcb_icccm_size_hints_set_max_size(&hints, o.width, o.height);
    }
    if (o.minWidth > 0 && o.minHeight > 0) xcb_icccm_size_hints_set_min_size(&hints, o.minWidth, o.minHeight);
    xcb_icccm_size_hints_set_size(&hints, 1, o.width, o.height);
    xcb_icccm_set_wm_normal_hints(c, window, &hints);
    if (o.desktop >= 0 || o.sticky) {
        const std::uint32_t value = o.sticky ? 0xFFFFFFFFu : static_cast<std::uint32_t>(o.desktop);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, intern(c, "_NET_WM_DESKTOP"), XCB_ATOM_CARDINAL, 32, 1,
                            &value);
    }
    xcb_map_window(c, window);
    xcb_flush(c);
    // The harness waits for the window manager to list the window; a window placed on a desktop not
    // shown is never mapped, so there is no MapNotify to wait for here.
    std::printf("%u\n", window);
    std::fflush(stdout);
    return window;
}

// One command from stdin: "open TITLE WIDTH HEIGHT" or "close XID".
void command(xcb_connection_t* c, xcb_screen_t* screen, const std::string& line) {
    char title[256] = {};
    int width = 0;
    int height = 0;
    unsigned window = 0;
    if (std::sscanf(line.c_str(), "open %255s %d %d", title, &width, &height) == 3) {
        WindowOptions more;
        more.title = title;
        more.width = width;
        more.height = height;
        openWindow(c, screen, more);
    } else if (std::sscanf(line.c_str(), "close %u", &window) == 1) {
        xcb_destroy_window(c, window);
        xcb_flush(c);
    }
}

} // namespace

int main(int argc, char** argv) {
    WindowOptions options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const std::string value = argv[i + 1];
        if (key == "--title") options.title = value;
        else if (key == "--type") options.type = value;
        else if (key == "--width") options.width = std::atoi(value.c_str());
        else if (key == "--height") options.height = std::atoi(value.c_str());
        else if (key == "--desktop" && value == "all") options.sticky = true;
        else if (key == "--desktop") options.desktop = std::atoi(value.c_str());
        else if (key == "--shadow") options.shadow = value;
        else if (key == "--pid" && value == "no") options.pid = false;
        else if (key == "--class" && value == "no") options.wmClass = false;
        else if (key == "--pid") options.pidValue = std::atol(value.c_str());
        else if (key == "--state") options.state = value;
        else if (key == "--color") options.color = std::strtol(value.c_str(), nullptr, 16);
        else if (key == "--min-width") options.minWidth = std::atoi(value.c_str());
        else if (key == "--min-height") options.minHeight = std::atoi(value.c_str());
    }

    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) return 2;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&it);
    xcb_screen_t* screen = it.data;
    openWindow(c, screen, options);

    std::string pending;
    bool stdinOpen = true;
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) std::free(event);
        if (xcb_connection_has_error(c)) return 0;
        pollfd fds[2] = {{xcb_get_file_descriptor(c), POLLIN, 0}, {stdinOpen ? 0 : -1, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents & (POLLIN | POLLHUP)) {
            char buffer[512];
            const ssize_t n = ::read(0, buffer, sizeof buffer);
            if (n <= 0) {
                stdinOpen = false;
                continue;
            }
            pending.append(buffer, static_cast<std::size_t>(n));
            for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1))
                command(c, screen, pending.substr(0, end));
        }
    }
}
