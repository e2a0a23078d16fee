// Desktop names shared with the window manager: the app's names appear in _NET_DESKTOP_NAMES for
// every pager, and a name another program writes there becomes the desktop's name in the app.
#include "AppFixture.h"

#include <cstring>

using namespace quorvel;
using namespace quorvel::x11test;

namespace {

class DesktopNamesAppTest : public AppFixture {
protected:
    // The list as `xprop -root` prints it: _NET_DESKTOP_NAMES(UTF8_STRING) = "a", "b".
    std::string namesLine() { return output("xprop -root _NET_DESKTOP_NAMES"); }

    // Replaces the list the way a pager does: its own connection, one property write.
    void writeNamesAsAnotherProgram(const std::vector<std::string>& names) {
        xcb_connection_t* connection = xcb_connect(server->display().c_str(), nullptr);
        ASSERT_EQ(xcb_connection_has_error(connection), 0);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        auto intern = [&](const char* name) {
            auto* reply = xcb_intern_atom_reply(
                connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
            const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
            std::free(reply);
            return atom;
        };
        std::string bytes;
        for (const std::string& name : names) bytes += name + '\0';
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, root, intern("_NET_DESKTOP_NAMES"),
                            intern("UTF8_STRING"), 8, static_cast<std::uint32_t>(bytes.size()), bytes.data());
        std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
        xcb_disconnect(connection);
    }

    nlohmann::json savedLabels() {
        const nlohmann::json defaults = readDefaults();
        return defaults.is_object() && defaults.contains("space_labels") ? defaults["space_labels"] : nlohmann::json();
    }
};

} // namespace

TEST_F(DesktopNamesAppTest, PagersShowTheAppsNamesAndNamesTheyWriteComeBackAsTheDesktopsNames) {
    startServer();
    // Openbox has written its own names (from its configuration) before the app starts.
    const std::string openboxNames = namesLine();
    ASSERT_NE(openboxNames.find("_NET_DESKTOP_NAMES(UTF8_STRING) = "), std::string::npos) << openboxNames;
    writeDefaults({{"has_launched_before", true}, {"naming_mode", "manual"}, {"space_labels", {{"2", "Mail"}}}});
    startApp();

    const std::string ours = R"("Desktop 1", "Mail", "Desktop 3", "Desktop 4")";
    ASSERT_TRUE(XServer::waitFor([&] { return namesLine().find(ours) != std::string::npos; }))
        << "before: " << openboxNames << "\nnow: " << namesLine() << "\n" << app->output();
    EXPECT_EQ(savedLabels(), nlohmann::json({{"2", "Mail"}})) << "Openbox's names are not renames";

    // A pager renames the third desktop and clears the second.
    writeNamesAsAnotherProgram({"Desktop 1", "", "Music", "Desktop 4"});
    ASSERT_TRUE(XServer::waitFor([&] { return savedLabels() == nlohmann::json({{"3", "Music"}}); }))
        << savedLabels().dump() << "\n" << app->output();
    // The cleared desktop shows its numbered name again, for the pager too.
    const std::string after = R"("Desktop 1", "Desktop 2", "Music", "Desktop 4")";
    ASSERT_TRUE(XServer::waitFor([&] { return namesLine().find(after) != std::string::npos; })) << namesLine();

    // The app's own writes never came back as renames: by the time this later rename is taken in,
    // their echoes have been heard.
    writeNamesAsAnotherProgram({"Desktop 1", "Desktop 2", "Music", "Notes"});
    ASSERT_TRUE(XServer::waitFor([&] { return savedLabels().contains("4"); })) << app->output();
    EXPECT_EQ(savedLabels(), nlohmann::json({{"3", "Music"}, {"4", "Notes"}}));
    EXPECT_EQ(app->count("renamed by another program"), 2u) << app->output();
    EXPECT_EQ(app->count("name cleared by another program"), 1u) << app->output();
}
