// The executable's command line: what each option asks for, and what is refused with exit code 2.
#include "CommandLine.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quorvel;

namespace {

CommandLine parse(QStringList arguments) {
    arguments.prepend(QStringLiteral("/usr/bin/quorvel"));
    return parseCommandLine(arguments, "1.2.3");
}

} // namespace

TEST(CommandLineTest, HelpAndVersionAnswerOnStdoutWithTheProgramsOwnName) {
    for (const QString& option : {QStringLiteral("--help"), QStringLiteral("-h")}) {
        const CommandLine help = parse({option});
        EXPECT_EQ(help.action, CommandLine::Action::help);
        EXPECT_NE(help.text.find("Usage: quorvel [options]"), std::string::npos) << help.text;
        EXPECT_NE(help.text.find("--config-dir <dir>"), std::string::npos) << help.text;
        EXPECT_NE(help.text.find("--verbose"), std::string::npos) << help.text;
        EXPECT_EQ(answerCommandLine(help), 0);
    }
    const CommandLine version = parse({QStringLiteral("--version")});
    EXPECT_EQ(version.action, CommandLine::Action::version);
    EXPECT_EQ(version.text, "quorvel 1.2.3\n");
    // Help wins over everything else given with it.
    EXPECT_EQ(parse({QStringLiteral("--verbose"), QStringLiteral("--help")}).action, CommandLine::Action::help);
}

TEST(CommandLineTest, RunOptionsAreReadAndARelativeSettingsFolderIsMadeAbsolute) {
    const CommandLine none = parse({});
    EXPECT_EQ(none.action, CommandLine::Action::run);
    EXPECT_FALSE(none.verbose);
    EXPECT_FALSE(none.configDir);

    const CommandLine both = parse({QStringLiteral("--verbose"), QStringLiteral("--config-dir=/tmp/q")});
    EXPECT_EQ(both.action, CommandLine::Action::run);
    EXPECT_TRUE(both.verbose);
    EXPECT_EQ(both.configDir, "/tmp/q");

    const CommandLine relative = parse({QStringLiteral("--config-dir"), QStringLiteral("profiles/../work")});
    ASSERT_TRUE(relative.configDir);
    EXPECT_EQ(*relative.configDir, (std::filesystem::current_path() / "work").string());
}

TEST(CommandLineTest, UnknownOptionsStrayArgumentsAndMissingValuesAreErrorsWithTheUsage) {
    for (const QStringList& arguments : {QStringList{QStringLiteral("--frobnicate")}, QStringList{QStringLiteral("extra")},
                                         QStringList{QStringLiteral("--config-dir")},
                                         QStringList{QStringLiteral("--config-dir=")}}) {
        const CommandLine result = parse(arguments);
        EXPECT_EQ(result.action, CommandLine::Action::error) << arguments.join(' ').toStdString();
        EXPECT_TRUE(result.text.starts_with("quorvel: ")) << result.text;
        EXPECT_NE(result.text.find("Usage: quorvel [options]"), std::string::npos) << result.text;
        EXPECT_EQ(answerCommandLine(result), 2);
    }
    EXPECT_NE(parse({QStringLiteral("--frobnicate")}).text.find("frobnicate"), std::string::npos);
}

TEST(CommandLineTest, TheControlClientsSubcommandIsLeftAlone) {
    const CommandLine msg = parse({QStringLiteral("msg"), QStringLiteral("--whatever"), QStringLiteral("retile")});
    EXPECT_EQ(msg.action, CommandLine::Action::run);
    EXPECT_FALSE(msg.verbose);
}
