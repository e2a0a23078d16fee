// The installed applications the program can summon. For now a shell that knows only the file
// manager, once one is registered; the catalogue of desktop entries builds on it.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quorvel {

struct CatalogApp {
    std::string name;
    std::string desktopFileId;     // the desktop entry's id
    std::vector<std::string> argv; // how to start it, never through a shell
    friend bool operator==(const CatalogApp&, const CatalogApp&) = default;
};

class AppCatalog {
public:
    AppCatalog() = default;
    AppCatalog(const AppCatalog&) = delete;
    AppCatalog& operator=(const AppCatalog&) = delete;

    // The file manager, if one is known.
    std::optional<CatalogApp> finder() const { return m_finder; }
    void setFinder(std::optional<CatalogApp> app) { m_finder = std::move(app); }

private:
    std::optional<CatalogApp> m_finder;
};

} // namespace quorvel
