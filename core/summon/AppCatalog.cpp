// The catalogue's cache and rescans, the "is running" rule and the ranking of typed queries.
#include "summon/AppCatalog.h"

#include <algorithm>
#include <numeric>

namespace quorvel {

namespace {

// The code point starting at `text[i]`, and its size in bytes (malformed bytes count as one).
std::pair<char32_t, std::size_t> decode(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t size = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 1;
    if (i + size > text.size()) size = 1;
    if (size == 1) return {lead, 1};
    char32_t cp = lead & (0x7F >> size);
    for (std::size_t k = 1; k < size; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return {lead, 1};
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    return {cp, size};
}

// Spaces, tabs and the other horizontal white space of Unicode; not line breaks.
bool isHorizontalSpace(char32_t c) {
    return c == 0x09 || c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

std::vector<char> boundaries(std::size_t size, const std::vector<std::size_t>& ends) {
    std::vector<char> marks(size + 1, 0);
    marks[0] = 1;
    for (const std::size_t end : ends)
        if (end <= size) marks[end] = 1;
    return marks;
}

// `text` holds `q` at byte `at`, and `q` ends there on a cluster boundary.
bool holdsAt(std::string_view text, const std::vector<char>& boundary, std::size_t at, std::string_view q,
             std::size_t limit) {
    return at + q.size() <= limit && text.compare(at, q.size(), q) == 0 && boundary[at + q.size()];
}

bool subsequence(std::string_view q, const std::vector<std::size_t>& qEnds, const RankedName& name) {
    const std::string_view n = name.lower;
    std::size_t k = 0; // the next cluster of the name to look at
    std::size_t qBegin = 0;
    for (const std::size_t qEnd : qEnds) {
        const std::string_view cluster = q.substr(qBegin, qEnd - qBegin);
        qBegin = qEnd;
        bool found = false;
        for (; k < name.clusterEnds.size() && !found; ++k) {
            const std::size_t begin = k == 0 ? 0 : name.clusterEnds[k - 1];
            found = n.substr(begin, name.clusterEnds[k] - begin) == cluster;
        }
        if (!found) return false;
    }
    return true;
}

std::string fileName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

} // namespace

std::string SummonableApp::programName() const { return fileName(program); }

// --- Running applications -----------------------------------------------------------------------

RunningApps::RunningApps(std::vector<RunningApplication> running) {
    std::erase_if(running, [](const RunningApplication& r) { return r.isTerminated; });
    m_running = std::move(running);
    for (const RunningApplication& r : m_running) {
        if (r.wmClass) {
            m_classes.insert(*r.wmClass);
            m_instancesAndClasses.insert(*r.wmClass);
        }
        if (r.wmInstance) {
            m_programs.insert(*r.wmInstance);
            m_instancesAndClasses.insert(*r.wmInstance);
        }
        if (r.executablePath) m_programs.insert(fileName(*r.executablePath));
    }
}

std::string bareDesktopFileId(const std::string& desktopFileId) {
    constexpr std::string_view suffix = ".desktop";
    if (!desktopFileId.ends_with(suffix)) return desktopFileId;
    return desktopFileId.substr(0, desktopFileId.size() - suffix.size());
}

bool RunningApps::isRunning(const CatalogEntry& entry) const {
    return firstMatch(entry.app.startupWMClass, entry.programName, entry.bareId).has_value();
}

std::optional<RunningApplication> RunningApps::find(const SummonableApp& app) const {
    const auto index = firstMatch(app.startupWMClass, app.programName(), bareDesktopFileId(app.desktopFileId));
    if (!index) return std::nullopt;
    return m_running[*index];
}

std::optional<std::size_t> RunningApps::firstMatch(const std::optional<std::string>& wmClass,
                                                   const std::string& program, const std::string& bareId) const {
    // The sets hold every key some process has: when none of ours is there, nothing matches.
    const bool byClass = wmClass && m_classes.contains(*wmClass);
    const bool byProgram = !program.empty() && m_programs.contains(program);
    const bool byId = !bareId.empty() && m_instancesAndClasses.contains(bareId);
    if (!byClass && !byProgram && !byId) return std::nullopt;

    const auto first = [&](bool possible, auto matches) -> std::optional<std::size_t> {
        if (!possible) return std::nullopt;
        const auto it = std::ranges::find_if(m_running, matches);
        if (it == m_running.end()) return std::nullopt;
        return static_cast<std::size_t>(it - m_running.begin());
    };
    if (auto index = first(byClass, [&](const RunningApplication& r) { return r.wmClass == wmClass; })) return index;
    if (auto index = first(byProgram, [&](const RunningApplication& r) {
            return (r.executablePath && fileName(*r.executablePath) == program) || r.wmInstance == program;
        }))
        return index;
    return first(byId, [&](const RunningApplication& r) { return r.wmInstance == bareId || r.wmClass == bareId; });
}

// --- The cache ------------------------------------------------------------------------------------

AppCatalog::AppCatalog(Applications& applications, Scheduler& scheduler, TextFolding& text, Log& log)
    : m_applications(applications), m_scheduler(scheduler), m_text(text), m_log(log) {
    m_changes = m_applications.observeChanges(m_lifetime.guard([this] { startScan(); }));
}

AppCatalog::~AppCatalog() {
    if (m_changes) m_applications.removeObserver(m_changes);
}

const std::vector<CatalogEntry>& AppCatalog::entries(double now) {
    // An empty list is never fresh: every call asks again until a scan finds something.
    const bool fresh = m_lastScan && now - *m_lastScan < kRescanAfter.count() && !m_entries.empty();
    if (!fresh && m_scansRunning == 0) startScan();
    return m_entries;
}

std::vector<SummonableApp> AppCatalog::apps(double now) {
    std::vector<SummonableApp> out;
    for (const CatalogEntry& entry : entries(now)) out.push_back(entry.app);
    return out;
}

int AppCatalog::observe(std::function<void()> handler) {
    m_observers.emplace(m_nextObserver, std::move(handler));
    return m_nextObserver++;
}

void AppCatalog::removeObserver(int token) { m_observers.erase(token); }

void AppCatalog::startScan() {
    // A scan asked for while one runs starts after it (the platform queues it): a change seen
    // during a scan is not lost.
    ++m_scansRunning;
    m_applications.scan(m_lifetime.guard([this](ScanResult result) { finishScan(std::move(result)); }));
}

void AppCatalog::finishScan(ScanResult result) {
    --m_scansRunning;
    std::vector<CatalogEntry> entries;
    entries.reserve(result.apps.size());
    for (SummonableApp& app : result.apps) entries.push_back(prepare(std::move(app)));
    m_fileManager = std::move(result.fileManager);
    sortByName(entries);
    m_entries = std::move(entries);
    m_lastScan = m_scheduler.now();
    m_log.info(kCategory, "catalog: %ld applications", static_cast<long>(m_entries.size()));
    const auto observers = m_observers; // a handler may remove itself
    for (const auto& [token, handler] : observers)
        if (m_observers.contains(token)) handler();
}

// --- Preparing names ------------------------------------------------------------------------------

CatalogEntry AppCatalog::prepare(SummonableApp app) const {
    CatalogEntry entry;
    RankedName& r = entry.ranked;
    r.lower = m_text.lower(app.name);
    r.clusterEnds = m_text.clusterEnds(r.lower);
    r.boundary = boundaries(r.lower.size(), r.clusterEnds);
    r.length = r.clusterEnds.size();
    std::vector<std::size_t> initialEnds;
    for (std::size_t i = 0; i < r.lower.size();) {
        const std::size_t space = std::min(r.lower.find(' ', i), r.lower.size());
        if (space > i) {
            r.words.push_back({i, space});
            // The word's first cluster; a cluster never reaches past the word.
            const auto end = std::ranges::upper_bound(r.clusterEnds, i);
            const std::size_t first = end == r.clusterEnds.end() ? space : std::min(*end, space);
            r.initials += r.lower.substr(i, first - i);
            initialEnds.push_back(r.initials.size());
        }
        i = space + 1;
    }
    r.initialsBoundary = boundaries(r.initials.size(), initialEnds);
    entry.nameLength = m_text.clusterEnds(app.name).size();
    entry.programName = app.programName();
    entry.bareId = bareDesktopFileId(app.desktopFileId);
    entry.app = std::move(app);
    return entry;
}

void AppCatalog::sortByName(std::vector<CatalogEntry>& entries) const {
    std::ranges::stable_sort(entries, [this](const CatalogEntry& a, const CatalogEntry& b) {
        return m_text.compare(a.app.name, b.app.name) < 0;
    });
    for (std::size_t i = 0; i < entries.size(); ++i) entries[i].order = i;
}

// --- Ranking --------------------------------------------------------------------------------------

std::string AppCatalog::normalise(std::string_view query) const {
    std::size_t begin = 0;
    while (begin < query.size()) {
        const auto [c, size] = decode(query, begin);
        if (!isHorizontalSpace(c)) break;
        begin += size;
    }
    std::size_t end = query.size();
    while (end > begin) {
        std::size_t start = end - 1;
        while (start > begin && (static_cast<unsigned char>(query[start]) & 0xC0) == 0x80) --start;
        const auto [c, size] = decode(query, start);
        if (start + size != end || !isHorizontalSpace(c)) break;
        end = start;
    }
    return m_text.lower(query.substr(begin, end - begin));
}

std::optional<int> AppCatalog::score(std::string_view q, const std::vector<std::size_t>& qEnds,
                                     const RankedName& name) const {
    const std::string_view n = name.lower;
    const int len = static_cast<int>(name.length);
    if (n == q) return 1000;
    if (holdsAt(n, name.boundary, 0, q, n.size())) return 900 - len;
    for (const RankedName::Word& word : name.words)
        if (holdsAt(n, name.boundary, word.begin, q, word.end)) return 700 - len;
    if (holdsAt(name.initials, name.initialsBoundary, 0, q, name.initials.size())) return 600 - len;
    for (std::size_t at = n.find(q); at != std::string_view::npos; at = n.find(q, at + 1))
        if (name.boundary[at] && name.boundary[at + q.size()]) return 400 - len;
    if (subsequence(q, qEnds, name)) return 200 - len;
    return std::nullopt;
}

std::vector<SummonableApp> AppCatalog::match(std::string_view query, const std::vector<CatalogEntry>& entries,
                                             std::size_t limit, const RunningApps& running) const {
    std::vector<SummonableApp> out;
    if (limit == 0) return out;
    const std::string q = normalise(query);
    if (q.empty()) {
        std::vector<const CatalogEntry*> first;
        std::vector<const CatalogEntry*> rest;
        for (const CatalogEntry& entry : entries) (running.isRunning(entry) ? first : rest).push_back(&entry);
        if (m_fileManager) {
            const auto it = std::ranges::find_if(
                first, [&](const CatalogEntry* e) { return e->app.desktopFileId == m_fileManager->desktopFileId; });
            if (it != first.end()) std::rotate(first.begin(), it, it + 1);
        }
        first.insert(first.end(), rest.begin(), rest.end());
        for (std::size_t i = 0; i < first.size() && i < limit; ++i) out.push_back(first[i]->app);
        return out;
    }

    struct Scored {
        const CatalogEntry* entry;
        int score;
        bool running;
    };
    const std::vector<std::size_t> qEnds = m_text.clusterEnds(q);
    std::vector<Scored> scored;
    for (const CatalogEntry& entry : entries)
        if (const auto s = score(q, qEnds, entry.ranked)) scored.push_back({&entry, *s, running.isRunning(entry)});
    std::ranges::stable_sort(scored, [](const Scored& a, const Scored& b) {
        if (a.score != b.score) return a.score > b.score;
        if (a.running != b.running) return a.running;
        if (a.entry->nameLength != b.entry->nameLength) return a.entry->nameLength < b.entry->nameLength;
        return a.entry->order < b.entry->order;
    });
    for (std::size_t i = 0; i < scored.size() && i < limit; ++i) out.push_back(scored[i].entry->app);
    return out;
}

std::vector<SummonableApp> AppCatalog::match(std::string_view query, const std::vector<SummonableApp>& apps,
                                             std::size_t limit, const RunningApps& running) const {
    std::vector<CatalogEntry> entries;
    for (const SummonableApp& app : apps) entries.push_back(prepare(app));
    // Number the entries in the locale's order of names, keeping the given order for the rest.
    std::vector<std::size_t> byName(entries.size());
    std::iota(byName.begin(), byName.end(), 0);
    std::ranges::stable_sort(byName, [&](std::size_t a, std::size_t b) {
        return m_text.compare(entries[a].app.name, entries[b].app.name) < 0;
    });
    for (std::size_t i = 0; i < byName.size(); ++i) entries[byName[i]].order = i;
    return match(query, entries, limit, running);
}

} // namespace quorvel
