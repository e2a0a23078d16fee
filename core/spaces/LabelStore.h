// Desktop names and per-desktop tiling overrides in the defaults store, their 30-day expiry, and the
// name every view shows. Automatic names come from AutoNamer; SpaceLabelPersistence carries them over.
#pragma once

#include "settings/Settings.h"
#include "spaces/Space.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

class AutoNamer;

class LabelStore {
public:
    // Every table is keyed by the decimal rendering of the desktop id.
    static constexpr std::string_view labelsKey = "space_labels";            // id → name
    static constexpr std::string_view labelsLastSeenKey = "labels_last_seen"; // id → seconds since 1970
    static constexpr std::string_view tilingKey = "tiling_overrides";         // id → "on" / "off"
    static constexpr std::string_view tilingLastSeenKey = "tiling_overrides_last_seen";
    // An entry whose desktop has been gone for longer than this is dropped by pruneDict.
    static constexpr double kExpirySeconds = 2'592'000; // 30 days

    // `clock` gives seconds since 1970 (the composition root passes the scheduler's wall clock).
    LabelStore(Settings& settings, AutoNamer& autoNamer, std::function<double()> clock);

    // Seconds since 1970 for last-seen stamps; replaceable.
    std::function<double()> now;
    // Called after every change of a label or an override (not after pruning).
    std::function<void()> onChange;

    // The user's name for the desktop, if any.
    std::optional<std::string> label(SpaceId id) const;
    // Stores the name with a fresh last-seen stamp, or with none removes both; then onChange.
    void setLabel(const std::optional<std::string>& label, SpaceId id);

    // Removes every user name with its last-seen stamps (both tables); then onChange.
    void clearAllLabels();

    // Absent or unrecognised stored values are `automatic`.
    TilingOverride tilingOverride(SpaceId id) const;
    // `on` / `off` are stored with a fresh stamp; `automatic` removes both entries; then onChange.
    void setTilingOverride(TilingOverride value, SpaceId id);
    // True when any stored override is "on", whether or not its desktop exists right now.
    bool anySpaceForcesTiling() const;

    // Expiry of the table under `key`: entries of desktops in `validSpaceIDs` are stamped now,
    // others are dropped once their stamp is older than 30 days (an unstamped one is stamped now).
    // Last-seen entries without a value are dropped. Writes both tables unless `key` holds nothing.
    void pruneDict(std::string_view key, std::string_view lastSeenKey, const std::set<SpaceId>& validSpaceIDs);

    // Recomputes the automatic names (emptied in manual naming mode).
    void refreshAutoNames(const std::vector<Space>& spaces);
    const std::map<SpaceId, std::string>& autoNameCache() const { return m_autoNameCache; }

    // The name every view shows: the label, else the automatic name, else "Desktop N" (a
    // full-screen desktop: its application's name or "Fullscreen").
    std::string displayName(const Space& space);

    // The stored names as they are kept (wrong shape reads as empty). Static so that AutoNamer can
    // read them without holding a LabelStore.
    static std::map<std::string, std::string> storedLabels(const DefaultsStore& defaults);

private:
    void setEntry(std::string_view key, std::string_view lastSeenKey, SpaceId id,
                  const std::optional<std::string>& value);

    Settings& m_settings;
    DefaultsStore& m_defaults;
    AutoNamer& m_autoNamer;
    std::map<SpaceId, std::string> m_autoNameCache;
};

} // namespace quorvel
