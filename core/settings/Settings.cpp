// Preference reads with their defaults, and the saved desktop snapshot.
#include "settings/Settings.h"

#include <charconv>
#include <utility>

namespace quorvel {

namespace {

template <class E, std::size_t N>
using RawTable = std::array<std::pair<E, std::string_view>, N>;

constexpr RawTable<AppMode, 2> kAppModes{{{AppMode::hotkey, "hotkey"}, {AppMode::menubar, "menubar"}}};
constexpr RawTable<NamingMode, 2> kNamingModes{{{NamingMode::manual, "manual"}, {NamingMode::automatic, "auto"}}};
constexpr RawTable<TilingOverride, 3> kOverrides{
    {{TilingOverride::automatic, "auto"}, {TilingOverride::on, "on"}, {TilingOverride::off, "off"}}};
constexpr RawTable<TilingAnimation, 4> kAnimations{{{TilingAnimation::none, "none"},
                                                    {TilingAnimation::grow, "grow"},
                                                    {TilingAnimation::flip, "flip"},
                                                    {TilingAnimation::slide, "slide"}}};
constexpr RawTable<TilingCloseBehavior, 2> kCloseBehaviors{
    {{TilingCloseBehavior::reorient, "reorient"}, {TilingCloseBehavior::keep, "keep"}}};
constexpr RawTable<MenuDensity, 3> kDensities{
    {{MenuDensity::full, "full"}, {MenuDensity::focused, "focused"}, {MenuDensity::minimal, "minimal"}}};
constexpr RawTable<StripMode, 3> kStripModes{
    {{StripMode::never, "never"}, {StripMode::onHover, "onHover"}, {StripMode::alwaysOn, "alwaysOn"}}};
constexpr RawTable<NumberingMode, 2> kNumberings{
    {{NumberingMode::continuous, "continuous"}, {NumberingMode::perDisplay, "per_display"}}};

template <class E, std::size_t N>
std::string_view rawOf(const RawTable<E, N>& table, E value) {
    for (const auto& [e, raw] : table)
        if (e == value) return raw;
    return {};
}

template <class E, std::size_t N>
std::optional<E> parseOf(const RawTable<E, N>& table, std::string_view text) {
    for (const auto& [e, raw] : table)
        if (raw == text) return e;
    return std::nullopt;
}

template <class E>
constexpr const auto& tableFor() {
    if constexpr (std::is_same_v<E, AppMode>) return kAppModes;
    else if constexpr (std::is_same_v<E, NamingMode>) return kNamingModes;
    else if constexpr (std::is_same_v<E, TilingOverride>) return kOverrides;
    else if constexpr (std::is_same_v<E, TilingAnimation>) return kAnimations;
    else if constexpr (std::is_same_v<E, TilingCloseBehavior>) return kCloseBehaviors;
    else if constexpr (std::is_same_v<E, MenuDensity>) return kDensities;
    else if constexpr (std::is_same_v<E, StripMode>) return kStripModes;
    else return kNumberings;
}

} // namespace

std::string_view rawValue(AppMode value) { return rawOf(kAppModes, value); }
std::string_view rawValue(NamingMode value) { return rawOf(kNamingModes, value); }
std::string_view rawValue(TilingOverride value) { return rawOf(kOverrides, value); }
std::string_view rawValue(TilingAnimation value) { return rawOf(kAnimations, value); }
std::string_view rawValue(TilingCloseBehavior value) { return rawOf(kCloseBehaviors, value); }
std::string_view rawValue(MenuDensity value) { return rawOf(kDensities, value); }
std::string_view rawValue(StripMode value) { return rawOf(kStripModes, value); }
std::string_view rawValue(NumberingMode value) { return rawOf(kNumberings, value); }

template <class E>
std::optional<E> parseRaw(std::string_view text) {
    return parseOf(tableFor<E>(), text);
}
template std::optional<AppMode> parseRaw<AppMode>(std::string_view);
template std::optional<NamingMode> parseRaw<NamingMode>(std::string_view);
template std::optional<TilingOverride> parseRaw<TilingOverride>(std::string_view);
template std::optional<TilingAnimation> parseRaw<TilingAnimation>(std::string_view);
template std::optional<TilingCloseBehavior> parseRaw<TilingCloseBehavior>(std::string_view);
template std::optional<MenuDensity> parseRaw<MenuDensity>(std::string_view);
template std::optional<StripMode> parseRaw<StripMode>(std::string_view);
template std::optional<NumberingMode> parseRaw<NumberingMode>(std::string_view);

std::optional<std::uint64_t> parseDecimalId(std::string_view text) {
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

template <class E>
std::optional<E> Settings::storedEnum(std::string_view key) const {
    const auto text = m_defaults.stringFor(key);
    return text ? parseRaw<E>(*text) : std::nullopt;
}

AppMode Settings::appMode() const { return storedEnum<AppMode>(modeKey).value_or(AppMode::menubar); }

NamingMode Settings::namingMode() const {
    return storedEnum<NamingMode>(namingKey).value_or(NamingMode::automatic);
}

NumberingMode Settings::numberingMode() const {
    return storedEnum<NumberingMode>(numberingKey).value_or(NumberingMode::continuous);
}

TilingAnimation Settings::tilingAnimation() const {
    return storedEnum<TilingAnimation>(tilingAnimationKey).value_or(TilingAnimation::none);
}

void Settings::setTilingAnimation(TilingAnimation value) {
    m_defaults.set(tilingAnimationKey, std::string(rawValue(value)));
}

TilingCloseBehavior Settings::tilingCloseBehavior() const {
    return storedEnum<TilingCloseBehavior>(tilingCloseBehaviorKey).value_or(TilingCloseBehavior::reorient);
}

MenuDensity Settings::menuDensity() const {
    return storedEnum<MenuDensity>(menuDensityKey).value_or(MenuDensity::full);
}

StripMode Settings::stripMode() const {
    if (!m_defaults.boolFor(stripDevKey)) return StripMode::never;
    return storedEnum<StripMode>(stripModeKey).value_or(StripMode::never);
}

std::string Settings::stripPosition() const {
    const auto stored = m_defaults.stringFor(stripPositionKey);
    if (stored && (*stored == "left" || *stored == "centre" || *stored == "right")) return *stored;
    return "centre";
}

std::int64_t Settings::tilingGap() const { return m_defaults.integer(tilingGapKey).optional().value_or(8); }

void Settings::setPreferredFocusDisplayUUID(const std::optional<std::string>& uuid) {
    if (uuid) m_defaults.set(preferredFocusDisplayKey, *uuid);
    else m_defaults.remove(preferredFocusDisplayKey);
}

std::optional<std::string> Settings::preferredFocusDisplayUUID() const {
    return m_defaults.stringFor(preferredFocusDisplayKey);
}

void Settings::saveSpaceSnapshot(const std::vector<SpaceId>& ids, const std::map<SpaceId, std::string>& labels,
                                 const std::map<SpaceId, TilingOverride>& overrides) {
    Json idList = Json::array();
    for (const SpaceId id : ids) idList.push_back(std::to_string(id));
    m_defaults.set(savedSpaceIDsKey, std::move(idList));
    m_defaults.set(savedSpaceCountKey, static_cast<std::int64_t>(ids.size()));

    Json labelMap = Json::object();
    for (const auto& [id, label] : labels) labelMap[std::to_string(id)] = label;
    m_defaults.set(savedSpaceLabelsKey, std::move(labelMap));

    Json overrideMap = Json::object();
    for (const auto& [id, value] : overrides) overrideMap[std::to_string(id)] = std::string(rawValue(value));
    m_defaults.set(savedSpaceOverridesKey, std::move(overrideMap));
}

std::optional<SpaceSnapshot> Settings::savedSpaceSnapshot() const {
    // Only the count's presence matters; it is never compared with the identifiers.
    if (!m_defaults.hasValue(savedSpaceCountKey)) return std::nullopt;

    SpaceSnapshot snapshot;
    // A list with some non-string entries keeps its string entries.
    if (const auto ids = m_defaults.object(savedSpaceIDsKey); ids && ids->is_array()) {
        for (const auto& entry : *ids) {
            if (!entry.is_string()) continue;
            if (const auto id = parseDecimalId(entry.get_ref<const std::string&>())) snapshot.ids.push_back(*id);
        }
    }
    for (const auto& [key, label] : m_defaults.stringMap(savedSpaceLabelsKey).value) {
        if (const auto id = parseDecimalId(key)) snapshot.labels[*id] = label;
    }
    for (const auto& [key, raw] : m_defaults.stringMap(savedSpaceOverridesKey).value) {
        const auto id = parseDecimalId(key);
        if (!id) continue;
        if (raw == "on") snapshot.overrides[*id] = TilingOverride::on;
        else if (raw == "off") snapshot.overrides[*id] = TilingOverride::off;
    }
    return snapshot;
}

void Settings::purgeRemovedFeatureKeys() {
    for (const auto key : removedDockSummonKeys)
        if (m_defaults.hasValue(key)) m_defaults.remove(key);
}

std::size_t Settings::observeChanges(ChangeListener listener) {
    const std::size_t token = m_nextListener++;
    m_changeListeners.emplace(token, std::move(listener));
    return token;
}

void Settings::stopObservingChanges(std::size_t token) { m_changeListeners.erase(token); }

void Settings::announceChanges(const std::vector<std::string>& keys) {
    if (keys.empty()) return;
    // A copy: listeners may change the set while it is walked.
    const auto listeners = m_changeListeners;
    for (const auto& [token, listener] : listeners)
        if (m_changeListeners.contains(token)) listener(keys);
}

} // namespace quorvel
