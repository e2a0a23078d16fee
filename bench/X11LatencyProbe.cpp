// Latency probe on a real X server: with tiling on and animation off, a running application opens
// 50 windows one after the other, and 30 new processes each open one window (the four newest
// windows stay open, so tiles stay usable). For each window it reports the time from the client
// window's creation to its frame reaching the final tile (median and 95th percentile), and beside it
// the window manager's own time from the creation to the frame being mapped (the floor no tiler can
// beat), with the ratio of the 95th percentiles. Then the X requests and round trips of one retile of
// four windows, with every window already on its tile and with every window moving.
//   quorvel_x11_latency_probe [windows] [launches]
#include "X11Platform.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <deque>
#include <map>
#include <vector>

using namespace quorvel;
using namespace quorvel::x11test;
using Clock = std::chrono::steady_clock;

namespace {

struct FrameEvents {
    Clock::time_point mapped{};
    std::vector<std::pair<Clock::time_point, Rect>> configured;
};

// Times of one series, in milliseconds.
struct Series {
    std::vector<double> toTile;  // client window created → frame on its final tile
    std::vector<double> managed; // client window created → frame mapped by the window manager
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

    // Frames and new client windows are children of the root: their creation, maps and configures
    // arrive through SubstructureNotify.
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY |
                               XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, connection.root(), XCB_CW_EVENT_MASK, &mask);
    std::map<xcb_window_t, FrameEvents> frames;
    std::map<xcb_window_t, Clock::time_point> created;
    connection.addListener([&](const xcb_generic_event_t& event) {
        const auto now = Clock::now();
        switch (event.response_type & 0x7f) {
        case XCB_CREATE_NOTIFY: {
            const auto& create = reinterpret_cast<const xcb_create_notify_event_t&>(event);
            if (create.parent == connection.root()) created.emplace(create.window, now);
            break;
        }
        case XCB_MAP_NOTIFY: {
            const auto& map = reinterpret_cast<const xcb_map_notify_event_t&>(event);
            if (map.event == connection.root()) frames[map.window].mapped = now;
            break;
        }
        case XCB_CONFIGURE_NOTIFY: {
            const auto& configure = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
            if (configure.event == connection.root())
                frames[configure.window].configured.push_back(
                    {now, Rect{double(configure.x), double(configure.y), double(configure.width),
                               double(configure.height)}});
            break;
        }
        default: break;
        }
    });

    platform.defaults.set(Settings::tilingEnabledKey, true);
    platform.engine->start();
    if (!platform.engine->isRunning()) {
        std::fprintf(stderr, "tiling did not start\n");
        return 1;
    }
    auto leaves = [&] {
        const BSPTree* tree = platform.engine->view().tree(1);
        return tree ? tree->leafCount() : std::size_t{0};
    };
    using Ms = std::chrono::duration<double, std::milli>;

    // Adds the window's two times to the series: from its creation to the configure of its frame
    // onto its tile, and to the map of its frame.
    auto measure = [&](std::uint32_t client, Series& series) {
        platform.loop.runFor(std::chrono::milliseconds(60)); // let the last configures arrive
        const double gap = static_cast<double>(platform.settings.tilingGap());
        const Rect area = platform.engine->view().frameForSpace(1);
        const FrameMap tiles = platform.engine->view().tree(1)->layout(area.insetBy(gap, gap), gap);
        const auto tile = tiles.find(client);
        const xcb_window_t frame = frameOf(c, client, connection.root());
        const auto events = frames.find(frame);
        const auto born = created.find(client);
        if (tile == tiles.end() || events == frames.end() || born == created.end() ||
            events->second.mapped == Clock::time_point{}) {
            ++series.missed;
            return;
        }
        for (const auto& [when, rect] : events->second.configured) {
            if (std::abs(rect.x - tile->second.x) <= 1 && std::abs(rect.y - tile->second.y) <= 1 &&
                std::abs(rect.width - tile->second.width) <= 1 && std::abs(rect.height - tile->second.height) <= 1) {
                series.toTile.push_back(Ms(when - born->second).count());
                series.managed.push_back(Ms(events->second.mapped - born->second).count());
                return;
            }
        }
        ++series.missed;
    };

    // A running application: one process, a window after the other.
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
        const ClientWindow window = server.openAnother(app, "probe-" + std::to_string(i));
        open.push_back(window.window);
        platform.waitFor([&] { return leaves() == open.size(); });
        measure(window.window, running);
    }

    // Newly launched applications: a process for each window.
    Series fresh;
    std::deque<ClientWindow> processes;
    for (int i = 1; i <= launches; ++i) {
        if (open.size() + processes.size() == 4) {
            if (!open.empty()) {
                server.closeWindow(app, open.front());
                open.pop_front();
            } else {
                server.close(processes.front());
                processes.pop_front();
            }
            platform.waitFor([&] { return leaves() == open.size() + processes.size(); });
        }
        const ClientWindow window = server.openWindow({.title = "launch-" + std::to_string(i)});
        processes.push_back(window);
        platform.waitFor([&] { return leaves() == open.size() + processes.size(); });
        measure(window.window, fresh);
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
    return running.toTile.empty() || fresh.toTile.empty() ? 1 : 0;
}
