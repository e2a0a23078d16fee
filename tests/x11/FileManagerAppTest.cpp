// The file-manager key end to end: a new window of the file manager the user chose for folders
// (a desktop entry and mimeapps.list in the test's own XDG folders), a shortcut stored under the
// action's former name, and the toast when no file manager is registered.
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
