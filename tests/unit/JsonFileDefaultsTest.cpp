// The defaults file on a real filesystem: typed round trips, private atomic writes, damaged files
// moved aside intact, write failures absorbed, where the file lives, and sharing it with the
// user's editor and with a second copy.
#include "CapturingLog.h"
#include "JsonFileDefaults.h"
#include "SimScheduler.h"
#include "settings/Settings.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace quorvel {
namespace {

namespace fs = std::filesystem;

constexpr double kNow = 1796543729.75; // 2026-12-06T07:55:29Z
constexpr std::string_view kStamp = ".corrupt-20261206T075529Z";
// The file and the side file every writer locks.
const std::vector<std::string> kFileAndLock = {"defaults.json", "defaults.json.lock"};

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeBytes(const fs::path& path, std::string_view bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

unsigned modeOf(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777u : 0u;
}

std::vector<std::string> namesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class JsonFileDefaultsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = "/tmp/quorvel-defaults-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
        savedUmask = ::umask(022); // a typical umask, so a file or folder created loosely shows
    }
    void TearDown() override {
        ::umask(savedUmask);
        std::error_code error;
        fs::permissions(dir(), fs::perms::owner_all, fs::perm_options::add, error);
        fs::remove_all(root, error);
    }
    fs::path dir() const { return root / "quorvel"; }
    fs::path file() const { return dir() / "defaults.json"; }
    JsonFileDefaults open() { return JsonFileDefaults(file(), log, kNow); }

    fs::path root;
    mode_t savedUmask = 0;
    sim::CapturingLog log;
};

TEST_F(JsonFileDefaultsTest, EveryValueComesBackWithItsTypeAfterAReload) {
    const Json values = {{"flag", true},
                         {"count", 8},
                         {"ratio", 8.0},
                         {"tiny", 0.1},
                         {"beyondDouble", -9007199254740993LL},
                         {"huge", UINT64_MAX},
                         {"name", "Bürö ✓"},
                         {"list", Json::array({"a", 1, 2.0, nullptr, {{"x", false}}})},
                         {"labels", {{"1", "Mail"}, {"2", "Code"}}},
                         {"when", DefaultsStore::makeDate(1796543729.5)}};
    {
        auto store = open();
        for (const auto& [key, value] : values.items()) store.set(key, value);
        store.set("removed", 1);
        store.remove("removed");
        store.set("nulled", 1);
        store.set("nulled", nullptr);
        // Invalid UTF-8 must neither throw nor make the file unreadable.
        store.set("badText", std::string("a\xff" "b"));
    }
    auto reloaded = open();
    EXPECT_EQ(reloaded.keys().size(), values.size() + 1);
    // dump() tells 8 from 8.0, so this compares type as well as value.
    for (const auto& [key, value] : values.items())
        EXPECT_EQ(reloaded.object(key).value_or(Json()).dump(), value.dump()) << key;
    EXPECT_EQ(reloaded.integer("count").value, 8);
    EXPECT_EQ(reloaded.integer("ratio").state, DefaultsLookup<std::int64_t>::State::wrongType);
    EXPECT_EQ(reloaded.date("when").value, 1796543729.5);
    EXPECT_EQ(reloaded.string("badText").value, "a\xEF\xBF\xBD" "b");
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(JsonFileDefaultsTest, NumbersAtTheEdgesKeepTheirKindWhenTheFileIsRewritten) {
    // Written by hand: a signed zero, a negative real zero, a real too small to hold, integers too
    // long for 64 bits (they are reals), and the 64-bit extremes (they stay integers).
    writeBytes(file(), R"({"negativeZero": -0, "negativeRealZero": -0.0, "underflow": 1e-400,
                           "nested": [-0, {"x": -0}], "long": 123456789012345678901234567890,
                           "negativeLong": -123456789012345678901234567890,
                           "smallest": -9223372036854775808, "largest": 18446744073709551615})");
    std::map<std::string, std::string> first;
    {
        auto store = open();
        for (const auto& key : store.keys()) first[key] = store.object(key)->dump();
        EXPECT_EQ(store.integer("negativeZero").value, 0);
        EXPECT_EQ(store.integer("negativeRealZero").state, DefaultsLookup<std::int64_t>::State::wrongType);
        EXPECT_EQ(store.integer("long").state, DefaultsLookup<std::int64_t>::State::wrongType);
        EXPECT_EQ(store.integer("smallest").value, INT64_MIN);
        store.set("touched", true); // rewrites the whole file
    }
    auto reloaded = open();
    for (const auto& [key, dumped] : first) {
        const Json again = *reloaded.object(key);
        EXPECT_EQ(again.dump(), dumped) << key;
        EXPECT_EQ(again.type(), Json::parse(dumped).type()) << key;
        EXPECT_EQ(again.is_number_unsigned(), Json::parse(dumped).is_number_unsigned()) << key;
    }
    EXPECT_EQ(first.at("negativeRealZero"), "-0.0");
    EXPECT_TRUE(std::signbit(reloaded.number("negativeRealZero").value));
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(JsonFileDefaultsTest, FileIsPrivateAndReplacedWholeWithoutLeftovers) {
    auto store = open();
    EXPECT_FALSE(fs::exists(dir())) << "a missing file is an empty store; nothing is written before a change";
    store.set("a", 1);
    store.set("b", "two");
    store.remove("a");
    EXPECT_EQ(modeOf(dir()), 0700u);
    EXPECT_EQ(modeOf(file()), 0600u);
    EXPECT_EQ(namesIn(dir()), kFileAndLock);
    EXPECT_EQ(modeOf(dir() / "defaults.json.lock"), 0600u);
    EXPECT_EQ(JsonFileDefaults::parse(readBytes(file())), (std::map<std::string, Json>{{"b", "two"}}));

    // Zero bytes hold nothing to back up.
    writeBytes(file(), "");
    EXPECT_TRUE(open().keys().empty());
    EXPECT_EQ(namesIn(dir()), kFileAndLock);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(JsonFileDefaultsTest, DamagedFileIsMovedAsideByteForByte) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"garbage \x01\x02", "not valid JSON"},
        {"[1, 2, 3]", "not a JSON object"},
        {"{\"spaces\": {\"1\": \"Ma", "not valid JSON"},
        {"{\"name\": \"\xff\xfe\"}", "not valid JSON"},
        {"{\"a\": " + std::string(5000, '[') + std::string(5000, ']') + "}", "nested too deeply"},
        // Valid JSON, but no number type holds it: kept aside rather than read as something else.
        {"{\"ratio\": 1e400}", "not valid JSON"},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& [bytes, reason] = cases[i];
        SCOPED_TRACE(reason + " #" + std::to_string(i));
        log.clear();
        const fs::path path = root / std::to_string(i) / "defaults.json";
        const fs::path backup = path.string() + std::string(kStamp);
        writeBytes(path, bytes);

        JsonFileDefaults store(path, log, kNow);
        EXPECT_TRUE(store.keys().empty());
        EXPECT_EQ(store.backupPath(), backup);
        EXPECT_FALSE(fs::exists(path));
        EXPECT_EQ(readBytes(backup), bytes);
        EXPECT_EQ(log.lines("app"), std::vector<std::string>{"defaults file " + path.string() + " is unreadable (" +
                                                              reason + ") — moved aside to " + backup.string() +
                                                              ", starting empty"});
        EXPECT_EQ(log.entries().at(0).level, LogLevel::error);

        store.set("fresh", 1);
        EXPECT_EQ(JsonFileDefaults(path, log, kNow).integer("fresh").value, 1);
        EXPECT_EQ(readBytes(backup), bytes);
    }
}

TEST_F(JsonFileDefaultsTest, LaterDamageNeverOverwritesAnEarlierBackup) {
    for (const std::string bytes : {"first", "second"}) {
        writeBytes(file(), bytes);
        open();
    }
    // Something that cannot be read at all, here a folder, is moved aside the same way.
    writeBytes(file() / "inside", "third");
    EXPECT_TRUE(open().keys().empty());

    const std::string base = file().string() + std::string(kStamp);
    EXPECT_EQ(readBytes(base), "first");
    EXPECT_EQ(readBytes(base + "-1"), "second");
    EXPECT_EQ(readBytes(base + "-2/inside"), "third");
    EXPECT_EQ(log.count("is unreadable (not a regular file) — moved aside to " + base + "-2"), 1u);
}

TEST_F(JsonFileDefaultsTest, FailedWriteIsLoggedEachTimeAndTheValueStillChanges) {
    writeBytes(root / "blocker", "a file where the folder should be");
    JsonFileDefaults store(root / "blocker" / "defaults.json", log, kNow);
    store.set("a", 1);
    store.set("a", 2);
    EXPECT_EQ(store.integer("a").value, 2);
    const std::string line = "defaults file " + (root / "blocker/defaults.json").string() + " could not be saved (" +
                             (root / "blocker").string() + " is not a directory)";
    EXPECT_EQ(log.lines("app"), std::vector<std::string>(2, line));
}

TEST_F(JsonFileDefaultsTest, ReadOnlyFolderKeepsTheOldFileAndTheNewValueInMemory) {
    if (::geteuid() == 0) GTEST_SKIP() << "permission bits do not stop root";
    auto store = open();
    store.set("a", 1);
    ::chmod(dir().c_str(), 0500);
    store.set("a", 2);
    EXPECT_EQ(store.integer("a").value, 2);
    EXPECT_EQ(log.count("could not be saved (creating a temporary file: Permission denied)"), 1u);
    ::chmod(dir().c_str(), 0700);
    EXPECT_EQ(namesIn(dir()), kFileAndLock);
    EXPECT_EQ(open().integer("a").value, 1);
}

TEST_F(JsonFileDefaultsTest, SymlinkedFileIsWrittenThroughTheLink) {
    writeBytes(root / "dotfiles" / "defaults.json", "{}");
    fs::create_directories(dir());
    fs::create_symlink(root / "dotfiles" / "defaults.json", file());
    open().set("a", 1);
    EXPECT_TRUE(fs::is_symlink(file()));
    EXPECT_EQ(JsonFileDefaults::parse(readBytes(root / "dotfiles" / "defaults.json")),
              (std::map<std::string, Json>{{"a", 1}}));
}

// What an editor does on save: most write a new file and rename it into place, some rewrite in place.
void saveLikeAnEditor(const fs::path& path, const Json& values, bool inPlace) {
    const std::string text = values.dump(4);
    if (inPlace) return writeBytes(path, text);
    writeBytes(path.string() + ".swp", text);
    fs::rename(path.string() + ".swp", path);
}

Json fileValues(const fs::path& path) { return Json::parse(readBytes(path)); }

TEST_F(JsonFileDefaultsTest, AnEditMadeWhileRunningIsTakenInAnnouncedAndKeptByLaterWrites) {
    sim::SimScheduler scheduler;
    auto store = open();
    store.coalesceOn(scheduler);
    ASSERT_GE(store.watchFile(), 0);
    Settings settings(store);
    std::vector<std::vector<std::string>> announced;
    settings.observeChanges([&](const std::vector<std::string>& keys) { announced.push_back(keys); });
    store.onExternalChange = [&](const std::vector<std::string>& keys) { settings.announceChanges(keys); };
    store.set("tiling_gap", 8);
    store.set("menu_density", "focused");
    scheduler.runPending();

    // Renamed into place: a new key and a changed one.
    saveLikeAnEditor(file(), {{"tiling_gap", 20}, {"menu_density", "focused"}, {"mine", "kept"}}, false);
    store.fileMayHaveChanged();
    EXPECT_EQ(settings.tilingGap(), 20);
    EXPECT_EQ(announced, (std::vector<std::vector<std::string>>{{"mine", "tiling_gap"}}));
    store.set("app_mode", "hotkey");
    scheduler.runPending();
    EXPECT_EQ(fileValues(file()),
              (Json{{"tiling_gap", 20}, {"menu_density", "focused"}, {"mine", "kept"}, {"app_mode", "hotkey"}}));

    // Rewritten in place, and caught half-way: truncated when the app wants to write. Nothing is
    // written over the empty file; once the editor closes it, both sides' changes are there.
    {
        std::ofstream editor(file(), std::ios::trunc);
        store.set("edit_mode", true);
        scheduler.runPending();
        EXPECT_EQ(readBytes(file()), "");
        editor << Json{{"tiling_gap", 16}, {"mine", "kept"}, {"app_mode", "hotkey"}}.dump();
    }
    store.fileMayHaveChanged();
    scheduler.runPending();
    EXPECT_EQ(settings.tilingGap(), 16);
    EXPECT_EQ(settings.menuDensity(), MenuDensity::full) << "a key the user deleted is gone";
    EXPECT_EQ(announced.back(), (std::vector<std::string>{"tiling_gap", "menu_density"}));
    EXPECT_EQ(fileValues(file()),
              (Json{{"tiling_gap", 16}, {"mine", "kept"}, {"app_mode", "hotkey"}, {"edit_mode", true}}));
    EXPECT_EQ(announced.size(), 2u) << "the app's own writes are not news";

    // Emptied on purpose and closed: every key goes, and the next change is written.
    writeBytes(file(), "");
    store.fileMayHaveChanged();
    EXPECT_TRUE(store.keys().empty());
    EXPECT_EQ(announced.back().size(), 4u);
    store.set("app_mode", "menubar");
    scheduler.runPending();
    EXPECT_EQ(fileValues(file()), (Json{{"app_mode", "menubar"}}));
}

TEST_F(JsonFileDefaultsTest, AnEditorsSaveLandingWhileTheAppWritesIsMergedNotOverwritten) {
    sim::SimScheduler scheduler;
    auto store = open();
    store.coalesceOn(scheduler);
    ASSERT_GE(store.watchFile(), 0);
    std::vector<std::string> announced;
    store.onExternalChange = [&](const std::vector<std::string>& keys) { announced = keys; };
    store.set("tiling_gap", 8);
    scheduler.runPending();

    // The editor saves once, at the worst moment: after the app read the file, before its rename.
    bool saved = false;
    store.beforeReplace = [&] {
        if (!std::exchange(saved, true)) saveLikeAnEditor(file(), {{"tiling_gap", 20}, {"mine", "kept"}}, false);
    };
    store.set("app_mode", "hotkey");
    scheduler.runPending();
    EXPECT_EQ(fileValues(file()), (Json{{"tiling_gap", 20}, {"mine", "kept"}, {"app_mode", "hotkey"}}));
    EXPECT_EQ(store.object("tiling_gap"), Json(20));
    EXPECT_EQ(announced, (std::vector<std::string>{"mine", "tiling_gap"}));
}

TEST_F(JsonFileDefaultsTest, UnchangedValuesAreNotWrittenAndOneTurnIsWrittenOnce) {
    sim::SimScheduler scheduler;
    {
        auto store = open();
        store.coalesceOn(scheduler);
        store.set("a", 1);
        store.set("labels", {{"1", "Mail"}});
        store.set("a", 2);
        store.remove("absent");
        EXPECT_FALSE(fs::exists(file())) << "written when the turn is over";
        scheduler.runPending();
        EXPECT_EQ(store.writeCount(), 1u);
        EXPECT_EQ(fileValues(file()), (Json{{"a", 2}, {"labels", {{"1", "Mail"}}}}));

        // The same values again, or a change taken back within the turn, write nothing.
        store.set("a", 2);
        store.set("labels", {{"1", "Mail"}});
        store.set("a", 3);
        store.set("a", 2);
        scheduler.runPending();
        EXPECT_EQ(store.writeCount(), 1u);
        // 2.0 is another value in the file than 2.
        store.set("a", 2.0);
        scheduler.runPending();
        EXPECT_EQ(store.writeCount(), 2u);
        EXPECT_TRUE(open().object("a")->is_number_float());

        store.set("last", true); // never turned: written when the store goes
    }
    EXPECT_TRUE(open().boolFor("last"));
}

TEST_F(JsonFileDefaultsTest, TwoCopiesOnOneFileKeepEachOthersKeysAndRemovals) {
    writeBytes(file(), R"({"shared": "x", "names": {"1": "Mail"}})");
    auto first = open();
    auto second = open();
    std::vector<std::string> secondHeard;
    second.onExternalChange = [&](const std::vector<std::string>& keys) { secondHeard = keys; };
    first.set("a", 1);
    first.remove("shared");
    second.set("b", 2);
    EXPECT_EQ(fileValues(file()), (Json{{"names", {{"1", "Mail"}}}, {"a", 1}, {"b", 2}}));
    EXPECT_EQ(second.integer("a").value, 1);
    EXPECT_FALSE(second.hasValue("shared"));
    EXPECT_EQ(secondHeard, (std::vector<std::string>{"a", "shared"}));

    // Two processes writing as fast as they can: the lock keeps every key of both.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    const std::string prefix = child == 0 ? "child_" : "parent_";
    {
        sim::CapturingLog quiet;
        JsonFileDefaults store(file(), quiet, kNow);
        for (int i = 0; i < 25; ++i) store.set(prefix + std::to_string(i), i);
    }
    if (child == 0) ::_exit(0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const auto all = open().keys();
    EXPECT_EQ(std::count_if(all.begin(), all.end(), [](const std::string& k) { return k.starts_with("child_"); }), 25);
    EXPECT_EQ(std::count_if(all.begin(), all.end(), [](const std::string& k) { return k.starts_with("parent_"); }), 25);
}

TEST_F(JsonFileDefaultsTest, AFileThatStopsParsingIsLeftAsWrittenUntilItParsesAgain) {
    sim::SimScheduler scheduler;
    auto store = open();
    store.coalesceOn(scheduler);
    ASSERT_GE(store.watchFile(), 0);
    store.set("a", 1);
    scheduler.runPending();

    const std::string typo = "{\"a\": 1, \"mine\": }";
    writeBytes(file(), typo);
    store.fileMayHaveChanged();
    store.set("b", 2);
    scheduler.runPending();
    store.set("c", 3);
    scheduler.runPending();
    EXPECT_EQ(readBytes(file()), typo);
    EXPECT_EQ(store.integer("a").value, 1);
    EXPECT_EQ(log.count("defaults file " + file().string() + " cannot be used (not valid JSON) — left as it is"), 1u);
    EXPECT_TRUE(namesIn(dir()) == kFileAndLock) << "nothing moved aside while the app runs";

    saveLikeAnEditor(file(), {{"a", 1}, {"mine", true}}, false);
    store.fileMayHaveChanged();
    scheduler.runPending();
    EXPECT_EQ(fileValues(file()), (Json{{"a", 1}, {"mine", true}, {"b", 2}, {"c", 3}}));
    EXPECT_EQ(log.count(file().string() + " parses again"), 1u);
}

TEST(JsonFileDefaultsPathTest, FollowsAnAbsoluteXdgConfigHomeElseHome) {
    const char* home = std::getenv("HOME");
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::optional<std::string> savedHome = home ? std::optional<std::string>(home) : std::nullopt;
    const std::optional<std::string> savedConfig = config ? std::optional<std::string>(config) : std::nullopt;
    ::setenv("HOME", "/home/ada", 1);
    ::setenv("XDG_CONFIG_HOME", "/srv/cfg", 1);
    EXPECT_EQ(JsonFileDefaults::defaultPath(), "/srv/cfg/quorvel/defaults.json");
    for (const char* ignored : {"", "relative/cfg"}) {
        ::setenv("XDG_CONFIG_HOME", ignored, 1);
        EXPECT_EQ(JsonFileDefaults::defaultPath(), "/home/ada/.config/quorvel/defaults.json") << ignored;
    }
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(JsonFileDefaults::defaultPath(), "/home/ada/.config/quorvel/defaults.json");

    savedHome ? ::setenv("HOME", savedHome->c_str(), 1) : ::unsetenv("HOME");
    savedConfig ? ::setenv("XDG_CONFIG_HOME", savedConfig->c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
}

} // namespace
} // namespace quorvel
