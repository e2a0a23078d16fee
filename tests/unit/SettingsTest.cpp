// Preferences: defaults of a fresh store, tolerant enum reads, the strip gate, the desktop snapshot.
#include "settings/Settings.h"
#include "MemoryDefaults.h"

#include <gtest/gtest.h>

using namespace quorvel;

namespace {
class SettingsTest : public ::testing::Test {
protected:
    sim::MemoryDefaults defaults;
    Settings settings{defaults};
};
} // namespace

TEST_F(SettingsTest, FreshStoreReadsTheDefaults) {
    EXPECT_EQ(settings.appMode(), AppMode::menubar);
    EXPECT_EQ(settings.namingMode(), NamingMode::automatic);
    EXPECT_EQ(settings.numberingMode(), NumberingMode::continuous);
    EXPECT_FALSE(settings.tilingEnabled());
    EXPECT_EQ(settings.tilingGap(), 8);
    EXPECT_EQ(settings.tilingAnimation(), TilingAnimation::none);
    EXPECT_EQ(settings.tilingCloseBehavior(), TilingCloseBehavior::reorient);
    EXPECT_EQ(settings.menuDensity(), MenuDensity::full);
    EXPECT_EQ(settings.stripMode(), StripMode::never);
    EXPECT_EQ(settings.stripPosition(), "centre");
    EXPECT_TRUE(settings.spotlightBorder() && settings.stripTilingMarks() && settings.stripMiniMaps() &&
                settings.stripRevealInFullscreen() && settings.showMiniMaps() && settings.showTilingBadges());
    EXPECT_FALSE(settings.savedSpaceSnapshot().has_value());
    EXPECT_EQ(defaults.writes(), 0u) << "reading never writes";
}

TEST_F(SettingsTest, UnrecognisedOrWronglyTypedValuesReadAsDefaults) {
    defaults.set(Settings::namingKey, "Manual"); // case matters
    defaults.set(Settings::numberingKey, "perDisplay");
    defaults.set(Settings::tilingAnimationKey, 3);
    defaults.set(Settings::tilingCloseBehaviorKey, "KEEP");
    defaults.set(Settings::menuDensityKey, "dense");
    defaults.set(Settings::tilingGapKey, "12");
    defaults.set(Settings::spotlightBorderKey, "no");
    defaults.set(Settings::stripPositionKey, "center");
    defaults.set(Settings::modeKey, true);
    EXPECT_EQ(settings.namingMode(), NamingMode::automatic);
    EXPECT_EQ(settings.numberingMode(), NumberingMode::continuous);
    EXPECT_EQ(settings.tilingAnimation(), TilingAnimation::none);
    EXPECT_EQ(settings.tilingCloseBehavior(), TilingCloseBehavior::reorient);
    EXPECT_EQ(settings.menuDensity(), MenuDensity::full);
    EXPECT_EQ(settings.tilingGap(), 8);
    EXPECT_TRUE(settings.spotlightBorder());
    EXPECT_EQ(settings.stripPosition(), "centre");
    EXPECT_EQ(settings.appMode(), AppMode::menubar);

    defaults.set(Settings::namingKey, "manual");
    defaults.set(Settings::numberingKey, "per_display");
    defaults.set(Settings::tilingCloseBehaviorKey, "keep");
    defaults.set(Settings::tilingGapKey, 0);
    defaults.set(Settings::spotlightBorderKey, false);
    settings.setTilingAnimation(TilingAnimation::slide);
    EXPECT_EQ(settings.namingMode(), NamingMode::manual);
    EXPECT_EQ(settings.numberingMode(), NumberingMode::perDisplay);
    EXPECT_EQ(settings.tilingCloseBehavior(), TilingCloseBehavior::keep);
    EXPECT_EQ(settings.tilingGap(), 0);
    EXPECT_FALSE(settings.spotlightBorder());
    EXPECT_EQ(*defaults.object(Settings::tilingAnimationKey), "slide");
}

TEST_F(SettingsTest, StripModeNeedsTheDeveloperSwitch) {
    defaults.set(Settings::stripModeKey, "alwaysOn");
    EXPECT_EQ(settings.stripMode(), StripMode::never);
    defaults.set(Settings::stripDevKey, true);
    EXPECT_EQ(settings.stripMode(), StripMode::alwaysOn);
    defaults.set(Settings::stripModeKey, "onhover");
    EXPECT_EQ(settings.stripMode(), StripMode::never);
}

TEST_F(SettingsTest, EnumerationsRoundTripThroughTheirRawValues) {
    for (const auto mode : {TilingOverride::automatic, TilingOverride::on, TilingOverride::off})
        EXPECT_EQ(parseRaw<TilingOverride>(rawValue(mode)), mode);
    EXPECT_EQ(rawValue(TilingOverride::automatic), "auto");
    EXPECT_EQ(rawValue(NamingMode::automatic), "auto");
    EXPECT_EQ(rawValue(StripMode::onHover), "onHover");
    EXPECT_EQ(rawValue(NumberingMode::perDisplay), "per_display");
    EXPECT_FALSE(parseRaw<MenuDensity>("Full").has_value());
}

TEST_F(SettingsTest, SnapshotRoundTripKeepsOrderNamesAndForcedTiling) {
    settings.saveSpaceSnapshot({12, 3, 18446744073709551615ull}, {{3, "Mail"}, {12, "Code — main.cpp"}},
                               {{12, TilingOverride::on}, {3, TilingOverride::off}});
    EXPECT_EQ(*defaults.object(Settings::savedSpaceIDsKey), Json({"12", "3", "18446744073709551615"}));
    EXPECT_EQ(*defaults.object(Settings::savedSpaceCountKey), 3);
    EXPECT_EQ((*defaults.object(Settings::savedSpaceOverridesKey))["12"], "on");

    const auto snapshot = settings.savedSpaceSnapshot();
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->ids, (std::vector<SpaceId>{12, 3, 18446744073709551615ull}));
    EXPECT_EQ(snapshot->labels.at(12), "Code — main.cpp");
    EXPECT_EQ(snapshot->overrides.at(3), TilingOverride::off);
    // Without its count there is no snapshot.
    defaults.remove(Settings::savedSpaceCountKey);
    EXPECT_FALSE(settings.savedSpaceSnapshot().has_value());
}

TEST_F(SettingsTest, SnapshotReaderDropsWhatDoesNotParseAndKeepsTheRest) {
    defaults.set(Settings::savedSpaceCountKey, 99); // never compared with the ids
    defaults.set(Settings::savedSpaceIDsKey, Json({"12", "abc", "", "-4", " 5", "18446744073709551616", 7, "8"}));
    defaults.set(Settings::savedSpaceLabelsKey, Json({{"12", "Work"}, {"x", "Lost"}}));
    defaults.set(Settings::savedSpaceOverridesKey, Json({{"7", "auto"}, {"8", "off"}, {"9", "ON"}, {"y", "on"}}));
    const auto snapshot = settings.savedSpaceSnapshot();
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->ids, (std::vector<SpaceId>{12, 8}));
    EXPECT_EQ(snapshot->labels, (std::map<SpaceId, std::string>{{12, "Work"}}));
    EXPECT_EQ(snapshot->overrides, (std::map<SpaceId, TilingOverride>{{8, TilingOverride::off}}));

    defaults.set(Settings::savedSpaceLabelsKey, Json({{"12", 5}})); // wrong shape reads as empty
    defaults.remove(Settings::savedSpaceIDsKey);
    const auto reduced = settings.savedSpaceSnapshot();
    ASSERT_TRUE(reduced);
    EXPECT_TRUE(reduced->ids.empty());
    EXPECT_TRUE(reduced->labels.empty());
}

TEST_F(SettingsTest, PurgeRemovesOnlyTheRemovedFeatureKeys) {
    defaults.set("dock_summon_enabled", true);
    defaults.set(Settings::tilingEnabledKey, true);
    settings.purgeRemovedFeatureKeys();
    const auto writes = defaults.writes();
    settings.purgeRemovedFeatureKeys();
    EXPECT_EQ(defaults.writes(), writes) << "a second purge finds nothing to remove";
    EXPECT_EQ(defaults.keys(), std::vector<std::string>{"tiling_enabled"});
}

TEST_F(SettingsTest, PreferredFocusDisplayIsRemovedWhenCleared) {
    settings.setPreferredFocusDisplayUUID("ABC");
    EXPECT_EQ(settings.preferredFocusDisplayUUID(), "ABC");
    settings.setPreferredFocusDisplayUUID(std::nullopt);
    EXPECT_FALSE(defaults.hasValue(Settings::preferredFocusDisplayKey));
}
