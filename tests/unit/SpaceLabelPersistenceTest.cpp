// Saving the desktop snapshot and restoring names and overrides after a relaunch.
#include "DesktopNamesFixture.h"

namespace quorvel::test {
namespace {

class SpaceLabelPersistenceTest : public DesktopNamesFixture {};

TEST_F(SpaceLabelPersistenceTest, SnapshotHoldsTheOrderAndWhatTheCurrentDesktopsCarry) {
    desktops(3);
    labels.setLabel("Mail", desktop(0));
    labels.setLabel("Gone", 99);
    labels.setTilingOverride(TilingOverride::on, desktop(2));
    persistence.saveSpaceLabels();
    EXPECT_EQ(stored("saved_space_ids"), (Json{"1", "2", "3"}));
    EXPECT_EQ(stored("saved_space_count"), 3);
    EXPECT_EQ(stored("saved_space_labels"), (Json{{"1", "Mail"}}));
    EXPECT_EQ(stored("saved_space_tiling_overrides"), (Json{{"3", "on"}}));
}

TEST_F(SpaceLabelPersistenceTest, RestartThatRenumbersEveryDesktopCarriesNamesByPosition) {
    desktops(3);
    observeDesktopChanges();
    labels.setLabel("Mail", desktop(0));
    labels.setLabel("Code", desktop(2));
    labels.setTilingOverride(TilingOverride::off, desktop(1));
    switchTo(desktop(1)); // saves the snapshot

    world.renumberSpaces(); // 4, 5, 6
    sim.scheduler.advance(Seconds(60));
    persistence.restoreSpaceLabels();
    EXPECT_EQ(labels.label(4), "Mail");
    EXPECT_EQ(labels.label(5), std::nullopt);
    EXPECT_EQ(labels.label(6), "Code");
    EXPECT_EQ(labels.tilingOverride(5), TilingOverride::off);
    EXPECT_EQ(stored("labels_last_seen"), (Json{{"1", kStart}, {"3", kStart}, {"4", kStart + 60}, {"6", kStart + 60}}));
    ASSERT_EQ(sim.log.entries().size(), 1u);
    EXPECT_EQ(sim.log.entries()[0].level, LogLevel::info);
    EXPECT_EQ(sim.log.entries()[0].category, "app");
    EXPECT_EQ(sim.log.entries()[0].message, "restored 2 labels, 1 tiling overrides");

    // A second restore finds everything in place.
    persistence.restoreSpaceLabels();
    EXPECT_EQ(sim.log.entries().size(), 1u);
}

TEST_F(SpaceLabelPersistenceTest, RestoreFillsGapsButNeverOverwrites) {
    desktops(2);
    labels.setLabel("Mail", desktop(0));
    labels.setLabel("Web", desktop(1));
    labels.setTilingOverride(TilingOverride::on, desktop(0));
    persistence.saveSpaceLabels();

    labels.setLabel(std::nullopt, desktop(0));
    labels.setLabel("Browser", desktop(1));
    labels.setTilingOverride(TilingOverride::off, desktop(0));
    int changes = 0;
    labels.onChange = [&] { ++changes; };
    persistence.restoreSpaceLabels();
    EXPECT_EQ(labels.label(desktop(0)), "Mail");
    EXPECT_EQ(labels.label(desktop(1)), "Browser");
    EXPECT_EQ(labels.tilingOverride(desktop(0)), TilingOverride::off);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(sim.log.lines(), (std::vector<std::string>{"restored 1 labels, 0 tiling overrides"}));
}

TEST_F(SpaceLabelPersistenceTest, FailedDesktopReadKeepsTheSavedSnapshot) {
    desktops(2);
    labels.setLabel("Mail", desktop(1));
    persistence.saveSpaceLabels();
    world.overrideDesktopTable(DesktopTable{});
    persistence.saveSpaceLabels();
    EXPECT_EQ(stored("saved_space_ids"), (Json{"1", "2"}));
    EXPECT_EQ(stored("saved_space_labels"), (Json{{"2", "Mail"}}));

    // Without any snapshot there is nothing to restore and nothing to log.
    sim.defaults.remove("saved_space_count");
    world.overrideDesktopTable(std::nullopt);
    labels.setLabel(std::nullopt, desktop(1));
    persistence.restoreSpaceLabels();
    EXPECT_EQ(labels.label(desktop(1)), std::nullopt);
    EXPECT_TRUE(sim.log.lines().empty());
}

} // namespace
} // namespace quorvel::test
