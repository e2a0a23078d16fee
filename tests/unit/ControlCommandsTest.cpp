// `quorvel msg` on the simulator: the request parser and its refusals, and each command's answer
// and effect through the real delegate (desktop switches, names, tiling, the three queries).
#include "DelegateFixture.h"
#include "control/ControlCommands.h"
#include "shell/ControlWiring.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <memory>
#include <regex>
#include <sstream>

namespace quorvel::test {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;

ControlErrorCode refusalOf(std::string_view line) {
    auto parsed = parseControlRequest(line);
    if (auto* error = std::get_if<ControlError>(&parsed)) return error->code;
    const auto error = checkControlRequest(std::get<ControlRequest>(parsed));
    return error ? error->code : ControlErrorCode{0};
}

TEST(ControlProtocolTest, ParsesRequestsAndRefusesWhatIsNotOne) {
    auto parsed = parseControlRequest(R"({"command":"name","args":["2","Mail"]})" "\n");
    ASSERT_TRUE(std::holds_alternative<ControlRequest>(parsed));
    EXPECT_EQ(std::get<ControlRequest>(parsed), (ControlRequest{"name", {"2", "Mail"}}));
    // A request written by the client reads back as itself.
    const ControlRequest request{"name", {"1", "Ünïcode \"quoted\""}};
    EXPECT_EQ(std::get<ControlRequest>(parseControlRequest(controlRequestLine(request))), request);

    EXPECT_EQ(refusalOf(R"({"command":"retile"})"), ControlErrorCode{0}) << "args may be left out";
    for (std::string_view bad : {"", "not json", "[1,2]", R"({"args":[]})", R"({"command":3})",
                                 R"({"command":"switch","args":"3"})", R"({"command":"switch","args":[3]})",
                                 R"({"command":"switch")"})
        EXPECT_EQ(refusalOf(bad), ControlErrorCode::malformed) << bad;

    std::string huge = R"({"command":"name","args":["1",")" + std::string(kMaxControlRequestBytes, 'x') + "\"]}";
    EXPECT_EQ(refusalOf(huge), ControlErrorCode::tooLarge);
}

TEST(ControlProtocolTest, ChecksCommandsAndTheirArguments) {
    for (const ControlRequest& good :
         {ControlRequest{"toggle_panel", {}}, ControlRequest{"swap_left", {}}, ControlRequest{"switch", {"3"}},
          ControlRequest{"name", {"2", "Mail"}}, ControlRequest{"name", {"2", "My", "Mail"}},
          ControlRequest{"name", {"2", "--clear"}}, ControlRequest{"tiling", {"toggle"}},
          ControlRequest{"query", {"settings"}}, ControlRequest{"retile", {}}})
        EXPECT_FALSE(checkControlRequest(good)) << good.command;
    for (const ControlRequest& bad :
         {ControlRequest{"switch", {}}, ControlRequest{"switch", {"0"}}, ControlRequest{"switch", {"3x"}},
          ControlRequest{"switch", {"-1"}}, ControlRequest{"name", {"2"}}, ControlRequest{"name", {"2", ""}},
          ControlRequest{"name", {"2", "--clear", "x"}}, ControlRequest{"tiling", {"maybe"}},
          ControlRequest{"query", {"apps"}}, ControlRequest{"toggle_panel", {"now"}},
          // Not UTF-8: a Latin-1 byte, a stray continuation, an overlong slash, a surrogate.
          ControlRequest{"name", {"2", "caf\xe9"}}, ControlRequest{"name", {"2", "\x80"}},
          ControlRequest{"name", {"2", "\xc0\xaf"}}, ControlRequest{"name", {"2", "\xed\xa0\x80"}}})
        EXPECT_EQ(checkControlRequest(bad).value_or(ControlError{}).code, ControlErrorCode::usage) << bad.command;

    EXPECT_FALSE(checkControlRequest({"name", {"2", "Café 🎵"}}));
    EXPECT_EQ(controlRequestLine({"name", {"2", "\xff"}}), "{\"args\":[\"2\",\"\xef\xbf\xbd\"],\"command\":\"name\"}\n")
        << "a line is always made, never an exception";

    const auto unknown = checkControlRequest({"frobnicate", {}});
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->code, ControlErrorCode::usage);
    for (const std::string& name : controlCommandNames())
        EXPECT_NE(unknown->message.find(name), std::string::npos) << "the error names " << name;
}

// The shells complete exactly the commands the app knows.
TEST(ControlProtocolTest, TheCompletionsOfBothShellsOfferEveryCommand) {
    for (const char* file : {"quorvel.bash", "_quorvel"}) {
        std::ifstream in(std::string(QUORVEL_COMPLETIONS_DIR) + "/" + file);
        std::stringstream text;
        text << in.rdbuf();
        ASSERT_FALSE(text.str().empty()) << file;
        for (const std::string& name : controlCommandNames()) {
            const std::regex word("(^|[\\s'\"])" + name + "[\\s:\"]");
            EXPECT_TRUE(std::regex_search(text.str(), word)) << file << " lacks " << name;
        }
    }
}

class ControlCommandsTest : public DelegateFixture {
protected:
    std::unique_ptr<ControlCommands> commands;

    void SetUp() override {
        DelegateFixture::SetUp();
        ASSERT_TRUE(app->applicationDidFinishLaunching());
        commands = std::make_unique<ControlCommands>(controlDependencies(platform, *core, *app));
        settle();
    }
    void TearDown() override {
        commands.reset();
        DelegateFixture::TearDown();
    }
    Json send(const std::string& command, const std::vector<std::string>& args = {}) {
        const std::string line = commands->handleLine(controlRequestLine({command, args}));
        EXPECT_TRUE(line.ends_with('\n'));
        settle(1s);
        return Json::parse(line);
    }
};

TEST_F(ControlCommandsTest, SwitchingAndNamingChangeTheDesktopsTheQueryReports) {
    EXPECT_EQ(send("switch", {"3"}), Json({{"ok", true}, {"desktop", 3}}));
    EXPECT_EQ(world.activeSpace(), desktop(2));
    const Json missing = send("switch", {"9"});
    EXPECT_EQ(missing["code"], 1);
    EXPECT_EQ(world.activeSpace(), desktop(2));

    EXPECT_EQ(send("name", {"2", "Mail", "and", "chat"})["name"], "Mail and chat");
    EXPECT_EQ(core->labels.label(desktop(1)), "Mail and chat");
    send("name", {"3", "Web"});
    EXPECT_EQ(sim.tray.title.text, "Web") << "the tray shows a new name of the current desktop at once";

    const Json desktops = send("query", {"desktops"})["desktops"];
    ASSERT_EQ(desktops.size(), 4u);
    EXPECT_EQ(desktops[1], Json({{"number", 2}, {"id", desktop(1)}, {"name", "Mail and chat"},
                                 {"custom_name", "Mail and chat"}, {"tiling", "automatic"},
                                 {"current", false}, {"display", "MAIN-UUID"}}));
    EXPECT_TRUE(desktops[2]["current"]);
    EXPECT_EQ(desktops[2]["name"], "Web");
    EXPECT_TRUE(desktops[0]["custom_name"].is_null());

    EXPECT_EQ(send("name", {"2", " Mail\n", "and\tchat\x7f "})["name"], "Mail  and chat")
        << "one line, as the rename field gives it";
    EXPECT_EQ(send("name", {"2", " \n", "\t"})["code"], 2) << "blank is refused";
    EXPECT_EQ(core->labels.label(desktop(1)), "Mail  and chat");

    send("name", {"2", "--clear"});
    EXPECT_FALSE(core->labels.label(desktop(1)));
    EXPECT_EQ(send("query", {"desktops"})["desktops"][1]["name"], "Desktop 2");
}

TEST_F(ControlCommandsTest, TilingCommandsTakeTheHotKeyRouteAndWindowsReportTheirTiles) {
    EXPECT_EQ(send("retile")["error"], "tiling is off");
    EXPECT_EQ(send("tiling", {"toggle"})["tiling"], true);
    EXPECT_TRUE(core->engine.isRunning());
    EXPECT_EQ(send("tiling", {"on"})["tiling"], true) << "on stays on";

    const Pid pid = world.launchApp({.name = "Editor"});
    settle(1s);
    const WindowId a = world.openWindow(pid, {40, 60, 600, 400});
    settle(1s);
    const WindowId b = world.openWindow(pid, {40, 60, 600, 400});
    settle(1s);
    world.focusWindow(b);
    settle(0.1s);

    const Rect before = world.window(b)->frame;
    EXPECT_EQ(send("swap_left"), Json({{"ok", true}}));
    EXPECT_NE(world.window(b)->frame, before) << "the action moved the focused window like its key";

    const Json windows = send("query", {"windows"})["windows"];
    std::map<WindowId, Json> byId;
    for (const Json& w : windows) byId[w["id"].get<WindowId>()] = w;
    ASSERT_TRUE(byId.contains(a) && byId.contains(b));
    EXPECT_EQ(byId[a]["desktop"], 1);
    EXPECT_EQ(byId[a]["application"], "Editor");
    EXPECT_FALSE(byId[a]["monitor"].is_null());
    EXPECT_EQ(byId[b]["tile"]["index"], 1) << "after the swap b is first";
    EXPECT_EQ(byId[a]["tile"]["index"], 2);
    EXPECT_EQ(byId[a]["tile"]["of"], 2);

    EXPECT_EQ(send("retile"), Json({{"ok", true}}));
    EXPECT_EQ(send("tiling", {"off"})["tiling"], false);
    EXPECT_FALSE(core->engine.isRunning());
    EXPECT_TRUE(send("query", {"settings"})["settings"][std::string(Settings::tilingEnabledKey)] == false);
}

TEST_F(ControlCommandsTest, RefusedRequestsAnswerWithTheirCodeAndChangeNothing) {
    const auto spaceBefore = world.activeSpace();
    for (const std::string& line : {std::string("{\"command\":\"switch\",\"args\":[\"2\"]"),
                                   std::string("{\"command\":\"switch\",\"args\":[\"2\"],\"x\":\"") +
                                       std::string(kMaxControlRequestBytes, 'a') + "\"}",
                                   std::string(R"({"command":"unknown"})"), std::string("\xff\xfe")}) {
        const Json answer = Json::parse(commands->handleLine(line));
        EXPECT_EQ(answer["ok"], false);
        EXPECT_GE(answer["code"].get<int>(), 2);
        settle(1s);
    }
    EXPECT_EQ(world.activeSpace(), spaceBefore);
}

} // namespace
} // namespace quorvel::test
