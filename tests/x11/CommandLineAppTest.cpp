// The app's options on a real server: the settings file goes where --config-dir says.
#include "AppFixture.h"

using namespace quorvel;
using namespace quorvel::x11test;

namespace {

class CommandLineAppTest : public AppFixture {};

} // namespace

TEST_F(CommandLineAppTest, TheSettingsFileLivesInTheConfigDir) {
    startServer();
    const fs::path elsewhere = home / "elsewhere";
    arguments = {"--verbose", "--config-dir", elsewhere.string()};
    startApp();

    press("alt+shift+t", "toggle_tiling");
    const fs::path settings = elsewhere / "defaults.json";
    EXPECT_TRUE(XServer::waitFor([&] {
        std::ifstream in(settings);
        const auto values = nlohmann::json::parse(in, nullptr, false);
        return values.is_object() && values.value("tiling_enabled", false);
    })) << app->output();
    EXPECT_FALSE(fs::exists(defaultsFile()));
    EXPECT_EQ(app->stop(SIGTERM), 0);
}
