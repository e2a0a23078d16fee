// `quorvel msg` against the real app on Xvfb + Openbox: switching, naming and querying through the
// control socket (names shared with the window manager's pagers both ways), and the client's exit
// codes without an instance and for commands it refuses.
#include "AppFixture.h"

namespace quorvel::x11test {
namespace {

class MessageAppTest : public AppFixture {
protected:
    // Runs `quorvel msg <words>` as a user of this session would; its exit code, and what it
    // printed (stdout and stderr) in `printed`.
    int msg(const std::string& words, std::string* printed = nullptr) {
        const fs::path file = home / "msg-output";
        const int code = server->run("XDG_RUNTIME_DIR=" + (home / "runtime").string() + " " + QUORVEL_APP +
                                     " msg " + words + " > " + file.string() + " 2>&1");
        std::ifstream in(file);
        std::stringstream text;
        text << in.rdbuf();
        if (printed) *printed = text.str();
        return code;
    }
};

TEST_F(MessageAppTest, WithoutAnInstanceOrForAnUnknownCommandTheClientSaysSo) {
    startServer();
    fs::create_directories(home / "runtime");
    fs::permissions(home / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    std::string printed;
    EXPECT_EQ(msg("switch 3", &printed), 1);
    EXPECT_NE(printed.find("not running"), std::string::npos) << printed;
    EXPECT_EQ(msg("frobnicate", &printed), 2);
    EXPECT_NE(printed.find("toggle_panel"), std::string::npos) << printed;
    EXPECT_NE(printed.find("query desktops|windows|settings"), std::string::npos) << printed;
    // Refused before connecting: text that is not UTF-8 (a Latin-1 é), and more than the app reads.
    EXPECT_EQ(msg("name 2 \"caf$(printf '\\351')\"", &printed), 2);
    EXPECT_NE(printed.find("UTF-8"), std::string::npos) << printed;
    EXPECT_EQ(msg("name 2 " + std::string(70000, 'a'), &printed), 2);
    EXPECT_NE(printed.find("over 64 KiB"), std::string::npos) << printed;
}

TEST_F(MessageAppTest, SwitchNameAndQueryReachTheRunningApp) {
    startServer();
    startApp();
    ASSERT_EQ(currentDesktop(), 0);

    EXPECT_EQ(msg("switch 3"), 0);
    EXPECT_TRUE(XServer::waitFor([&] { return currentDesktop() == 2; })) << app->output();

    std::string printed;
    EXPECT_EQ(msg("name 2 Mail", &printed), 0) << printed;
    EXPECT_EQ(msg("query desktops", &printed), 0) << printed;
    const nlohmann::json desktops = nlohmann::json::parse(printed, nullptr, false);
    ASSERT_TRUE(desktops.is_array()) << printed;
    ASSERT_GE(desktops.size(), 3u);
    EXPECT_EQ(desktops[1]["name"], "Mail");
    EXPECT_EQ(desktops[1]["custom_name"], "Mail");
    EXPECT_EQ(desktops[2]["current"], true);
    // The window manager's pagers show the name too.
    EXPECT_TRUE(XServer::waitFor([&] {
        return output("xprop -root _NET_DESKTOP_NAMES").find("\"Mail\"") != std::string::npos;
    })) << output("xprop -root _NET_DESKTOP_NAMES");

    // A name another program writes there (as a pager's rename does) is the desktop's name here.
    ASSERT_EQ(server->run("xprop -root -format _NET_DESKTOP_NAMES 8u -set _NET_DESKTOP_NAMES Inbox"), 0);
    EXPECT_TRUE(XServer::waitFor([&] {
        const nlohmann::json now = nlohmann::json::parse(msg("query desktops", &printed) == 0 ? printed : "",
                                                         nullptr, false);
        return now.is_array() && !now.empty() && now[0]["custom_name"] == "Inbox";
    })) << printed;

    // A broken request harms nothing: the next one is answered.
    EXPECT_EQ(msg("switch 99", &printed), 1);
    EXPECT_NE(printed.find("no desktop 99"), std::string::npos) << printed;
    EXPECT_EQ(msg("frobnicate"), 2);
    EXPECT_EQ(msg("switch 1"), 0);
    EXPECT_TRUE(XServer::waitFor([&] { return currentDesktop() == 0; }));

    // A hot-key action by its name: the switcher panel opens with the focus, as from its key.
    EXPECT_EQ(msg("toggle_panel"), 0);
    EXPECT_TRUE(XServer::waitFor([&] {
        const std::uint32_t active = activeWindow();
        return active != 0 && output("xdotool getwindowname " + std::to_string(active)) == "Quorvel" &&
               output("xdotool getwindowpid " + std::to_string(active)) == std::to_string(app->pid());
    })) << "the panel never became the active window\n" << app->output();
}

} // namespace
} // namespace quorvel::x11test
