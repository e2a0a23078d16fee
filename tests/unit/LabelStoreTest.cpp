// LabelStore: stored names and overrides with their stamps, expiry over weeks of desktop switches,
// and the name shown for a desktop.
#include "DesktopNamesFixture.h"

namespace quorvel::test {
namespace {

class LabelStoreTest : public DesktopNamesFixture {};

TEST_F(LabelStoreTest, NamingAndUnnamingADesktopKeepsNameAndStampTogether) {
    desktops(3);
    int changes = 0;
    labels.onChange = [&] { ++changes; };

    labels.setLabel("Mail", desktop(0));
    sim.scheduler.advance(Seconds(90));
    labels.setLabel("Code", desktop(2));
    EXPECT_EQ(stored("space_labels"), (Json{{"1", "Mail"}, {"3", "Code"}}));
    EXPECT_EQ(stored("labels_last_seen"), (Json{{"1", kStart}, {"3", kStart + 90}}));
    EXPECT_EQ(labels.label(desktop(2)), "Code");
    EXPECT_EQ(labels.label(desktop(1)), std::nullopt);

    labels.setLabel(std::nullopt, desktop(0));
    EXPECT_EQ(stored("space_labels"), (Json{{"3", "Code"}}));
    EXPECT_EQ(stored("labels_last_seen"), (Json{{"3", kStart + 90}}));
    EXPECT_EQ(changes, 3);
}

TEST_F(LabelStoreTest, OverridesStoreOnlyOnAndOff) {
    desktops(2);
    int changes = 0;
    labels.onChange = [&] { ++changes; };

    labels.setTilingOverride(TilingOverride::off, desktop(0));
    EXPECT_FALSE(labels.anySpaceForcesTiling());
    labels.setTilingOverride(TilingOverride::on, desktop(1));
    EXPECT_TRUE(labels.anySpaceForcesTiling());
    EXPECT_EQ(stored("tiling_overrides"), (Json{{"1", "off"}, {"2", "on"}}));
    EXPECT_EQ(stored("tiling_overrides_last_seen"), (Json{{"1", kStart}, {"2", kStart}}));
    EXPECT_EQ(labels.tilingOverride(desktop(1)), TilingOverride::on);

    labels.setTilingOverride(TilingOverride::automatic, desktop(1));
    EXPECT_EQ(stored("tiling_overrides"), (Json{{"1", "off"}}));
    EXPECT_EQ(stored("tiling_overrides_last_seen"), (Json{{"1", kStart}}));
    EXPECT_EQ(labels.tilingOverride(desktop(1)), TilingOverride::automatic);
    EXPECT_FALSE(labels.anySpaceForcesTiling());
    EXPECT_EQ(changes, 3);
    // Labels are untouched by overrides.
    EXPECT_FALSE(sim.defaults.hasValue("space_labels"));
}

TEST_F(LabelStoreTest, MalformedTablesReadAsEmptyAndAreReplacedOnTheNextWrite) {
    desktops(2);
    sim.defaults.set("space_labels", Json{{"1", "Mail"}, {"2", 7}});
    sim.defaults.set("tiling_overrides", Json{{"1", "sideways"}, {"2", "ON"}});
    sim.defaults.set("labels_last_seen", Json::array({1, 2}));

    EXPECT_EQ(labels.label(desktop(0)), std::nullopt);
    EXPECT_EQ(labels.displayName(currentSpace()), "Desktop 1");
    EXPECT_EQ(labels.tilingOverride(desktop(0)), TilingOverride::automatic);
    EXPECT_FALSE(labels.anySpaceForcesTiling()); // matching is exact and case-sensitive

    labels.setLabel("Web", desktop(1));
    EXPECT_EQ(stored("space_labels"), (Json{{"2", "Web"}}));
    EXPECT_EQ(stored("labels_last_seen"), (Json{{"2", kStart}}));
}

TEST_F(LabelStoreTest, NameOfAVanishedDesktopLastsThirtyDaysOfSwitches) {
    desktops(3);
    observeDesktopChanges();
    labels.setLabel("Archive", desktop(2));
    labels.setTilingOverride(TilingOverride::on, desktop(2));
    labels.setLabel("Mail", desktop(0));
    const SpaceId gone = desktop(2);
    world.removeSpace(gone);

    // The first switch after the desktop vanished; the 30 days run from the label's last stamp.
    for (int day = 0; day < 30; ++day) {
        switchTo(desktop(day % 2));
        sim.scheduler.advance(kDay);
    }
    // Exactly 30 days since it was last seen: kept.
    switchTo(desktop(0));
    EXPECT_EQ(labels.label(gone), "Archive");

    sim.scheduler.advance(Seconds(1));
    switchTo(desktop(1));
    EXPECT_EQ(stored("space_labels"), (Json{{"1", "Mail"}}));
    EXPECT_EQ(stored("labels_last_seen"), (Json{{"1", kStart + 30 * 86400 + 1}}));
    EXPECT_EQ(stored("tiling_overrides"), Json::object());
    EXPECT_EQ(stored("tiling_overrides_last_seen"), Json::object());
    EXPECT_FALSE(labels.anySpaceForcesTiling());
}

TEST_F(LabelStoreTest, ExpiryClockStartsWhenFirstMissedAndResetsWhenSeenAgain) {
    desktops(2);
    // A name without a stamp, one whose key is not an id, and one that will reappear.
    sim.defaults.set("space_labels", Json{{"77", "Old"}, {"draft", "Junk"}, {"88", "Back"}});
    sim.defaults.set("labels_last_seen", Json{{"88", kStart - 29 * 86400}, {"99", kStart}});
    const std::set<SpaceId> current{desktop(0), desktop(1)};

    labels.pruneDict(LabelStore::labelsKey, LabelStore::labelsLastSeenKey, current);
    EXPECT_EQ(stored("space_labels"), (Json{{"77", "Old"}, {"draft", "Junk"}, {"88", "Back"}}));
    EXPECT_EQ(stored("labels_last_seen"), (Json{{"77", kStart}, {"draft", kStart}, {"88", kStart - 29 * 86400}}));

    sim.scheduler.advance(Seconds(0.5 * 86400));
    labels.pruneDict(LabelStore::labelsKey, LabelStore::labelsLastSeenKey, {desktop(0), 88});
    sim.scheduler.advance(Seconds(30 * 86400));
    labels.pruneDict(LabelStore::labelsKey, LabelStore::labelsLastSeenKey, current);
    EXPECT_EQ(stored("space_labels"), (Json{{"88", "Back"}}));
}

TEST_F(LabelStoreTest, PruningWithNothingStoredWritesNothing) {
    desktops(1);
    sim.defaults.set("labels_last_seen", Json{{"5", kStart}});
    const auto writes = sim.defaults.writes();
    labels.pruneDict(LabelStore::labelsKey, LabelStore::labelsLastSeenKey, {desktop(0)});
    EXPECT_EQ(sim.defaults.writes(), writes);
}

TEST_F(LabelStoreTest, ShownNamePrefersLabelThenAutomaticThenNumber) {
    desktops(3);
    const Pid mail = openApp("Mail", "Inbox");
    switchTo(desktop(1));
    namer.recordCurrentSpaceApp(); // Mail is still frontmost, now on desktop 2
    switchTo(desktop(2));
    world.activateApp(mail);

    const auto all = spaces.getSpaces();
    labels.setLabel("Work", desktop(0));
    // Before any refresh the namer is asked directly: a recorded desktop gives only the name.
    EXPECT_EQ(labels.displayName(all[0]), "Work");
    EXPECT_EQ(labels.displayName(all[1]), "Mail");
    EXPECT_EQ(labels.displayName(all[2]), "Mail \u2014 Inbox");

    labels.refreshAutoNames(all);
    EXPECT_EQ(labels.displayName(all[0]), "Work");
    EXPECT_EQ(labels.displayName(all[1]), "Mail \u2014 Inbox");
    EXPECT_EQ(labels.displayName(all[2]), "Mail \u2014 Inbox");

    sim.defaults.set("naming_mode", "manual");
    labels.refreshAutoNames(all);
    EXPECT_TRUE(labels.autoNameCache().empty());
    EXPECT_EQ(labels.displayName(all[0]), "Work");
    EXPECT_EQ(labels.displayName(all[1]), "Desktop 2");
    EXPECT_EQ(labels.displayName(all[2]), "Desktop 3");

    Space fullScreen{.id = 40, .index = 0, .isFullScreen = true};
    EXPECT_EQ(labels.displayName(fullScreen), "Fullscreen");
    fullScreen.fullScreenAppName = "Keynote";
    EXPECT_EQ(labels.displayName(fullScreen), "Keynote");
}

} // namespace
} // namespace quorvel::test
