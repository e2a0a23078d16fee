// The problem report: its diagnostics in this platform's terms, the body, the mailto link and the
// clipboard fallback.
#include "reports/ProblemReport.h"
#include "MemoryDefaults.h"
#include "SimMailHandoff.h"
#include "SimNotifier.h"

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

class ProblemReportTest : public ::testing::Test {
protected:
    sim::MemoryDefaults defaults;
    Settings settings{defaults};
    sim::SimNotifier notifier;
    sim::SimMailHandoff mail;
    ProblemReporting reporting{mail, "help+quorvel@example.org", "1.2", "1.2+git5",
                               {"NAME=\"Debian GNU/Linux\"\nVERSION_ID=\"12\"\nPRETTY_NAME=x\n", "6.1.0", "x86_64"}};
    ProblemFacts facts{.windowManagerRunning = true, .ewmhAvailable = false, .displays = 2, .desktops = 4,
                       .tilingRunning = true};
};

TEST_F(ProblemReportTest, TheTenDiagnosticsSayWhatThisMachineRuns) {
    defaults.set(Settings::namingKey, "manual");
    EXPECT_EQ(ProblemReport::diagnostics(reporting, facts, settings),
              (Diagnostics{{"Version", "1.2 (1.2+git5)"}, {"OS", "Debian GNU/Linux 12"}, {"Architecture", "x86_64"},
                           {"Window manager", "running"}, {"EWMH", "UNAVAILABLE"}, {"Displays", "2"},
                           {"Desktops", "4"}, {"Tiling", "on"}, {"Mode", "menubar"}, {"Naming", "manual"}}));

    defaults.set(Settings::modeKey, "hotkey");
    defaults.set(Settings::namingKey, "Manual"); // not a stored mode: automatic
    reporting.system = {"", "", ""};
    reporting.buildVersion = "1.2";
    const Diagnostics other = ProblemReport::diagnostics(reporting, {}, settings);
    EXPECT_EQ(other[0].second, "1.2");
    EXPECT_EQ(other[1].second, "Linux");
    EXPECT_EQ(other[2].second, "unknown");
    EXPECT_EQ(other[3].second, "NOT running");
    EXPECT_EQ(other[8].second, "hotkey");
    EXPECT_EQ(other[9].second, "auto");
    EXPECT_EQ(ProblemReport::osVersion("NAME=Arch Linux\nBUILD_ID=rolling\n"), "Arch Linux rolling");
}

TEST_F(ProblemReportTest, TheMailKeepsEveryCharacterOfTheReportPlusSignsIncluded) {
    ProblemReport::report(reporting, facts, settings, notifier);
    ASSERT_EQ(mail.composed.size(), 1u);
    const std::string& url = mail.composed[0];
    EXPECT_TRUE(url.starts_with("mailto:help+quorvel@example.org?subject=Quorvel%201.2%20%281.2%2Bgit5%29%20"
                                "%E2%80%94%20problem%20report&body=What%20happened%3F%0A%0A%0AWhat%20did"))
        << url;
    EXPECT_NE(url.find("Version%3A%201.2%20%281.2%2Bgit5%29%0AOS%3A%20Debian"), std::string::npos) << url;
    EXPECT_TRUE(url.ends_with("Naming%3A%20auto")) << "no trailing line feed: " << url;
    EXPECT_EQ(url.find('+', url.find('?')), std::string::npos) << "a + in the query would read as a space";
    EXPECT_TRUE(notifier.alerts.empty());
    EXPECT_TRUE(mail.clipboard.empty());
}

TEST_F(ProblemReportTest, WithoutAMailProgramTheReportIsCopiedAndTheUserTold) {
    mail.mailProgram = false;
    ProblemReport::report(reporting, facts, settings, notifier);
    const std::string body = ProblemReport::body(ProblemReport::diagnostics(reporting, facts, settings));
    EXPECT_EQ(mail.clipboard,
              "To: help+quorvel@example.org\nSubject: Quorvel 1.2 (1.2+git5) — problem report\n\n" + body);
    EXPECT_TRUE(body.starts_with("What happened?\n\n\nWhat did you expect instead?\n\n\nSteps to reproduce:\n1.\n2.\n\n"
                                 "---\nDiagnostics (please keep — this is what makes the report fixable)\nVersion: "));
    ASSERT_EQ(notifier.alerts.size(), 1u);
    EXPECT_EQ(notifier.alerts[0].message, "Report copied to clipboard");
    EXPECT_EQ(notifier.alerts[0].informativeText, "No mail app is set up, so the report was copied instead. "
                                                  "Paste it into an email to help+quorvel@example.org.");

    // A build without a support address has no one to write to.
    reporting.supportAddress.clear();
    mail.clipboard.clear();
    ProblemReport::report(reporting, facts, settings, notifier);
    EXPECT_TRUE(mail.clipboard.empty());
    EXPECT_EQ(notifier.alerts.size(), 1u);
}

} // namespace
