// The desktop table parser: numbering, identifiers, full-screen desktops and malformed tables.
#include "spaces/SpaceParser.h"
#include "SpaceFixture.h"

#include <gtest/gtest.h>

using namespace quorvel;
using test::indexes;

namespace {

Json space(SpaceId id, bool fullScreen = false) {
    Json s = {{"ManagedSpaceID", id}};
    if (fullScreen) s["TileLayoutManager"] = Json::object();
    return s;
}

Json display(std::optional<std::string> uuid, std::vector<Json> spaces, std::optional<SpaceId> current = {}) {
    Json d = {{"Spaces", spaces}};
    if (uuid) d["Display Identifier"] = *uuid;
    if (current) d["Current Space"] = {{"ManagedSpaceID", *current}};
    return d;
}

std::vector<Display> parse(const Json& table, NumberingMode numbering = NumberingMode::continuous,
                           std::optional<std::string> main = std::nullopt,
                           std::map<std::string, std::string> names = {},
                           std::map<SpaceId, std::string> fullScreenNames = {}) {
    return SpaceParser::parse(table, 2, main, numbering, names, fullScreenNames);
}

} // namespace

TEST(SpaceParserTest, NumbersDesktopsContinuouslyOrPerDisplay) {
    const Json table = Json::array({display("A", {space(1), space(2), space(3)}, 1),
                                    display("B", {space(4), space(5)}, 4)});
    EXPECT_EQ(indexes(parse(table)), "1 2 3 | 4 5");
    EXPECT_EQ(indexes(parse(table, NumberingMode::perDisplay)), "1 2 3 | 1 2");
    const auto displays = parse(table);
    EXPECT_TRUE(displays[0].spaces[1].isCurrent); // the active desktop is 2
    EXPECT_EQ(displays[1].spaces[0].displayID, "B");
}

TEST(SpaceParserTest, FullScreenDesktopsTakeNoNumberAndAreNamedAfterTheirApp) {
    const Json table = Json::array({display("A", {space(1), space(9, true), space(3), space(10, true)})});
    const auto displays = parse(table, NumberingMode::continuous, {}, {}, {{9, "Keynote"}});
    EXPECT_EQ(indexes(displays), "1 0 2 0");
    EXPECT_TRUE(displays[0].spaces[1].isFullScreen);
    EXPECT_EQ(displays[0].spaces[1].fullScreenAppName, "Keynote");
    EXPECT_FALSE(displays[0].spaces[3].fullScreenAppName.has_value());
    EXPECT_EQ(SpaceParser::fullScreenSpaceIDs(table), (std::vector<SpaceId>{9, 10}));
}

TEST(SpaceParserTest, DisplaysWithoutIdentifierFallBackToTheirPosition) {
    const Json table = Json::array({display("A", {space(1)}), display(std::nullopt, {space(2)}, 2)});
    const auto displays = parse(table, NumberingMode::continuous, std::nullopt, {{"A", "Studio Display"}});
    ASSERT_EQ(displays.size(), 2u);
    EXPECT_EQ(displays[1].id, "display-1");
    EXPECT_EQ(displays[1].label, "Display 2");
    EXPECT_EQ(displays[0].label, "Studio Display");
    EXPECT_EQ(SpaceParser::currentSpaceID("display-1", table), 2u);
    EXPECT_EQ(SpaceParser::spaceInfo(2, table), (SpaceInfo{false, "display-1"}));
}

TEST(SpaceParserTest, MainDisplayIsTheMatchingUUIDOrElseTheFirst) {
    const Json table = Json::array({display("A", {space(1)}), display("B", {space(2)})});
    auto displays = parse(table);
    EXPECT_TRUE(displays[0].isMain);
    EXPECT_FALSE(displays[1].isMain);
    displays = parse(table, NumberingMode::continuous, "B");
    EXPECT_FALSE(displays[0].isMain);
    EXPECT_TRUE(displays[1].isMain);
    displays = parse(table, NumberingMode::continuous, "C");
    EXPECT_FALSE(displays[0].isMain || displays[1].isMain) << "no display is main when none matches";
}

TEST(SpaceParserTest, SkipsWhatItCannotReadButKeepsPositions) {
    const Json table = Json::array({
        {{"Display Identifier", "no-spaces"}},
        display(std::nullopt, {space(1), {{"ManagedSpaceID", "7"}}, Json(5), {{"type", 0}}, space(2)}, 1),
        {{"Display Identifier", 42}, {"Spaces", Json::array({space(3)})}, {"Current Space", "bad"}},
    });
    const auto displays = parse(table);
    ASSERT_EQ(displays.size(), 2u);
    EXPECT_EQ(displays[0].id, "display-1"); // the skipped first dictionary still counts
    EXPECT_EQ(displays[0].label, "Display 2");
    EXPECT_EQ(indexes(displays), "1 2 | 3");
    EXPECT_EQ(displays[1].id, "display-2"); // a non-string identifier counts as absent
    EXPECT_EQ(SpaceParser::orderedSpaceIDs(table), (std::vector<SpaceId>{1, 2, 3}));
    EXPECT_FALSE(SpaceParser::currentSpaceID("display-2", table).has_value());
    EXPECT_FALSE(SpaceParser::currentSpaceID("no-spaces", table).has_value());
    EXPECT_FALSE(SpaceParser::spaceInfo(99, table).has_value());

    for (const Json& bad : {Json(), Json(3), Json("x"), Json::object(), Json::array({1, "a", nullptr})}) {
        EXPECT_TRUE(parse(bad).empty());
        EXPECT_TRUE(SpaceParser::allSpaceIDs(bad).empty());
    }
}

TEST(SpaceParserTest, SpaceInfoAnswersTheFirstDesktopWithThatId) {
    const Json table = Json::array({display("A", {space(1), space(5, true)}), display("B", {space(5)})});
    EXPECT_EQ(SpaceParser::spaceInfo(5, table), (SpaceInfo{true, "A"}));
    EXPECT_EQ(SpaceParser::allSpaceIDs(table), (std::set<SpaceId>{1, 5}));
}
