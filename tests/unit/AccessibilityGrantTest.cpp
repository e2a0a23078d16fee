// AccessibilityGrant: what a working window manager leaves in the defaults store, how its absence is
// told apart (never seen, gone, a second copy), the launch-time line and the advice texts.
#include "CapturingLog.h"
#include "MemoryDefaults.h"
#include "settings/AccessibilityGrant.h"

#include <gtest/gtest.h>

namespace quorvel::test {
namespace {

using State = AccessibilityGrant::State;

constexpr const char* kStaleLine =
    "An EWMH window manager ran before and none answers now — likely the session's window manager did not start";

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
    EXPECT_EQ(log.lines("app"), (std::vector<std::string>{"EWMH window manager seen working — recorded",
                                                          "window manager access recorded for /usr/bin/quorvel"}));
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
    const std::string advice = AccessibilityGrant::explanation(state).value_or("");
    EXPECT_NE(advice.find("Running: /home/ada/Downloads/quorvel\nLast worked: /usr/bin/quorvel\n"), std::string::npos)
        << advice;

    launch("/home/ada/Downloads/quorvel", true);
    launch("/home/ada/Downloads/quorvel", true);
    EXPECT_EQ(log.lines(), std::vector<std::string>{"window manager access recorded for /home/ada/Downloads/quorvel"});
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

TEST_F(AccessibilityGrantTest, AdviceSpeaksOfTheWindowManagerInLinuxWords) {
    const State states[] = {AccessibilityGrant::NotGranted{}, AccessibilityGrant::StaleGrant{},
                            AccessibilityGrant::DuplicateCopy{.allowed = "/usr/bin/quorvel", .running = "/tmp/quorvel"}};
    for (const State& state : states) {
        const std::string advice = AccessibilityGrant::explanation(state).value_or("");
        EXPECT_NE(advice.find("window manager"), std::string::npos) << advice;
        for (const char* foreign : {"Accessibility", "System Settings", "macOS", "Privacy"})
            EXPECT_EQ(advice.find(foreign), std::string::npos) << foreign << " in: " << advice;
    }
}

} // namespace
} // namespace quorvel::test
