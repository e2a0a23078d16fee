// Starting desktop entries through GIO on a real server: the child runs on the server we are
// connected to (not our environment's DISPLAY) with a startup id carrying the input's time, an
// action runs its own Exec line, a program runs in the entry's Path, a Terminal=true entry runs
// inside x-terminal-emulator, failures come back as text, and every child is reaped.
#include "DesktopEntryFolders.h"
#include "GioApplications.h"
#include "X11ClientFixture.h"
#include "X11Workspace.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>

using namespace quorvel;
using namespace quorvel::x11test;
using quorvel::test::DesktopEntryFolders;

namespace {

std::string client() { return QUORVEL_TEST_CLIENT; }

class GioLaunchTest : public X11ClientFixture {
protected:
    void SetUp() override {
        X11ClientFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        // Entries are started from their files: a folder of our own, the XDG variables untouched
        // (the window manager started by the next test reads its theme through them).
        char pattern[] = "/tmp/quorvel-launch-XXXXXX";
        folder = ::mkdtemp(pattern);
        const auto main = DesktopEntryFolders::writeFile(folder / "launch-main.desktop",
                                  DesktopEntryFolders::entry("Main", client() + " --title Main %U",
                                                             "Actions=new-window;\n\n[Desktop Action new-window]\n"
                                                             "Name=New Window\nExec=" + client() +
                                                                 " --title FromAction\n"));
        app = {.name = "Main", .desktopFileId = "launch-main.desktop", .path = main.string(), .program = client()};
        // Children must find the server through what we tell them, not through our environment.
        const char* display = std::getenv("DISPLAY");
        if (display) savedDisplay = display;
        ::setenv("DISPLAY", ":4242", 1);
        workspace = std::make_unique<x11::X11Workspace>(*connection, *tracker, loop, log);
        apps = std::make_unique<GioApplications>(loop, server->display(), [this](Pid pid, const std::string& program) {
            workspace->adoptLaunched(pid, program);
        });
    }
    void TearDown() override {
        std::error_code ignored;
        if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
        if (savedDisplay) ::setenv("DISPLAY", savedDisplay->c_str(), 1);
        else ::unsetenv("DISPLAY");
    }

    // The title of the first window `pid` maps, once it is managed.
    std::optional<std::string> windowTitleOf(Pid pid) {
        if (!waitFor([&] { return !tracker->windowsOf(pid).empty(); })) return std::nullopt;
        return connection->windowTitle(tracker->windowsOf(pid).front());
    }
    static std::string environmentOf(Pid pid, const std::string& name) {
        std::ifstream file("/proc/" + std::to_string(pid) + "/environ");
        const std::string all((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        const std::string key = name + "=";
        for (std::size_t at = 0; at < all.size(); at = all.find('\0', at) + 1) {
            if (all.compare(at, key.size(), key) == 0) return all.substr(at + key.size(), all.find('\0', at) - at - key.size());
            if (all.find('\0', at) == std::string::npos) break;
        }
        return "";
    }
    // Ends `pid` and waits until it is gone from the process table: reaped, not a zombie.
    bool endsAndIsReaped(Pid pid) {
        ::kill(pid, SIGTERM);
        return waitFor([&] { return !std::filesystem::exists("/proc/" + std::to_string(pid)); });
    }

    std::filesystem::path folder;
    std::optional<std::string> savedDisplay;
    SummonableApp app;
    std::unique_ptr<x11::X11Workspace> workspace;
    std::unique_ptr<GioApplications> apps;
};

} // namespace

TEST_F(GioLaunchTest, AnEntryRunsOnTheServersDisplayWithAStartupIdAndIsReaped) {
    const LaunchResult result = apps->launch(app, 4711);
    ASSERT_TRUE(result.started()) << result.error.value_or("");
    const Pid pid = *result.pid;
    EXPECT_TRUE(workspace->runningApplication(pid)) << "adopted: running from the launch on";
    EXPECT_EQ(windowTitleOf(pid), "Main");
    EXPECT_EQ(environmentOf(pid, "DISPLAY"), server->display());
    const std::string startupId = environmentOf(pid, "DESKTOP_STARTUP_ID");
    EXPECT_TRUE(startupId.starts_with("quorvel-" + std::to_string(::getpid()) + "-")) << startupId;
    EXPECT_TRUE(startupId.ends_with("_TIME4711")) << startupId;
    EXPECT_TRUE(endsAndIsReaped(pid));
}

TEST_F(GioLaunchTest, AnActionRunsItsOwnExecLineAndAProgramRunsInTheEntrysPath) {
    const LaunchResult action = apps->launchAction(app, "new-window", 1);
    ASSERT_TRUE(action.started()) << action.error.value_or("");
    EXPECT_EQ(windowTitleOf(*action.pid), "FromAction");
    EXPECT_TRUE(endsAndIsReaped(*action.pid));

    const auto workingFolder = folder / "working";
    std::filesystem::create_directories(workingFolder);
    app.path = DesktopEntryFolders::writeFile(folder / "launch-path.desktop",
                                              DesktopEntryFolders::entry("Pathed", client(),
                                                                         "Path=" + workingFolder.string() + "\n"))
                   .string();
    // Shell syntax in an argument reaches the program untouched.
    const LaunchResult program = apps->launchProgram(app, {"--title", "new $(window); 'x'"}, 2);
    ASSERT_TRUE(program.started()) << program.error.value_or("");
    EXPECT_EQ(windowTitleOf(*program.pid), "new $(window); 'x'");
    EXPECT_EQ(std::filesystem::read_symlink("/proc/" + std::to_string(*program.pid) + "/cwd"), workingFolder);
    EXPECT_TRUE(endsAndIsReaped(*program.pid));
}

TEST_F(GioLaunchTest, ATerminalEntryRunsInsideXTerminalEmulator) {
    // A stand-in terminal first on PATH: notes its arguments and runs what follows -e.
    const auto bin = folder / "bin";
    std::filesystem::create_directories(bin);
    const auto marker = bin / "arguments";
    std::ofstream(bin / "x-terminal-emulator") << "#!/bin/sh\necho \"$@\" > " << marker.string() << "\nshift\nexec \"$@\"\n";
    ::chmod((bin / "x-terminal-emulator").c_str(), 0755);
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
    ::setenv("PATH", (bin.string() + ":" + path).c_str(), 1);

    app.path = DesktopEntryFolders::writeFile(folder / "launch-terminal.desktop",
                                              DesktopEntryFolders::entry("Term", client() + " --title InTerminal",
                                                                         "Terminal=true\n"))
                   .string();
    const LaunchResult result = apps->launch(app, 3);
    ::setenv("PATH", path.c_str(), 1);
    ASSERT_TRUE(result.started()) << result.error.value_or("");
    EXPECT_EQ(windowTitleOf(*result.pid), "InTerminal");
    std::string arguments;
    std::getline(std::ifstream(marker), arguments);
    EXPECT_EQ(arguments, "-e " + client() + " --title InTerminal");
    EXPECT_TRUE(endsAndIsReaped(*result.pid));
}

TEST_F(GioLaunchTest, FailuresComeBackAsTextWithNoProcess) {
    SummonableApp gone = app;
    gone.path = (folder / "never-written.desktop").string();
    const LaunchResult missing = apps->launch(gone, 1);
    EXPECT_FALSE(missing.started());
    EXPECT_FALSE(missing.error.value_or("").empty());

    const LaunchResult noAction = apps->launchAction(app, "no-such-action", 1);
    EXPECT_FALSE(noAction.started());
    EXPECT_FALSE(noAction.error.value_or("").empty());

    SummonableApp broken = app;
    broken.program = "/nonexistent/quorvel-program";
    const LaunchResult noProgram = apps->launchProgram(broken, {"--new-window"}, 1);
    EXPECT_FALSE(noProgram.started());
    EXPECT_FALSE(noProgram.error.value_or("").empty());
}
