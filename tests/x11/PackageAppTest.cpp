// The Debian package as a user gets it: unpacked into a temporary folder, the executable from it
// starts on Xvfb with Openbox, tiles three windows with Alt+Shift+T and quits with 0 on SIGTERM.
// Runs only when QUORVEL_PACKAGE names the .deb (scripts/quorvel package_check sets it).
#include "AppFixture.h"
#include "XvfbTiles.h"

using namespace quorvel;
using namespace quorvel::x11test;

namespace {

class PackageAppTest : public AppFixture {
protected:
    // The package's tree unpacked under the test's home; its quorvel executable, or empty.
    std::string unpack(const std::string& package) {
        const fs::path tree = home / "unpacked";
        if (server->run("dpkg-deb -x '" + package + "' '" + tree.string() + "'") != 0) return {};
        const fs::path program = tree / "usr" / "bin" / "quorvel";
        return fs::is_regular_file(program) ? program.string() : std::string();
    }
};

} // namespace

TEST_F(PackageAppTest, TheUnpackedPackageTilesThreeWindowsAndQuitsWithZeroOnSigterm) {
    const char* package = std::getenv("QUORVEL_PACKAGE");
    if (!package || !*package) GTEST_SKIP() << "QUORVEL_PACKAGE does not name a .deb to try";
    ASSERT_TRUE(fs::is_regular_file(package)) << package;

    startServer();
    executable = unpack(package);
    ASSERT_FALSE(executable.empty()) << "no usr/bin/quorvel in " << package;
    const ClientWindow a = server->openWindow({.title = "A"});
    const ClientWindow b = server->openWindow({.title = "B"});
    const ClientWindow c = server->openWindow({.title = "C"});
    startApp();

    press("alt+shift+t", "toggle_tiling");
    EXPECT_TRUE(tiled({a, b, c}, {kLeftHalf, kRightTop, kRightBottom})) << app->output();
    EXPECT_EQ(app->stop(SIGTERM), 0);
}
