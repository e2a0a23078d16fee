// The real defaults store: one JSON file, $XDG_CONFIG_HOME/quorvel/defaults.json (default
// ~/.config), mode 0600, rewritten atomically (temporary file + rename) on every change.
// An unreadable or corrupt file is moved aside to a timestamped backup, logged, and the store
// starts empty: bad input never crashes and never silently destroys the user's data.
#pragma once

#include "platform/DefaultsStore.h"
#include "platform/Log.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace quorvel {

class JsonFileDefaults final : public DefaultsStore {
public:
    // Loads `path` now. `wallClock` names backups (seconds since 1970).
    JsonFileDefaults(std::filesystem::path path, Log& log, double wallClock);

    // $XDG_CONFIG_HOME/quorvel/defaults.json, or ~/.config/quorvel/defaults.json.
    static std::filesystem::path defaultPath();

    std::optional<Json> object(std::string_view key) const override;
    void set(std::string_view key, Json value) override;
    void remove(std::string_view key) override;
    std::vector<std::string> keys() const override;

    const std::filesystem::path& path() const { return m_path; }
    // Where a damaged file was moved at load, if one was.
    const std::optional<std::filesystem::path>& backupPath() const { return m_backup; }

    // Pure: the values of a defaults file's text, or none when it is not a JSON object (or is
    // nested too deeply to handle safely). Top-level nulls hold nothing and are left out.
    static std::optional<std::map<std::string, Json>> parse(std::string_view text);

private:
    void load(double wallClock);
    void save();

    std::filesystem::path m_path;
    Log& m_log;
    std::map<std::string, Json, std::less<>> m_values;
    std::optional<std::filesystem::path> m_backup;
    // False when a damaged file could not be moved aside: it is then never written over.
    bool m_persist = true;
};

} // namespace quorvel
