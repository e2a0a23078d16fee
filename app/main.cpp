// The quorvel executable: the one composition root. Picks the real implementations (X11 for other
// applications' windows, Qt for our own, the journal, the defaults file), builds the shared
// components and the application delegate, runs Qt's event loop, and shuts down cleanly on
// SIGTERM, SIGINT or a lost X connection.
#include "AutostartEntry.h"
#include "CommandLine.h"
#include "ControlSocket.h"
#include "CrashHandler.h"
#include "CrashReportFiles.h"
#include "GioApplications.h"
#include "InstanceLock.h"
#include "JournalLog.h"
#include "JsonFileDefaults.h"
#include "KeyTranslation.h"
#include "MessageClient.h"
#include "QtHelperWindow.h"
#include "QtHttpTransport.h"
#include "QtMailHandoff.h"
#include "QtOutlineWindow.h"
#include "QtPaletteWindow.h"
#include "QtPanelWindow.h"
#include "QtScheduler.h"
#include "QtSettingsWindow.h"
#include "QtShortcutsWindow.h"
#include "QtStripWindow.h"
#include "QtTextFolding.h"
#include "QtTrayView.h"
#include "QtWelcomeWindow.h"
#include "QtUserNotifier.h"
#include "X11WindowControl.h"
#include "X11ClientTracker.h"
#include "X11Compositor.h"
#include "X11Connection.h"
#include "X11DisplayOutputs.h"
#include "X11HotkeySystem.h"
#include "X11OwnWindows.h"
#include "X11Screens.h"
#include "X11StripFacts.h"
#include "StripPlatformOnX11.h"
#include "X11WindowServer.h"
#include "X11WindowManagerWatch.h"
#include "X11Workspace.h"
#include "X11DesktopNames.h"
#include "reports/CrashReports.h"
#include "shell/AppDelegate.h"
#include "shell/ControlWiring.h"

#include <QApplication>
#include <QGuiApplication>
#include <xcb/xcb.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace quorvel;

constexpr std::string_view kCategory = "app";

// SIGTERM and SIGINT arrive through this pair so the event loop, not the handler, acts on them.
int g_signalPipe[2] = {-1, -1};

void onSignal(int signal) {
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

bool installSignalHandlers() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalPipe) != 0) return false;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGTERM, &action, nullptr) == 0 && ::sigaction(SIGINT, &action, nullptr) == 0;
}

// Lines go to the journal; also to stderr unless stderr already is the journal (a service started
// by systemd), so a user running the program from a terminal sees them.
bool stderrIsTheJournal() {
    const char* stream = std::getenv("JOURNAL_STREAM");
    struct stat info {};
    if (!stream || ::fstat(2, &info) != 0) return false;
    const std::string expected = std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
    return expected == stream;
}

// A helper that never keeps the focus when it closes: a window manager may leave the focus (and
// _NET_ACTIVE_WINDOW) on a window that is gone when nothing else is on the desktop (Openbox does).
class FocusReleasingHelper final : public HelperWindow {
public:
    FocusReleasingHelper(std::unique_ptr<HelperWindow> window, x11::X11WindowServer& windowServer)
        : m_window(std::move(window)), m_windowServer(windowServer) {}

    WindowId windowNumber() const override { return m_window->windowNumber(); }
    void setLevelNormal() override { m_window->setLevelNormal(); }
    void setAlpha(double alpha) override { m_window->setAlpha(alpha); }
    void orderBack() override { m_window->orderBack(); }
    void makeKeyAndOrderFront() override { m_window->makeKeyAndOrderFront(); }
    bool isKey() const override { return m_window->isKey(); }
    bool isMain() const override { return m_window->isMain(); }
    void setIgnoresMouseEvents(bool ignores) override { m_window->setIgnoresMouseEvents(ignores); }
    void setBackgroundBlack() override { m_window->setBackgroundBlack(); }
    void close() override {
        // While the window still exists, so the window manager moves the focus from a live window.
        m_windowServer.handFocusAwayFrom(m_window->windowNumber());
        m_window->close();
    }

private:
    std::unique_ptr<HelperWindow> m_window;
    x11::X11WindowServer& m_windowServer;
};

// The desktop switcher's helper windows: Qt's, kept out of taskbars and pagers, activated the way
// a pager does it.
class X11HelperWindows final : public HelperWindowFactory {
public:
    explicit X11HelperWindows(x11::X11WindowServer& windowServer)
        : m_windowServer(windowServer), m_qt([this](WindowId window) { activate(window); }) {}

    std::unique_ptr<HelperWindow> createHelperWindow() override {
        auto window = m_qt.createHelperWindow();
        if (!window) return nullptr;
        m_windowServer.skipTaskbarAndPager(window->windowNumber());
        return std::make_unique<FocusReleasingHelper>(std::move(window), m_windowServer);
    }
    // An EWMH desktop stays current without windows: a helper never stays parked holding the focus.
    bool emptyDesktopsStayShown() const override { return true; }

private:
    void activate(WindowId window) {
        // Qt's own connection carries the window's map request: send it first, so the window
        // manager manages the window before it reads our request to activate it.
        if (auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>()) xcb_flush(x11->connection());
        m_windowServer.activate(window);
    }

    x11::X11WindowServer& m_windowServer;
    ui::QtHelperWindowFactory m_qt;
};

// The switcher panel's requests to the window manager. Qt's own connection carries the window's
// map request: a round trip on it first makes sure the window manager has seen the map before our
// connection asks for the focus.
class X11PanelWindowManager final : public ui::PanelWindowManager {
public:
    explicit X11PanelWindowManager(x11::X11Connection& connection) : m_windows(connection) {}

    void prepare(WindowId window) override { m_windows.prepareFloatingPanel(window); }
    void activate(WindowId window, InputTime time) override {
        if (auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>()) {
            xcb_connection_t* qt = x11->connection();
            std::free(xcb_get_input_focus_reply(qt, xcb_get_input_focus(qt), nullptr));
        }
        m_windows.activate(window, time);
    }
    WindowId activeWindow() override { return m_windows.activeWindow(); }
    // The desktop strip: a dock on every desktop that reserves no space.
    void prepareDock(WindowId window) override { m_windows.prepareDock(window); }
    void giveFocusBack(WindowId window) override {
        if (auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>()) xcb_flush(x11->connection());
        m_windows.giveFocusBack(window);
    }

private:
    x11::X11OwnWindows m_windows;
};

// A duration in seconds from the environment (tests shorten the waits), else `fallback`.
std::chrono::milliseconds secondsFromEnvironment(const char* name, std::chrono::milliseconds fallback) {
    const char* value = std::getenv(name);
    if (!value || !*value) return fallback;
    char* end = nullptr;
    const double seconds = std::strtod(value, &end);
    if (*end != '\0' || !(seconds >= 0 && seconds <= 600)) return fallback;
    return std::chrono::milliseconds(static_cast<long>(seconds * 1000));
}

// Crash reporting: the handler is installed before anything else runs; reports go to the endpoint
// the build names, or, for tests, to a server on this machine named by QUORVEL_CRASH_REPORT_URL.
// Such a local server is trusted with the certificates of SSL_CERT_FILE besides the system's; the
// configured endpoint only ever with the system's.
struct CrashReportEndpoint {
    std::string url;
    std::string extraCertificates;
};

CrashReportEndpoint crashReportEndpoint() {
    if (const char* local = std::getenv("QUORVEL_CRASH_REPORT_URL"); local && *local) {
        if (auto endpoint = CrashReports::localEndpoint(local)) {
            const char* certificates = std::getenv("SSL_CERT_FILE");
            return {*endpoint, certificates ? certificates : ""};
        }
    }
    return {QUORVEL_CRASH_REPORT_URL, {}};
}

// The address problem reports are written to: the build's, or where the build names none, one from
// the environment (a session trying the report out); it only fills in the mail the user sends.
std::string supportAddress() {
    const std::string configured = QUORVEL_SUPPORT_ADDRESS;
    if (!configured.empty()) return configured;
    const char* fromEnvironment = std::getenv("QUORVEL_SUPPORT_ADDRESS");
    return fromEnvironment ? fromEnvironment : "";
}

QtMessageHandler g_qtMessages = nullptr;

// A Qt fatal message aborts: the report then says why.
void onQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg) CrashHandler::noteAbortReason("Qt fatal message");
    if (g_qtMessages) g_qtMessages(type, context, message);
}

int fail(const std::string& message) {
    std::fprintf(stderr, "quorvel: %s\n", message.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    // `quorvel msg …` talks to the running instance and never starts one.
    if (argc >= 2 && std::string_view(argv[1]) == "msg") return runMessageClient(argc, argv);
    // The command line, before anything needs a display: --help and --version answer without one.
    const CommandLine commandLine = parseCommandLine(commandLineArguments(argc, argv), QUORVEL_VERSION);
    if (commandLine.action != CommandLine::Action::run) return answerCommandLine(commandLine);

    const auto started = std::chrono::steady_clock::now();
    const std::string crashFolder = CrashHandler::defaultFolder();
    const bool crashHandlerInstalled = CrashHandler::install(crashFolder, QUORVEL_VERSION);
    g_qtMessages = qInstallMessageHandler(onQtMessage);
    JournalLog log({.echoToStderr = commandLine.verbose || !stderrIsTheJournal()});

    const char* displayVariable = std::getenv("DISPLAY");
    const std::string display = displayVariable ? displayVariable : "";
    if (display.empty()) return fail("no X display to work on: DISPLAY is not set.");

    std::string whyNot;
    auto instance = InstanceLock::acquire(display, &whyNot);
    if (!instance) {
        log.error(kCategory, "%s", whyNot);
        return fail(whyNot);
    }

    auto connection = x11::X11Connection::open(display, log);
    if (!connection) return fail("cannot connect to the X display " + display + ".");
    if (!installSignalHandlers()) log.error(kCategory, "signal handlers could not be installed");
    // An autostart entry may race the session's window manager: wait for one, 10 s at most. Without
    // one by then, the compatibility check below says so and the program quits.
    x11::X11WindowManagerWatch::waitForWindowManager(
        *connection, secondsFromEnvironment("QUORVEL_WM_WAIT_SECONDS", std::chrono::seconds(10)), log);

    // Our windows are Qt's; everyone else's go through the backend's own connection.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    QApplication::setApplicationName("Quorvel");
    QApplication::setQuitOnLastWindowClosed(false);

    ui::QtScheduler scheduler;
    scheduler.watch(connection->fileDescriptor(), [&] { connection->dispatch(); });
    // Replies waited for may have pulled events into the connection's queue: route them before
    // the loop sleeps on the descriptor, which would not wake for them.
    scheduler.setBeforeBlocking([&] { connection->dispatch(); });
    scheduler.watch(g_signalPipe[0], [&] {
        char signal = 0;
        while (::read(g_signalPipe[0], &signal, 1) == 1)
            log.info(kCategory, "quitting on %s", std::string(signal == SIGTERM ? "SIGTERM" : "SIGINT"));
        QApplication::exit(0);
    });
    bool connectionLost = false;
    connection->onConnectionLost = [&] {
        connectionLost = true;
        log.error(kCategory, "lost the connection to the X display; quitting");
        QApplication::exit(0);
    };

    const std::filesystem::path settingsFile = commandLine.configDir
                                                   ? std::filesystem::path(*commandLine.configDir) / "defaults.json"
                                                   : JsonFileDefaults::defaultPath();
    JsonFileDefaults defaults(settingsFile, log, scheduler.wallClock());
    x11::X11WindowServer windowServer(*connection, log);
    x11::X11Screens screens(*connection, scheduler);
    x11::X11ClientTracker tracker(*connection, scheduler, log);
    x11::X11WindowControl windowControl(*connection, tracker, scheduler, log);
    x11::X11Workspace workspace(*connection, tracker, scheduler, log);
    x11::X11HotkeySystem hotkeys(*connection, scheduler, log);
    ui::QtUserNotifier notifier(scheduler);
    ui::QtOutlineWindow outline;
    // Without a compositing manager our translucent windows are shaped instead; follow it.
    x11::X11Compositor compositor(*connection);
    X11HelperWindows helperWindows(windowServer);
    X11PanelWindowManager panelWindowManager(*connection);
    ui::QtPanelWindowFactory panels(&panelWindowManager, &scheduler);
    ui::QtTrayView tray(scheduler);
    // The summon palette: on the window manager's terms like the panel, over the usable areas it
    // reports; names folded, split and ordered with Qt.
    ui::useInstalledIconThemeAsFallback();
    ui::QtPaletteWindowFactory palettes(&panelWindowManager, &screens);
    ui::QtTextFolding text;
    // The installed applications: desktop entries through GIO, started on our display; the
    // workspace reaps what they start.
    GioApplications applications(scheduler, connection->displayName(),
                                 [&workspace](Pid pid, const std::string& program) { workspace.adoptLaunched(pid, program); });
    // The desktop strip: Qt's windows over the X server's tray icons, full-screen windows and pointer.
    x11::X11StripFacts stripFacts(*connection, scheduler);
    ui::QtStripWindowFactory strips(&panelWindowManager, compositor.present());
    StripPlatformOnX11 stripPlatform(stripFacts, strips);
    compositor.onChanged = [&](bool present) {
        outline.setCompositing(present);
        notifier.setCompositing(present);
        palettes.setCompositing(present);
        strips.setCompositing(present);
    };
    compositor.onChanged(compositor.present());

    CrashReportFiles crashReports(crashFolder);
    const CrashReportEndpoint endpoint = crashReportEndpoint();
    ui::QtHttpTransport crashTransport(endpoint.extraCertificates);
    CrashReporting crashReporting{crashReports, crashTransport, endpoint.url, QUORVEL_VERSION,
                                  describeThisSystem()};
    ui::QtMailHandoff mail;
    ProblemReporting problemReporting{mail, supportAddress(), QUORVEL_VERSION, QUORVEL_VERSION,
                                      crashReporting.system};
    if (!crashHandlerInstalled) log.error(kCategory, "crash reports folder %s cannot be made", crashFolder);

    // The shortcuts window records a pressed key as the key code the hot keys are stored with;
    // launch at login is the autostart entry that starts this executable.
    ui::QtShortcutsWindowFactory shortcutViews(
        [&hotkeys](std::uint32_t keysym, std::uint32_t keycode) -> std::optional<std::int64_t> {
            if (const auto code = hotkeys.keyCodeForPress(keysym, keycode)) return static_cast<std::int64_t>(*code);
            return std::nullopt;
        });
    AutostartEntry launchAtLogin(AutostartEntry::defaultPath(), AutostartEntry::runningExecutable());

    PlatformServices platform{windowServer, windowControl, workspace, screens,   hotkeys, helperWindows,
                              notifier,     outline,       panels,    defaults,  scheduler, log, tray,
                              applications, palettes,      text,      &shortcutViews, &launchAtLogin};
    // The settings window: Qt's, a normal decorated window of our own process, which tiling skips.
    ui::QtSettingsWindowFactory settingsWindows;
    platform.settingsViews = &settingsWindows;
    // The first-launch welcome window.
    ui::QtWelcomeWindowFactory welcomeViews;
    platform.welcomeViews = &welcomeViews;
    // Crash reports kept by the handler above, sent with consent; problem reports by mail.
    platform.crashReporting = &crashReporting;
    platform.problemReporting = &problemReporting;
    platform.strip = &stripPlatform;
    // Focus Display: the RandR outputs and the primary one.
    x11::X11DisplayOutputs displayOutputs(*connection, scheduler);
    platform.displayOutputs = &displayOutputs;
    // Desktop names shared with the window manager's pagers (_NET_DESKTOP_NAMES).
    x11::X11DesktopNames desktopNames(*connection, scheduler);
    platform.desktopNames = &desktopNames;
    CoreServices core(platform);
    // The defaults file is the user's too: one write per turn, and their edits are taken in.
    defaults.coalesceOn(scheduler);
    defaults.onExternalChange = [&](const std::vector<std::string>& keys) { core.settings.announceChanges(keys); };
    if (const int fd = defaults.watchFile(); fd >= 0) scheduler.watch(fd, [&] { defaults.fileMayHaveChanged(); });
    // _NET_CURRENT_DESKTOP reaches every desktop, empty ones too: switch directly unless told not to.
    core.settings.setDirectSpaceSwitchByDefault(true);
    AppDelegate delegate(platform, core);
    // A window manager restarting or replaced: tiling pauses and resumes, keeping its trees.
    x11::X11WindowManagerWatch windowManagerWatch(*connection, scheduler, log);
    core.coordinator.setWindowManagerGrace(secondsFromEnvironment(
        "QUORVEL_WM_GRACE_SECONDS", std::chrono::duration_cast<std::chrono::milliseconds>(
                                        TilingCoordinator::kWindowManagerGrace)));
    core.coordinator.setWindowManagerSettle(secondsFromEnvironment(
        "QUORVEL_WM_SETTLE_SECONDS", std::chrono::duration_cast<std::chrono::milliseconds>(
                                         TilingCoordinator::kWindowManagerSettle)));
    windowManagerWatch.onChanged = [&core](bool present) {
        if (present) {
            core.coordinator.windowManagerAppeared();
            // It writes the desktop names of its own configuration: ours go back, none taken in.
            core.nameSync.windowManagerChanged();
        } else {
            core.coordinator.windowManagerLost();
        }
    };

    if (!delegate.applicationDidFinishLaunching()) return 1;
    // `quorvel msg`: the control socket beside the instance lock, served from this loop.
    ControlCommands controlCommands(controlDependencies(platform, core, delegate));
    std::string controlWhyNot;
    auto controlSocket = ControlSocket::listen(
        instance->path().parent_path(), display,
        {[&](int fd, std::function<void()> onReadable) { scheduler.watch(fd, std::move(onReadable)); },
         [&](int fd) { scheduler.unwatch(fd); }, scheduler},
        [&](std::string_view line) { return controlCommands.handleLine(line); }, &controlWhyNot);
    if (controlSocket) log.info(kCategory, "listening for quorvel msg on %s", controlSocket->path().string());
    else log.error(kCategory, "quorvel msg will not work: %s", controlWhyNot);
    // Qt's plugins are loaded by now: name them in a report.
    CrashHandler::refreshLoadedObjects();
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    log.info(kCategory, "launched in %ld ms", static_cast<long>(elapsed.count()));

    const int code = QApplication::exec();
    delegate.applicationWillTerminate();
    if (!connectionLost) connection->flush();
    log.info(kCategory, "quit");
    return code;
}
