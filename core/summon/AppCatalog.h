// The installed applications the program can summon. For now a shell that knows only the file
// manager (the user's default one, looked up by the platform each time it is asked for); the
// catalogue of desktop entries builds on it.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvel {

struct CatalogApp {
    std::string name;
    std::string desktopFileId;     // the desktop entry's id
    std::vector<std::string> argv; // how to start it, never through a shell
    std::optional<std::string> workingDirectory; // where to start it; none: wherever we run
    friend bool operator==(const CatalogApp&, const CatalogApp&) = default;
};

class AppCatalog {
public:
    // Answers the file manager the user has chosen now, or none.
    using FileManagerLookup = std::function<std::optional<CatalogApp>()>;

    AppCatalog() = default;
    AppCatalog(const AppCatalog&) = delete;
    AppCatalog& operator=(const AppCatalog&) = delete;

    // The file manager, if one is known. Asked anew on every call: the user may pick another
    // default, or install the first one, while the program runs.
    std::optional<CatalogApp> fileManager() const { return m_fileManager ? m_fileManager() : std::nullopt; }
    void setFileManagerLookup(FileManagerLookup lookup) { m_fileManager = std::move(lookup); }
    // A fixed answer (none: no file manager).
    void setFileManager(std::optional<CatalogApp> app) {
        m_fileManager = [app = std::move(app)] { return app; };
    }

private:
    FileManagerLookup m_fileManager;
};

} // namespace quorvel
