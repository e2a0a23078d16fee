// The real quorvel binary on a private X server with Openbox, driven only the way a user drives it:
// keys injected with XTest, windows opened by our test client, its defaults file, signals. Nothing
// is called inside the process; its log lines (stderr, there being no journal here) say when it is
// ready and which key fired.
#include "XServer.h"
#include "platform/Types.h"

#include <gtest/gtest.h>
#include <iostream>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace quorvel;
using namespace quorvel::x11test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// One run of the app with its own profile (defaults file) and runtime folder.
class AppProcess {
public:
    AppProcess(const XServer& server, const fs::path& home) {
        const std::string config = (home / "config").string();
        const std::string runtime = (home / "runtime").string();
        fs::create_directories(runtime);
        fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);

        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            if (entry.starts_with("DISPLAY=") || entry.starts_with("XDG_") || entry.starts_with("JOURNAL_STREAM="))
                continue;
            env.push_back(entry);
        }
        env.push_back("DISPLAY=" + server.display());
        env.push_back("XDG_CONFIG_HOME=" + config);
        env.push_back("XDG_RUNTIME_DIR=" + runtime);
        std::vector<char*> envp;
        for (std::string& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);

        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 2);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        char* argv[] = {const_cast<char*>(QUORVEL_APP), nullptr};
        const int rc = posix_spawn(&m_pid, QUORVEL_APP, &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (rc != 0) throw std::runtime_error("cannot start " + std::string(QUORVEL_APP));
        m_stderr = out[0];
    }
    ~AppProcess() {
        if (m_pid > 0 && !m_exitCode) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        ::close(m_stderr);
    }

    // Waits (bounded) for a log line containing `text`.
    bool waitForLine(const std::string& text, std::chrono::milliseconds timeout = 5s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (true) {
            if (std::any_of(m_lines.begin(), m_lines.end(),
                            [&](const std::string& line) { return line.find(text) != std::string::npos; }))
                return true;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !readSome(static_cast<int>(left.count()))) return false;
        }
    }
    std::size_t count(const std::string& text) {
        while (readSome(0)) {}
        return static_cast<std::size_t>(std::count_if(m_lines.begin(), m_lines.end(), [&](const std::string& line) {
            return line.find(text) != std::string::npos;
        }));
    }
    std::string output() const {
        std::string all;
        for (const std::string& line : m_lines) all += line + "\n";
        return all;
    }

    // Sends `signal` and waits (bounded) for the process to end; its exit code, or none.
    std::optional<int> stop(int signal = SIGTERM, std::chrono::milliseconds timeout = 5s) {
        ::kill(m_pid, signal);
        return waitExit(timeout);
    }
    std::optional<int> waitExit(std::chrono::milliseconds timeout = 5s) {
        int status = 0;
        const bool ended = XServer::waitFor([&] { return ::waitpid(m_pid, &status, WNOHANG) == m_pid; }, timeout);
        while (readSome(0)) {}
        if (!ended) return std::nullopt;
        m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return m_exitCode;
    }
    pid_t pid() const { return m_pid; }

private:
    bool readSome(int timeoutMs) {
        pollfd fd{m_stderr, POLLIN, 0};
        if (::poll(&fd, 1, timeoutMs) <= 0) return false;
        char buffer[4096];
        const ssize_t n = ::read(m_stderr, buffer, sizeof buffer);
        if (n <= 0) return false;
        m_partial.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t end; (end = m_partial.find('\n')) != std::string::npos;) {
            m_lines.push_back(m_partial.substr(0, end));
            m_partial.erase(0, end + 1);
        }
        return true;
    }

    pid_t m_pid = 0;
    int m_stderr = -1;
    std::string m_partial;
    std::vector<std::string> m_lines;
    std::optional<int> m_exitCode;
};

bool near(const Rect& a, const Rect& b) {
    return std::abs(a.x - b.x) <= 1 && std::abs(a.y - b.y) <= 1 && std::abs(a.width - b.width) <= 1 &&
           std::abs(a.height - b.height) <= 1;
}

// Xvfb's 1920×1080 screen has no dock: the usable area is the whole screen; the gap is 8.
const Rect kLeftHalf{8, 8, 948, 1064};
const Rect kRightTop{964, 8, 948, 528};
const Rect kRightBottom{964, 544, 948, 528};
const Rect kWhole{0, 0, 1920, 1080}; // a spotlit window covers the whole usable area

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!XServer::available()) GTEST_SKIP() << "Xvfb or Openbox is not installed";
        home = fs::temp_directory_path() / ("quorvel-app-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(home);
        fs::create_directories(home / "config" / "quorvel");
    }
    void TearDown() override {
        if (app && HasFailure()) {
            app->count(""); // reads what is left
            std::cerr << "--- the app's log ---\n" << app->output();
        }
        app.reset();
        server.reset();
        fs::remove_all(home);
    }

    void startServer(XServer::Options options = {}) { server = std::make_unique<XServer>(options); }
    // Starts the app and waits until it has registered its keys and finished launching.
    void startApp() {
        app = std::make_unique<AppProcess>(*server, home);
        ASSERT_TRUE(app->waitForLine("launched in")) << app->output();
    }
    fs::path defaultsFile() const { return home / "config" / "quorvel" / "defaults.json"; }
    void writeDefaults(const nlohmann::json& values) { std::ofstream(defaultsFile()) << values.dump(); }
    nlohmann::json readDefaults() const {
        std::ifstream in(defaultsFile());
        return nlohmann::json::parse(in, nullptr, false);
    }

    // Presses a combination (xdotool names) and waits for the app to report the key it fired.
    void press(const std::string& keys, const std::string& fired) {
        const std::size_t before = app->count("hotkey fired: " + fired);
        ASSERT_EQ(server->run("xdotool key --clearmodifiers " + keys), 0);
        ASSERT_TRUE(XServer::waitFor([&] { return app->count("hotkey fired: " + fired) > before; }))
            << keys << " did not fire " << fired << "\n" << app->output();
    }
    bool toastShows(const std::string& text) {
        return XServer::waitFor(
            [&] { return server->run("xdotool search --onlyvisible --name '^" + text + "$' >/dev/null") == 0; });
    }
    bool outlineShown() {
        return server->run("xdotool search --onlyvisible --name '^Spotlight outline$' >/dev/null") == 0;
    }
    int currentDesktop() {
        const std::string file = (home / "desktop").string();
        server->run("xdotool get_desktop > " + file);
        int desktop = -1;
        std::ifstream(file) >> desktop;
        return desktop;
    }
    // The _NET_WM_STATE line of every window of the app that the window manager manages.
    std::vector<std::string> managedAppWindowStates() {
        const std::string file = (home / "states").string();
        server->run("for w in $(xprop -root _NET_CLIENT_LIST | grep -o '0x[0-9a-f]*'); do "
                    "xprop -id $w _NET_WM_PID | grep -q '= " + std::to_string(app->pid()) + "$' && "
                    "xprop -id $w _NET_WM_STATE; done > " + file);
        std::vector<std::string> lines;
        std::ifstream in(file);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    bool tiled(const std::vector<ClientWindow>& windows, std::vector<Rect> tiles) {
        return XServer::waitFor([&] {
            std::vector<Rect> left = tiles;
            for (const ClientWindow& w : windows) {
                const Rect frame = server->frameGeometry(w.window);
                const auto it = std::find_if(left.begin(), left.end(), [&](const Rect& t) { return near(frame, t); });
                if (it == left.end()) return false;
                left.erase(it);
            }
            return true;
        });
    }

    fs::path home;
    std::unique_ptr<XServer> server;
    std::unique_ptr<AppProcess> app;
};

} // namespace

TEST_F(AppTest, TheTilingKeyTilesTheOpenWindowsAndTheCommandKeysDoWhatTheySay) {
    startServer();
    const ClientWindow a = server->openWindow({.title = "A"});
    const ClientWindow b = server->openWindow({.title = "B"});
    const ClientWindow c = server->openWindow({.title = "C"});
    startApp();

    // Tiling is off: the commands say so, and the spotlight says nothing.
    press("alt+shift+Left", "swap_left");
    EXPECT_TRUE(toastShows("Tiling is off"));
    press("alt+shift+j", "toggle_split");
    press("alt+shift+r", "retile");
    EXPECT_TRUE(toastShows("Tiling is off"));

    press("alt+shift+t", "toggle_tiling");
    ASSERT_TRUE(tiled({a, b, c}, {kLeftHalf, kRightTop, kRightBottom})) << app->output();
    EXPECT_TRUE(readDefaults().value("tiling_enabled", false));

    // Focus the window on the left and swap it right: it trades places with its neighbour there.
    std::vector<ClientWindow> windows = {a, b, c};
    const auto onLeft = *std::find_if(windows.begin(), windows.end(),
                                      [&](const ClientWindow& w) { return near(server->frameGeometry(w.window), kLeftHalf); });
    ASSERT_EQ(server->run("xdotool windowactivate --sync " + std::to_string(onLeft.window)), 0);
    press("alt+shift+Right", "swap_right");
    EXPECT_TRUE(XServer::waitFor([&] { return !near(server->frameGeometry(onLeft.window), kLeftHalf); }));
    EXPECT_TRUE(tiled({a, b, c}, {kLeftHalf, kRightTop, kRightBottom}));

    // Spotlight zooms it over the desktop; again restores the tiles.
    press("alt+shift+k", "spotlight_window");
    EXPECT_TRUE(XServer::waitFor([&] { return near(server->frameGeometry(onLeft.window), kWhole); }));
    EXPECT_TRUE(outlineShown()); // the outline sits on the spotlit window
    press("alt+shift+k", "spotlight_window");
    EXPECT_TRUE(tiled({a, b, c}, {kLeftHalf, kRightTop, kRightBottom}));
    EXPECT_TRUE(XServer::waitFor([&] { return !outlineShown(); }));

    // Flip turns the pair it sits in from stacked to side by side.
    press("alt+shift+j", "toggle_split");
    EXPECT_TRUE(XServer::waitFor([&] {
        const Rect frame = server->frameGeometry(onLeft.window);
        return std::abs(frame.height - 1064) <= 1 && std::abs(frame.width - 470) <= 1;
    })) << server->frameGeometry(onLeft.window).description();

    // A window dragged out of place is put back by the retile key.
    const Rect before = server->frameGeometry(onLeft.window);
    server->run("xdotool windowmove " + std::to_string(onLeft.window) + " 300 300");
    ASSERT_TRUE(XServer::waitFor([&] { return !near(server->frameGeometry(onLeft.window), before); }));
    press("alt+shift+r", "retile");
    EXPECT_TRUE(XServer::waitFor([&] { return near(server->frameGeometry(onLeft.window), before); }));
    EXPECT_TRUE(toastShows("Re-tiled"));

    EXPECT_EQ(app->stop(SIGTERM), 0);
}

TEST_F(AppTest, ControlOptionTwoSwitchesToDesktopTwoWithEitherTechnique) {
    for (const bool direct : {true, false}) {
        SCOPED_TRACE(direct ? "direct switch" : "helper window");
        startServer();
        writeDefaults({{"use_direct_space_switch", direct}, {"has_launched_before", true}});
        server->openWindow({.title = "on desktop 1"});
        startApp();
        ASSERT_EQ(currentDesktop(), 0);
        press("ctrl+alt+2", "switch_space_2");
        EXPECT_TRUE(XServer::waitFor([&] { return currentDesktop() == 1; })) << app->output();
        press("ctrl+alt+4", "switch_space_4");
        EXPECT_TRUE(XServer::waitFor([&] { return currentDesktop() == 3; })) << app->output();
        // The helper window parked on the empty desktop never shows in a taskbar or pager.
        for (const std::string& states : managedAppWindowStates()) {
            EXPECT_NE(states.find("_NET_WM_STATE_SKIP_TASKBAR"), std::string::npos) << states;
            EXPECT_NE(states.find("_NET_WM_STATE_SKIP_PAGER"), std::string::npos) << states;
        }
        if (!direct) {
            EXPECT_FALSE(managedAppWindowStates().empty());
        }
        EXPECT_EQ(app->stop(SIGTERM), 0);
        app.reset();
        server.reset();
    }
}

TEST_F(AppTest, NamesAndOverridesSurviveQuittingAndStartingAgain) {
    startServer();
    // Desktop 2 is called "Mail" and never tiles; tiling is on.
    writeDefaults({{"space_labels", {{"2", "Mail"}}},
                   {"tiling_overrides", {{"2", "off"}}},
                   {"tiling_enabled", true},
                   {"has_launched_before", true}});
    startApp();
    EXPECT_EQ(app->stop(SIGTERM), 0) << app->output();
    nlohmann::json saved = readDefaults();
    EXPECT_EQ(saved["saved_space_labels"]["2"], "Mail") << saved.dump();
    EXPECT_EQ(saved["saved_space_tiling_overrides"]["2"], "off") << saved.dump();

    // The live tables are lost (as when desktop ids change); the snapshot brings them back.
    saved.erase("space_labels");
    saved.erase("tiling_overrides");
    writeDefaults(saved);
    startApp();
    EXPECT_TRUE(app->waitForLine("restored")) << app->output();
    const nlohmann::json restored = readDefaults();
    EXPECT_EQ(restored["space_labels"]["2"], "Mail") << restored.dump();
    EXPECT_EQ(restored["tiling_overrides"]["2"], "off") << restored.dump();

    // The override holds: a window on desktop 2 keeps its own size.
    const ClientWindow w = server->openWindow({.title = "untiled", .width = 500, .height = 400, .desktop = 1});
    server->run("xdotool set_desktop 1");
    std::this_thread::sleep_for(300ms); // give a wrong retile the chance to happen
    EXPECT_NEAR(server->clientGeometry(w.window).width, 500, 1);
    EXPECT_EQ(app->stop(SIGTERM), 0);
}

TEST_F(AppTest, WithOpenboxsOwnKeyBindingsTheTakenKeysAreReportedAndTheRestWork) {
    startServer({.stockKeyBindings = true});
    const ClientWindow a = server->openWindow({.title = "A"});
    const ClientWindow b = server->openWindow({.title = "B"});
    startApp();
    ASSERT_TRUE(app->waitForLine("hotkey registration failures:")) << app->output();
    EXPECT_TRUE(app->waitForLine("swap_left")) << app->output();
    EXPECT_TRUE(app->waitForLine("swap_right")) << app->output();

    press("alt+shift+t", "toggle_tiling");
    EXPECT_TRUE(tiled({a, b}, {kLeftHalf, Rect{964, 8, 948, 1064}})) << app->output();
    press("ctrl+alt+2", "switch_space_2");
    EXPECT_TRUE(XServer::waitFor([&] { return currentDesktop() == 1; }));
    EXPECT_EQ(app->stop(SIGINT), 0);
}

TEST_F(AppTest, ASecondCopyOnTheSameDisplayRefusesToStart) {
    startServer();
    startApp();
    AppProcess second(*server, home);
    EXPECT_EQ(second.waitExit(), 1);
    EXPECT_TRUE(second.waitForLine("already running on display " + server->display(), 100ms)) << second.output();
    EXPECT_EQ(app->stop(SIGTERM), 0);
}

TEST_F(AppTest, LosingTheDisplayEndsTheAppWithoutACrash) {
    startServer();
    startApp();
    server->kill();
    const auto code = app->waitExit();
    ASSERT_TRUE(code.has_value()) << app->output();
    EXPECT_LT(*code, 128) << app->output(); // ended, not killed by a signal
}

TEST_F(AppTest, WithoutAnEWMHWindowManagerTheAppSaysSoAndQuits) {
    startServer({.windowManager = false});
    app = std::make_unique<AppProcess>(*server, home);
    ASSERT_TRUE(XServer::waitFor([&] { return server->run("xdotool search --onlyvisible --name '^Quorvel$' >/dev/null") == 0; },
                                 10s))
        << app->output();
    EXPECT_TRUE(app->waitForLine("unavailable"));
    server->run("xdotool search --onlyvisible --name '^Quorvel$' windowfocus --sync key Return");
    EXPECT_EQ(app->waitExit(), 1) << app->output();
    EXPECT_EQ(app->count("registered"), 0u) << app->output(); // no hot key was ever taken
}

// --- The tray item and its menu, through trayer (an XEmbed tray) --------------------------------

namespace {

class TrayTest : public AppTest {
protected:
    void TearDown() override {
        if (trayerPid > 0) ::kill(trayerPid, SIGTERM);
        AppTest::TearDown();
    }
    void startTrayer() {
        const std::string pidFile = (home / "trayer.pid").string();
        ASSERT_EQ(server->run("trayer --edge top --align right --widthtype request --height 24 --SetDockType true "
                              ">/dev/null 2>&1 & echo $! > " + pidFile),
                  0);
        std::ifstream(pidFile) >> trayerPid;
        ASSERT_TRUE(XServer::waitFor([&] { return server->run("xdotool search --class '^trayer$' >/dev/null") == 0; }));
    }
    // The centre of the app's icon docked in the tray at the top right; none while it is not there.
    std::optional<Point> trayIcon() {
        const std::string file = (home / "tree").string();
        server->run("xwininfo -root -tree > " + file);
        std::ifstream in(file);
        for (std::string line; std::getline(in, line);) {
            if (line.find("(\"quorvel\" \"Quorvel\")") == std::string::npos || line.find(" 22x22+") == std::string::npos)
                continue;
            // "... 22x22+0+0  +1897+1": the last pair is the position on the screen.
            const auto plus = line.rfind(" +");
            int x = 0, y = 0;
            if (plus == std::string::npos || std::sscanf(line.c_str() + plus, " +%d+%d", &x, &y) != 2) continue;
            if (x > 1800 && y < 30) return Point{x + 11.0, y + 11.0};
        }
        return std::nullopt;
    }
    // The open menu's frame on the screen; none while it is closed.
    std::optional<Rect> menuFrame() {
        const std::string file = (home / "menu").string();
        if (server->run("xdotool search --onlyvisible --name '^Quorvel menu$' getwindowgeometry --shell > " + file) != 0)
            return std::nullopt;
        std::ifstream in(file);
        Rect r;
        for (std::string line; std::getline(in, line);) {
            if (line.starts_with("X=")) r.x = std::stod(line.substr(2));
            if (line.starts_with("Y=")) r.y = std::stod(line.substr(2));
            if (line.starts_with("WIDTH=")) r.width = std::stod(line.substr(6));
            if (line.starts_with("HEIGHT=")) r.height = std::stod(line.substr(7));
        }
        return r.width > 0 ? std::optional(r) : std::nullopt;
    }
    void click(double x, double y, int button = 1) {
        ASSERT_EQ(server->run("xdotool mousemove " + std::to_string(int(x)) + " " + std::to_string(int(y)) +
                              " click " + std::to_string(button)),
                  0);
    }
    // Clicks the icon and waits for the menu.
    Rect openMenu(int button = 1) {
        const auto icon = trayIcon();
        EXPECT_TRUE(icon);
        if (!icon) return {};
        click(icon->x, icon->y, button);
        std::optional<Rect> frame;
        EXPECT_TRUE(XServer::waitFor([&] { return (frame = menuFrame()).has_value(); })) << app->output();
        return frame.value_or(Rect{});
    }
    // Menu layout (one display): the indicator row, a separator, then 28-point desktop rows.
    static Point rowCentre(const Rect& menu, int desktop) { return {menu.x + 150, menu.y + 44 + 28.0 * (desktop - 1)}; }
    static Point eye(const Rect& menu) { return {menu.x + 275, menu.y + 14}; }
    static Point tilingSwitch(const Rect& menu) { return {menu.x + 230, menu.y + 160}; }
    // The title (the icon's tool tip) as the app reports it when it changes.
    bool titleIs(const std::string& title) {
        return XServer::waitFor([&] { return app->count("tray title: " + title) > 0; }, 5s);
    }

    pid_t trayerPid = 0;
};

} // namespace

TEST_F(TrayTest, TheTrayMenuRenamesChangesDensityTilesAndSwitchesWithTheMouse) {
    startServer();
    writeDefaults({{"has_launched_before", true}});
    const ClientWindow a = server->openWindow({.title = "A"});
    const ClientWindow b = server->openWindow({.title = "B"});
    const ClientWindow c = server->openWindow({.title = "C"});
    startTrayer();
    startApp();
    ASSERT_TRUE(XServer::waitFor([&] { return trayIcon().has_value(); })) << app->output();
    EXPECT_TRUE(titleIs("")) << "the icon got its title";

    // Right-click the current desktop's row, type a name, Return: renamed, and the menu stays.
    Rect menu = openMenu();
    EXPECT_GE(menu.height, 28 * 4 + 28);
    const Point first = rowCentre(menu, 1);
    click(first.x, first.y, 3);
    ASSERT_EQ(server->run("xdotool type --delay 15 'Research' && xdotool key Return"), 0);
    EXPECT_TRUE(XServer::waitFor([&] { return readDefaults().value("/space_labels/1"_json_pointer, "") == "Research"; }))
        << readDefaults().dump();
    EXPECT_TRUE(titleIs("Research"));
    ASSERT_TRUE(menuFrame()) << "renaming closed the menu";

    // The eye cycles the density with the menu open: focused drops the switch row and the
    // commands but Quit; minimal as well; full brings them back.
    const double fullHeight = menuFrame()->height;
    click(eye(menu).x, eye(menu).y);
    EXPECT_TRUE(XServer::waitFor([&] { return readDefaults().value("menu_density", "") == "focused"; }));
    EXPECT_TRUE(XServer::waitFor([&] { return menuFrame() && menuFrame()->height < fullHeight - 60; }))
        << "the switch row and tail stayed";
    click(eye(menu).x, eye(menu).y);
    EXPECT_TRUE(XServer::waitFor([&] { return readDefaults().value("menu_density", "") == "minimal"; }));
    ASSERT_TRUE(menuFrame());
    click(eye(menu).x, eye(menu).y);
    EXPECT_TRUE(XServer::waitFor([&] { return readDefaults().value("menu_density", "") == "full"; }));
    EXPECT_TRUE(XServer::waitFor([&] { return menuFrame() && std::abs(menuFrame()->height - fullHeight) < 2; }));

    // The tiling switch turns tiling on; the windows tile and the menu stays.
    click(tilingSwitch(menu).x, tilingSwitch(menu).y);
    EXPECT_TRUE(tiled({a, b, c}, {kLeftHalf, kRightTop, kRightBottom})) << app->output();
    EXPECT_TRUE(readDefaults().value("tiling_enabled", false));
    EXPECT_TRUE(menuFrame()) << "the tiling switch closed the menu";

    // A click on desktop 2's row switches there and closes the menu.
    const Point second = rowCentre(menu, 2);
    click(second.x, second.y);
    EXPECT_TRUE(XServer::waitFor([&] { return currentDesktop() == 1; })) << app->output();
    EXPECT_TRUE(XServer::waitFor([&] { return !menuFrame(); }));

    // The name outlives the app.
    EXPECT_EQ(app->stop(SIGTERM), 0);
    server->run("xdotool set_desktop 0");
    startApp();
    EXPECT_TRUE(XServer::waitFor([&] { return app->count("tray title: Research") + app->count("tray title: ◎ Research") > 0; }, 5s))
        << app->output();
    EXPECT_EQ(app->stop(SIGTERM), 0);
}

TEST_F(TrayTest, WithoutATrayTheToastNamesThePanelShortcutAndTheIconComesWithTheTray) {
    startServer();
    writeDefaults({{"has_launched_before", true}});
    startApp();
    // (The dash is matched by ".*": xdotool's pattern is read in the C locale.)
    EXPECT_TRUE(toastShows("No system tray .* Ctrl.Alt.P opens the desktop panel")) << app->output();
    EXPECT_FALSE(trayIcon());
    startTrayer();
    EXPECT_TRUE(XServer::waitFor([&] { return trayIcon().has_value(); }, 5s)) << app->output();
    const Rect menu = openMenu(3);
    EXPECT_GT(menu.height, 0);
    EXPECT_EQ(app->stop(SIGTERM), 0);
}
