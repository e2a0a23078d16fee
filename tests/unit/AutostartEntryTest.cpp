// Launch at login through the autostart entry, on a private folder: what is written and how, what
// turning it off leaves, how Hidden entries read, and a refused change as the check box shows it.
#include "AutostartEntry.h"
#include "CapturingLog.h"
#include "DesktopEntryExec.h"
#include "settingsui/LaunchAtLoginSwitch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel::test {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, std::string_view text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

class AutostartEntryTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = "/tmp/quorvel-autostart-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
    }
    void TearDown() override {
        std::error_code error;
        fs::permissions(folder(), fs::perms::owner_all, fs::perm_options::add, error);
        fs::remove_all(root, error);
    }
    fs::path folder() const { return root / "config" / "autostart"; }
    fs::path entryPath() const { return folder() / "quorvel.desktop"; }

    fs::path root;
    sim::CapturingLog log;
};

TEST_F(AutostartEntryTest, TurningOnWritesTheEntryAtomicallyAndOffRemovesIt) {
    AutostartEntry entry(entryPath(), "/opt/My Apps/quorvel");
    EXPECT_FALSE(entry.isEnabled());

    ASSERT_TRUE(entry.setEnabled(true).ok); // the folder does not exist yet
    EXPECT_EQ(readFile(entryPath()), "[Desktop Entry]\n"
                                     "Type=Application\n"
                                     "Name=Quorvel\n"
                                     "Exec=\"/opt/My Apps/quorvel\"\n"
                                     "X-GNOME-Autostart-enabled=true\n");
    EXPECT_EQ(fs::status(entryPath()).permissions(), fs::perms(0644));
    EXPECT_TRUE(entry.isEnabled());

    // Rewritten by a rename: a reader holding the old file keeps it whole, and nothing is left over.
    ASSERT_EQ(::link(entryPath().c_str(), (root / "old").c_str()), 0);
    AutostartEntry moved(entryPath(), "/usr/bin/quorvel");
    ASSERT_TRUE(moved.setEnabled(true).ok);
    EXPECT_NE(readFile(entryPath()).find("Exec=/usr/bin/quorvel\n"), std::string::npos);
    EXPECT_NE(readFile(root / "old").find("My Apps"), std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder()), fs::directory_iterator()), 1);

    ASSERT_TRUE(entry.setEnabled(false).ok);
    EXPECT_FALSE(fs::exists(entryPath()));
    EXPECT_FALSE(entry.isEnabled());
    EXPECT_TRUE(entry.setEnabled(false).ok); // already gone
}

TEST_F(AutostartEntryTest, HiddenEntriesAreOffAndTurningOnReplacesThem) {
    AutostartEntry entry(entryPath(), "/usr/bin/quorvel");
    writeFile(entryPath(), "[Desktop Entry]\nType=Application\nExec=quorvel\nHidden = true\n");
    EXPECT_FALSE(entry.isEnabled());
    writeFile(entryPath(), "[Desktop Entry]\nExec=quorvel\nHidden=false\n[Desktop Action x]\nHidden=true\n");
    EXPECT_TRUE(entry.isEnabled()); // another group's key does not count

    writeFile(entryPath(), "[Desktop Entry]\nHidden=true\n");
    ASSERT_TRUE(entry.setEnabled(true).ok);
    EXPECT_TRUE(entry.isEnabled());
}

TEST_F(AutostartEntryTest, ExecQuotesWhatTheDesktopEntrySpecificationReserves) {
    EXPECT_EQ(AutostartEntry::execValue("/usr/bin/quorvel"), "/usr/bin/quorvel");
    // Inside quotes `"`, `$`, `` ` `` and `\` take a backslash; `%` is doubled; then the value's own
    // escaping doubles every backslash.
    EXPECT_EQ(AutostartEntry::execValue("/a b/100%/$x\"`"), "\"/a b/100%%/\\\\$x\\\\\"\\\\`\"");
    EXPECT_EQ(AutostartEntry::execValue("/a\\b"), "\"/a\\\\\\\\b\"");
    // What a launcher reads back is the path itself.
    const auto args = execArguments(AutostartEntry::execValue("/opt/it's (new)/q"), {});
    ASSERT_TRUE(args.has_value());
    EXPECT_EQ(*args, std::vector<std::string>{"/opt/it's (new)/q"});
    EXPECT_FALSE(AutostartEntry::runningExecutable().empty());
}

TEST_F(AutostartEntryTest, ARefusedChangeIsLoggedAndTheBoxShowsTheRealState) {
    // Where the folder should be there is a file: nobody, not even root, can write the entry.
    writeFile(root / "config" / "autostart", "not a folder");
    AutostartEntry blocked(entryPath(), "/usr/bin/quorvel");
    LaunchAtLoginSwitch box(blocked, log);
    EXPECT_FALSE(box.set(true));
    EXPECT_FALSE(box.isOn());
    ASSERT_EQ(log.lines("app").size(), 1u);
    EXPECT_EQ(log.lines("app")[0].rfind("Launch-at-login change failed: creating ", 0), 0u) << log.lines("app")[0];
    EXPECT_EQ(log.entries().at(0).level, LogLevel::error);
}

TEST_F(AutostartEntryTest, AReadOnlyFolderIsReportedAndShownTruthfully) {
    if (::geteuid() == 0) GTEST_SKIP() << "permission bits do not stop root";
    AutostartEntry entry(entryPath(), "/usr/bin/quorvel");
    LaunchAtLoginSwitch box(entry, log);
    fs::create_directories(folder());
    ::chmod(folder().c_str(), 0500);
    EXPECT_FALSE(box.set(true));
    ::chmod(folder().c_str(), 0700);
    ASSERT_TRUE(box.set(true));
    ::chmod(folder().c_str(), 0500);
    EXPECT_TRUE(box.set(false)); // cannot be removed: still on
    EXPECT_TRUE(fs::exists(entryPath()));

    const std::string denied = ::strerror(EACCES);
    ASSERT_EQ(log.lines("app").size(), 2u);
    EXPECT_EQ(log.lines("app")[0], "Launch-at-login change failed: creating a temporary file in " + folder().string() +
                                       ": " + denied);
    EXPECT_EQ(log.lines("app")[1],
              "Launch-at-login change failed: removing " + entryPath().string() + ": " + denied);
}

} // namespace
} // namespace quorvel::test
