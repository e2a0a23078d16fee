// The real defaults store: one JSON file, $XDG_CONFIG_HOME/quorvel/defaults.json (default
// ~/.config), mode 0600, that the user may edit while the app runs. Only the keys this process
// changed are written, merged under a lock (defaults.json.lock) into what the file holds at that
// moment, so a hand edit or a second copy's keys survive; writes that change nothing are skipped,
// and with a scheduler the changes of one turn of the main queue are written once. Edits made
// outside are picked up through an inotify watch of the folder and reported by key.
// A corrupt file found at start-up is moved aside to a timestamped backup, logged, and the store
// starts empty; one that stops parsing while the app runs is left exactly as it is, and written
// again only once it parses. Bad input never crashes and never silently destroys the user's data.
#pragma once

#include "platform/DefaultsStore.h"
#include "platform/Log.h"
#include "platform/Scheduler.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

class JsonFileDefaults final : public DefaultsStore {
public:
    // Loads `path` now. `wallClock` names backups (seconds since 1970).
    JsonFileDefaults(std::filesystem::path path, Log& log, double wallClock);
    // Writes what is still pending.
    ~JsonFileDefaults() override;

    // $XDG_CONFIG_HOME/quorvel/defaults.json, or ~/.config/quorvel/defaults.json.
    static std::filesystem::path defaultPath();

    std::optional<Json> object(std::string_view key) const override;
    // A value equal to the one held changes nothing and writes nothing.
    void set(std::string_view key, Json value) override;
    void remove(std::string_view key) override;
    std::vector<std::string> keys() const override;

    // From now on changes are written together on a later turn of `scheduler` (one post per turn)
    // instead of at once. The scheduler must outlive the store.
    void coalesceOn(Scheduler& scheduler);
    // Writes the pending changes now: under the lock, the file is read again and only the keys
    // changed here are replaced or removed. Changes found there from elsewhere are taken in.
    void flush();

    // Starts watching the file's folder; returns the descriptor to poll (readable when the file
    // may have changed, then call fileMayHaveChanged()), or -1 when watching is impossible (logged).
    int watchFile();
    // Drains the watch and, when the file was replaced or rewritten, reads it again.
    void fileMayHaveChanged();
    // Reads the file again, as finished by whoever wrote it, and takes in what was changed
    // outside this process (an emptied file removes every key).
    void reload();
    // Called with the keys whose values changed outside this process, after the new values are
    // readable here.
    std::function<void(const std::vector<std::string>& keys)> onExternalChange;
    // Called when a write has its new contents on disk, just before they replace the file: the
    // moment an editor's save would otherwise be lost (tests save there).
    std::function<void()> beforeReplace;

    const std::filesystem::path& path() const { return m_path; }
    // Where a damaged file was moved at load, if one was.
    const std::optional<std::filesystem::path>& backupPath() const { return m_backup; }
    // How many times the file was replaced by this store.
    std::uint64_t writeCount() const { return m_writes; }
    bool hasPendingChanges() const { return !m_pending.empty(); }

    // Pure: the values of a defaults file's text, or none when it is not a JSON object (or is
    // nested too deeply to handle safely). Top-level nulls hold nothing and are left out.
    static std::optional<std::map<std::string, Json>> parse(std::string_view text);

private:
    using Values = std::map<std::string, Json, std::less<>>;
    enum class FileState { readable, unusable, busy };

    void load(double wallClock);
    void changed(std::string_view key, std::optional<Json> value);
    // Writes now without a scheduler, else once on its next turn.
    void scheduleFlush();
    // The file's values now: `readable` fills `values` (a missing file counts as unchanged since
    // last seen); `unusable` logs what is wrong once; `busy` is an empty file while keys were
    // expected, unless `writeFinished` (the watch saw it closed or renamed into place).
    FileState readCurrent(Values& values, bool writeFinished);
    // Takes in the keys that differ between `file` and what was last seen there, except those
    // changed here and not yet written. Returns them.
    std::vector<std::string> absorb(const Values& file);
    void announce(const std::vector<std::string>& keys);

    std::filesystem::path m_path;
    Log& m_log;
    // What this process reads: the file as last seen plus the pending changes.
    Values m_values;
    // The file's values as last read or written.
    Values m_onDisk;
    // Changes made here and not yet written: a value, or none for a removal.
    std::map<std::string, std::optional<Json>, std::less<>> m_pending;
    std::optional<std::filesystem::path> m_backup;
    // False when a damaged file could not be moved aside at load: it is then never written over.
    bool m_persist = true;
    // Set while the file does not parse, so that its problem is logged once.
    bool m_fileUnusable = false;
    Scheduler* m_scheduler = nullptr;
    TaskHandle m_flushTask;
    int m_watch = -1;
    std::uint64_t m_writes = 0;
};

} // namespace quorvel
