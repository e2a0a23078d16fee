// The workspace on a real server: client processes come and go as applications, activation
// follows the active window, launches are spawned without a shell, desktop changes are announced.
#include "X11ClientFixture.h"
#include "X11Workspace.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>

using namespace quorvel;
using namespace quorvel::x11test;

namespace {

struct Notice {
    WorkspaceEvent event;
    std::optional<RunningApplication> application;
};

class X11WorkspaceTest : public X11ClientFixture {
protected:
    void SetUp() override {
        X11ClientFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        workspace = std::make_unique<x11::X11Workspace>(*connection, *tracker, loop, log);
        for (const auto event : {WorkspaceEvent::didLaunchApplication, WorkspaceEvent::didTerminateApplication,
                                 WorkspaceEvent::didActivateApplication, WorkspaceEvent::activeSpaceDidChange})
            workspace->addObserver(event, [this, event](const std::optional<RunningApplication>& app) {
                notices.push_back({event, app});
            });
    }

    // Waits for a notice of `event` about `pid` (any application when 0), and returns it.
    std::optional<RunningApplication> awaitNotice(WorkspaceEvent event, Pid pid = 0) {
        std::optional<RunningApplication> found;
        waitFor([&] {
            for (const Notice& n : notices)
                if (n.event == event && (pid == 0 || (n.application && n.application->pid == pid))) {
                    found = n.application.value_or(RunningApplication{});
                    return true;
                }
            return false;
        });
        return found;
    }
    bool isRunning(Pid pid) {
        const auto apps = workspace->runningApplications();
        return std::any_of(apps.begin(), apps.end(), [pid](const RunningApplication& a) { return a.pid == pid; });
    }

    std::unique_ptr<x11::X11Workspace> workspace;
    std::vector<Notice> notices;
};

} // namespace

TEST_F(X11WorkspaceTest, AClientIsLaunchedActivatedAndTerminatedUnderItsName) {
    const ClientWindow editor = server->openWindow({.title = "Editor"});
    const auto launched = awaitNotice(WorkspaceEvent::didLaunchApplication, editor.pid);
    ASSERT_TRUE(launched);
    EXPECT_EQ(launched->localizedName, "QuorvelTestClient");
    EXPECT_EQ(launched->desktopFileId, "quorvel-test-client");
    EXPECT_EQ(launched->wmInstance, "quorvel-test-client");
    EXPECT_EQ(launched->wmClass, "QuorvelTestClient");
    ASSERT_TRUE(launched->executablePath);
    EXPECT_NE(launched->executablePath->find("quorvel-test-client"), std::string::npos);
    EXPECT_FALSE(launched->isTerminated);
    EXPECT_TRUE(awaitNotice(WorkspaceEvent::didActivateApplication, editor.pid));
    EXPECT_TRUE(isRunning(editor.pid));

    const ClientWindow viewer = server->openWindow({.title = "Viewer"});
    ASSERT_TRUE(awaitNotice(WorkspaceEvent::didActivateApplication, viewer.pid));
    EXPECT_EQ(workspace->frontmostApplication().value_or(RunningApplication{}).pid, viewer.pid);

    notices.clear();
    EXPECT_TRUE(workspace->activate(editor.pid));
    EXPECT_TRUE(awaitNotice(WorkspaceEvent::didActivateApplication, editor.pid));
    EXPECT_EQ(workspace->frontmostApplication().value_or(RunningApplication{}).pid, editor.pid);

    server->close(editor);
    const auto terminated = awaitNotice(WorkspaceEvent::didTerminateApplication, editor.pid);
    ASSERT_TRUE(terminated);
    EXPECT_TRUE(terminated->isTerminated);
    EXPECT_EQ(terminated->localizedName, "QuorvelTestClient");
    EXPECT_FALSE(workspace->runningApplication(editor.pid));
    EXPECT_FALSE(workspace->activate(editor.pid));
    EXPECT_TRUE(isRunning(viewer.pid));
}

TEST_F(X11WorkspaceTest, LaunchSpawnsTheProgramItselfAndReportsFailures) {
    // Shell syntax in an argument reaches the program untouched.
    const std::string title = "a;b $(false) 'c'";
    std::optional<Pid> pid;
    bool completed = false;
    workspace->launch({.argv = {QUORVEL_TEST_CLIENT, "--title", title}},
                      [&](std::optional<Pid> launched, std::optional<std::string> error) {
                          completed = true;
                          pid = launched;
                          EXPECT_FALSE(error) << *error;
                      });
    ASSERT_TRUE(waitFor([&] { return completed; }));
    ASSERT_TRUE(pid);
    EXPECT_TRUE(workspace->runningApplication(*pid)) << "running from the launch on, before any window";

    ASSERT_TRUE(awaitNotice(WorkspaceEvent::didLaunchApplication, *pid));
    const auto windows = tracker->windowsOf(*pid);
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(connection->windowTitle(windows.front()), title);

    // The process we started ends: its window goes, we reap it, and it is reported terminated.
    ::kill(*pid, SIGTERM);
    EXPECT_TRUE(awaitNotice(WorkspaceEvent::didTerminateApplication, *pid));
    EXPECT_FALSE(workspace->runningApplication(*pid));

    std::optional<std::string> failure;
    workspace->launch({.argv = {"/nonexistent/quorvel-program"}},
                      [&](std::optional<Pid> launched, std::optional<std::string> error) {
                          EXPECT_FALSE(launched);
                          failure = error.value_or("(no reason)");
                      });
    ASSERT_TRUE(waitFor([&] { return failure.has_value(); }));
    EXPECT_EQ(*failure, "No such file or directory");
}

TEST_F(X11WorkspaceTest, DesktopChangesAreAnnouncedToObserversInRegistrationOrder) {
    std::vector<int> order;
    workspace->addObserver(WorkspaceEvent::activeSpaceDidChange, [&](const auto&) { order.push_back(1); });
    const ObserverToken removed =
        workspace->addObserver(WorkspaceEvent::activeSpaceDidChange, [&](const auto&) { order.push_back(2); });
    workspace->addObserver(WorkspaceEvent::activeSpaceDidChange, [&](const auto&) { order.push_back(3); });
    workspace->removeObserver(removed);

    server->run("xdotool set_desktop 2");
    ASSERT_TRUE(awaitNotice(WorkspaceEvent::activeSpaceDidChange));
    for (const Notice& n : notices) {
        if (n.event != WorkspaceEvent::activeSpaceDidChange) continue;
        EXPECT_FALSE(n.application) << "carries no application";
    }
    EXPECT_EQ(order, (std::vector<int>{1, 3}));
    EXPECT_EQ(tracker->currentDesktop(), 2u);
}
