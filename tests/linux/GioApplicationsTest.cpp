// Installed applications through GIO on private XDG folders: what a scan lists and fills, that its
// result arrives on the main queue, that folder changes are observed and a rescan then sees them,
// and the default file manager. Launching is tested on a real server (tests/x11/GioLaunchTest).
#include "DesktopEntryFolders.h"
#include "GioApplications.h"
#include "PollLoop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <thread>

using namespace quorvel;
using quorvel::test::DesktopEntryFolders;

namespace {

class GioApplicationsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        auto& f = DesktopEntryFolders::shared();
        f.write("home", "viewer.desktop",
                DesktopEntryFolders::entry("Viewer", "true --viewer %U",
                                           "Name[de]=Betrachter\nIcon=viewer-icon\nStartupWMClass=ViewerWin\n"
                                           "Actions=new-window;private;\n\n"
                                           "[Desktop Action new-window]\nName=New Window\nName[de]=Neues Fenster\n"
                                           "Exec=true --new-window\n\n"
                                           "[Desktop Action private]\nName=New Private Window\nExec=true --private\n"));
        // The same id in several folders: the first in XDG order wins.
        f.write("home", "editor.desktop", DesktopEntryFolders::entry("Editor Home", "true"));
        f.write("second", "editor.desktop", DesktopEntryFolders::entry("Editor System", "true"));
        f.write("first", "shared.desktop", DesktopEntryFolders::entry("Shared First", "/bin/true"));
        f.write("second", "shared.desktop", DesktopEntryFolders::entry("Shared Second", "true"));
        f.write("first", "vendor/tool.desktop", DesktopEntryFolders::entry("Tool", "true"));
        // Not shown.
        f.write("first", "nodisplay.desktop", DesktopEntryFolders::entry("No Display", "true", "NoDisplay=true\n"));
        f.write("first", "hidden.desktop", DesktopEntryFolders::entry("Hidden", "true", "Hidden=true\n"));
        f.write("first", "kde.desktop", DesktopEntryFolders::entry("KDE Only", "true", "OnlyShowIn=KDE;\n"));
        f.write("first", "absent.desktop", DesktopEntryFolders::entry("Absent", "quorvel-no-such-program"));
        f.write("first", "tryexec.desktop",
                DesktopEntryFolders::entry("Try", "true", "TryExec=quorvel-no-such-program\n"));
        // A file manager that is not listed, but is the default for folders.
        f.write("second", "files.desktop",
                DesktopEntryFolders::entry("Files", "true --files", "NoDisplay=true\nMimeType=inode/directory;\n"));
        const auto config = f.applications("home").parent_path().parent_path() / "config";
        std::filesystem::create_directories(config);
        std::ofstream(config / "mimeapps.list") << "[Default Applications]\ninode/directory=files.desktop\n";
    }

    std::vector<SummonableApp> scanNow() {
        std::optional<std::vector<SummonableApp>> result;
        apps.scan([&](std::vector<SummonableApp> listed) { result = std::move(listed); });
        EXPECT_TRUE(loop.runUntil([&] { return result.has_value(); }, std::chrono::seconds(5)));
        return result.value_or(std::vector<SummonableApp>{});
    }
    static const SummonableApp* find(const std::vector<SummonableApp>& list, const std::string& id) {
        const auto it = std::find_if(list.begin(), list.end(), [&](const SummonableApp& a) { return a.desktopFileId == id; });
        return it == list.end() ? nullptr : &*it;
    }

    PollLoop loop;
    std::vector<std::pair<Pid, std::string>> adopted;
    GioApplications apps{loop, "", [this](Pid pid, const std::string& program) { adopted.emplace_back(pid, program); }};
};

TEST_F(GioApplicationsTest, AScanListsEachShownEntryOnceInXdgOrderWithItsFields) {
    auto& f = DesktopEntryFolders::shared();
    const auto list = scanNow();

    std::vector<std::string> ids;
    for (const SummonableApp& app : list) ids.push_back(app.desktopFileId);
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<std::string>{"editor.desktop", "shared.desktop", "vendor-tool.desktop", "viewer.desktop"}));

    ASSERT_TRUE(find(list, "editor.desktop"));
    EXPECT_EQ(find(list, "editor.desktop")->name, "Editor Home");
    EXPECT_EQ(find(list, "editor.desktop")->path, (f.applications("home") / "editor.desktop").string());
    ASSERT_TRUE(find(list, "shared.desktop"));
    EXPECT_EQ(find(list, "shared.desktop")->name, "Shared First");
    EXPECT_EQ(find(list, "shared.desktop")->program, "/bin/true");
    EXPECT_FALSE(find(list, "shared.desktop")->startupWMClass);
    EXPECT_TRUE(find(list, "shared.desktop")->actions.empty());

    const SummonableApp* viewer = find(list, "viewer.desktop");
    ASSERT_TRUE(viewer);
    EXPECT_EQ(viewer->name, "Betrachter");
    EXPECT_EQ(viewer->path, (f.applications("home") / "viewer.desktop").string());
    EXPECT_EQ(viewer->icon, "viewer-icon");
    EXPECT_EQ(viewer->startupWMClass, "ViewerWin");
    EXPECT_EQ(viewer->program, "true");
    EXPECT_EQ(viewer->actions, (std::vector<DesktopAction>{{"new-window", "Neues Fenster"}, {"private", "New Private Window"}}));
}

TEST_F(GioApplicationsTest, ScansFinishOnTheMainQueueInTheOrderAsked) {
    const auto mainThread = std::this_thread::get_id();
    std::vector<int> finished;
    bool elsewhere = false;
    for (int n = 1; n <= 3; ++n)
        apps.scan([&, n](std::vector<SummonableApp> listed) {
            elsewhere = elsewhere || std::this_thread::get_id() != mainThread;
            if (!listed.empty()) finished.push_back(n);
        });
    EXPECT_TRUE(finished.empty()) << "the work is off the main thread; the result comes through the queue";
    ASSERT_TRUE(loop.runUntil([&] { return finished.size() == 3; }, std::chrono::seconds(5)));
    EXPECT_EQ(finished, (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(elsewhere);
}

TEST_F(GioApplicationsTest, AChangedFolderIsObservedAndARescanSeesTheChange) {
    auto& f = DesktopEntryFolders::shared();
    int changes = 0;
    apps.observeChanges([&] { ++changes; });
    scanNow();
    const auto awaitChange = [&] {
        const int before = changes;
        return loop.runUntil([&] { return changes > before; }, std::chrono::seconds(5));
    };

    f.write("home", "added.desktop", DesktopEntryFolders::entry("Added", "true"));
    ASSERT_TRUE(awaitChange()) << "an entry added";
    // Heard again although nobody listed the entries in between.
    f.write("home", "added.desktop", DesktopEntryFolders::entry("Renamed", "true"));
    ASSERT_TRUE(awaitChange()) << "an entry edited";
    const auto edited = scanNow();
    ASSERT_TRUE(find(edited, "added.desktop"));
    EXPECT_EQ(find(edited, "added.desktop")->name, "Renamed");

    f.remove("home", "added.desktop");
    ASSERT_TRUE(awaitChange()) << "an entry removed";
    EXPECT_FALSE(find(scanNow(), "added.desktop"));

    // A package install: many files at once are one notification, after which all are listed.
    const int before = changes;
    for (int n = 0; n < 12; ++n)
        f.write("second", "burst" + std::to_string(n) + ".desktop", DesktopEntryFolders::entry("Burst", "true"));
    ASSERT_TRUE(awaitChange());
    const auto list = scanNow();
    EXPECT_EQ(changes, before + 1);
    for (int n = 0; n < 12; ++n) EXPECT_TRUE(find(list, "burst" + std::to_string(n) + ".desktop")) << n;
    for (int n = 0; n < 12; ++n) f.remove("second", "burst" + std::to_string(n) + ".desktop");
}

TEST_F(GioApplicationsTest, TheDefaultFileManagerIsTheEntryForFoldersEvenWhenNotListed) {
    const auto files = apps.defaultFileManager();
    ASSERT_TRUE(files);
    EXPECT_EQ(files->desktopFileId, "files.desktop");
    EXPECT_EQ(files->name, "Files");
    EXPECT_EQ(files->program, "true");
    EXPECT_FALSE(find(scanNow(), "files.desktop"));
}

TEST(PollLoopTest, TasksPostedFromAnotherThreadRunOnTheLoopInOrder) {
    PollLoop loop;
    const auto loopThread = std::this_thread::get_id();
    std::vector<int> ran;
    bool elsewhere = false;
    std::thread poster([&] {
        for (int n = 0; n < 100; ++n)
            loop.postFromAnyThread([&, n] {
                elsewhere = elsewhere || std::this_thread::get_id() != loopThread;
                ran.push_back(n);
            });
    });
    poster.join();
    EXPECT_TRUE(ran.empty());
    ASSERT_TRUE(loop.runUntil([&] { return ran.size() == 100; }, std::chrono::seconds(2)));
    EXPECT_TRUE(std::is_sorted(ran.begin(), ran.end()));
    EXPECT_FALSE(elsewhere);
}

} // namespace
