// The single owner of the preference keys: key names, defaults, the enumerations stored as strings,
// the saved desktop snapshot and the purge of keys of removed features. Caches no stored value:
// every read goes to the store, so a value written anywhere is seen everywhere at once. Its one
// state of its own is the platform's default for direct desktop switching, set at start-up.
#pragma once

#include "platform/DefaultsStore.h"
#include "platform/Types.h"

#include <array>
#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

enum class AppMode { hotkey, menubar };
enum class NamingMode { manual, automatic };
enum class TilingOverride { automatic, on, off };
enum class TilingAnimation { none, grow, flip, slide };
enum class TilingCloseBehavior { reorient, keep };
enum class MenuDensity { full, focused, minimal };
enum class StripMode { never, onHover, alwaysOn };
enum class NumberingMode { continuous, perDisplay };

// Raw values, exactly as stored. Parsing is exact and case-sensitive; no match gives none.
std::string_view rawValue(AppMode value);
std::string_view rawValue(NamingMode value);
std::string_view rawValue(TilingOverride value);
std::string_view rawValue(TilingAnimation value);
std::string_view rawValue(TilingCloseBehavior value);
std::string_view rawValue(MenuDensity value);
std::string_view rawValue(StripMode value);
std::string_view rawValue(NumberingMode value);

template <class E>
std::optional<E> parseRaw(std::string_view text);

inline constexpr std::array<MenuDensity, 3> kMenuDensities = {MenuDensity::full, MenuDensity::focused,
                                                                MenuDensity::minimal};

// The desktop snapshot: desktop order, names and forced tiling, carried across relaunches.
struct SpaceSnapshot {
    std::vector<SpaceId> ids;
    std::map<SpaceId, std::string> labels;
    std::map<SpaceId, TilingOverride> overrides;
    friend bool operator==(const SpaceSnapshot&, const SpaceSnapshot&) = default;
};

// An unsigned decimal 64-bit identifier; none for empty text, signs, spaces or overflow.
std::optional<std::uint64_t> parseDecimalId(std::string_view text);

class Settings {
public:
    explicit Settings(DefaultsStore& defaults) : m_defaults(defaults) {}

    static constexpr std::string_view modeKey = "app_mode";
    static constexpr std::string_view namingKey = "naming_mode";
    static constexpr std::string_view numberingKey = "numbering_mode";
    static constexpr std::string_view editModeKey = "edit_mode";
    static constexpr std::string_view tilingEnabledKey = "tiling_enabled";
    static constexpr std::array<std::string_view, 1> removedDockSummonKeys = {"dock_summon_enabled"};
    static constexpr std::string_view spotlightBorderKey = "spotlight_border";
    static constexpr std::string_view crashReportingKey = "crash_reporting_enabled";
    static constexpr std::string_view crashReportingAskedKey = "crash_reporting_asked";
    static constexpr std::string_view tilingGapKey = "tiling_gap";
    static constexpr std::string_view tilingAnimationKey = "tiling_animation";
    static constexpr std::string_view tilingCloseBehaviorKey = "tiling_close_behavior";
    static constexpr std::string_view menuDensityKey = "menu_density";
    static constexpr std::string_view hasLaunchedBeforeKey = "has_launched_before";
    static constexpr std::string_view savedSpaceCountKey = "saved_space_count";
    static constexpr std::string_view savedSpaceLabelsKey = "saved_space_labels";
    static constexpr std::string_view savedSpaceIDsKey = "saved_space_ids";
    static constexpr std::string_view savedSpaceOverridesKey = "saved_space_tiling_overrides";
    static constexpr std::string_view preferredFocusDisplayKey = "preferred_focus_display_uuid";
    static constexpr std::string_view showMiniMapsKey = "show_mini_maps";
    static constexpr std::string_view showTilingBadgesKey = "show_tiling_badges";
    static constexpr std::string_view stripModeKey = "strip_mode";
    static constexpr std::string_view stripPositionKey = "strip_position";
    static constexpr std::string_view stripTilingMarksKey = "strip_tiling_marks";
    static constexpr std::string_view stripPeekKey = "strip_peek";
    static constexpr std::string_view stripFullscreenKey = "strip_fullscreen";
    static constexpr std::string_view stripMiniMapsKey = "strip_mini_maps";
    // Used by literal elsewhere, named here so every key has one home.
    static constexpr std::string_view stripDevKey = "strip_dev";
    static constexpr std::string_view directSpaceSwitchKey = "use_direct_space_switch";

    DefaultsStore& defaults() { return m_defaults; }
    const DefaultsStore& defaults() const { return m_defaults; }

    // Enumerations, with the stated fallbacks for absent or unrecognised values.
    AppMode appMode() const;                 // menubar
    NamingMode namingMode() const;           // automatic; only "manual" is manual
    NumberingMode numberingMode() const;     // only "per_display" is per display
    TilingAnimation tilingAnimation() const; // none
    void setTilingAnimation(TilingAnimation value);
    TilingCloseBehavior tilingCloseBehavior() const; // only "keep" keeps
    MenuDensity menuDensity() const;                 // full
    StripMode stripMode() const;                     // never unless "strip_dev" is on
    std::string stripPosition() const;               // "left", "centre" or "right"

    bool tilingEnabled() const { return m_defaults.boolFor(tilingEnabledKey); }
    bool editMode() const { return m_defaults.boolFor(editModeKey); }
    bool spotlightBorder() const { return boolOrTrue(spotlightBorderKey); }
    bool stripTilingMarks() const { return boolOrTrue(stripTilingMarksKey); }
    bool stripMiniMaps() const { return boolOrTrue(stripMiniMapsKey); }
    bool stripRevealInFullscreen() const { return boolOrTrue(stripFullscreenKey); }
    bool showMiniMaps() const { return boolOrTrue(showMiniMapsKey); }
    bool showTilingBadges() const { return boolOrTrue(showTilingBadgesKey); }
    std::int64_t tilingGap() const; // 8 when never set
    // Whether the desktop switcher changes the desktop directly rather than through its helper
    // window. A stored boolean wins, false included, and a stored value of another type reads as
    // false; only a missing key gives the platform's default (direct where empty desktops can be
    // shown directly, which the composition root says).
    bool directSpaceSwitch() const {
        const auto stored = m_defaults.boolean(directSpaceSwitchKey);
        if (stored.state == DefaultsLookup<bool>::State::missing) return m_directSpaceSwitchByDefault;
        return stored.hasValue() && stored.value;
    }
    void setDirectSpaceSwitchByDefault(bool direct) { m_directSpaceSwitchByDefault = direct; }

    void setPreferredFocusDisplayUUID(const std::optional<std::string>& uuid);
    std::optional<std::string> preferredFocusDisplayUUID() const;

    void saveSpaceSnapshot(const std::vector<SpaceId>& ids, const std::map<SpaceId, std::string>& labels,
                           const std::map<SpaceId, TilingOverride>& overrides);
    // None when no snapshot was ever saved; entries that do not parse are dropped.
    std::optional<SpaceSnapshot> savedSpaceSnapshot() const;

    // Removes the keys a removed feature left behind. Harmless to repeat.
    void purgeRemovedFeatureKeys();

    // Changes that reach the store from outside the app (a hand edit of the defaults file, a
    // second copy): listeners get the keys whose values changed, already readable here, in the
    // order they were added. A listener may add or remove listeners; those apply from the next
    // announcement.
    using ChangeListener = std::function<void(const std::vector<std::string>& keys)>;
    std::size_t observeChanges(ChangeListener listener);
    void stopObservingChanges(std::size_t token);
    void announceChanges(const std::vector<std::string>& keys);

private:
    bool boolOrTrue(std::string_view key) const { return m_defaults.boolean(key).optional().value_or(true); }
    template <class E>
    std::optional<E> storedEnum(std::string_view key) const;

    DefaultsStore& m_defaults;
    bool m_directSpaceSwitchByDefault = false;
    std::map<std::size_t, ChangeListener> m_changeListeners;
    std::size_t m_nextListener = 1;
};

} // namespace quorvel
