// Private XDG data folders for tests of desktop entries: XDG_DATA_HOME and two XDG_DATA_DIRS under
// one temporary folder. GIO reads the variables once per process, so the folders are made once per
// process, before anything asks GIO, and tests write and remove entries in them.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace quorvel::test {

class DesktopEntryFolders {
public:
    // The folders of this process; the first call sets the environment (and LANGUAGE=de, so that
    // entries with Name[de] show their German name).
    static DesktopEntryFolders& shared() {
        static DesktopEntryFolders folders;
        return folders;
    }

    // `folder` is "home", "first" or "second" (in XDG order); `name` may hold a subfolder.
    std::filesystem::path write(const std::string& folder, const std::string& name, const std::string& content) {
        return writeFile(applications(folder) / name, content);
    }
    // Written whole under another name and renamed, as package managers do.
    static std::filesystem::path writeFile(const std::filesystem::path& path, const std::string& content) {
        std::filesystem::create_directories(path.parent_path());
        const auto partial = path.string() + ".partial";
        std::ofstream(partial) << content;
        std::filesystem::rename(partial, path);
        return path;
    }
    void remove(const std::string& folder, const std::string& name) { std::filesystem::remove(applications(folder) / name); }
    std::filesystem::path applications(const std::string& folder) const { return m_root / folder / "applications"; }

    // A minimal entry: [Desktop Entry] with these extra lines.
    static std::string entry(const std::string& name, const std::string& exec, const std::string& more = "") {
        return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec + "\n" + more;
    }

private:
    DesktopEntryFolders() {
        char pattern[] = "/tmp/quorvel-entries-XXXXXX";
        m_root = ::mkdtemp(pattern);
        for (const char* folder : {"home", "first", "second"}) std::filesystem::create_directories(applications(folder));
        ::setenv("XDG_DATA_HOME", (m_root / "home").c_str(), 1);
        ::setenv("XDG_DATA_DIRS", ((m_root / "first").string() + ":" + (m_root / "second").string()).c_str(), 1);
        // mimeapps.list is looked for in the config folders: keep the machine's own out.
        ::setenv("XDG_CONFIG_HOME", (m_root / "config").c_str(), 1);
        ::setenv("XDG_CONFIG_DIRS", (m_root / "config-dirs").c_str(), 1);
        ::setenv("XDG_CURRENT_DESKTOP", "Openbox", 1);
        ::setenv("LANGUAGE", "de", 1);
    }
    ~DesktopEntryFolders() {
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }

    std::filesystem::path m_root;
};

} // namespace quorvel::test
