// The fixed log formats render exactly, whatever the argument types.
#include "platform/Log.h"
#include "CapturingLog.h"

#include <gtest/gtest.h>

using quorvel::Log;
using quorvel::LogLevel;

TEST(LogTest, RendersEveryPlaceholderKind) {
    EXPECT_EQ(Log::render("retile space %llu: %ld window(s), gap %f%s",
                          {std::uint64_t{42}, std::int64_t{3}, 8.0, std::string(", spotlit")}),
              "retile space 42: 3 window(s), gap 8.000000, spotlit");
    EXPECT_EQ(Log::render("attached %s (%d)", {std::string("Safari"), std::int64_t{-7}}), "attached Safari (-7)");
    EXPECT_EQ(Log::render("helper switch generation=%ld target=%llu retry=%s",
                          {std::int64_t{2}, std::uint64_t{9}, true}),
              "helper switch generation=2 target=9 retry=true");
    EXPECT_EQ(Log::render("%s and %u and 100%%", {std::string("x"), std::uint64_t{4294967295u}}),
              "x and 4294967295 and 100%");
}

TEST(LogTest, ConvertsMismatchedArgumentsAndNeverReadsPastTheEnd) {
    // A window id logged with %u stays 32-bit even when passed as a wide signed value.
    EXPECT_EQ(Log::render("%u", {std::int64_t{-1}}), "4294967295");
    EXPECT_EQ(Log::render("%s %s|%d", {false, true, true}), "false true|1");
    EXPECT_EQ(Log::render("%ld and %s", {std::int64_t{1}}), "1 and <missing>");
    EXPECT_EQ(Log::render("trailing %", {}), "trailing %");
    EXPECT_EQ(Log::render("%q stays", {}), "%q stays");
}

TEST(LogTest, TypedHelpersPickTheLevelAndCategory) {
    quorvel::sim::CapturingLog log;
    const std::uint32_t window = 4711;
    const long count = 2;
    log.info("tiling", "close sweep: window %u is gone — removing from tree", window);
    log.error("privateapi", "%s unavailable", "_NET_CURRENT_DESKTOP");
    log.info("app", "window snapshot #%ld: %ld qualifying windows", count, 0);
    ASSERT_EQ(log.entries().size(), 3u);
    EXPECT_EQ(log.entries()[0].message, "close sweep: window 4711 is gone — removing from tree");
    EXPECT_EQ(log.entries()[1].level, LogLevel::error);
    EXPECT_EQ(log.entries()[1].category, "privateapi");
    EXPECT_EQ(log.lines("app"), std::vector<std::string>{"window snapshot #2: 0 qualifying windows"});
}

TEST(LogTest, DescribesOptionalValues) {
    EXPECT_EQ(Log::describe(std::optional<std::uint64_t>{7}), "Optional(7)");
    EXPECT_EQ(Log::describe(std::optional<std::uint64_t>{}), "nil");
    EXPECT_EQ(Log::describe(std::optional<std::string>{"a"}), "Optional(\"a\")");
}
