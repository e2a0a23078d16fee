// Label and override tables with their last-seen stamps; the shown name falls back to AutoNamer.
#include "spaces/LabelStore.h"

#include "spaces/AutoNamer.h"

#include <utility>

namespace quorvel {

namespace {

std::map<std::string, double> storedStamps(const DefaultsStore& defaults, std::string_view key) {
    return defaults.numberMap(key).value; // wrong shape: empty
}

std::map<std::string, std::string> storedStrings(const DefaultsStore& defaults, std::string_view key) {
    return defaults.stringMap(key).value;
}

} // namespace

LabelStore::LabelStore(Settings& settings, AutoNamer& autoNamer, std::function<double()> clock)
    : now(std::move(clock)), m_settings(settings), m_defaults(settings.defaults()), m_autoNamer(autoNamer) {}

std::map<std::string, std::string> LabelStore::storedLabels(const DefaultsStore& defaults) {
    return storedStrings(defaults, labelsKey);
}

std::optional<std::string> LabelStore::label(SpaceId id) const {
    const auto labels = storedLabels(m_defaults);
    const auto it = labels.find(std::to_string(id));
    if (it == labels.end()) return std::nullopt;
    return it->second;
}

void LabelStore::setEntry(std::string_view key, std::string_view lastSeenKey, SpaceId id,
                          const std::optional<std::string>& value) {
    const std::string idKey = std::to_string(id);

    // A malformed table reads as empty and is replaced by this write.
    auto values = storedStrings(m_defaults, key);
    if (value) values[idKey] = *value;
    else values.erase(idKey);
    m_defaults.set(key, Json(values));

    auto stamps = storedStamps(m_defaults, lastSeenKey);
    if (value) stamps[idKey] = now();
    else stamps.erase(idKey);
    m_defaults.set(lastSeenKey, Json(stamps));

    if (onChange) onChange();
}

void LabelStore::setLabel(const std::optional<std::string>& label, SpaceId id) {
    setEntry(labelsKey, labelsLastSeenKey, id, label);
}

void LabelStore::clearAllLabels() {
    m_defaults.remove(labelsKey);
    m_defaults.remove(labelsLastSeenKey);
    if (onChange) onChange();
}

TilingOverride LabelStore::tilingOverride(SpaceId id) const {
    const auto overrides = storedStrings(m_defaults, tilingKey);
    const auto it = overrides.find(std::to_string(id));
    if (it == overrides.end()) return TilingOverride::automatic;
    return parseRaw<TilingOverride>(it->second).value_or(TilingOverride::automatic);
}

void LabelStore::setTilingOverride(TilingOverride value, SpaceId id) {
    // `automatic` is the absence of an entry, never a stored value.
    std::optional<std::string> raw;
    if (value != TilingOverride::automatic) raw = std::string(rawValue(value));
    setEntry(tilingKey, tilingLastSeenKey, id, raw);
}

bool LabelStore::anySpaceForcesTiling() const {
    for (const auto& [id, raw] : storedStrings(m_defaults, tilingKey))
        if (raw == rawValue(TilingOverride::on)) return true;
    return false;
}

void LabelStore::pruneDict(std::string_view key, std::string_view lastSeenKey,
                           const std::set<SpaceId>& validSpaceIDs) {
    auto values = storedStrings(m_defaults, key);
    if (values.empty()) return;

    auto stamps = storedStamps(m_defaults, lastSeenKey);
    const double t = now();

    for (auto it = values.begin(); it != values.end();) {
        const auto id = parseDecimalId(it->first);
        if (id && validSpaceIDs.contains(*id)) {
            stamps[it->first] = t;
            ++it;
            continue;
        }
        // Keys that do not parse are never matched and expire like vanished desktops.
        const auto stamp = stamps.find(it->first);
        if (stamp == stamps.end()) {
            stamps[it->first] = t; // the 30 days start now
            ++it;
        } else if (t - stamp->second > kExpirySeconds) {
            it = values.erase(it);
        } else {
            ++it;
        }
    }
    std::erase_if(stamps, [&](const auto& entry) { return !values.contains(entry.first); });

    m_defaults.set(key, Json(values));
    m_defaults.set(lastSeenKey, Json(stamps));
}

void LabelStore::refreshAutoNames(const std::vector<Space>& spaces) {
    if (m_settings.namingMode() == NamingMode::manual) m_autoNameCache.clear();
    else m_autoNameCache = m_autoNamer.autoNameAll(spaces);
}

std::string LabelStore::displayName(const Space& space) {
    std::optional<std::string> automatic;
    if (m_settings.namingMode() != NamingMode::manual) {
        if (const auto cached = m_autoNameCache.find(space.id); cached != m_autoNameCache.end())
            automatic = cached->second;
        else
            automatic = m_autoNamer.autoName(space);
    }
    if (auto stored = label(space.id)) return std::move(*stored);
    if (automatic) return std::move(*automatic);
    if (space.isFullScreen) return space.fullScreenAppName.value_or("Fullscreen");
    return "Desktop " + std::to_string(space.index);
}

} // namespace quorvel
