// Exec lines of desktop entries as arguments: quoting, escapes and field codes, and the lines that
// cannot be started.
#include "DesktopEntryExec.h"

#include <gtest/gtest.h>

namespace quorvel::test {
namespace {

using Args = std::vector<std::string>;

const DesktopEntryFields kFields{.name = "Files", .icon = "folder", .location = "/usr/share/applications/files.desktop"};

TEST(DesktopEntryExecTest, FileCodesStandForNothingAndTheOthersForTheEntry) {
    EXPECT_EQ(execArguments("files %U", kFields), (Args{"files"}));
    EXPECT_EQ(execArguments("files  --new-window\t%f", kFields), (Args{"files", "--new-window"}));
    EXPECT_EQ(execArguments("files %i --title=%c %k", kFields),
              (Args{"files", "--icon", "folder", "--title=Files", "/usr/share/applications/files.desktop"}));
    EXPECT_EQ(execArguments("files %i %k --from=%k", {.name = "Files", .icon = "", .location = ""}),
              (Args{"files", "--from="}));
    EXPECT_EQ(execArguments("files --uri=%u --level=100%%", kFields), (Args{"files", "--uri=", "--level=100%"}));
}

TEST(DesktopEntryExecTest, QuotedArgumentsKeepSpacesAndTheirEscapes) {
    EXPECT_EQ(execArguments(R"("/opt/My Files/bin/files" "say \"hi\" \$HOME \\ \n" %F)", kFields),
              (Args{"/opt/My Files/bin/files", R"(say "hi" $HOME \ \n)"}));
    EXPECT_EQ(execArguments(R"(files "" x)", kFields), (Args{"files", "", "x"}));
    EXPECT_EQ(execArguments(R"(files "--level=100%%")", kFields), (Args{"files", "--level=100%"}));
}

TEST(DesktopEntryExecTest, OnlyDoubleQuotesQuote) {
    EXPECT_EQ(execArguments(R"(files a\ b)", kFields), (Args{"files", "a\\", "b"}));
    EXPECT_EQ(execArguments("sh -c 'echo hi'", kFields), (Args{"sh", "-c", "'echo", "hi'"}));
}

TEST(DesktopEntryExecTest, LinesThatCannotBeStartedGiveNone) {
    for (const char* exec : {"", "   ", "%f", "files %x", "files 100%", R"("files)", R"(files "a\")",
                             // No field codes inside quotes.
                             R"(sh -c "notify-send %c")", R"(files "%f")", R"(files --title="%c")", R"(files "100%")"})
        EXPECT_EQ(execArguments(exec, kFields), std::nullopt) << exec;
}

} // namespace
} // namespace quorvel::test
