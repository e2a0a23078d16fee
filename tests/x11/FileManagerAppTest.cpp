// The file-manager key end to end: a new window of the file manager the user chose for folders
// (a desktop entry and mimeapps.list in the test's own XDG folders), a shortcut stored under the
// action's former name, a file manager for terminals, and the toast when no file manager is
// registered.
#include "AppFixture.h"

using namespace quorvel::x11test;

namespace {

class FileManagerAppTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        if (IsSkipped()) return;
        const fs::path data = home / "data";
        fs::create_directories(data / "applications");
        fs::create_directories(home / "system-data");
        fs::create_directories(home / "system-config");
        // Nothing of the machine's own entries or defaults: only what the test writes.
        environment = {"XDG_DATA_HOME=" + data.string(), "XDG_DATA_DIRS=" + (home / "system-data").string(),
                       "XDG_CONFIG_DIRS=" + (home / "system-config").string()};
    }
    // A file manager whose every start opens one window titled `title`.
    void installFileManager(const std::string& id, const std::string& title) {
        std::ofstream(home / "data" / "applications" / id)
            << "[Desktop Entry]\nType=Application\nName=" << title << "\n"
            << "Exec=\"" << QUORVEL_TEST_CLIENT << "\" --title \"" << title << "\" %U\n"
            << "MimeType=inode/directory;\n";
    }
    void chooseForFolders(const std::string& id) {
        std::ofstream(home / "config" / "mimeapps.list") << "[Default Applications]\ninode/directory=" << id << "\n";
    }
    // A file manager for terminals (Terminal=true) that starts in `folder`.
    void installTerminalFileManager(const std::string& id, const std::string& title, const fs::path& folder) {
        std::ofstream(home / "data" / "applications" / id)
            << "[Desktop Entry]\nType=Application\nName=" << title << "\n"
            << "Exec=\"" << QUORVEL_TEST_CLIENT << "\" --title \"" << title << "\" %U\n"
            << "Terminal=true\nPath=" << folder.string() << "\nMimeType=inode/directory;\n";
    }
    // The app's PATH: `bin` first, then, unless `alone`, the usual one.
    void searchPath(const fs::path& bin, bool alone) {
        fs::create_directories(bin);
        const char* usual = std::getenv("PATH");
        environment.push_back("PATH=" + bin.string() + (alone || !usual ? "" : std::string(":") + usual));
    }
    int windowsTitled(const std::string& title) {
        const std::string file = (home / "found").string();
        server->run("xdotool search --onlyvisible --name '^" + title + "$' > " + file + " 2>/dev/null");
        std::ifstream in(file);
        int count = 0;
        for (std::string line; std::getline(in, line);) count += !line.empty();
        return count;
    }
};

} // namespace

TEST_F(FileManagerAppTest, AShortcutStoredUnderTheFormerNameOpensANewWindowOfTheChosenFileManager) {
    installFileManager("other-files.desktop", "Other files");
    installFileManager("test-files.desktop", "Test files");
    chooseForFolders("test-files.desktop");
    writeDefaults({{"hotkey_add_finder_window", "3:5"}}); // control+option+G
    startServer();
    startApp();

    press("ctrl+alt+g", "add_file_manager_window");
    ASSERT_TRUE(XServer::waitFor([&] { return windowsTitled("Test files") == 1; })) << app->output();
    EXPECT_EQ(windowsTitled("Other files"), 0);
    EXPECT_EQ(app->stop(SIGTERM), 0);
}

TEST_F(FileManagerAppTest, WithoutAFileManagerTheKeySaysSo) {
    startServer();
    startApp();
    press("ctrl+alt+f", "add_file_manager_window");
    // The title is matched as a pattern inside single quotes: "." stands for the apostrophe.
    EXPECT_TRUE(toastShows("Couldn.t find a file manager")) << app->output();
    EXPECT_EQ(app->stop(SIGTERM), 0);
}

TEST_F(FileManagerAppTest, AFileManagerForTerminalsRunsInsideATerminalInItsFolder) {
    // A stand-in terminal: notes the folder it was started in, then runs what follows -e.
    const fs::path bin = home / "bin";
    searchPath(bin, false);
    const fs::path noted = home / "terminal-folder";
    std::ofstream(bin / "x-terminal-emulator")
        << "#!/bin/sh\npwd > '" << noted.string() << "'\n[ \"$1\" = -e ] || exit 2\nshift\nexec \"$@\"\n";
    fs::permissions(bin / "x-terminal-emulator", fs::perms::owner_all);
    const fs::path folder = home / "start here";
    fs::create_directories(folder);
    installTerminalFileManager("tui-files.desktop", "Tui files", folder);
    chooseForFolders("tui-files.desktop");
    startServer();
    startApp();

    press("ctrl+alt+f", "add_file_manager_window");
    ASSERT_TRUE(XServer::waitFor([&] { return windowsTitled("Tui files") == 1; })) << app->output();
    std::string started;
    std::getline(std::ifstream(noted), started);
    EXPECT_EQ(started, folder.string());
    EXPECT_EQ(app->stop(SIGTERM), 0);
}

TEST_F(FileManagerAppTest, AFileManagerForTerminalsWithoutATerminalCannotBeStartedAndTheKeySaysSo) {
    searchPath(home / "bin", true); // no x-terminal-emulator on it
    installTerminalFileManager("tui-files.desktop", "Tui files", home);
    chooseForFolders("tui-files.desktop");
    startServer();
    startApp();

    press("ctrl+alt+f", "add_file_manager_window");
    EXPECT_TRUE(toastShows("Couldn.t start the file manager")) << app->output();
    EXPECT_EQ(windowsTitled("Tui files"), 0);
    EXPECT_EQ(app->stop(SIGTERM), 0);
}
