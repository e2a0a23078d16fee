// Latency probe on a real X server: with tiling on and animation off, a running application opens
// 50 windows one after the other (the four newest stay open, so tiles stay usable) and the probe
// reports the time from the window manager mapping a window's frame to that frame reaching its
// final tile (median and 95th percentile), the same for the first window of a newly launched
// application (which waits for the application to be attached), and the X requests one retile of
// four windows sends.
//   quorvel_x11_latency_probe [windows]
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

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    XServer server;
    X11Platform platform(server);
    x11::X11Connection& connection = *platform.connection;
    xcb_connection_t* c = connection.raw();

    // Frames are children of the root: their maps and configures arrive through SubstructureNotify.
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY |
                               XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, connection.root(), XCB_CW_EVENT_MASK, &mask);
    std::map<xcb_window_t, FrameEvents> frames;
    connection.addListener([&](const xcb_generic_event_t& event) {
        const auto now = Clock::now();
        switch (event.response_type & 0x7f) {
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

    // The time from the frame's map to its configure onto the window's tile; none when it never got there.
    auto measure = [&](std::uint32_t client) -> std::optional<double> {
        platform.loop.runFor(std::chrono::milliseconds(60)); // let the last configures arrive
        const double gap = static_cast<double>(platform.settings.tilingGap());
        const Rect area = platform.engine->view().frameForSpace(1);
        const FrameMap tiles = platform.engine->view().tree(1)->layout(area.insetBy(gap, gap), gap);
        const auto tile = tiles.find(client);
        const xcb_window_t frame = frameOf(c, client, connection.root());
        const auto events = frames.find(frame);
        if (tile == tiles.end() || events == frames.end() || events->second.mapped == Clock::time_point{})
            return std::nullopt;
        for (const auto& [when, rect] : events->second.configured) {
            if (std::abs(rect.x - tile->second.x) <= 1 && std::abs(rect.y - tile->second.y) <= 1 &&
                std::abs(rect.width - tile->second.width) <= 1 && std::abs(rect.height - tile->second.height) <= 1)
                return std::chrono::duration<double, std::milli>(when - events->second.mapped).count();
        }
        return std::nullopt;
    };

    ClientApp app = server.openApp({.title = "probe-0"});
    platform.waitFor([&] { return leaves() == 1; }, std::chrono::seconds(5));
    const auto firstOfApp = measure(app.first.window);

    std::vector<double> latencies;
    std::deque<std::uint32_t> open{app.first.window};
    int missed = 0;
    for (int i = 1; i <= count; ++i) {
        if (open.size() == 4) {
            server.closeWindow(app, open.front());
            open.pop_front();
            platform.waitFor([&] { return leaves() == open.size(); });
        }
        const ClientWindow window = server.openAnother(app, "probe-" + std::to_string(i));
        open.push_back(window.window);
        platform.waitFor([&] { return leaves() == open.size(); });
        if (const auto latency = measure(window.window)) latencies.push_back(*latency);
        else ++missed;
    }

    // Requests of one retile: the sequence numbers of two no-ops around it.
    platform.loop.runFor(std::chrono::milliseconds(100));
    const unsigned before = xcb_no_operation(c).sequence;
    platform.engine->retile(1, std::nullopt);
    const unsigned after = xcb_no_operation(c).sequence;
    xcb_flush(c);

    std::printf("windows opened by a running application: %d, measured: %zu, not measured: %d\n", count,
                latencies.size(), missed);
    std::printf("map to final tile: median %.2f ms, 95th percentile %.2f ms, max %.2f ms\n",
                percentile(latencies, 0.5), percentile(latencies, 0.95),
                latencies.empty() ? 0.0 : *std::max_element(latencies.begin(), latencies.end()));
    std::printf("X requests for one retile of %zu windows: %u\n", leaves(), after - before - 1);
    if (firstOfApp) std::printf("first window of a newly launched application: %.2f ms\n", *firstOfApp);
    else std::printf("first window of a newly launched application: did not reach its tile\n");
    return latencies.empty() ? 1 : 0;
}
