// The private X server of one test: Xvfb + a window manager (Openbox, IceWM or Fluxbox, each with a
// configuration written here) started as child processes, waited for with a bound, and torn down in
// the destructor; plus the test client and true geometry.
#include "XServer.h"

#include <xcb/xcb.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string_view>

extern char** environ;

namespace quorvel::x11test {

namespace {

// Spawns `argv` with DISPLAY set (when given) and the variables of `extra` ("NAME=value", replacing
// inherited ones), stdout sent to `stdoutFd` and stdin read from `stdinFd` (when >= 0; /dev/null
// otherwise).
// Xorg's dummy video driver with a screen that can hold its outputs side by side.
std::string dummyXorgConf(int virtualWidth, int virtualHeight) {
    return "Section \"Device\"\n  Identifier \"dummy\"\n  Driver \"dummy\"\n  VideoRam 256000\nEndSection\n"
           "Section \"Monitor\"\n  Identifier \"monitor\"\n  HorizSync 5.0-1000.0\n  VertRefresh 5.0-200.0\n"
           "EndSection\n"
           "Section \"Screen\"\n  Identifier \"screen\"\n  Device \"dummy\"\n  Monitor \"monitor\"\n"
           "  DefaultDepth 24\n  SubSection \"Display\"\n    Depth 24\n    Virtual " +
           std::to_string(virtualWidth) + " " + std::to_string(virtualHeight) + "\n  EndSubSection\nEndSection\n";
}

pid_t spawn(const std::vector<std::string>& argv, const std::string& display, int stdoutFd = -1, int keepFd = -1,
            int stdinFd = -1, const std::vector<std::string>& extra = {}) {
    const auto replaced = [&](const char* variable) {
        const std::string_view entry(variable);
        if (entry.starts_with("DISPLAY=")) return true;
        return std::any_of(extra.begin(), extra.end(), [&](const std::string& e) {
            return entry.substr(0, entry.find('=') + 1) == std::string_view(e).substr(0, e.find('=') + 1);
        });
    };
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (!replaced(*e)) env.emplace_back(*e);
    if (!display.empty()) env.push_back("DISPLAY=" + display);
    env.insert(env.end(), extra.begin(), extra.end());
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
    const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (stdoutFd < 0) posix_spawn_file_actions_adddup2(&actions, devNull, 1);
    posix_spawn_file_actions_adddup2(&actions, devNull, 2);
    const int devNullIn = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    posix_spawn_file_actions_adddup2(&actions, stdinFd >= 0 ? stdinFd : devNullIn, 0);
    (void)keepFd; // inherited: created without O_CLOEXEC
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(devNull);
    ::close(devNullIn);
    if (error != 0) throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(error));
    return pid;
}

// Reads one line from `fd` within `timeoutMs`; empty when nothing came.
std::string readLine(int fd, int timeoutMs) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (::poll(&p, 1, static_cast<int>(std::max<long long>(left, 0))) <= 0) break;
        char c = 0;
        if (::read(fd, &c, 1) != 1) break;
        if (c == '\n') return line;
        line += c;
    }
    return line;
}

void stop(pid_t pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) return;
        struct timespec pause {0, 5'000'000};
        nanosleep(&pause, nullptr);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

std::string rcXml(int desktops) {
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <focus><focusNew>yes</focusNew><followMouse>no</followMouse></focus>
  <placement><policy>Smart</policy></placement>
  <desktops><number>)" + std::to_string(desktops) + R"(</number><firstdesk>1</firstdesk><popupTime>0</popupTime></desktops>
  <keyboard></keyboard>
  <mouse></mouse>
  <applications></applications>
</openbox_config>
)";
}

// IceWM: its taskbar at the bottom, 4 workspaces, and none of its key bindings that hold the
// combinations our hot keys use (workspace switching and moving, window cycling and arranging).
std::string icewmPreferences(int desktops) {
    std::string names;
    for (int i = 1; i <= desktops; ++i) names += std::string(i > 1 ? ", " : "") + "\" " + std::to_string(i) + " \"";
    std::string preferences = "WorkspaceNames=" + names + "\nShowTaskBar=1\nTaskBarAutoHide=0\nTaskBarAtTop=0\n"
                              "ClickToFocus=1\nFocusOnAppRaise=1\nTaskBarShowClock=0\nTaskBarShowMailboxStatus=0\n"
                              "ShowPopupsAbovePointer=0\nQuickSwitch=0\n";
    for (const char* key : {"KeySysWorkspacePrev", "KeySysWorkspaceNext", "KeySysWorkspaceLast",
                            "KeySysWorkspacePrevTakeWin", "KeySysWorkspaceNextTakeWin", "KeySysWorkspaceLastTakeWin",
                            "KeySysTileVertical", "KeySysTileHorizontal", "KeySysCascade", "KeySysArrange",
                            "KeySysArrangeIcons", "KeySysMinimizeAll", "KeySysHideAll", "KeySysUndoArrange",
                            "KeySysShowDesktop", "KeyWinArrangeN", "KeyWinArrangeNE", "KeyWinArrangeE",
                            "KeyWinArrangeSE", "KeyWinArrangeS", "KeyWinArrangeSW", "KeyWinArrangeW",
                            "KeyWinArrangeNW", "KeyWinArrangeC", "KeyWinTileLeft", "KeyWinTileRight",
                            "KeyWinTileTop", "KeyWinTileBottom", "KeyWinTileTopLeft", "KeyWinTileTopRight",
                            "KeyWinTileBottomLeft", "KeyWinTileBottomRight", "KeyWinTileCenter", "KeyWinSmartPlace"})
        preferences += std::string(key) + "=\"\"\n";
    for (int i = 1; i <= 12; ++i) {
        preferences += "KeySysWorkspace" + std::to_string(i) + "=\"\"\n";
        preferences += "KeySysWorkspace" + std::to_string(i) + "TakeWin=\"\"\n";
    }
    return preferences;
}

// Fluxbox: its toolbar at the bottom (it reserves the band without a strut), 4 workspaces, an empty
// keys file (no bindings at all), and no menu or per-application rules.
std::string fluxboxInit(int desktops, const std::string& dir) {
    return "session.screen0.workspaces: " + std::to_string(desktops) + "\n" +
           "session.screen0.toolbar.visible: true\n"
           "session.screen0.toolbar.placement: BottomCenter\n"
           "session.screen0.focusModel: ClickFocus\n"
           "session.screen0.focusNewWindows: true\n"
           "session.keyFile: " + dir + "/keys\n"
           "session.appsFile: " + dir + "/apps\n"
           "session.menuFile: " + dir + "/menu\n";
}

struct XcbDeleter {
    void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};
using Connection = std::unique_ptr<xcb_connection_t, XcbDeleter>;

Connection connect(const std::string& display) {
    Connection c(xcb_connect(display.c_str(), nullptr));
    if (xcb_connection_has_error(c.get())) return nullptr;
    return c;
}

xcb_window_t rootOf(xcb_connection_t* c) { return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root; }

xcb_atom_t intern(xcb_connection_t* c, const char* name) {
    auto* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

std::vector<std::uint32_t> windowProperty(xcb_connection_t* c, xcb_window_t window, const char* name) {
    auto* reply = xcb_get_property_reply(c, xcb_get_property(c, 0, window, intern(c, name), XCB_ATOM_ANY, 0, 4096),
                                         nullptr);
    std::vector<std::uint32_t> values;
    if (reply && reply->format == 32) {
        const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
        values.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return values;
}

} // namespace

bool XServer::required() {
    const char* value = std::getenv("QUORVEL_REQUIRE_X_SERVER");
    return value && std::string_view(value) == "1";
}

bool XServer::dummyOutputsAvailable() {
    return std::system("command -v Xorg >/dev/null 2>&1") == 0 &&
           std::filesystem::exists("/usr/lib/xorg/modules/drivers/dummy_drv.so");
}

bool XServer::available() { return available(Manager::openbox); }

bool XServer::available(Manager manager) {
    const std::string command =
        std::string("command -v Xvfb >/dev/null 2>&1 && command -v ") + name(manager) + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

const char* XServer::name(Manager manager) {
    switch (manager) {
    case Manager::openbox: return "openbox";
    case Manager::icewm: return "icewm";
    case Manager::fluxbox: return "fluxbox";
    }
    return "openbox";
}

std::vector<std::string> XServer::windowManagerCommand(const Options& options, std::vector<std::string>& environment) {
    switch (options.manager) {
    case Manager::icewm: {
        // Its private folder is ours, so a user's own IceWM settings never reach the test.
        const std::string preferences = m_workDir + "/icewm-preferences";
        std::ofstream(preferences) << icewmPreferences(options.desktops);
        // An empty keys file there, or IceWM reads the system one and grabs its program keys.
        std::ofstream(m_workDir + "/keys");
        environment.push_back("ICEWM_PRIVCFG=" + m_workDir);
        return {"icewm", "--config=" + preferences};
    }
    case Manager::fluxbox: {
        const std::string init = m_workDir + "/fluxbox-init";
        std::ofstream(init) << fluxboxInit(options.desktops, m_workDir);
        for (const char* file : {"/keys", "/apps", "/menu"}) std::ofstream(m_workDir + file);
        // Fluxbox keeps state under $HOME/.fluxbox: give it the work folder. Its style would set a
        // wallpaper through fbsetbg, which shows an xmessage window when it cannot; that window
        // may outlive this server and open on the next one to take its display number. The
        // overlay there keeps the background untouched.
        environment.push_back("HOME=" + m_workDir);
        std::filesystem::create_directory(m_workDir + "/.fluxbox");
        std::ofstream(m_workDir + "/.fluxbox/overlay") << "background: none\n";
        return {"fluxbox", "-rc", init};
    }
    case Manager::openbox: break;
    }
    std::string rc = "/etc/xdg/openbox/rc.xml";
    if (!options.stockKeyBindings) {
        rc = m_workDir + "/rc.xml";
        std::ofstream(rc) << rcXml(options.desktops);
    }
    return {"openbox", "--sm-disable", "--config-file", rc};
}

XServer::XServer(const Options& options) {
    char dir[] = "/tmp/quorvel-x11-XXXXXX";
    if (!::mkdtemp(dir)) throw std::runtime_error("cannot make a work folder");
    m_workDir = dir;

    int pipeFds[2];
    if (::pipe(pipeFds) != 0) throw std::runtime_error("cannot make a pipe");
    if (options.dummyOutputs) {
        const std::string config = m_workDir + "/xorg.conf";
        std::ofstream(config) << dummyXorgConf(options.width * 2, options.height);
        std::filesystem::create_directory(m_workDir + "/xorg.conf.d");
        m_xvfb = spawn({"Xorg", "-displayfd", std::to_string(pipeFds[1]), "-config", config, "-configdir",
                        m_workDir + "/xorg.conf.d", "-logfile", m_workDir + "/xorg.log", "-nolisten", "tcp",
                        "-noreset", "-novtswitch", "-sharevts"},
                       "", -1, pipeFds[1]);
    } else {
        m_xvfb = spawn({"Xvfb", "-displayfd", std::to_string(pipeFds[1]), "-screen", "0",
                        std::to_string(options.width) + "x" + std::to_string(options.height) + "x24", "+extension",
                        "RANDR", "-nolisten", "tcp", "-noreset"},
                       "", -1, pipeFds[1]);
    }
    ::close(pipeFds[1]);
    const std::string number = readLine(pipeFds[0], 5000);
    ::close(pipeFds[0]);
    if (number.empty()) {
        stop(m_xvfb);
        throw std::runtime_error("Xvfb did not report a display");
    }
    m_display = ":" + number;

    m_options = options;
    if (!options.windowManager) return;
    if (!launchWindowManager({}, 0)) {
        stop(m_xvfb);
        throw std::runtime_error(std::string(name(options.manager)) + " did not start on " + m_display);
    }
}

bool XServer::launchWindowManager(const std::vector<std::string>& extra, std::uint32_t previousCheck) {
    const Options& options = m_options;
    std::vector<std::string> environment;
    std::vector<std::string> command = windowManagerCommand(options, environment);
    command.insert(command.end(), extra.begin(), extra.end());
    m_windowManager = spawn(command, m_display, -1, -1, -1, environment);

    // Ready when the window manager's check window names itself and the desktops are set up (Openbox
    // announces itself a moment before it publishes its desktops).
    const auto c = connect(m_display);
    // IceWM and Fluxbox are ready for a test once their bar's band is out of the work area.
    const auto barReserved = [&] {
        if (options.manager == Manager::openbox) return true;
        const auto area = windowProperty(c.get(), rootOf(c.get()), "_NET_WORKAREA");
        return area.size() >= 4 && area[3] > 0 && area[3] < static_cast<std::uint32_t>(options.height);
    };
    const bool ready = c && waitFor([&] {
        const xcb_window_t root = rootOf(c.get());
        const auto check = windowProperty(c.get(), root, "_NET_SUPPORTING_WM_CHECK");
        return !check.empty() && check[0] != previousCheck &&
               windowProperty(c.get(), check[0], "_NET_SUPPORTING_WM_CHECK") == check &&
               !windowProperty(c.get(), root, "_NET_NUMBER_OF_DESKTOPS").empty() &&
               !windowProperty(c.get(), root, "_NET_CURRENT_DESKTOP").empty() && barReserved();
    }, std::chrono::milliseconds(5000));
    // A window manager announces itself a little before it manages windows, and a window mapped in between
    // is never managed: map a probe window until it is listed, then let it go.
    const bool managing = ready && [&] {
        xcb_connection_t* raw = c.get();
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(raw)).data;
        const xcb_window_t probe = xcb_generate_id(raw);
        xcb_create_window(raw, XCB_COPY_FROM_PARENT, probe, screen->root, 0, 0, 10, 10, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        const bool listed = waitFor([&] {
            xcb_map_window(raw, probe);
            xcb_flush(raw);
            const auto clients = windowProperty(raw, screen->root, "_NET_CLIENT_LIST");
            return std::find(clients.begin(), clients.end(), probe) != clients.end();
        }, std::chrono::milliseconds(5000));
        xcb_destroy_window(raw, probe);
        xcb_flush(raw);
        return listed && waitFor([&] {
            const auto clients = windowProperty(raw, screen->root, "_NET_CLIENT_LIST");
            return std::find(clients.begin(), clients.end(), probe) == clients.end();
        });
    }();
    if (!managing) {
        stop(m_windowManager);
        m_windowManager = 0;
    }
    return managing;
}

void XServer::stopWindowManager(Ending ending) {
    if (m_windowManager <= 0) return;
    if (ending == Ending::crash) {
        ::kill(m_windowManager, SIGKILL);
        ::waitpid(m_windowManager, nullptr, 0);
    } else {
        stop(m_windowManager);
    }
    m_windowManager = 0;
}

void XServer::startWindowManager() {
    if (!launchWindowManager({}, 0)) throw std::runtime_error("the window manager did not start again on " + m_display);
}

void XServer::replaceWindowManager() {
    const auto c = connect(m_display);
    const auto check = c ? windowProperty(c.get(), rootOf(c.get()), "_NET_SUPPORTING_WM_CHECK") : std::vector<std::uint32_t>{};
    const pid_t old = m_windowManager;
    if (!launchWindowManager({"--replace"}, check.empty() ? 0 : check.front()))
        throw std::runtime_error("the window manager was not replaced on " + m_display);
    // The old one exits once the new one has taken over.
    const bool ended = waitFor([old] { return ::waitpid(old, nullptr, WNOHANG) == old; }, std::chrono::milliseconds(5000));
    if (!ended) stop(old);
}

XServer::~XServer() {
    for (const int fd : m_pipes) ::close(fd);
    for (const pid_t client : m_clients) stop(client);
    stop(m_windowManager);
    stop(m_xvfb);
    std::error_code ignored;
    std::filesystem::remove_all(m_workDir, ignored);
}

ClientWindow XServer::openWindow(const ClientWindowOptions& options) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("cannot make a pipe");
    const char* type = options.type == ClientWindowOptions::Type::dialog      ? "dialog"
                       : options.type == ClientWindowOptions::Type::fixedSize ? "fixed"
                                                                               : "normal";
    std::vector<std::string> argv = {QUORVEL_TEST_CLIENT,   "--title", options.title, "--width",
                                     std::to_string(options.width), "--height", std::to_string(options.height),
                                     "--type",              type};
    if (options.desktop) {
        argv.push_back("--desktop");
        argv.push_back(std::to_string(*options.desktop));
    }
    if (options.minimumSize) {
        argv.insert(argv.end(), {"--min-width", std::to_string(static_cast<int>(options.minimumSize->width)),
                                 "--min-height", std::to_string(static_cast<int>(options.minimumSize->height))});
    }
    argv.insert(argv.end(), options.extra.begin(), options.extra.end());
    const pid_t pid = spawn(argv, m_display, pipeFds[1]);
    ::close(pipeFds[1]);
    const std::string line = readLine(pipeFds[0], 5000);
    ::close(pipeFds[0]);
    m_clients.push_back(pid);
    if (line.empty()) throw std::runtime_error("the test client did not open its window");
    const auto window = static_cast<std::uint32_t>(std::stoul(line));

    waitListed(window, true);
    return {pid, window};
}

void XServer::waitListed(std::uint32_t window, bool listed) {
    // Managed once the window manager lists it; gone once it does not.
    const auto c = connect(m_display);
    waitFor([&] {
        const auto clients = windowProperty(c.get(), rootOf(c.get()), "_NET_CLIENT_LIST");
        return (std::find(clients.begin(), clients.end(), window) != clients.end()) == listed;
    });
}

ClientApp XServer::openApp(const ClientWindowOptions& options) {
    int out[2];
    int in[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("cannot make a pipe");
    std::vector<std::string> argv{QUORVEL_TEST_CLIENT, "--title", options.title, "--width", std::to_string(options.width),
                                  "--height", std::to_string(options.height)};
    argv.insert(argv.end(), options.extra.begin(), options.extra.end()); // for the first window
    const pid_t pid = spawn(argv, m_display, out[1], -1, in[0]);
    ::close(out[1]);
    ::close(in[0]);
    m_clients.push_back(pid);
    m_pipes.push_back(out[0]);
    m_pipes.push_back(in[1]);
    ClientApp app{pid, in[1], out[0], {}};
    const std::string line = readLine(app.replies, 5000);
    if (line.empty()) throw std::runtime_error("the test client did not open its window");
    app.first = {pid, static_cast<std::uint32_t>(std::stoul(line))};
    waitListed(app.first.window, true);
    return app;
}

ClientWindow XServer::openAnother(ClientApp& app, const std::string& title, int width, int height) {
    const std::string command = "open " + title + " " + std::to_string(width) + " " + std::to_string(height) + "\n";
    if (::write(app.commands, command.data(), command.size()) != static_cast<ssize_t>(command.size()))
        throw std::runtime_error("the test client does not listen");
    const std::string line = readLine(app.replies, 5000);
    if (line.empty()) throw std::runtime_error("the test client did not open another window");
    const ClientWindow window{app.pid, static_cast<std::uint32_t>(std::stoul(line))};
    waitListed(window.window, true);
    return window;
}

void XServer::closeWindow(ClientApp& app, std::uint32_t window) {
    const std::string command = "close " + std::to_string(window) + "\n";
    if (::write(app.commands, command.data(), command.size()) != static_cast<ssize_t>(command.size()))
        throw std::runtime_error("the test client does not listen");
    waitListed(window, false);
}

void XServer::close(const ClientWindow& window) {
    stop(window.pid);
    std::erase(m_clients, window.pid);
    waitListed(window.window, false);
}

Rect XServer::clientGeometry(std::uint32_t window) {
    const auto c = connect(m_display);
    auto* geometry = xcb_get_geometry_reply(c.get(), xcb_get_geometry(c.get(), window), nullptr);
    auto* translated =
        xcb_translate_coordinates_reply(c.get(), xcb_translate_coordinates(c.get(), window, rootOf(c.get()), 0, 0),
                                        nullptr);
    Rect r;
    if (geometry && translated)
        r = {double(translated->dst_x), double(translated->dst_y), double(geometry->width), double(geometry->height)};
    std::free(geometry);
    std::free(translated);
    return r;
}

Rect XServer::frameGeometry(std::uint32_t window) {
    const auto c = connect(m_display);
    const xcb_window_t root = rootOf(c.get());
    // Walk up to the root's child: that is the window manager's frame.
    xcb_window_t frame = window;
    for (;;) {
        auto* tree = xcb_query_tree_reply(c.get(), xcb_query_tree(c.get(), frame), nullptr);
        if (!tree) break;
        const xcb_window_t parent = tree->parent;
        std::free(tree);
        if (parent == root || parent == XCB_WINDOW_NONE) break;
        frame = parent;
    }
    auto* geometry = xcb_get_geometry_reply(c.get(), xcb_get_geometry(c.get(), frame), nullptr);
    Rect r;
    if (geometry)
        r = {double(geometry->x), double(geometry->y), double(geometry->width + 2 * geometry->border_width),
             double(geometry->height + 2 * geometry->border_width)};
    std::free(geometry);
    return r;
}

std::uint32_t XServer::activeWindow() {
    const auto c = connect(m_display);
    const auto active = windowProperty(c.get(), rootOf(c.get()), "_NET_ACTIVE_WINDOW");
    return active.empty() ? 0 : active.front();
}

std::optional<std::uint32_t> XServer::desktopOf(std::uint32_t window) {
    const auto c = connect(m_display);
    const auto desktop = windowProperty(c.get(), window, "_NET_WM_DESKTOP");
    if (desktop.empty()) return std::nullopt;
    return desktop.front();
}

void XServer::kill() {
    if (m_xvfb <= 0) return;
    ::kill(m_xvfb, SIGKILL);
    ::waitpid(m_xvfb, nullptr, 0);
    m_xvfb = 0;
}

int XServer::run(const std::string& command) {
    const pid_t pid = spawn({"sh", "-c", command}, m_display);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace quorvel::x11test
