// Latency probe on a real X server: with tiling on and animation off, a running application opens
// 50 windows one after the other, and 30 new processes each open one window (the four newest
// windows stay open, so tiles stay usable). For each window it reports the time from the client
// window's creation to its frame reaching the final tile (median and 95th percentile), and beside it
// the window manager's own time from the creation to mapping the frame (the floor no tiler can
// beat), with the ratio of the 95th percentiles. A second connection on a thread of its own stamps
// the events as they arrive, and the probe's loop keeps running while a window opens. Then the X
// requests and round trips of one retile of four windows, with every window already on its tile
// and with every window moving.
//   quorvel_x11_latency_probe [windows] [launches]
#include "X11Platform.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

extern char** environ;

using namespace quorvel;
using namespace quorvel::x11test;
using Clock = std::chrono::steady_clock;

namespace {

// What the watcher saw of one window (a client window or a frame), stamped on arrival. XIDs are
// reused by later processes: a creation starts the record afresh.
struct WindowEvents {
    Clock::time_point created{};
    Clock::time_point mapped{};
    std::vector<std::pair<Clock::time_point, Rect>> configured;
    std::vector<Clock::time_point> written; // our _NET_MOVERESIZE_WINDOW messages for the client window
};

// A connection of its own on a thread of its own, listening to the root's substructure: creations,
// maps and configures of top-level windows, stamped as they arrive.
class Watcher {
public:
    explicit Watcher(const std::string& display) : m_c(xcb_connect(display.c_str(), nullptr)) {
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
        auto* atom = xcb_intern_atom_reply(m_c, xcb_intern_atom(m_c, 0, 22, "_NET_MOVERESIZE_WINDOW"), nullptr);
        m_moveResize = atom ? atom->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(atom);
        const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        std::free(xcb_request_check(m_c, xcb_change_window_attributes_checked(m_c, m_root, XCB_CW_EVENT_MASK, &mask)));
        m_thread = std::thread([this] { run(); });
    }
    ~Watcher() {
        m_stop = true;
        m_thread.join();
        xcb_disconnect(m_c);
    }
    std::optional<WindowEvents> events(xcb_window_t window) {
        const std::lock_guard lock(m_mutex);
        const auto it = m_windows.find(window);
        if (it == m_windows.end()) return std::nullopt;
        return it->second;
    }

private:
    void run() {
        while (!m_stop) {
            pollfd fd{xcb_get_file_descriptor(m_c), POLLIN, 0};
            ::poll(&fd, 1, 20);
            while (xcb_generic_event_t* event = xcb_poll_for_event(m_c)) {
                record(*event, Clock::now());
                std::free(event);
            }
            if (xcb_connection_has_error(m_c)) return;
        }
    }
    void record(const xcb_generic_event_t& event, Clock::time_point now) {
        const std::lock_guard lock(m_mutex);
        switch (event.response_type & 0x7f) {
        case XCB_CREATE_NOTIFY: {
            const auto& create = reinterpret_cast<const xcb_create_notify_event_t&>(event);
            if (create.parent == m_root) m_windows[create.window] = WindowEvents{now, {}, {}, {}};
            break;
        }
        case XCB_MAP_NOTIFY: {
            const auto& map = reinterpret_cast<const xcb_map_notify_event_t&>(event);
            if (map.event == m_root) m_windows[map.window].mapped = now;
            break;
        }
        case XCB_CONFIGURE_NOTIFY: {
            const auto& configure = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
            if (configure.event == m_root)
                m_windows[configure.window].configured.push_back(
                    {now, Rect{double(configure.x), double(configure.y), double(configure.width),
                               double(configure.height)}});
            break;
        }
        case XCB_CLIENT_MESSAGE: {
            // Frame writes are sent to the root for the window manager; a substructure listener hears them.
            const auto& message = reinterpret_cast<const xcb_client_message_event_t&>(event);
            if (message.type == m_moveResize) m_windows[message.window].written.push_back(now);
            break;
        }
        default: break;
        }
    }

    xcb_connection_t* m_c;
    xcb_window_t m_root = 0;
    xcb_atom_t m_moveResize = XCB_ATOM_NONE;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::map<xcb_window_t, WindowEvents> m_windows;
    std::thread m_thread;
};

// Starts a test-client process with one window, without waiting for it.
pid_t launchClient(const std::string& display, const std::string& title) {
    const std::string displayVariable = "DISPLAY=" + display;
    std::vector<std::string> environment{displayVariable};
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "DISPLAY=", 8) != 0) environment.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = QUORVEL_TEST_CLIENT, titleFlag = "--title", titleValue = title;
    char* argv[] = {program.data(), titleFlag.data(), titleValue.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return failed ? 0 : pid;
}

// Times of one series, in milliseconds.
struct Series {
    std::vector<double> roundTrips; // the engine connection's round trips while the window was tiled
    std::vector<double> toTile;  // client window created → frame on its final tile
    std::vector<double> managed; // client window created → frame mapped by the window manager
    std::vector<double> toWrite;   // client window created → our first frame write
    std::vector<double> mappedToWrite; // frame mapped by the window manager → our first frame write
    std::vector<double> writeToTile; // our last frame write before the landing → frame on its final tile
    int missed = 0;
};

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const double rank = p * static_cast<double>(values.size() - 1);
    const auto low = static_cast<std::size_t>(std::floor(rank));
    const auto high = static_cast<std::size_t>(std::ceil(rank));
    return values[low] + (values[high] - values[low]) * (rank - static_cast<double>(low));
}

xcb_window_t frameOf(xcb_connection_t* c, xcb_window_t window, xcb_window_t root) {
    xcb_window_t current = window;
    for (;;) {
        auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, current), nullptr);
        if (!tree) return current;
        const xcb_window_t parent = tree->parent;
        std::free(tree);
        if (parent == root || parent == XCB_WINDOW_NONE) return current;
        current = parent;
    }
}

void printSeries(const char* name, int count, const Series& series, double floor95) {
    std::printf("%s: %d, measured: %zu, not measured: %d\n", name, count, series.toTile.size(), series.missed);
    std::printf("  created to final tile: median %.2f ms, 95th percentile %.2f ms, max %.2f ms\n",
                percentile(series.toTile, 0.5), percentile(series.toTile, 0.95),
                series.toTile.empty() ? 0.0 : *std::max_element(series.toTile.begin(), series.toTile.end()));
    std::printf("  window manager's created to mapped: median %.2f ms, 95th percentile %.2f ms\n",
                percentile(series.managed, 0.5), percentile(series.managed, 0.95));
    std::printf("  created to our first frame write: median %.2f ms, 95th percentile %.2f ms\n",
                percentile(series.toWrite, 0.5), percentile(series.toWrite, 0.95));
    std::printf("  frame mapped to our first frame write: median %.2f ms, 95th percentile %.2f ms\n",
                percentile(series.mappedToWrite, 0.5), percentile(series.mappedToWrite, 0.95));
    std::printf("  our last frame write to the frame on its tile: median %.2f ms, 95th percentile %.2f ms\n",
                percentile(series.writeToTile, 0.5), percentile(series.writeToTile, 0.95));
    std::printf("  round trips of the engine's connection from the window's appearance to its tile: median %.0f\n",
                percentile(series.roundTrips, 0.5));
    std::printf("  95th percentile / window manager's 95th percentile (both series): %.2f\n",
                floor95 > 0 ? percentile(series.toTile, 0.95) / floor95 : 0.0);
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    const int launches = argc > 2 ? std::max(1, std::atoi(argv[2])) : 30;
    XServer server;
    X11Platform platform(server);
    x11::X11Connection& connection = *platform.connection;
    xcb_connection_t* c = connection.raw();
    Watcher watcher(server.display());

    platform.defaults.set(Settings::tilingEnabledKey, true);
    platform.engine->start();
    if (!platform.engine->isRunning()) {
        std::fprintf(stderr, "tiling did not start\n");
        return 1;
    }
    auto leafSet = [&] {
        const BSPTree* tree = platform.engine->view().tree(1);
        std::set<WindowId> set;
        if (tree)
            for (const WindowId id : tree->leaves()) set.insert(id);
        return set;
    };
    auto leaves = [&] { return leafSet().size(); };
    using Ms = std::chrono::duration<double, std::milli>;

    // Adds the window's two times to the series: from its creation to the configure of its frame
    // onto its tile, and to the map of its frame.
    auto measure = [&](std::uint32_t client, Series& series) {
        platform.loop.runFor(std::chrono::milliseconds(60)); // let the last configures arrive
        const double gap = static_cast<double>(platform.settings.tilingGap());
        const Rect area = platform.engine->view().frameForSpace(1);
        const FrameMap tiles = platform.engine->view().tree(1)->layout(area.insetBy(gap, gap), gap);
        const auto tile = tiles.find(client);
        const auto born = watcher.events(client);
        const auto frame = watcher.events(frameOf(c, client, connection.root()));
        if (tile == tiles.end() || !born || !frame || born->created == Clock::time_point{} ||
            frame->mapped == Clock::time_point{}) {
            ++series.missed;
            return;
        }
        for (const auto& [when, rect] : frame->configured) {
            if (std::abs(rect.x - tile->second.x) <= 1 && std::abs(rect.y - tile->second.y) <= 1 &&
                std::abs(rect.width - tile->second.width) <= 1 && std::abs(rect.height - tile->second.height) <= 1) {
                series.toTile.push_back(Ms(when - born->created).count());
                series.managed.push_back(Ms(frame->mapped - born->created).count());
                if (!born->written.empty()) {
                    series.toWrite.push_back(Ms(born->written.front() - born->created).count());
                    series.mappedToWrite.push_back(Ms(born->written.front() - frame->mapped).count());
                    Clock::time_point last = born->written.front();
                    for (const Clock::time_point written : born->written)
                        if (written <= when) last = written;
                    series.writeToTile.push_back(Ms(when - last).count());
                }
                return;
            }
        }
        ++series.missed;
    };
    // Runs the loop until a window joins the tree; answers it (0 when none did in time).
    auto waitForNewLeaf = [&](const std::set<WindowId>& before) -> WindowId {
        WindowId found = 0;
        platform.waitFor(
            [&] {
                for (const WindowId id : leafSet())
                    if (!before.contains(id)) found = id;
                return found != 0;
            },
            std::chrono::seconds(5));
        return found;
    };

    // A running application: one process, a window after the other; the probe's loop runs while
    // the window opens.
    Series running;
    ClientApp app = server.openApp({.title = "probe-0"});
    platform.waitFor([&] { return leaves() == 1; }, std::chrono::seconds(5));
    std::deque<std::uint32_t> open{app.first.window};
    for (int i = 1; i <= count; ++i) {
        if (open.size() == 4) {
            server.closeWindow(app, open.front());
            open.pop_front();
            platform.waitFor([&] { return leaves() == open.size(); });
        }
        const std::string command = "open probe-" + std::to_string(i) + " 400 300\n";
        const auto before = leafSet();
        const std::uint64_t roundTripsBefore = connection.roundTrips();
        if (::write(app.commands, command.data(), command.size()) != static_cast<ssize_t>(command.size())) break;
        const WindowId window = waitForNewLeaf(before);
        running.roundTrips.push_back(double(connection.roundTrips() - roundTripsBefore));
        char line[32];
        for (std::size_t n = 0; n + 1 < sizeof line && ::read(app.replies, line + n, 1) == 1 && line[n] != '\n'; ++n) {
        } // the client's answer (the window's XID), already known from the tree
        if (window == 0) {
            ++running.missed;
            continue;
        }
        open.push_back(window);
        measure(window, running);
    }

    // Newly launched applications: a process for each window.
    Series fresh;
    std::deque<std::pair<pid_t, WindowId>> processes;
    for (int i = 1; i <= launches; ++i) {
        if (open.size() + processes.size() == 4) {
            if (!open.empty()) {
                server.closeWindow(app, open.front());
                open.pop_front();
            } else {
                ::kill(processes.front().first, SIGTERM);
                ::waitpid(processes.front().first, nullptr, 0);
                processes.pop_front();
            }
            platform.waitFor([&] { return leaves() == open.size() + processes.size(); });
        }
        const auto before = leafSet();
        const std::uint64_t roundTripsBefore = connection.roundTrips();
        const pid_t pid = launchClient(server.display(), "launch-" + std::to_string(i));
        const WindowId window = pid ? waitForNewLeaf(before) : 0;
        fresh.roundTrips.push_back(double(connection.roundTrips() - roundTripsBefore));
        if (window == 0) {
            ++fresh.missed;
            continue;
        }
        processes.emplace_back(pid, window);
        measure(window, fresh);
    }

    // One retile of the four windows, counted on the engine's connection: with every window on its
    // tile, then with every window moving (a wider gap).
    platform.loop.runFor(std::chrono::milliseconds(600)); // landed checks and reconciles are over
    auto countRetile = [&] {
        const std::uint64_t requestsBefore = connection.requestsSent();
        const std::uint64_t roundTripsBefore = connection.roundTrips();
        platform.engine->retile(1, std::nullopt);
        const std::uint64_t requests = connection.requestsSent() - requestsBefore - 1; // not the counting no-op
        const std::uint64_t roundTrips = connection.roundTrips() - roundTripsBefore;
        xcb_flush(c);
        return std::pair{requests, roundTrips};
    };
    const auto [inPlaceRequests, inPlaceRoundTrips] = countRetile();
    platform.defaults.set(Settings::tilingGapKey, 24);
    const auto [movingRequests, movingRoundTrips] = countRetile();

    std::vector<double> everyManaged = running.managed;
    everyManaged.insert(everyManaged.end(), fresh.managed.begin(), fresh.managed.end());
    const double floor95 = percentile(everyManaged, 0.95);
    printSeries("windows opened by a running application", count, running, floor95);
    printSeries("windows opened by newly launched applications", launches, fresh, floor95);
    std::printf("window manager's created to mapped over both series: 95th percentile %.2f ms\n", floor95);
    std::printf("one retile of %zu windows, all on their tiles: %llu X requests, %llu round trips\n", leaves(),
                static_cast<unsigned long long>(inPlaceRequests), static_cast<unsigned long long>(inPlaceRoundTrips));
    std::printf("one retile of %zu windows, all moving: %llu X requests, %llu round trips\n", leaves(),
                static_cast<unsigned long long>(movingRequests), static_cast<unsigned long long>(movingRoundTrips));
    for (const auto& [pid, window] : processes) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
    return running.toTile.empty() || fresh.toTile.empty() ? 1 : 0;
}
