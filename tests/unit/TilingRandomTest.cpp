// Thousands of random desktop events from a fixed seed, with the tiling invariants checked after
// every one: a window is in at most one tree, trees are well formed, and the tiles of a tree lie
// inside its monitor's usable area without overlapping and keep the gap. Every so often things
// settle, and then every window of the desktop looked at sits exactly on its tile and no window
// that may be tiled is left out. With two monitors, windows are also dragged across and the second
// monitor comes and goes. A failure is shrunk to a short list of events and printed, so it can be
// replayed by hand.
#include "TilingFixture.h"
#include "TreeChecks.h"

#include <cstdlib>
#include <iostream>
#include <random>
#include <sstream>

using namespace quorvel;
using namespace quorvel::test;

namespace {

enum class Kind {
    open, close, focus, moveToDesktop, minimize, restore, hide, unhide, fullScreen, swap, flip, spotlight,
    retile, tilingSwitch, spaceOverride, switchDesktop, revokeTrust, grantTrust, animation, wait, drag, monitor
};

constexpr const char* kKindNames[] = {"open", "close", "focus", "moveToDesktop", "minimize", "restore", "hide",
                                      "unhide", "fullScreen", "swap", "flip", "spotlight", "retile", "tilingSwitch",
                                      "spaceOverride", "switchDesktop", "revokeTrust", "grantTrust", "animation",
                                      "wait", "drag", "monitor"};

// One event; its numbers pick among what exists when it is played (so a shrunk list still replays).
struct Event {
    Kind kind;
    unsigned a = 0;
    unsigned b = 0;
};

std::string describe(const Event& e) {
    std::ostringstream out;
    out << kKindNames[static_cast<int>(e.kind)] << '(' << e.a << ", " << e.b << ')';
    return out.str();
}

constexpr std::size_t kMaxWindows = 10;
constexpr int kApps = 3;
constexpr int kDesktops = 4;
// Events between two settled checks.
constexpr std::size_t kSettleEvery = 50;
// The second monitor, right of the 1440×900 display, with a 30 px bar at its bottom.
constexpr Rect kSecondMonitor{1440, 0, 1280, 800};

// Plays events against a fresh simulated desktop and checks the invariants after each.
class Player : public TilingFixture {
public:
    explicit Player(bool twoMonitors) : m_twoMonitors(twoMonitors) {}
    void TestBody() override {}

    // The index of the first event after which an invariant failed, and what failed.
    std::optional<std::pair<std::size_t, std::string>> play(const std::vector<Event>& events) {
        SetUp();
        if (m_twoMonitors) m_second = world.addMonitor(0, kSecondMonitor, 0, 30);
        for (int i = 0; i < kApps; ++i) apps.push_back(world.launchApp({.name = "App " + std::to_string(i)}));
        engine.start();
        settle();
        for (std::size_t i = 0; i < events.size(); ++i) {
            apply(events[i]);
            settle(0.01s);
            if (auto problem = check(); !problem.empty()) return std::pair{i, problem};
            if ((i + 1) % kSettleEvery == 0) {
                settle(3s);
                if (auto problem = checkSettled(); !problem.empty()) return std::pair{i, "settled: " + problem};
            }
            if (engine.isRunning()) ++stepsRunning;
            for (const auto& [key, tree] : engine.view().treeMap()) {
                mostTiled = std::max(mostTiled, tree->leafCount());
                if (key.monitor != kHomeMonitor && tree->leafCount() > 0) ++stepsOnSecond;
            }
        }
        return std::nullopt;
    }

    // How much the run exercised: steps with the engine running, the largest tree seen, swaps made.
    std::size_t stepsRunning = 0;
    std::size_t mostTiled = 0;
    std::size_t swaps = 0;
    std::size_t stepsOnSecond = 0; // steps with a window tiled on the second monitor

private:
    std::vector<WindowId> windows(bool (*keep)(const sim::SimWindow&)) {
        std::vector<WindowId> out;
        for (const auto& [id, w] : world.windows())
            if (keep(w)) out.push_back(id);
        return out;
    }
    std::optional<WindowId> pick(unsigned k, bool (*keep)(const sim::SimWindow&)) {
        const auto list = windows(keep);
        if (list.empty()) return std::nullopt;
        return list[k % list.size()];
    }
    static bool any(const sim::SimWindow&) { return true; }
    static bool shown(const sim::SimWindow& w) { return !w.minimized; }
    static bool minimized(const sim::SimWindow& w) { return w.minimized; }

    void apply(const Event& e) {
        const Pid app = apps[e.a % apps.size()];
        switch (e.kind) {
        case Kind::open:
            if (world.windows().size() < kMaxWindows && !world.app(app)->info.isHidden) {
                const WindowId id = world.openWindow(app, {double(e.b % 200), 40, 500, 400}, {.focus = e.b % 5 != 0});
                // Nothing can be known of a window born while window control is refused.
                if (!world.trusted()) m_unseen.insert(id);
            }
            break;
        case Kind::close:
            if (const auto w = pick(e.b, any)) world.closeWindow(*w);
            break;
        case Kind::focus:
            if (const auto w = pick(e.b, shown)) world.focusWindow(*w);
            break;
        case Kind::moveToDesktop:
            if (const auto w = pick(e.b, any)) {
                world.moveWindowToSpace(*w, desktop(e.a % kDesktops));
                // The move itself is not announced: the window is seen at the next desktop switch.
                m_moved.insert(*w);
            }
            break;
        case Kind::minimize:
            if (const auto w = pick(e.b, shown)) world.minimizeWindow(*w);
            break;
        case Kind::restore:
            if (const auto w = pick(e.b, minimized)) world.unminimizeWindow(*w);
            break;
        case Kind::hide: world.hideApp(app); break;
        case Kind::unhide: world.unhideApp(app); break;
        case Kind::fullScreen:
            if (const auto w = pick(e.b, any)) world.setFullScreen(*w, !world.window(*w)->fullScreen);
            break;
        case Kind::swap: swaps += engine.swapFocusedWindow(static_cast<Direction>(e.b % 4)); break;
        case Kind::flip: engine.toggleSplitOfFocusedWindow(); break;
        case Kind::spotlight: engine.toggleSpotlight(); break;
        case Kind::retile: engine.retile(world.activeSpace(), std::nullopt); break;
        case Kind::tilingSwitch: {
            // As the coordinator does it: store the switch, then start, stop or re-sweep.
            const bool on = !settings.tilingEnabled();
            sim.defaults.set(Settings::tilingEnabledKey, on);
            if (on) {
                const bool wasRunning = engine.isRunning();
                engine.start();
                if (wasRunning) engine.globalTilingChanged();
            } else if (!labels.anySpaceForcesTiling()) {
                engine.stop();
            } else {
                engine.globalTilingChanged();
            }
            break;
        }
        case Kind::spaceOverride: {
            const SpaceId space = desktop(e.a % kDesktops);
            labels.setTilingOverride(static_cast<TilingOverride>(e.b % 3), space);
            if (!engine.isRunning() && (settings.tilingEnabled() || labels.anySpaceForcesTiling())) engine.start();
            else engine.tilingOverrideChanged(space);
            break;
        }
        case Kind::switchDesktop:
            if (world.activeSpace() != desktop(e.a % kDesktops)) m_moved.clear();
            world.switchToSpace(desktop(e.a % kDesktops));
            break;
        case Kind::revokeTrust: world.revokeTrust(); break;
        case Kind::grantTrust:
            world.grantTrust();
            if (settings.tilingEnabled() || labels.anySpaceForcesTiling()) engine.start();
            break;
        case Kind::animation: settings.setTilingAnimation(static_cast<TilingAnimation>(e.b % 4)); break;
        case Kind::wait: sim.scheduler.advance(Seconds(0.05 * (e.b % 50))); break;
        case Kind::drag:
            // The user drags a window onto the other monitor (a drag within one is not followed).
            if (const auto w = pick(e.b, shown); w && m_second) {
                const Rect frame = world.window(*w)->frame;
                const double centre = frame.minX() + frame.width / 2;
                const double x = centre < kSecondMonitor.minX() ? kSecondMonitor.minX() + e.a % 600
                                                                 : double(e.a % 800);
                world.dragWindow(*w, {x, double(e.b % 400), frame.width, frame.height});
            }
            break;
        case Kind::monitor:
            if (!m_twoMonitors) break;
            if (m_second) {
                world.removeMonitor(*m_second);
                m_second.reset();
            } else {
                m_second = world.addMonitor(0, kSecondMonitor, 0, 30);
            }
            break;
        }
    }

    // Whether the window may be tiled on the desktop being looked at, as the user would judge it.
    bool eligible(const sim::SimWindow& w) {
        const SpaceId active = world.activeSpace();
        if (w.minimized || w.fullScreen || w.kind != WindowKind::standard || !w.resizable) return false;
        if (world.app(w.pid)->info.isHidden || w.spaces != std::vector<SpaceId>{active}) return false;
        // Nothing is heard of an application whose observer could not be made (trust was revoked).
        if (!world.trusted() || !engine.view().hasObserver(w.pid)) return false;
        if (m_unseen.contains(w.id) || m_moved.contains(w.id)) return false;
        switch (labels.tilingOverride(active)) {
        case TilingOverride::on: return true;
        case TilingOverride::off: return false;
        case TilingOverride::automatic: return settings.tilingEnabled();
        }
        return false;
    }

    // After things settled, on the desktop looked at: the real frames of tiled windows are their
    // tiles (the spotlit one covers its monitor), and every eligible window is in a tree.
    std::string checkSettled() {
        // Without window control nothing can be placed.
        if (!engine.isRunning() || !world.trusted()) return {};
        const SpaceId active = world.activeSpace();
        const double gap = static_cast<double>(settings.tilingGap());
        std::set<WindowId> tiled;
        for (const auto& [key, tree] : engine.view().treeMap()) {
            if (key.space != active) continue;
            const Rect area = engine.view().frameFor(key);
            FrameMap tiles = tree->layout(area.insetBy(gap, gap), gap);
            tiles = Spotlight::apply(std::move(tiles), engine.view().spotlitWindow(active), area);
            for (const auto& [id, tile] : tiles) {
                tiled.insert(id);
                const sim::SimWindow* w = world.window(id);
                if (!w) return "window " + std::to_string(id) + " is tiled but gone";
                const Rect& f = w->frame;
                if (std::abs(f.x - tile.x) > 0.5 || std::abs(f.y - tile.y) > 0.5 || std::abs(f.width - tile.width) > 0.5 ||
                    std::abs(f.height - tile.height) > 0.5) {
                    return "window " + std::to_string(id) + " is at " + f.description() + ", its tile is " +
                           tile.description();
                }
            }
        }
        for (const auto& [id, w] : world.windows())
            if (eligible(w) && !tiled.contains(id)) return "window " + std::to_string(id) + " is left untiled";
        return {};
    }

    std::string check() {
        std::map<WindowId, SpaceId> owner;
        const double gap = static_cast<double>(settings.tilingGap());
        for (const auto& [key, tree] : engine.view().treeMap()) {
            const SpaceId space = key.space;
            if (auto problem = treeProblem(*tree); !problem.empty()) return problem;
            for (const WindowId id : tree->leaves()) {
                if (const auto other = owner.find(id); other != owner.end())
                    return "window " + std::to_string(id) + " is in the trees of desktops " +
                           std::to_string(other->second) + " and " + std::to_string(space);
                owner[id] = space;
            }
            const Rect area = engine.view().frameFor(key);
            const Rect inner = area.insetBy(gap, gap);
            const FrameMap tiles = tree->layout(inner, gap);
            constexpr double eps = 1e-6;
            for (auto i = tiles.begin(); i != tiles.end(); ++i) {
                const Rect& r = i->second;
                if (r.minX() < inner.minX() - eps || r.minY() < inner.minY() - eps || r.maxX() > inner.maxX() + eps ||
                    r.maxY() > inner.maxY() + eps)
                    return "tile of " + std::to_string(i->first) + " " + r.description() + " leaves the area " +
                           inner.description();
                for (auto j = std::next(i); j != tiles.end(); ++j) {
                    const Rect& s = j->second;
                    const double apartX = std::max(s.minX() - r.maxX(), r.minX() - s.maxX());
                    const double apartY = std::max(s.minY() - r.maxY(), r.minY() - s.maxY());
                    if (std::max(apartX, apartY) < gap - eps)
                        return "tiles of " + std::to_string(i->first) + " and " + std::to_string(j->first) +
                               " are closer than the gap: " + r.description() + " " + s.description();
                }
            }
        }
        return {};
    }

    std::vector<Pid> apps;
    bool m_twoMonitors;
    std::optional<DisplayNumber> m_second;
    std::set<WindowId> m_unseen;
    std::set<WindowId> m_moved;
};

std::vector<Event> randomEvents(unsigned seed, std::size_t count, bool twoMonitors) {
    std::mt19937 random(seed);
    // Weights: opening and focusing most, the rare things rarely; with one monitor the same list
    // as ever, so a seed keeps its events.
    std::vector<std::pair<Kind, int>> weights = {
        {Kind::open, 14},        {Kind::close, 8},      {Kind::focus, 12},        {Kind::moveToDesktop, 5},
        {Kind::minimize, 4},     {Kind::restore, 4},    {Kind::hide, 2},          {Kind::unhide, 3},
        {Kind::fullScreen, 2},   {Kind::swap, 8},       {Kind::flip, 4},          {Kind::spotlight, 4},
        {Kind::retile, 3},       {Kind::tilingSwitch, 1}, {Kind::spaceOverride, 2}, {Kind::switchDesktop, 5},
        {Kind::revokeTrust, 1},  {Kind::grantTrust, 2}, {Kind::animation, 1},     {Kind::wait, 8},
    };
    if (twoMonitors) weights.insert(weights.end(), {{Kind::drag, 8}, {Kind::monitor, 1}});
    int total = 0;
    for (const auto& [kind, weight] : weights) total += weight;
    std::vector<Event> events;
    events.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        int roll = static_cast<int>(random() % static_cast<unsigned>(total));
        Kind kind = Kind::wait;
        for (const auto& [k, weight] : weights) {
            if (roll < weight) {
                kind = k;
                break;
            }
            roll -= weight;
        }
        events.push_back({kind, static_cast<unsigned>(random() % 1000), static_cast<unsigned>(random() % 1000)});
    }
    return events;
}

std::optional<std::pair<std::size_t, std::string>> replay(const std::vector<Event>& events, bool twoMonitors) {
    Player player(twoMonitors);
    return player.play(events);
}

// Drops events while the list still fails: first halves, then single events.
std::vector<Event> shrink(std::vector<Event> events, bool twoMonitors) {
    for (std::size_t chunk = events.size() / 2; chunk >= 1; chunk /= 2) {
        for (std::size_t start = 0; start + chunk <= events.size();) {
            std::vector<Event> candidate(events.begin(), events.begin() + static_cast<std::ptrdiff_t>(start));
            candidate.insert(candidate.end(), events.begin() + static_cast<std::ptrdiff_t>(start + chunk), events.end());
            if (replay(candidate, twoMonitors)) events = std::move(candidate);
            else start += chunk;
        }
    }
    return events;
}

void playRandomEvents(bool twoMonitors) {
    // QUORVEL_SEED replays another seed; the default keeps CI deterministic.
    const char* seedText = std::getenv("QUORVEL_SEED");
    const unsigned seed = seedText ? static_cast<unsigned>(std::strtoul(seedText, nullptr, 10)) : 20261206u;
    auto events = randomEvents(seed, 10'000, twoMonitors);
    Player player(twoMonitors);
    const auto failure = player.play(events);
    if (!failure) {
        // A run that never tiled much proves nothing.
        EXPECT_GT(player.stepsRunning, 5'000u);
        EXPECT_GE(player.mostTiled, 5u);
        EXPECT_GT(player.swaps, 20u);
        if (twoMonitors) {
            EXPECT_GT(player.stepsOnSecond, 300u);
        }
        std::cout << "steps with tiling running: " << player.stepsRunning << ", largest tree: " << player.mostTiled
                  << ", swaps made: " << player.swaps << ", steps with windows on a second monitor: "
                  << player.stepsOnSecond << "\n";
        return;
    }

    events.resize(failure->first + 1);
    const auto minimal = shrink(events, twoMonitors);
    const auto again = replay(minimal, twoMonitors);
    std::ostringstream out;
    out << "seed " << seed << ": after event " << failure->first << ": " << failure->second << "\n"
        << "minimal reproduction (" << minimal.size() << " events), failing with: "
        << (again ? again->second : std::string("?")) << "\n";
    for (const Event& e : minimal) out << "  " << describe(e) << "\n";
    ADD_FAILURE() << out.str();
}

} // namespace

TEST(TilingRandomTest, TenThousandRandomEventsKeepEveryInvariant) { playRandomEvents(false); }

TEST(TilingRandomTest, TwoMonitorsWithDragsAndAMonitorThatComesAndGoes) { playRandomEvents(true); }
