// The installed applications the user can summon: the platform's scan kept for five minutes, each
// entry prepared once for ranking, and the ranking of a typed query. WindowOpener opens what it
// lists; SummonPalette shows its matches.
#pragma once

#include "platform/Applications.h"
#include "platform/Lifetime.h"
#include "platform/Log.h"
#include "platform/Scheduler.h"
#include "platform/TextFolding.h"
#include "platform/Workspace.h"

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <unordered_set>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// A name made ready for ranking: lower-cased, cut into grapheme clusters and words.
struct RankedName {
    std::string lower;
    std::vector<char> boundary;           // boundary[i]: a cluster starts or ends at byte i of `lower`
    std::vector<std::size_t> clusterEnds; // of `lower`
    struct Word {
        std::size_t begin;
        std::size_t end;
    };
    std::vector<Word> words;      // `lower` split at spaces, empty pieces dropped
    std::string initials;         // the first cluster of each word
    std::vector<char> initialsBoundary;
    std::size_t length = 0;       // clusters of `lower`
};

struct CatalogEntry {
    SummonableApp app;
    RankedName ranked;
    std::size_t nameLength = 0; // clusters of the name as shown
    std::string programName;
    std::string bareId;         // the desktop-file id without ".desktop"
    std::size_t order = 0;      // position in the locale's order of names
};

// The running applications as read once (per keystroke), answering which entry runs.
class RunningApps {
public:
    RunningApps() = default;
    explicit RunningApps(std::vector<RunningApplication> running);

    // The process of an entry: by StartupWMClass = WM_CLASS class, else by the Exec program's
    // name = the executable's file name or the WM_CLASS instance, else by the desktop-file id
    // without ".desktop" = the WM_CLASS instance or class. The first in the workspace's order.
    std::optional<RunningApplication> find(const SummonableApp& app) const;
    bool isRunning(const SummonableApp& app) const { return find(app).has_value(); }
    // The same rule on the keys prepared once per entry.
    bool isRunning(const CatalogEntry& entry) const;

private:
    // The one matcher both use: the index in m_running of the first process the keys match.
    std::optional<std::size_t> firstMatch(const std::optional<std::string>& wmClass, const std::string& program,
                                          const std::string& bareId) const;

    std::vector<RunningApplication> m_running;
    // Every key some process could match, to answer "no" without walking the list (most entries
    // of a catalog do not run).
    std::unordered_set<std::string> m_classes;
    std::unordered_set<std::string> m_programs;   // executables' file names and WM_CLASS instances
    std::unordered_set<std::string> m_instancesAndClasses;
};

// The desktop-file id without ".desktop".
std::string bareDesktopFileId(const std::string& desktopFileId);

class AppCatalog {
public:
    static constexpr std::string_view kCategory = "summon";
    static constexpr Seconds kRescanAfter{300};

    AppCatalog(Applications& applications, Scheduler& scheduler, TextFolding& text, Log& log);
    ~AppCatalog();
    AppCatalog(const AppCatalog&) = delete;
    AppCatalog& operator=(const AppCatalog&) = delete;

    // The list as last scanned, at once, sorted by name. When it is not fresh (scanned less than
    // 300 s before `now` and not empty) and no scan runs, a scan starts; observers hear when it
    // has finished. The first call starts the first scan.
    const std::vector<CatalogEntry>& entries(double now);
    std::vector<SummonableApp> apps(double now);
    bool isScanning() const { return m_scansRunning > 0; }
    std::optional<double> lastScan() const { return m_lastScan; }
    // The default file manager as the last scan found it (the empty query puts it first).
    const std::optional<SummonableApp>& fileManager() const { return m_fileManager; }

    // Called on the main queue after every finished scan. Returns a token for removeObserver.
    int observe(std::function<void()> handler);
    void removeObserver(int token);

    // The ranking of `query` over `entries`, at most `limit`: exact, prefix, word prefix,
    // initials, substring, subsequence; ties go to running apps, then shorter names, then the
    // locale's order. An empty query lists the running apps (the default file manager of the last
    // scan first: the platform is not asked, it may be busy listing), then the others.
    std::vector<SummonableApp> match(std::string_view query, const std::vector<CatalogEntry>& entries,
                                     std::size_t limit, const RunningApps& running) const;
    // The same over a plain list (prepared on the way).
    std::vector<SummonableApp> match(std::string_view query, const std::vector<SummonableApp>& apps,
                                     std::size_t limit, const RunningApps& running) const;

    // Pure given the text folding: one entry made ready for ranking (`order` left 0).
    CatalogEntry prepare(SummonableApp app) const;
    // Sorts by name in the locale's order (stable) and numbers the entries in that order.
    void sortByName(std::vector<CatalogEntry>& entries) const;
    // The lower-cased query without horizontal white space at either end.
    std::string normalise(std::string_view query) const;
    // The score of a normalised query against a prepared name; none when it does not match.
    std::optional<int> score(std::string_view query, const std::vector<std::size_t>& queryClusterEnds,
                             const RankedName& name) const;

private:
    void startScan();
    void finishScan(ScanResult result);

    Applications& m_applications;
    Scheduler& m_scheduler;
    TextFolding& m_text;
    Log& m_log;
    std::vector<CatalogEntry> m_entries;
    std::optional<double> m_lastScan;
    std::optional<SummonableApp> m_fileManager;
    int m_scansRunning = 0;
    ObserverToken m_changes = 0;
    std::map<int, std::function<void()>> m_observers;
    int m_nextObserver = 1;
    Lifetime m_lifetime;
};

} // namespace quorvel
