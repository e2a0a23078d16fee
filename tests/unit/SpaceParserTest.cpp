// The desktop table parser: numbering, identifiers, full-screen desktops and the current desktop
// of each display.
#include "spaces/SpaceParser.h"
#include "SpaceFixture.h"

#include <gtest/gtest.h>

using namespace quorvel;
using test::indexes;

namespace {

Desktop space(SpaceId id, bool fullScreen = false) {
    return {id, fullScreen ? DesktopKind::fullScreen : DesktopKind::normal};
}

DisplayDesktops display(std::string identifier, std::vector<Desktop> desktops,
                        std::optional<SpaceId> current = {}) {
    return {std::move(identifier), current, std::move(desktops)};
}

std::vector<Display> parse(const DesktopTable& table, NumberingMode numbering = NumberingMode::continuous,
                           std::optional<std::string> main = std::nullopt,
                           std::map<std::string, std::string> names = {},
                           std::map<SpaceId, std::string> fullScreenNames = {}) {
    return SpaceParser::parse(table, 2, main, numbering, names, fullScreenNames);
}

} // namespace

TEST(SpaceParserTest, NumbersDesktopsContinuouslyOrPerDisplay) {
    const DesktopTable table{{display("A", {space(1), space(2), space(3)}, 1), display("B", {space(4), space(5)}, 4)}};
    EXPECT_EQ(indexes(parse(table)), "1 2 3 | 4 5");
    EXPECT_EQ(indexes(parse(table, NumberingMode::perDisplay)), "1 2 3 | 1 2");
    const auto displays = parse(table);
    EXPECT_TRUE(displays[0].spaces[1].isCurrent); // the active desktop is 2
    EXPECT_EQ(displays[1].spaces[0].displayID, "B");
    EXPECT_EQ(SpaceParser::currentSpaceID("B", table), 4u);
    EXPECT_FALSE(SpaceParser::currentSpaceID("C", table).has_value()) << "an unknown display has none";
}

TEST(SpaceParserTest, FullScreenDesktopsTakeNoNumberAndAreNamedAfterTheirApp) {
    const DesktopTable table{{display("A", {space(1), space(9, true), space(3), space(10, true)})}};
    const auto displays = parse(table, NumberingMode::continuous, {}, {}, {{9, "Keynote"}});
    EXPECT_EQ(indexes(displays), "1 0 2 0");
    EXPECT_TRUE(displays[0].spaces[1].isFullScreen);
    EXPECT_EQ(displays[0].spaces[1].fullScreenAppName, "Keynote");
    EXPECT_FALSE(displays[0].spaces[3].fullScreenAppName.has_value());
    EXPECT_EQ(SpaceParser::fullScreenSpaceIDs(table), (std::vector<SpaceId>{9, 10}));
}

TEST(SpaceParserTest, DisplaysWithoutIdentifierFallBackToTheirPosition) {
    const DesktopTable table{{display("A", {space(1)}), display("", {space(2)}, 2)}};
    const auto displays = parse(table, NumberingMode::continuous, std::nullopt, {{"A", "Studio Display"}});
    ASSERT_EQ(displays.size(), 2u);
    EXPECT_EQ(displays[1].id, "display-1");
    EXPECT_EQ(displays[1].label, "Display 2");
    EXPECT_EQ(displays[0].label, "Studio Display");
    EXPECT_EQ(SpaceParser::currentSpaceID("display-1", table), 2u);
    EXPECT_EQ(SpaceParser::spaceInfo(2, table), (SpaceInfo{false, "display-1"}));
}

TEST(SpaceParserTest, MainDisplayIsTheMatchingUUIDOrElseTheFirst) {
    const DesktopTable table{{display("A", {space(1)}), display("B", {space(2)})}};
    auto displays = parse(table);
    EXPECT_TRUE(displays[0].isMain);
    EXPECT_FALSE(displays[1].isMain);
    displays = parse(table, NumberingMode::continuous, "B");
    EXPECT_FALSE(displays[0].isMain);
    EXPECT_TRUE(displays[1].isMain);
    displays = parse(table, NumberingMode::continuous, "C");
    EXPECT_FALSE(displays[0].isMain || displays[1].isMain) << "no display is main when none matches";
}

TEST(SpaceParserTest, ADisplayWithoutDesktopsKeepsItsPositionAndNoCurrentDesktop) {
    const DesktopTable table{{display("", {}), display("", {space(1), space(2)}, 1), display("", {space(3)})}};
    const auto displays = parse(table);
    ASSERT_EQ(displays.size(), 3u);
    EXPECT_TRUE(displays[0].spaces.empty());
    EXPECT_EQ(displays[1].id, "display-1");
    EXPECT_EQ(displays[1].label, "Display 2");
    EXPECT_EQ(indexes(displays), "1 2 | 3");
    EXPECT_EQ(SpaceParser::orderedSpaceIDs(table), (std::vector<SpaceId>{1, 2, 3}));
    EXPECT_FALSE(SpaceParser::currentSpaceID("display-0", table).has_value());
    EXPECT_FALSE(SpaceParser::currentSpaceID("display-2", table).has_value());
    EXPECT_FALSE(SpaceParser::spaceInfo(99, table).has_value());

    const DesktopTable empty;
    EXPECT_TRUE(parse(empty).empty());
    EXPECT_TRUE(SpaceParser::allSpaceIDs(empty).empty());
}

TEST(SpaceParserTest, SpaceInfoAnswersTheFirstDesktopWithThatId) {
    const DesktopTable table{{display("A", {space(1), space(5, true)}), display("B", {space(5)})}};
    EXPECT_EQ(SpaceParser::spaceInfo(5, table), (SpaceInfo{true, "A"}));
    EXPECT_EQ(SpaceParser::allSpaceIDs(table), (std::set<SpaceId>{1, 5}));
}
