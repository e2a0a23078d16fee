// AccessibilityGrant: what a working grant leaves in the defaults store, how a refused grant is told
// apart (never granted, stale, a second copy), the launch-time stale-grant line and the advice texts.
#include "CapturingLog.h"
#include "MemoryDefaults.h"
#include "settings/AccessibilityGrant.h"

#include <gtest/gtest.h>

namespace quorvel::test {
namespace {

using State = AccessibilityGrant::State;

constexpr const char* kStaleLine =
    "Accessibility was granted before and is refused now — likely a stale grant after a signature change";

class AccessibilityGrantTest : public ::testing::Test {
protected:
    sim::MemoryDefaults defaults;
    sim::CapturingLog log;

    // One launch of the copy at `path`: note the grant, then log a stale grant, as start-up does.
    State launch(const std::string& path, bool trusted) {
        AccessibilityGrant::noteCurrentState(defaults, [trusted] { return trusted; }, path, log);
        AccessibilityGrant::logStaleGrantIfNeeded(trusted, defaults, path, log);
        return AccessibilityGrant::classify(trusted, defaults, path);
    }
};

TEST_F(AccessibilityGrantTest, FirstLaunchWithoutPermissionWritesNothing) {
    const State state = launch("/opt/quorvel/bin/quorvel", false);

    EXPECT_EQ(state, State(AccessibilityGrant::NotGranted{}));
    EXPECT_EQ(defaults.writes(), 0u);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(AccessibilityGrantTest, WorkingGrantIsRecordedOnceAndNeverForgotten) {
    EXPECT_EQ(launch("/usr/bin/quorvel", true), State(AccessibilityGrant::Granted{}));
    EXPECT_EQ(defaults.values().at("accessibility_ever_granted"), Json(true));
    EXPECT_EQ(defaults.values().at("accessibility_granted_bundle_path"), Json("/usr/bin/quorvel"));
    EXPECT_EQ(log.lines("app"), (std::vector<std::string>{"accessibility grant seen working — recorded",
                                                          "accessibility grant belongs to /usr/bin/quorvel"}));
    EXPECT_EQ(AccessibilityGrant::explanation(AccessibilityGrant::Granted{}), std::nullopt);

    // Later launches of the same copy change nothing; a refusal keeps what was recorded.
    const auto writes = defaults.writes();
    log.clear();
    launch("/usr/bin/quorvel", true);
    EXPECT_EQ(launch("/usr/bin/quorvel", false), State(AccessibilityGrant::StaleGrant{}));
    EXPECT_EQ(defaults.writes(), writes);
    EXPECT_EQ(log.lines(), std::vector<std::string>{kStaleLine});
    EXPECT_EQ(log.entries().back().level, LogLevel::error);
    EXPECT_EQ(log.entries().back().category, "app");
}

TEST_F(AccessibilityGrantTest, SecondCopyIsNamedWithBothPathsAndTheGrantFollowsItOnceAllowed) {
    launch("/usr/bin/quorvel", true);
    log.clear();

    const State state = launch("/home/ada/Downloads/quorvel", false);
    EXPECT_EQ(state, State(AccessibilityGrant::DuplicateCopy{.allowed = "/usr/bin/quorvel",
                                                             .running = "/home/ada/Downloads/quorvel"}));
    EXPECT_TRUE(log.lines().empty()) << "a second copy is not a stale grant";
    EXPECT_EQ(AccessibilityGrant::explanation(state),
              "Two copies of Quorvel are installed, and the running one is not the copy macOS granted access to."
              "\n\nRunning: /home/ada/Downloads/quorvel\nAllowed: /usr/bin/quorvel\n\n"
              "System Settings shows a single Quorvel row and cannot tell them apart, so turning it off and on will "
              "not help. Quit Quorvel, delete the copy at /home/ada/Downloads/quorvel, and open the one at "
              "/usr/bin/quorvel.");

    launch("/home/ada/Downloads/quorvel", true);
    launch("/home/ada/Downloads/quorvel", true);
    EXPECT_EQ(log.lines(), std::vector<std::string>{"accessibility grant belongs to /home/ada/Downloads/quorvel"});
    EXPECT_EQ(defaults.stringFor("accessibility_granted_bundle_path"), "/home/ada/Downloads/quorvel");
}

TEST_F(AccessibilityGrantTest, WithoutAComparablePathARefusalIsAStaleGrant) {
    const State stale = AccessibilityGrant::StaleGrant{};
    // Access seen working where the running copy's path was unknown: only the flag is recorded.
    AccessibilityGrant::noteCurrentState(defaults, [] { return true; }, std::nullopt, log);
    EXPECT_FALSE(defaults.hasValue("accessibility_granted_bundle_path"));
    EXPECT_EQ(launch("/usr/bin/quorvel", false), stale);
    EXPECT_EQ(log.count(kStaleLine), 1u);
    // A path of the wrong type counts as no path.
    defaults.set("accessibility_granted_bundle_path", 42);
    EXPECT_EQ(AccessibilityGrant::classify(false, defaults, "/usr/bin/quorvel"), stale);
    // Without knowing where the running copy lives, two copies cannot be told apart.
    defaults.set("accessibility_granted_bundle_path", "/usr/bin/quorvel");
    EXPECT_EQ(AccessibilityGrant::classify(false, defaults, std::nullopt), stale);
}

} // namespace
} // namespace quorvel::test
