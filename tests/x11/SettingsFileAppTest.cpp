// The defaults file while the app runs: the user's editor saves it, the app takes the edit in,
// keeps it through desktop switches and writes the file at most once per switch.
#include "AppFixture.h"

#include <sys/inotify.h>

using namespace quorvel;
using namespace quorvel::x11test;
using namespace std::chrono_literals;

namespace {

// Counts the times a file is replaced (renamed into place), from an inotify watch of its folder.
class ReplacementCounter {
public:
    explicit ReplacementCounter(const fs::path& file) : m_name(file.filename().string()) {
        m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_fd < 0 || ::inotify_add_watch(m_fd, file.parent_path().c_str(), IN_MOVED_TO) < 0)
            throw std::runtime_error("inotify");
    }
    ~ReplacementCounter() { ::close(m_fd); }
    std::size_t count() {
        alignas(inotify_event) char buffer[8192];
        for (ssize_t n; (n = ::read(m_fd, buffer, sizeof buffer)) > 0;) {
            for (ssize_t offset = 0; offset < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
                if (event->len > 0 && m_name == event->name) ++m_count;
                offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return m_count;
    }

private:
    int m_fd = -1;
    std::string m_name;
    std::size_t m_count = 0;
};

// Two windows side by side on Xvfb's 1920×1080 screen with `gap` around and between them.
std::vector<Rect> halves(double gap) {
    const double width = (1920 - 3 * gap) / 2;
    return {{gap, gap, width, 1080 - 2 * gap}, {2 * gap + width, gap, width, 1080 - 2 * gap}};
}

class SettingsFileAppTest : public AppFixture {};

} // namespace

TEST_F(SettingsFileAppTest, AnEditorsSaveSurvivesDesktopSwitchesTakesEffectAndEachSwitchWritesOnce) {
    startServer();
    // A named desktop: every switch stamps when its name was last seen, so every switch writes.
    // Manual naming: no automatic name is stored a moment after a switch.
    writeDefaults({{"has_launched_before", true}, {"naming_mode", "manual"}, {"space_labels", {{"2", "Mail"}}}});
    const ClientWindow a = server->openWindow({.title = "A"});
    const ClientWindow b = server->openWindow({.title = "B"});
    startApp();
    press("alt+shift+t", "toggle_tiling");
    ASSERT_TRUE(tiled({a, b}, halves(8))) << app->output();
    // Tiling saves its layout a second after it starts: that write comes before the counting.
    ASSERT_TRUE(XServer::waitFor([&] { return readDefaults().contains("tilingLayouts"); })) << app->output();
    ReplacementCounter replacements(defaultsFile());

    for (const bool inPlace : {false, true}) {
        SCOPED_TRACE(inPlace ? "rewritten in place" : "new file renamed into place");
        const int gap = inPlace ? 16 : 20;
        nlohmann::json edited = readDefaults();
        ASSERT_TRUE(edited.is_object());
        edited["tiling_gap"] = gap;
        edited["mine"] = inPlace ? "second" : "first";
        const std::size_t announced = app->count("changed outside the app");
        const fs::path saveAs = inPlace ? defaultsFile() : fs::path(defaultsFile().string() + ".swp");
        std::ofstream(saveAs) << edited.dump(4);
        if (!inPlace) fs::rename(saveAs, defaultsFile());
        ASSERT_TRUE(XServer::waitFor([&] { return app->count("changed outside the app") > announced; }))
            << app->output();

        for (const int desktop : {1, 0}) {
            const std::size_t before = replacements.count();
            server->run("xdotool set_desktop " + std::to_string(desktop));
            ASSERT_TRUE(XServer::waitFor([&] { return currentDesktop() == desktop; }));
            ASSERT_TRUE(XServer::waitFor([&] { return replacements.count() > before; })) << app->output();
            // Handled after the switch: whatever the switch wrote is on disk by now.
            press("alt+shift+r", "retile");
            EXPECT_EQ(replacements.count() - before, 1u) << "writes for the switch to desktop " << desktop;
        }
        const nlohmann::json saved = readDefaults();
        EXPECT_EQ(saved.value("tiling_gap", 0), gap) << saved.dump();
        EXPECT_EQ(saved.value("mine", ""), inPlace ? "second" : "first") << saved.dump();
        EXPECT_TRUE(saved.value("tiling_enabled", false)) << saved.dump();
        // The retile on the way back lays the windows out with the edited gap.
        EXPECT_TRUE(tiled({a, b}, halves(gap))) << app->output();
    }
    EXPECT_EQ(app->stop(SIGTERM), 0);
    EXPECT_EQ(readDefaults().value("mine", ""), "second");
}
