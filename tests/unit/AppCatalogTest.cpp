// The catalogue: the ranking table and its tie rules, the empty query, grapheme clusters, the
// "is running" rule, and the freshness of the cached list.
#include "SimPlatform.h"
#include "summon/AppCatalog.h"

#include <gtest/gtest.h>

namespace quorvel::test {
namespace {

using namespace std::chrono_literals;

SummonableApp app(const std::string& name, const std::string& id = "", const std::string& program = "") {
    return {.name = name, .desktopFileId = id.empty() ? name + ".desktop" : id, .program = program};
}

class AppCatalogTest : public ::testing::Test {
protected:
    sim::SimPlatform sim;
    AppCatalog catalog{sim.applications, sim.scheduler, sim.text, sim.log};

    std::vector<std::string> ranked(std::string_view query, const std::vector<SummonableApp>& apps,
                                    std::size_t limit = 200, const RunningApps& running = {}) {
        std::vector<std::string> names;
        for (const SummonableApp& a : catalog.match(query, apps, limit, running)) names.push_back(a.name);
        return names;
    }
    std::optional<int> score(std::string_view query, const std::string& name) {
        const std::string q = catalog.normalise(query);
        return catalog.score(q, sim.text.clusterEnds(q), catalog.prepare(app(name)).ranked);
    }
};

TEST_F(AppCatalogTest, EachRuleScoresAsTheTableSays) {
    EXPECT_EQ(score("term", "Terminal"), 892);           // prefix
    EXPECT_EQ(score("code", "Visual Studio Code"), 682); // word prefix
    EXPECT_EQ(score("vsc", "Visual Studio Code"), 582);  // initials
    EXPECT_EQ(score("inal", "Terminal"), 392);           // substring
    EXPECT_EQ(score("trml", "Terminal"), 192);           // subsequence
    EXPECT_EQ(score("safari", "Safari"), 1000);          // exact
    EXPECT_EQ(score("xyz", "Terminal"), std::nullopt);
    // A word prefix stays inside its word; across the space it is a substring.
    EXPECT_EQ(score("studio code", "Visual Studio Code"), 400 - 18);
    // Trimmed of horizontal white space (a tab, a no-break space) and lower-cased.
    EXPECT_EQ(score(" \tTeRm\xC2\xA0 ", "Terminal"), 892);
    EXPECT_EQ(score("ter m", "Terminal"), std::nullopt);
}

TEST_F(AppCatalogTest, TiesGoToRunningAppsThenShorterNamesThenTheOrderOfNames) {
    EXPECT_EQ(ranked("ab", {app("abc"), app("ab")}), (std::vector<std::string>{"ab", "abc"}));

    // "xb" and "xa" (900 − 2) tie; "bx" and "ax x" are word prefixes of different lengths.
    const std::vector<SummonableApp> apps = {app("xb"), app("xa"), app("ax x"), app("b x")};
    EXPECT_EQ(ranked("x", apps), (std::vector<std::string>{"xa", "xb", "b x", "ax x"}));
    // A running app comes first on a tie, before the order of names.
    const RunningApps running({{.pid = 3, .executablePath = "/usr/bin/xb"}});
    EXPECT_EQ(ranked("x", {app("xa"), app("xb", "xb.desktop", "xb")}, 200, running),
              (std::vector<std::string>{"xb", "xa"}));

    EXPECT_TRUE(ranked("x", apps, 0).empty());
    EXPECT_EQ(ranked("x", apps, 2).size(), 2u);
}

TEST_F(AppCatalogTest, AnEmptyQueryListsRunningAppsWithTheFileManagerFirstThenTheRest) {
    const std::vector<SummonableApp> apps = {app("Calculator"), app("Editor", "editor.desktop", "editor"),
                                             app("Files", "org.test.Files.desktop", "files"), app("Mail")};
    const RunningApps running({{.pid = 1, .executablePath = "/usr/bin/editor"}, {.pid = 2, .wmInstance = "files"}});
    EXPECT_EQ(ranked("  ", apps, 200, running), (std::vector<std::string>{"Editor", "Files", "Calculator", "Mail"}));
    // The file manager is the one the last scan brought back.
    sim.applications.fileManager = apps[2];
    EXPECT_EQ(ranked("", apps, 200, running), (std::vector<std::string>{"Editor", "Files", "Calculator", "Mail"}));
    catalog.entries(sim.scheduler.now());
    sim.scheduler.advance(1s);
    EXPECT_EQ(ranked("", apps, 200, running), (std::vector<std::string>{"Files", "Editor", "Calculator", "Mail"}));
    // Not running, the file manager keeps its place among the others.
    EXPECT_EQ(ranked("", apps, 200, RunningApps({{.pid = 1, .executablePath = "/usr/bin/editor"}})),
              (std::vector<std::string>{"Editor", "Calculator", "Files", "Mail"}));
    EXPECT_EQ(ranked("", apps, 1, running), std::vector<std::string>{"Files"});
}

TEST_F(AppCatalogTest, WhileAScanListsTheEmptyQueryNeverAsksThePlatformForTheFileManager) {
    // Asking would wait for the listing (the platform's lock) on the main thread.
    for (int n = 0; n < 1500; ++n) sim.applications.installed.push_back(app("App " + std::to_string(n)));
    const SummonableApp files = app("Files", "files.desktop", "files");
    sim.applications.installed.push_back(files);
    sim.applications.fileManager = files;
    sim.applications.scanDelay = 10s;
    const RunningApps running({{.pid = 2, .wmInstance = "files"}, {.pid = 3, .wmInstance = "App 7"}});

    const auto firstOfEmptyQuery = [&] {
        const auto matches = catalog.match("", catalog.entries(sim.scheduler.now()), 5, running);
        return matches.empty() ? std::string() : matches.front().name;
    };
    EXPECT_EQ(firstOfEmptyQuery(), ""); // the first scan is under way
    sim.scheduler.advance(10s);
    EXPECT_EQ(firstOfEmptyQuery(), "Files");

    // The user picks another file manager; the next scan (after a folder change) learns it, and
    // until it has finished the old one stays first.
    SummonableApp other = app("App 7", "App 7.desktop", "");
    sim.applications.fileManager = other;
    sim.applications.announceChange();
    sim.scheduler.advance(1s);
    ASSERT_TRUE(catalog.isScanning());
    EXPECT_EQ(firstOfEmptyQuery(), "Files");
    sim.scheduler.advance(10s);
    EXPECT_FALSE(catalog.isScanning());
    EXPECT_EQ(firstOfEmptyQuery(), "App 7");
    EXPECT_EQ(catalog.fileManager()->desktopFileId, "App 7.desktop");
    EXPECT_EQ(sim.applications.fileManagerAsked, 0);
}

TEST_F(AppCatalogTest, CharactersAreGraphemeClusters) {
    const std::string decomposed = "Cafe\xCC\x81";  // "Café" with a combining acute accent
    EXPECT_EQ(score("e", decomposed), std::nullopt); // the é is not an e
    EXPECT_EQ(score("caf", decomposed), 900 - 4);    // four characters long
    EXPECT_EQ(score("cafe", decomposed), std::nullopt);
    EXPECT_EQ(score("e\xCC\x81", decomposed), 400 - 4);
    EXPECT_EQ(score("cf", "Cafe\xCC\x81 Fox"), 600 - 8); // initials
    EXPECT_EQ(score("cx", "Cafe\xCC\x81 Fox"), 200 - 8);
}

TEST_F(AppCatalogTest, AnEntryRunsByItsWindowClassElseItsProgramElseItsId) {
    const RunningApps running({{.pid = 1, .executablePath = "/usr/lib/firefox-esr/firefox-esr"},
                               {.pid = 2, .wmClass = "Gimp-2.10", .wmInstance = "gimp"},
                               {.pid = 3, .wmClass = "XTerm", .wmInstance = "xterm"},
                               {.pid = 4, .executablePath = "/usr/bin/gone", .isTerminated = true}});
    SummonableApp gimp = app("GIMP", "gimp.desktop", "gimp-2.10");
    gimp.startupWMClass = "Gimp-2.10";
    EXPECT_EQ(running.find(gimp)->pid, 2);
    EXPECT_EQ(running.find(app("Firefox", "firefox-esr.desktop", "/usr/bin/firefox-esr"))->pid, 1);
    EXPECT_EQ(running.find(app("XTerm", "xterm.desktop", "/opt/x/bin/uxterm"))->pid, 3); // by id
    EXPECT_FALSE(running.isRunning(app("Gone", "gone.desktop", "gone")));
    SummonableApp wrongClass = app("Other", "other.desktop", "other");
    wrongClass.startupWMClass = "Gimp";
    EXPECT_FALSE(running.isRunning(wrongClass));
    // The window class wins over a program that runs earlier in the list; the first of several.
    const RunningApps ordered({{.pid = 5, .executablePath = "/usr/bin/gimp-2.10"},
                               {.pid = 6, .wmClass = "Gimp-2.10"},
                               {.pid = 7, .wmClass = "Gimp-2.10"}});
    EXPECT_EQ(ordered.find(gimp)->pid, 6);
}

TEST_F(AppCatalogTest, ThePreparedEntryAndThePlainOneAlwaysAgree) {
    // Ranking asks with the prepared entry, the "launch" label and the opener with the plain one.
    const RunningApps running({{.pid = 1, .executablePath = "/opt/a/bin/alpha", .wmClass = "Beta", .wmInstance = "b"},
                               {.pid = 2, .wmClass = "Gamma", .wmInstance = "gamma"},
                               {.pid = 3, .executablePath = "/usr/bin/", .wmInstance = ""},
                               {.pid = 4, .executablePath = "/usr/bin/delta", .isTerminated = true}});
    const std::vector<std::optional<std::string>> classes = {std::nullopt, "Beta", "Gamma", "alpha", "", "delta"};
    const std::vector<std::string> programs = {"", "alpha", "/x/b", "gamma", "Beta", "delta", "/usr/bin/"};
    const std::vector<std::string> ids = {"", ".desktop", "Beta.desktop", "gamma.desktop", "b", "alpha.desktop",
                                          "delta.desktop"};
    int runs = 0;
    for (const auto& wmClass : classes)
        for (const std::string& program : programs)
            for (const std::string& id : ids) {
                SummonableApp a = {.name = "A", .desktopFileId = id, .startupWMClass = wmClass, .program = program};
                const bool plain = running.isRunning(a);
                EXPECT_EQ(running.isRunning(catalog.prepare(a)), plain)
                    << wmClass.value_or("(none)") << " " << program << " " << id;
                runs += plain;
            }
    // Both answers occur.
    EXPECT_GT(runs, 0);
    EXPECT_LT(runs, static_cast<int>(classes.size() * programs.size() * ids.size()));
}

TEST_F(AppCatalogTest, TheListIsKeptFiveMinutesButAnEmptyListIsNeverFresh) {
    int finished = 0;
    catalog.observe([&] { ++finished; });
    EXPECT_TRUE(catalog.entries(sim.scheduler.now()).empty()); // at once, before the first scan ends
    EXPECT_TRUE(catalog.isScanning());
    catalog.entries(sim.scheduler.now()); // one scan at a time
    sim.scheduler.advance(1s);
    EXPECT_EQ(sim.applications.scansStarted, 1);
    EXPECT_EQ(finished, 1);
    // Nothing installed: every call scans again.
    sim.applications.installed = {app("Zed"), app("alpha"), app("Mail")};
    catalog.entries(sim.scheduler.now());
    EXPECT_EQ(sim.applications.scansStarted, 2);
    sim.scheduler.advance(1s);
    EXPECT_EQ(finished, 2);
    std::vector<std::string> names;
    for (const SummonableApp& a : catalog.apps(sim.scheduler.now())) names.push_back(a.name);
    EXPECT_EQ(names, (std::vector<std::string>{"alpha", "Mail", "Zed"}));
    sim.scheduler.advance(299s);
    catalog.entries(sim.scheduler.now());
    EXPECT_EQ(sim.applications.scansStarted, 2);
    sim.scheduler.advance(1s);
    catalog.entries(sim.scheduler.now());
    EXPECT_EQ(sim.applications.scansStarted, 3);
    sim.scheduler.advance(1s);

    // A folder change rescans at once, even while the list is fresh.
    sim.applications.installed.push_back(app("Notes"));
    sim.applications.announceChange();
    sim.scheduler.advance(1s);
    EXPECT_EQ(sim.applications.scansStarted, 4);
    EXPECT_EQ(catalog.entries(sim.scheduler.now()).size(), 4u);
}

} // namespace
} // namespace quorvel::test
