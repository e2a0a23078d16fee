// Text folding with Qt: full Unicode lower case, grapheme clusters counted in UTF-8 bytes, and the
// locale's case-insensitive order of names.
#include "QtTextFolding.h"

#include <gtest/gtest.h>

using quorvel::ui::QtTextFolding;

TEST(QtTextFoldingTest, LowerCasesBeyondAscii) {
    const QtTextFolding text;
    EXPECT_EQ(text.lower("ÉCOLE"), "école");
    EXPECT_EQ(text.lower("Straße ΣΟΦΊΑ"), "straße σοφία");
}

TEST(QtTextFoldingTest, ClustersAreWhatTheUserSeesAndEndAtUtf8Bytes) {
    const QtTextFolding text;
    EXPECT_TRUE(text.clusterEnds("").empty());
    // "a", then e + U+0301 (one letter, 3 bytes), then "b".
    EXPECT_EQ(text.clusterEnds("ae\u0301b"), (std::vector<std::size_t>{1, 4, 5}));
    // A code point outside the basic plane is one 4-byte cluster (two UTF-16 units inside Qt).
    EXPECT_EQ(text.clusterEnds("a\U0001F44Db"), (std::vector<std::size_t>{1, 5, 6}));
    // A family joined with zero-width joiners: 4 + 3 + 4 + 3 + 4 bytes, one cluster.
    EXPECT_EQ(text.clusterEnds("\U0001F469\u200D\U0001F469\u200D\U0001F467x"), (std::vector<std::size_t>{18, 19}));
    // Two-byte letters.
    EXPECT_EQ(text.clusterEnds("éa"), (std::vector<std::size_t>{2, 3}));
}

TEST(QtTextFoldingTest, OrdersNamesIgnoringCase) {
    const QtTextFolding text(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_LT(text.compare("apple", "Banana"), 0);
    EXPECT_LT(text.compare("Banana", "cherry"), 0);
    EXPECT_GT(text.compare("cherry", "apple"), 0);
    EXPECT_EQ(text.compare("Firefox", "firefox"), 0);
    // The current locale's collator orders them the same way.
    const QtTextFolding current;
    EXPECT_LT(current.compare("apple", "Banana"), 0);
    EXPECT_LT(current.compare("Banana", "cherry"), 0);
}
