// Crash reports: the excerpt of a report file, which report is offered, sending with consent, and the
// consent question.
#include "reports/CrashReports.h"
#include "CapturingLog.h"
#include "CrashReportFiles.h"
#include "MemoryDefaults.h"
#include "SimHttpTransport.h"
#include "SimNotifier.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

using namespace quorvel;
namespace fs = std::filesystem;

namespace {

constexpr double kDay = 86400;

// A report as our handler writes it: a header line, then the object.
std::string reportText(const Json& body) { return "{\"app_name\":\"Quorvel\"}\n" + body.dump(1); }

Json frames(int count) {
    Json list = Json::array();
    for (int i = 0; i < count; ++i) list.push_back({{"imageIndex", 0}, {"symbol", "f" + std::to_string(i)}});
    return list;
}

class CrashReportsTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(folderPath);
        fs::create_directories(folderPath);
    }
    void TearDown() override { fs::remove_all(folderPath); }

    // Writes a report file modified at `date` (seconds since 1970).
    void writeReport(const std::string& name, const std::string& text, double date) {
        const fs::path path = folderPath / name;
        std::ofstream(path) << text;
        const auto since1970 = std::chrono::duration_cast<fs::file_time_type::duration>(std::chrono::duration<double>(date));
        fs::last_write_time(path, fs::file_time_type::clock::from_sys(std::chrono::system_clock::time_point(
                                      std::chrono::duration_cast<std::chrono::system_clock::duration>(since1970))));
    }
    std::optional<double> lastSeen() const { return defaults.date(CrashReports::lastSeenKey).optional(); }
    void send() { CrashReports::sendIfPermitted(settings, reporting, now, log); }

    const fs::path folderPath = fs::temp_directory_path() / ("quorvel-crash-" + std::to_string(::getpid()));
    const double now = 1'800'000'000;
    const std::string segfault = reportText({{"exception", {{"type", "SEGV_MAPERR"}, {"signal", "SIGSEGV"}}},
                                             {"usedImages", {{{"name", "quorvel"}}}},
                                             {"threads", {{{"triggered", true}, {"frames", frames(2)}}}}});
    sim::MemoryDefaults defaults;
    Settings settings{defaults};
    sim::CapturingLog log;
    sim::SimNotifier notifier;
    CrashReportFiles folder{folderPath.string()};
    sim::SimHttpTransport transport;
    CrashReporting reporting{folder, transport, "https://reports.invalid/api/crash", "0.1.0",
                             {"NAME=Debian\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n", "6.1.0-18-amd64"}};
};

TEST(CrashReportExcerptTest, ReadsTheExceptionTerminationAndTheCrashedThreadsFirstFrames) {
    const Json images = {{{"name", "quorvel"}}, {{"name", "libc.so.6"}}, {{"path", "nameless"}}};
    Json crashed = frames(40);
    crashed[0] = {{"imageIndex", 1}, {"symbol", "_ZN7quorvel12TilingEngine6retileEv"}};
    crashed[1] = {{"imageIndex", 3}, {"symbol", "beyond"}}; // one past the last image
    crashed[2] = {{"imageIndex", -1}};
    crashed[3] = {{"imageIndex", 2}, {"symbol", "x"}};
    crashed[4] = {{"imageIndex", "0"}, {"symbol", "y"}};
    const Json report = {{"exception", Json::object()},
                         {"termination", {{"indicator", "Segmentation fault"}}},
                         {"usedImages", images},
                         {"threads", {{{"triggered", false}, {"frames", frames(1)}}, {{"triggered", true}, {"frames", crashed}}}}};

    const auto excerpt = CrashReports::excerpt(reportText(report), 18);
    ASSERT_TRUE(excerpt);
    std::vector<std::string> lines;
    std::istringstream in(*excerpt);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 4u + 18u) << *excerpt;
    EXPECT_EQ(lines[0], "Exception: ? (?)");
    EXPECT_EQ(lines[1], "Termination: Segmentation fault");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], "Crashed thread:");
    EXPECT_EQ(lines[4], "  libc.so.6  quorvel::TilingEngine::retile()");
    EXPECT_EQ(lines[5], "  ?  beyond"); // past the image list
    EXPECT_EQ(lines[6], "  ?  ");       // negative, no symbol
    EXPECT_EQ(lines[7], "  ?  x");      // an image without a name
    EXPECT_EQ(lines[8], "  ?  y");      // an index that is text
    EXPECT_EQ(lines[21], "  quorvel  f17");
}

TEST(CrashReportExcerptTest, WhatIsNotOneObjectAfterTheHeaderLineHasNoExcerpt) {
    EXPECT_FALSE(CrashReports::excerpt(R"({"exception": {"type": "x"}})", 18)); // no header line
    EXPECT_FALSE(CrashReports::excerpt("header\n[1, 2]", 18));
    EXPECT_FALSE(CrashReports::excerpt("header\n{\"exception\": ", 18));
    EXPECT_FALSE(CrashReports::excerpt("Process: Quorvel [412]\nPath: /usr/bin/quorvel\n", 18)); // plain text
    EXPECT_FALSE(CrashReports::excerpt("header\n{\"termination\": {\"indicator\": 6}}", 18)); // nothing to say
    EXPECT_EQ(CrashReports::excerpt("header\n{\"threads\": [{\"triggered\": true}]}", 18), "\nCrashed thread:");
}

TEST_F(CrashReportsTest, OnlyTheNewestReportIsConsideredAndOnlyUntilItIsDealtWith) {
    writeReport("Quorvel-old.ips", segfault, now - 2 * kDay);
    writeReport("Quorvel-new.ips", segfault, now - kDay);
    writeReport("Quorvel-newest.txt", segfault, now - 60);  // not a report name
    writeReport("Other-newest.ips", segfault, now - 60);    // not ours
    const auto report = CrashReports::unreported(folder, defaults, now);
    ASSERT_TRUE(report);
    EXPECT_EQ(report->path, (folderPath / "Quorvel-new.ips").string());
    EXPECT_NEAR(report->date, now - kDay, 1e-3);
    EXPECT_EQ(report->excerpt, "Exception: SEGV_MAPERR (SIGSEGV)\n\nCrashed thread:\n  quorvel  f0\n  quorvel  f1");

    // The newest dealt with: the older one, never sent, is not offered either.
    defaults.set(CrashReports::lastSeenKey, DefaultsStore::makeDate(now - kDay));
    EXPECT_FALSE(CrashReports::unreported(folder, defaults, now));
}

TEST_F(CrashReportsTest, AStaleReportIsMarkedSeenAndABadOneIsLeftForNextTime) {
    writeReport("Quorvel-a.ips", segfault, now - 8 * kDay);
    EXPECT_FALSE(CrashReports::unreported(folder, defaults, now));
    EXPECT_NEAR(lastSeen().value_or(0), now - 8 * kDay, 1e-3);

    writeReport("Quorvel-b.ips", "header\nnot json", now - 60);
    EXPECT_FALSE(CrashReports::unreported(folder, defaults, now));
    EXPECT_NEAR(lastSeen().value_or(0), now - 8 * kDay, 1e-3) << "a report without excerpt is not recorded";

    fs::remove_all(folderPath);
    EXPECT_FALSE(CrashReports::unreported(folder, defaults, now));
}

TEST_F(CrashReportsTest, OnlyARegularFileOfAReportsSizeIsRead) {
    // Far too large, though a valid report: spaces after the object.
    writeReport("Quorvel-huge.ips", segfault + std::string(CrashReportFiles::kMaxReportBytes, ' '), now - 60);
    EXPECT_FALSE(CrashReports::unreported(folder, defaults, now));

    // A FIFO with a report's name must not hold the launch up waiting for a writer.
    const fs::path fifo = folderPath / "Quorvel-fifo.ips";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto reading = std::async(std::launch::async, [&] { return folder.read(fifo.string()); });
    const bool answered = reading.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!answered) ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK)); // let the reader go
    EXPECT_TRUE(answered) << "reading a FIFO blocked";
    EXPECT_FALSE(reading.get());
    EXPECT_FALSE(folder.read("/dev/zero"));
    EXPECT_FALSE(lastSeen()) << "nothing was dealt with";
}

TEST_F(CrashReportsTest, WithConsentTheReportIsPostedAndRememberedOnlyOnceDelivered) {
    writeReport("Quorvel-a.ips", segfault, now - 60);
    send();
    EXPECT_TRUE(transport.requests.empty()) << "no consent, nothing sent";

    defaults.set(Settings::crashReportingKey, true);
    send();
    ASSERT_EQ(transport.requests.size(), 1u);
    const HttpRequest& request = transport.requests[0];
    EXPECT_EQ(request.url, "https://reports.invalid/api/crash");
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.timeoutSeconds, 20);
    EXPECT_EQ(request.headers, (decltype(request.headers){{"Content-Type", "application/json"}}));
    const Json payload = Json::parse(request.body);
    EXPECT_EQ(payload, (Json{{"version", "0.1.0"},
                             {"os", "Debian GNU/Linux 12 (bookworm) (Linux 6.1.0-18-amd64)"},
                             {"arch", std::string(CrashReports::architecture())},
                             {"report", "Exception: SEGV_MAPERR (SIGSEGV)\n\nCrashed thread:\n  quorvel  f0\n  quorvel  f1"}}));

    // A 500: nothing remembered, the same report goes again next launch.
    transport.answer(false);
    EXPECT_FALSE(lastSeen());
    EXPECT_TRUE(log.contains("crash report not sent; will try again next launch"));
    send();
    ASSERT_EQ(transport.requests.size(), 2u);
    transport.answer(true);
    EXPECT_NEAR(lastSeen().value_or(0), now - 60, 1e-3);
    EXPECT_TRUE(log.contains("crash report sent"));
    send();
    EXPECT_EQ(transport.requests.size(), 2u);
}

TEST_F(CrashReportsTest, WithoutAnEndpointNothingIsAskedOrSent) {
    writeReport("Quorvel-a.ips", segfault, now - 60);
    defaults.set(Settings::crashReportingKey, true);
    reporting.endpoint.clear();
    ProblemReporter::askAboutCrashReportsIfNeeded(settings, reporting, notifier, log);
    send();
    EXPECT_TRUE(notifier.alerts.empty());
    EXPECT_FALSE(defaults.hasValue(Settings::crashReportingAskedKey));
    EXPECT_TRUE(transport.requests.empty());
}

TEST_F(CrashReportsTest, TheConsentQuestionIsAskedOnceAndItsAnswerKept) {
    notifier.alertAnswer = kAlertFirstButton + 1;
    // The asked-once flag is stored before the question shows.
    notifier.beforeAnswer = [&] { EXPECT_TRUE(defaults.boolFor(Settings::crashReportingAskedKey)); };
    ProblemReporter::askAboutCrashReportsIfNeeded(settings, reporting, notifier, log);
    ASSERT_EQ(notifier.alerts.size(), 1u);
    EXPECT_EQ(notifier.alerts[0].message, "Send crash reports?");
    EXPECT_EQ(notifier.alerts[0].buttons, (std::vector<std::string>{"Send Crash Reports", "No Thanks"}));
    EXPECT_NE(notifier.alerts[0].informativeText.find("Linux"), std::string::npos);
    EXPECT_EQ(notifier.alerts[0].informativeText.find("macOS"), std::string::npos);
    EXPECT_EQ(defaults.boolean(Settings::crashReportingKey).optional(), false);
    EXPECT_TRUE(log.contains("crash reporting declined"));

    notifier.alertAnswer = kAlertFirstButton;
    ProblemReporter::askAboutCrashReportsIfNeeded(settings, reporting, notifier, log);
    EXPECT_EQ(notifier.alerts.size(), 1u);
    EXPECT_FALSE(defaults.boolFor(Settings::crashReportingKey));
}

TEST(CrashReportEndpointTest, OnlyAnHttpsServerOnThisMachineMayStandInForTheConfiguredEndpoint) {
    for (const char* url : {"https://127.0.0.1:8443/api/crash", "https://localhost/api/crash", "https://[::1]:9/x"})
        EXPECT_EQ(CrashReports::localEndpoint(url), url);
    for (const char* url : {"http://127.0.0.1:8443/api/crash", "https://example.org/api/crash",
                            "https://127.0.0.1.example.org/api/crash", "https://127.0.0.1@example.org/",
                            "https://localhost:443x/", "https://[::1].example.org/", ""})
        EXPECT_FALSE(CrashReports::localEndpoint(url)) << url;
}

TEST(CrashReportOsTest, TheDistributionsNameAndTheKernelRelease) {
    EXPECT_EQ(CrashReports::osDescription({"ID=arch\nPRETTY_NAME='Arch Linux'\n", "6.7.1-arch1"}),
              "Arch Linux (Linux 6.7.1-arch1)");
    EXPECT_EQ(CrashReports::osDescription({"PRETTY_NAME=\"Say \\\"hi\\\"\"", ""}), "Say \"hi\"");
    EXPECT_EQ(CrashReports::osDescription({"", "6.1.0"}), "Linux (Linux 6.1.0)");
}

} // namespace
