// The real quorvel binary on a private X server with Openbox, driven only the way a user drives it:
// keys injected with XTest, windows opened by our test client, its defaults file, signals. Nothing
// is called inside the process; its log lines (stderr, there being no journal here) say when it is
// ready and which key fired. Shared by the app's tests (AppTest.cpp, PanelAppTest.cpp).
#pragma once

#include "XServer.h"
#include "platform/Types.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <xcb/xcb.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <poll.h>
#include <sstream>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quorvel::x11test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// One run of the app with its own profile (defaults file) and runtime folder.
class AppProcess {
public:
    // `environment` adds variables ("NAME=value") to what the app gets, or replaces them;
    // `program` is the executable to start (the build's, or one unpacked from the package), with
    // `arguments` after its name.
    AppProcess(const XServer& server, const fs::path& home, const std::vector<std::string>& environment = {},
               const std::string& program = QUORVEL_APP, std::vector<std::string> arguments = {}) {
        const std::string config = (home / "config").string();
        const std::string runtime = (home / "runtime").string();
        fs::create_directories(runtime);
        fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);

        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            if (entry.starts_with("DISPLAY=") || entry.starts_with("XDG_") || entry.starts_with("JOURNAL_STREAM=") ||
                entry.starts_with("DBUS_SESSION_BUS_ADDRESS="))
                continue;
            env.push_back(entry);
        }
        env.push_back("DISPLAY=" + server.display());
        env.push_back("XDG_CONFIG_HOME=" + config);
        env.push_back("XDG_RUNTIME_DIR=" + runtime);
        // Crash reports stay in the test's home (and tell where a stalled app stood: see whereItStands).
        m_crashFolder = home / "state" / "quorvel" / "crash-reports";
        env.push_back("XDG_STATE_HOME=" + (home / "state").string());
        // A session bus address that refuses at once. Without one, Qt's tray icon has libdbus
        // autolaunch a bus, forking from the app's threads: under the address sanitizer that child
        // can deadlock and leave the app waiting for it for good. A bus on the machine running the
        // tests would also move the tray from XEmbed to StatusNotifierItem.
        env.push_back("DBUS_SESSION_BUS_ADDRESS=unix:path=" + (home / "no-session-bus").string());
        for (const std::string& entry : environment) {
            const std::string name = entry.substr(0, entry.find('=') + 1);
            std::erase_if(env, [&](const std::string& e) { return e.starts_with(name); });
            env.push_back(entry);
        }
        std::vector<char*> envp;
        for (std::string& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);

        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 2);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        const int rc = posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (rc != 0) throw std::runtime_error("cannot start " + program);
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

    // For a process that stopped answering: aborts it, which makes its crash handler write down
    // the main thread's frames, and returns them, innermost first (or why there are none).
    std::string whereItStands() {
        if (m_exitCode) return "the app had already ended with " + std::to_string(*m_exitCode);
        stop(SIGABRT);
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(m_crashFolder, error)) {
            std::ifstream in(entry.path());
            std::string header;
            std::getline(in, header);
            const nlohmann::json report = nlohmann::json::parse(in, nullptr, false);
            std::string frames;
            if (report.is_object() && report.contains("threads"))
                for (const auto& thread : report["threads"])
                    if (thread.value("triggered", false))
                        for (const auto& frame : thread.value("frames", nlohmann::json::array()))
                            frames += "  " + frame.value("symbol", std::string("?")) + "\n";
            return frames.empty() ? "an unreadable report: " + entry.path().string() : frames;
        }
        return "no crash report was written in " + m_crashFolder.string();
    }

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
    fs::path m_crashFolder;
    std::optional<int> m_exitCode;
};

inline bool near(const Rect& a, const Rect& b) {
    return std::abs(a.x - b.x) <= 1 && std::abs(a.y - b.y) <= 1 && std::abs(a.width - b.width) <= 1 &&
           std::abs(a.height - b.height) <= 1;
}

class AppFixture : public ::testing::Test {
protected:
    void SetUp() override {
        QUORVEL_NEED_X_SERVER();
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
    // Starts the app (with `extra` variables besides `environment`) and waits until it has registered
    // its keys and finished launching.
    void startApp(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> variables = environment;
        variables.insert(variables.end(), extra.begin(), extra.end());
        app = std::make_unique<AppProcess>(*server, home, variables, executable, arguments);
        // Generous: a sanitizer build on a loaded machine launches slowly, and the wait ends with the line.
        if (!app->waitForLine("launched in", 20s)) {
            const std::string log = app->output();
            FAIL() << "the app did not finish launching:\n" << log << "--- where it stood ---\n" << app->whereItStands();
        }
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
        ASSERT_TRUE(XServer::waitFor([&] { return app->count("hotkey fired: " + fired) > before; }, 10s))
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
    // The centre of the app's 22×22 icon docked in a tray along the top edge, right of `minX`; none
    // while it is not there.
    std::optional<Point> dockedTrayIcon(int minX = 0) {
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
            if (x > minX && y < 30) return Point{x + 11.0, y + 11.0};
        }
        return std::nullopt;
    }

    // What a command prints, trimmed of the final newline.
    std::string output(const std::string& command) {
        const std::string file = (home / "output").string();
        server->run(command + " > " + file + " 2>/dev/null");
        std::ifstream in(file);
        std::stringstream text;
        text << in.rdbuf();
        std::string out = text.str();
        while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
        return out;
    }
    // The X server's time now: the stamp of a property change on a window of our own.
    std::uint32_t serverTime() {
        xcb_connection_t* c = xcb_connect(server->display().c_str(), nullptr);
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        const xcb_window_t window = xcb_generate_id(c);
        const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(c, 0, window, screen->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY, 0, XCB_CW_EVENT_MASK,
                          &mask);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 1, "t");
        xcb_flush(c);
        std::uint32_t time = 0;
        while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
            const bool property = (event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY;
            if (property) time = reinterpret_cast<xcb_property_notify_event_t*>(event)->time;
            std::free(event);
            if (property) break;
        }
        xcb_disconnect(c);
        return time;
    }
    // The user has just typed in `window`: its user time is now, as toolkits keep it.
    void userWorksIn(std::uint32_t window) {
        ASSERT_EQ(server->run("xdotool windowactivate --sync " + std::to_string(window)), 0);
        ASSERT_EQ(server->run("xprop -id " + std::to_string(window) + " -f _NET_WM_USER_TIME 32c -set _NET_WM_USER_TIME " +
                              std::to_string(serverTime())),
                  0);
    }
    // Gives `window` the focus as a click would and waits until the app has taken the change in
    // (its tray title names the window), so that a key pressed next acts on that window even on a
    // loaded machine, where the app may still be reading the focus when the key arrives.
    void focusSeenByApp(std::uint32_t window) {
        const std::string named = "— " + output("xdotool getwindowname " + std::to_string(window));
        const std::size_t before = app->count(named);
        ASSERT_EQ(server->run("xdotool windowactivate --sync " + std::to_string(window)), 0);
        const auto lastTitleNamesIt = [&] {
            const std::string log = app->output();
            const std::size_t last = log.rfind("tray title: ");
            return last != std::string::npos && log.substr(last, log.find('\n', last) - last).ends_with(named);
        };
        ASSERT_TRUE(XServer::waitFor([&] { return app->count(named) > before || lastTitleNamesIt(); }, 10s))
            << "the app never saw the focus on " << named << "\n" << app->output();
    }
    std::uint32_t activeWindow() {
        const std::string id = output("xdotool getactivewindow");
        return id.empty() ? 0 : static_cast<std::uint32_t>(std::stoul(id));
    }
    bool visible(std::uint32_t window) {
        return server->run("xwininfo -id " + std::to_string(window) + " | grep -q IsViewable") == 0;
    }
    std::string property(std::uint32_t window, const std::string& name) {
        return output("xprop -id " + std::to_string(window) + " " + name);
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
    std::vector<std::string> environment; // more variables for the app, set before startApp
    std::string executable = QUORVEL_APP;  // the program startApp starts
    std::vector<std::string> arguments;    // and its command line after the name
    std::unique_ptr<XServer> server;
    std::unique_ptr<AppProcess> app;
};

} // namespace quorvel::x11test
