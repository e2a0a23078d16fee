// A private X server for one test: Xvfb on a free display with an EWMH window manager (Openbox by
// default, or IceWM or Fluxbox; 4 desktops, none of their key bindings), torn down when the object
// goes, even when a test fails.
// Also starts our test client to open real windows, and reads true geometry back.
#pragma once

#include "platform/Types.h"

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::x11test {

struct ClientWindowOptions {
    std::string title = "test window";
    int width = 400;
    int height = 300;
    enum class Type { normal, dialog, fixedSize } type = Type::normal;
    std::optional<int> desktop; // 0-based EWMH desktop, else wherever the window manager puts it
    std::optional<Size> minimumSize; // in WM_NORMAL_HINTS: the window manager keeps it at least this big
    // More options of the test client, as given (tests/x11/client/TestClient.cpp).
    std::vector<std::string> extra;
};

// A window of our test client, owned by a child process of its own: killing it closes the window.
struct ClientWindow {
    pid_t pid = 0;
    std::uint32_t window = 0; // the client window's XID
};

// A test client process that stays to open more windows, as a running application does.
struct ClientApp {
    pid_t pid = 0;
    int commands = -1; // its stdin
    int replies = -1;  // its stdout
    ClientWindow first;
};

class XServer {
public:
    // The window managers the tests run under. IceWM and Fluxbox keep their bottom bar, which
    // reserves part of the screen.
    enum class Manager { openbox, icewm, fluxbox };
    static const char* name(Manager manager);

    struct Options {
        int width = 1920;
        int height = 1080;
        int desktops = 4;
        // When set, Openbox runs with its stock key bindings instead of none. Openbox only: IceWM
        // and Fluxbox always run without the bindings of their own that the tests could collide with.
        bool stockKeyBindings = false;
        // When false, no window manager runs: a bare X server.
        bool windowManager = true;
        Manager manager = Manager::openbox;
        // Xorg with the dummy video driver instead of Xvfb: real RandR outputs (DUMMY0 lit,
        // DUMMY1… connected and dark) whose primary flag can change. The screen may grow to
        // twice `width`.
        bool dummyOutputs = false;
    };
    // Whether Xorg and its dummy video driver are installed here.
    static bool dummyOutputsAvailable();

    // Starts Xvfb and the window manager and waits (bounded) until it announces itself, manages
    // windows and (IceWM, Fluxbox) has reserved its bar.
    // Throws std::runtime_error when either cannot start.
    explicit XServer(const Options& options);
    XServer() : XServer(Options{}) {}
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // ":N", for DISPLAY.
    const std::string& display() const { return m_display; }
    // Whether the Xvfb and Openbox binaries are installed here; with a manager, that one's.
    static bool available();
    static bool available(Manager manager);
    // Whether their absence fails a test instead of skipping it: the test command, which installs
    // them, sets QUORVEL_REQUIRE_X_SERVER=1.
    static bool required();

    // Opens a window with the test client and waits (bounded) until the window manager maps it.
    ClientWindow openWindow(const ClientWindowOptions& options = {});
    // Closes a client's window by ending its process, and waits until it is gone.
    void close(const ClientWindow& window);
    // Starts a client that keeps running, with its first window; more windows come from openAnother.
    ClientApp openApp(const ClientWindowOptions& options = {});
    ClientWindow openAnother(ClientApp& app, const std::string& title, int width = 400, int height = 300);
    // Destroys one window of an app (the process goes on), and waits until it is gone.
    void closeWindow(ClientApp& app, std::uint32_t window);

    // Geometry as it truly is: the client window in root coordinates, and its frame (the window
    // manager's decoration around it).
    Rect clientGeometry(std::uint32_t window);
    Rect frameGeometry(std::uint32_t window);

    // _NET_ACTIVE_WINDOW (0 for None or when unset), and a window's _NET_WM_DESKTOP (0-based).
    std::uint32_t activeWindow();
    std::optional<std::uint32_t> desktopOf(std::uint32_t window);

    // Ends the X server at once, as a crash or a logout would.
    void kill();

    // The window manager's life, as a session sees it. Stopping waits until it is gone: asked to
    // quit it lets go of every window first; a crash (SIGKILL) leaves its properties behind.
    enum class Ending { quit, crash };
    void stopWindowManager(Ending ending);
    // Starts the window manager of the options (again, or on a server started without one) and
    // waits as the constructor does. Throws std::runtime_error when it does not come up.
    void startWindowManager();
    // `openbox --replace`: a new Openbox takes over from the running one, which exits.
    void replaceWindowManager();

    // Runs a command with DISPLAY set to this server (xdotool, xprop, …); returns its exit code.
    int run(const std::string& command);

    // Waits until `condition` holds, polling every 5 ms, for at most `timeout`; true when it held.
    template <class Condition>
    static bool waitFor(Condition condition, std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));

private:
    std::string m_display;
    pid_t m_xvfb = 0;
    pid_t m_windowManager = 0;
    std::string m_workDir;
    std::vector<pid_t> m_clients;
    std::vector<int> m_pipes;
    // The window manager's command line; `environment` gets the variables it needs besides DISPLAY.
    std::vector<std::string> windowManagerCommand(const Options& options, std::vector<std::string>& environment);
    // Spawns the window manager (with `extra` arguments) and waits until it manages windows, with a
    // check window other than `previousCheck`; stops it and returns false when it does not.
    bool launchWindowManager(const std::vector<std::string>& extra, std::uint32_t previousCheck);
    Options m_options;
    void waitListed(std::uint32_t window, bool listed);
};

template <class Condition>
bool XServer::waitFor(Condition condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) return true;
        struct timespec pause {0, 5'000'000};
        nanosleep(&pause, nullptr);
    }
    return condition();
}

} // namespace quorvel::x11test

// For a fixture's SetUp (GoogleTest): skips the test without Xvfb or Openbox, or fails it when
// the X server is required.
#define QUORVEL_NEED_X_SERVER()                                                                      \
    do {                                                                                           \
        if (!::quorvel::x11test::XServer::available()) {                                           \
            if (::quorvel::x11test::XServer::required())                                           \
                FAIL() << "Xvfb or Openbox is not installed (scripts/quorvel test installs both)"; \
            GTEST_SKIP() << "Xvfb or Openbox is not installed";                                    \
        }                                                                                          \
    } while (false)
