// SpaceLabelRestore::plan: which saved names and overrides land on which current desktops.
#include "spaces/SpaceLabelRestore.h"

#include <gtest/gtest.h>

namespace quorvel::test {
namespace {

using Names = std::map<SpaceId, std::string>;
const auto nothingStored = [](SpaceId) { return false; };

Names planNames(const std::vector<SpaceId>& saved, const Names& values, const std::vector<SpaceId>& current,
                const std::function<bool(SpaceId)>& hasValue = nothingStored) {
    return SpaceLabelRestore::plan<std::string>(saved, values, current, hasValue);
}

TEST(SpaceLabelRestoreTest, KeptIdentifiersRestoreOnlyDesktopsThatStillExist) {
    // 11 and 12 are still there, 13 is gone, 20 is new.
    EXPECT_EQ(planNames({11, 12, 13}, {{11, "Mail"}, {13, "Old"}}, {11, 20, 12}), (Names{{11, "Mail"}}));
    // Even a name that was never in the saved order is kept under its id.
    EXPECT_EQ(planNames({11}, {{12, "Web"}}, {11, 12}), (Names{{12, "Web"}}));
}

TEST(SpaceLabelRestoreTest, RenumberedDesktopsFollowTheirPositionsOnlyWhenTheCountMatches) {
    EXPECT_EQ(planNames({1, 2, 3}, {{1, "Mail"}, {3, "Code"}}, {7, 8, 9}), (Names{{7, "Mail"}, {9, "Code"}}));
    EXPECT_TRUE(planNames({1, 2, 3}, {{1, "Mail"}}, {7, 8}).empty());
    EXPECT_TRUE(planNames({1, 2, 3}, {{1, "Mail"}}, {7, 8, 9, 10}).empty());
    EXPECT_TRUE(planNames({}, {{1, "Mail"}}, {7}).empty());
    EXPECT_TRUE(planNames({1, 2}, {}, {1, 2}).empty());
}

TEST(SpaceLabelRestoreTest, NeverReplacesWhatTheDesktopAlreadyHas) {
    const auto has8 = [](SpaceId id) { return id == 8; };
    EXPECT_EQ(planNames({1, 2}, {{1, "Mail"}, {2, "Web"}}, {7, 8}, has8), (Names{{7, "Mail"}}));
    EXPECT_EQ(planNames({7, 8}, {{7, "Mail"}, {8, "Web"}}, {7, 8}, has8), (Names{{7, "Mail"}}));

    const std::map<SpaceId, TilingOverride> overrides{{1, TilingOverride::on}, {2, TilingOverride::off}};
    const auto planned = SpaceLabelRestore::plan<TilingOverride>({1, 2}, overrides, {5, 6}, nothingStored);
    EXPECT_EQ(planned, (std::map<SpaceId, TilingOverride>{{5, TilingOverride::on}, {6, TilingOverride::off}}));
}

} // namespace
} // namespace quorvel::test
