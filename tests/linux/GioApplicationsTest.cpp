// Installed applications through GIO on private XDG folders: what a scan lists and fills, that its
// result arrives on the main queue, that folder changes are observed and a rescan then sees them
// (and that watching does not wait for a listing), the default file manager, and that a
// Terminal=true entry's field codes expand as GIO's own launch expands them. Launching on a server
// is tested in tests/x11/GioLaunchTest.
#include "DesktopEntryFolders.h"
#include "../CrossThreadPosts.h"
#include "GioApplications.h"
#include "PollLoop.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

using namespace quorvel;
using quorvel::test::DesktopEntryFolders;

namespace {

using namespace std::chrono_literals;

// A desktop entry that is a named pipe: a listing that opens it waits there (inside GIO's lock)
// for a writer, until released or 5 s have passed; then the path becomes a plain file holding
// `content` and every listing goes on.
class PipedEntry {
public:
    PipedEntry(std::filesystem::path path, std::string content) : m_path(std::move(path)), m_content(std::move(content)) {
        if (::mkfifo(m_path.c_str(), 0600) != 0) throw std::runtime_error("mkfifo");
        m_thread = std::thread([this] { hold(); });
    }
    ~PipedEntry() { release(); }
    // Lets the listings go on; false when the 5 s had already let them.
    bool release() {
        {
            const std::lock_guard lock(m_mutex);
            m_released = true;
        }
        m_changed.notify_all();
        if (m_thread.joinable()) m_thread.join();
        return !m_timedOut;
    }

private:
    void hold() {
        std::unique_lock lock(m_mutex);
        m_timedOut = !m_changed.wait_for(lock, 5s, [this] { return m_released; });
        // A writer (read-write never waits) lets those waiting in open() go on; the plain file
        // keeps any later listing from opening the pipe.
        const int fd = ::open(m_path.c_str(), O_RDWR | O_NONBLOCK);
        DesktopEntryFolders::writeFile(m_path, m_content);
        if (fd >= 0) ::close(fd);
    }

    std::filesystem::path m_path;
    std::string m_content;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_released = false;
    bool m_timedOut = false;
    std::thread m_thread;
};

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
        // A quoted program: its name comes without the quotes.
        f.write("first", "shared.desktop", DesktopEntryFolders::entry("Shared First", "\"/bin/true\" --quoted"));
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

    ScanResult scanResult() {
        std::optional<ScanResult> result;
        apps.scan([&](ScanResult found) { result = std::move(found); });
        EXPECT_TRUE(loop.runUntil([&] { return result.has_value(); }, std::chrono::seconds(5)));
        return result.value_or(ScanResult{});
    }
    std::vector<SummonableApp> scanNow() { return scanResult().apps; }
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
        apps.scan([&, n](ScanResult result) {
            elsewhere = elsewhere || std::this_thread::get_id() != mainThread;
            if (!result.apps.empty()) finished.push_back(n);
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

    // A package install: many files at once are one notification (two should GIO see the burst in
    // two parts), after which all are listed.
    const int before = changes;
    for (int n = 0; n < 12; ++n)
        f.write("second", "burst" + std::to_string(n) + ".desktop", DesktopEntryFolders::entry("Burst", "true"));
    const auto allListed = [&](const std::vector<SummonableApp>& list) {
        for (int n = 0; n < 12; ++n)
            if (!find(list, "burst" + std::to_string(n) + ".desktop")) return false;
        return true;
    };
    bool listed = false;
    for (int heard = before; !listed && loop.runUntil([&] { return changes > heard; }, 5s);) {
        heard = changes;
        listed = allListed(scanNow());
    }
    EXPECT_TRUE(listed) << "a rescan after the notification lists the whole burst";
    EXPECT_GT(changes, before);
    EXPECT_LE(changes - before, 2) << "not one notification per file";
    for (int n = 0; n < 12; ++n) f.remove("second", "burst" + std::to_string(n) + ".desktop");
}

TEST_F(GioApplicationsTest, WatchingStartsWithoutWaitingForAListing) {
    // Every listing now waits at the pipe, the scan's and any other.
    auto& f = DesktopEntryFolders::shared();
    PipedEntry piped(f.applications("home") / "piped.desktop", DesktopEntryFolders::entry("Piped", "true"));
    std::optional<ScanResult> result;
    apps.scan([&](ScanResult found) { result = std::move(found); });

    int changes = 0;
    apps.observeChanges([&] { ++changes; });
    EXPECT_TRUE(piped.release()) << "watching waited for a listing";
    EXPECT_TRUE(loop.runUntil([&] { return result.has_value(); }, 5s));
    // Armed all the same: a later change is heard.
    f.write("home", "later.desktop", DesktopEntryFolders::entry("Later", "true"));
    EXPECT_TRUE(loop.runUntil([&] { return changes > 0; }, 5s));
    f.remove("home", "later.desktop");
    f.remove("home", "piped.desktop");
}

TEST_F(GioApplicationsTest, ATerminalEntrysFieldCodesExpandAsGioExpandsThem) {
    // The same entry twice, once for GIO's own launch and once with Terminal=true (run by us inside a
    // stand-in x-terminal-emulator); a recorder notes its arguments and GIO_LAUNCHED_DESKTOP_FILE.
    const auto folder = DesktopEntryFolders::shared().applications("home").parent_path() / "launch";
    const auto bin = folder / "bin";
    std::filesystem::create_directories(bin);
    const auto recorder = bin / "record";
    std::ofstream(recorder) << "#!/bin/sh\nout=\"$1\"; shift\n"
                               "{ printf '%s\\n' \"$@\"; echo \"env=$GIO_LAUNCHED_DESKTOP_FILE\"; } > \"$out.part\"\n"
                               "mv \"$out.part\" \"$out\"\n";
    std::ofstream(bin / "x-terminal-emulator") << "#!/bin/sh\nshift\nexec \"$@\"\n";
    for (const auto& program : {recorder, bin / "x-terminal-emulator"})
        std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    const auto write = [&](const std::string& kind, const std::string& more) {
        SummonableApp app;
        app.path = DesktopEntryFolders::writeFile(
                       folder / (kind + ".desktop"),
                       DesktopEntryFolders::entry("Fields", recorder.string() + " " + (folder / kind).string() + " %k %i %c",
                                                  "Name[de]=Felder\nIcon=fields.png\nIcon[de]=felder.svg\n" + more +
                                                      "Actions=act;\n\n[Desktop Action act]\nName=Act\nExec=" +
                                                      recorder.string() + " " + (folder / kind).string() +
                                                      "-act %k %i\n"))
                       .string();
        return app;
    };
    const SummonableApp gio = write("gio", "");
    const SummonableApp terminal = write("terminal", "Terminal=true\n");

    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
    ::setenv("PATH", (bin.string() + ":" + path).c_str(), 1);
    ::setenv("GIO_LAUNCHED_DESKTOP_FILE", "/started/us.desktop", 1);
    const std::vector<LaunchResult> launched = {apps.launch(gio, 1), apps.launch(terminal, 2),
                                                apps.launchAction(gio, "act", 3), apps.launchAction(terminal, "act", 4)};
    ::setenv("PATH", path.c_str(), 1);
    ::unsetenv("GIO_LAUNCHED_DESKTOP_FILE");
    for (const LaunchResult& result : launched) {
        ASSERT_TRUE(result.started()) << result.error.value_or("");
        int status = 0;
        EXPECT_EQ(::waitpid(*result.pid, &status, 0), *result.pid);
    }
    const auto recorded = [&](const std::string& kind) {
        std::ifstream in(folder / kind);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    };
    // %k is the entry's file (none for an action, which GIO runs from a copy), %i the localised Icon
    // without its extension, as two arguments, %c the localised Name.
    const auto gioMain = recorded("gio");
    EXPECT_EQ(gioMain, (std::vector<std::string>{gio.path, "--icon", "felder", "Felder", "env=" + gio.path}));
    EXPECT_EQ(recorded("terminal"), (std::vector<std::string>{terminal.path, "--icon", "felder", "Felder", "env="}));
    // Neither passes on the variable we were started with.
    EXPECT_EQ(recorded("gio-act"), (std::vector<std::string>{"--icon", "felder", "env="}));
    EXPECT_EQ(recorded("terminal-act"), recorded("gio-act"));
    std::filesystem::remove_all(folder);
}

TEST_F(GioApplicationsTest, TheDefaultFileManagerIsTheEntryForFoldersEvenWhenNotListed) {
    const auto files = apps.defaultFileManager();
    ASSERT_TRUE(files);
    EXPECT_EQ(files->desktopFileId, "files.desktop");
    EXPECT_EQ(files->name, "Files");
    EXPECT_EQ(files->program, "true");
    // A scan brings it back too, looked up off the main thread.
    const ScanResult scanned = scanResult();
    EXPECT_FALSE(find(scanned.apps, "files.desktop"));
    ASSERT_TRUE(scanned.fileManager);
    EXPECT_EQ(scanned.fileManager->desktopFileId, "files.desktop");
    EXPECT_EQ(scanned.fileManager->path, files->path);
}

TEST(PollLoopTest, TasksPostedFromAnotherThreadRunOnTheLoopInOrder) {
    PollLoop loop;
    quorvel::test::CrossThreadPosts posts;
    posts.postFromWorker(loop, 100);
    EXPECT_TRUE(posts.ran.empty());
    ASSERT_TRUE(loop.runUntil([&] { return posts.ran.size() == 100; }, std::chrono::seconds(2)));
    EXPECT_TRUE(posts.ranInOrderOnTheLoop());
}

} // namespace
