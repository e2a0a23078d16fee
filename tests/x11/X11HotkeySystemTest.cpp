// Global hot keys on a real server: presses injected with XTest, combinations held by another
// client or by the window manager's own bindings, lock keys, and keyboard mapping changes.
#include "CapturingLog.h"
#include "PollLoop.h"
#include "X11Connection.h"
#include "X11HotkeySystem.h"
#include "XServer.h"

#include <xcb/xcb_keysyms.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using namespace quorvel;
using namespace quorvel::x11test;

namespace {

constexpr std::uint32_t kControlOption = 0x1800;
constexpr std::uint32_t kOptionShift = 0x0A00;
constexpr std::uint32_t kKeyP = 35, kKeyY = 16, kKey1 = 18, kKeyLeft = 123, kKeyRight = 124;

constexpr std::uint16_t kControlAlt = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;

// Our hot key system on its own connection, with a press handler that records ids.
struct HotkeySession {
    explicit HotkeySession(const XServer::Options& options = {})
        : server(options), connection(x11::X11Connection::open(server.display(), log)) {
        if (!connection) throw std::runtime_error("cannot connect to " + server.display());
        loop.watch(connection->fileDescriptor(), [this] { connection->dispatch(); });
        hotkeys = std::make_unique<x11::X11HotkeySystem>(*connection, loop, log);
        HotkeyHandlerRef handler = 0;
        hotkeys->installPressHandler(
            [this](HotkeyId id, InputTime time) {
                fired.push_back(id.id);
                times.push_back(time);
            },
            handler);
    }

    std::int32_t add(std::uint32_t keyCode, std::uint32_t flags, std::uint32_t id, HotkeyRef* refOut = nullptr) {
        HotkeyRef ref = 0;
        const std::int32_t status = hotkeys->registerHotkey(keyCode, flags, {0x51564B48, id}, ref);
        EXPECT_EQ(status == kHotkeyNoErr, ref != 0) << "a reference exactly when the status is success";
        if (refOut) *refOut = ref;
        return status;
    }

    // Presses `keys` with XTest and waits (bounded) until the handler has heard `total` presses.
    bool press(const std::string& keys, std::size_t total) {
        if (server.run("xdotool key " + keys) != 0) return false;
        return loop.runUntil([&] { return fired.size() >= total; }, 2000ms);
    }

    XServer server;
    sim::CapturingLog log;
    PollLoop loop;
    std::unique_ptr<x11::X11Connection> connection;
    std::unique_ptr<x11::X11HotkeySystem> hotkeys;
    std::vector<std::uint32_t> fired;
    std::vector<InputTime> times; // of each press, as the server stamped it
};

// Another program on the same server, holding key grabs of its own.
struct OtherClient {
    explicit OtherClient(const std::string& display) : connection(xcb_connect(display.c_str(), nullptr)) {
        root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    }
    ~OtherClient() { xcb_disconnect(connection); }

    xcb_keycode_t keycodeOf(xcb_keysym_t keysym) {
        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection);
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, keysym);
        const xcb_keycode_t code = codes ? codes[0] : 0;
        std::free(codes);
        xcb_key_symbols_free(symbols);
        return code;
    }
    // Whether the grab was granted (BadAccess when someone else holds it).
    bool grab(xcb_keysym_t keysym, std::uint16_t modifiers) {
        const auto cookie = xcb_grab_key_checked(connection, 0, root, modifiers, keycodeOf(keysym),
                                                 XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        xcb_generic_error_t* error = xcb_request_check(connection, cookie);
        const bool granted = error == nullptr;
        std::free(error);
        return granted;
    }

    xcb_connection_t* connection;
    xcb_window_t root = 0;
};

class X11HotkeySystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        QUORVEL_NEED_X_SERVER();
    }
};

TEST_F(X11HotkeySystemTest, RegisteredHotkeysFireWithTheirIdsWhateverLocksAreOn) {
    HotkeySession session;
    HotkeyRef panel = 0;
    ASSERT_EQ(session.add(kKeyP, kControlOption, 1, &panel), kHotkeyNoErr);
    ASSERT_EQ(session.add(kKey1, kControlOption, 101), kHotkeyNoErr);

    // The press is reported on a later turn of the main queue, not while the event is dispatched.
    ASSERT_EQ(session.server.run("xdotool key ctrl+alt+p"), 0);
    session.connection->sync();
    session.connection->dispatch();
    EXPECT_TRUE(session.fired.empty());
    ASSERT_TRUE(session.loop.runUntil([&] { return !session.fired.empty(); }, 2000ms));
    EXPECT_EQ(session.fired, (std::vector<std::uint32_t>{1}));

    ASSERT_EQ(session.server.run("xdotool key Num_Lock"), 0);
    ASSERT_TRUE(session.press("ctrl+alt+1", 2)) << "with NumLock on";
    ASSERT_EQ(session.server.run("xdotool key Caps_Lock"), 0);
    ASSERT_TRUE(session.press("ctrl+alt+p", 3)) << "with NumLock and CapsLock on";

    // Another combination on the same key, and a key never registered, stay quiet; the last
    // press proves the earlier ones were delivered and ignored.
    ASSERT_TRUE(session.press("ctrl+alt+shift+p ctrl+alt+q ctrl+alt+1", 4));
    EXPECT_EQ(session.fired, (std::vector<std::uint32_t>{1, 101, 1, 101}));

    ASSERT_EQ(session.hotkeys->unregisterHotkey(panel), kHotkeyNoErr);
    ASSERT_TRUE(session.press("ctrl+alt+p ctrl+alt+1", 5));
    EXPECT_EQ(session.fired, (std::vector<std::uint32_t>{1, 101, 1, 101, 101})) << "unregistered: silent";
    // Each report carries its press's server time stamp, which a window opened for it needs.
    EXPECT_NE(session.times.front(), 0u);
    EXPECT_TRUE(std::is_sorted(session.times.begin(), session.times.end()));
    EXPECT_LT(session.times.front(), session.times.back());
}

TEST_F(X11HotkeySystemTest, ACombinationHeldByAnotherClientFailsAndLeavesNothingGrabbed) {
    HotkeySession session;
    OtherClient other(session.server.display());
    // The other program grabs only the plain combination, not the lock variants.
    ASSERT_TRUE(other.grab('y', kControlAlt));

    EXPECT_EQ(session.add(kKeyY, kControlOption, 3), kHotkeyExistsErr);
    EXPECT_EQ(session.add(kKeyP, kControlOption, 1), kHotkeyNoErr) << "other registrations still work";
    EXPECT_TRUE(session.connection->isAlive());
    ASSERT_TRUE(session.press("ctrl+alt+y ctrl+alt+p", 1));
    EXPECT_EQ(session.fired, (std::vector<std::uint32_t>{1}));

    // The variants our failed registration took on the way were given back.
    EXPECT_TRUE(other.grab('y', kControlAlt | XCB_MOD_MASK_LOCK));
    EXPECT_TRUE(other.grab('y', kControlAlt | XCB_MOD_MASK_2));
    EXPECT_TRUE(other.grab('y', kControlAlt | XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2));
}

TEST_F(X11HotkeySystemTest, OurOwnCombinationsAndUnknownKeysAreRefusedAndGrabsReleased) {
    HotkeySession session;
    OtherClient other(session.server.display());
    HotkeyRef panel = 0;
    ASSERT_EQ(session.add(kKeyP, kControlOption, 1, &panel), kHotkeyNoErr);
    EXPECT_EQ(session.add(kKeyP, kControlOption, 2), kHotkeyExistsErr) << "held by ourselves";
    EXPECT_EQ(session.add(10, kControlOption, 3), kHotkeyParamErr) << "a key with no X counterpart";
    ASSERT_EQ(session.add(kKey1, kControlOption, 101), kHotkeyNoErr);
    EXPECT_FALSE(other.grab('p', kControlAlt));

    ASSERT_EQ(session.hotkeys->unregisterHotkey(panel), kHotkeyNoErr);
    EXPECT_EQ(session.hotkeys->unregisterHotkey(panel), kHotkeyParamErr);
    EXPECT_TRUE(other.grab('p', kControlAlt | XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2)) << "unregistering released it";

    EXPECT_FALSE(other.grab('1', kControlAlt));
    session.hotkeys.reset();
    EXPECT_TRUE(other.grab('1', kControlAlt)) << "going away released the rest";
}

TEST_F(X11HotkeySystemTest, APressedKeyIsStoredAsItsUnshiftedKeySoItsCombinationFires) {
    HotkeySession session;
    OtherClient other(session.server.display());
    const xcb_keycode_t one = other.keycodeOf('1'), h = other.keycodeOf('h');
    ASSERT_NE(one, 0);
    // Shift+1 types "!", Shift+H "H": each is still its own key.
    EXPECT_EQ(session.hotkeys->keyCodeForPress('!', one), std::optional<std::uint32_t>(kKey1));
    EXPECT_EQ(session.hotkeys->keyCodeForPress('H', h), std::optional<std::uint32_t>(4));
    EXPECT_EQ(session.hotkeys->keyCodeForPress(0xff1b, 0), std::optional<std::uint32_t>(53)) << "no keycode: as typed";
    EXPECT_EQ(session.hotkeys->keyCodeForPress(0xffc8 + 12, 0), std::nullopt) << "F21 has no code";

    constexpr std::uint32_t kControlShift = 0x1200;
    ASSERT_EQ(session.add(*session.hotkeys->keyCodeForPress('!', one), kControlShift, 7), kHotkeyNoErr);
    ASSERT_TRUE(session.press("ctrl+shift+1", 1));
    EXPECT_EQ(session.fired, std::vector<std::uint32_t>{7});
}

TEST_F(X11HotkeySystemTest, TheWindowManagersStockBindingsAreReportedAsTaken) {
    HotkeySession session({.stockKeyBindings = true});
    // Openbox announces itself before it grabs its bindings: wait until one of them works
    // (Control+Alt+Right moves to the next desktop).
    x11::X11Connection& connection = *session.connection;
    const auto desktop = [&] { return connection.cardinal(connection.root(), connection.ewmh()->_NET_CURRENT_DESKTOP); };
    ASSERT_TRUE(XServer::waitFor([&] {
        return session.server.run("xdotool key ctrl+alt+Right") == 0 && desktop() != 0u;
    }));

    EXPECT_EQ(session.add(kKeyLeft, kOptionShift, 4), kHotkeyExistsErr);
    EXPECT_EQ(session.add(kKeyRight, kOptionShift, 5), kHotkeyExistsErr);
    ASSERT_EQ(session.add(kKeyP, kControlOption, 1), kHotkeyNoErr);
    ASSERT_TRUE(session.press("ctrl+alt+p", 1));
    EXPECT_EQ(session.fired, (std::vector<std::uint32_t>{1}));
}

TEST_F(X11HotkeySystemTest, IceWMHoldsNoneOfTheSystemsProgramKeys) {
    if (!XServer::available(XServer::Manager::icewm)) GTEST_SKIP() << "IceWM is not installed";
    XServer server({.manager = XServer::Manager::icewm});
    OtherClient other(server.display());
    // Control+Alt+T starts a terminal in the keys file IceWM ships.
    EXPECT_TRUE(other.grab('t', kControlAlt));
}

TEST_F(X11HotkeySystemTest, HoldingACombinationFiresOnce) {
    HotkeySession session;
    ASSERT_EQ(session.add(kKeyP, kControlOption, 1), kHotkeyNoErr);
    ASSERT_EQ(session.add(kKey1, kControlOption, 101), kHotkeyNoErr);
    // Held for longer than the server's auto-repeat delay.
    ASSERT_EQ(session.server.run("xdotool keydown ctrl+alt+p sleep 1 keyup ctrl+alt+p"), 0);
    ASSERT_TRUE(session.press("ctrl+alt+1", 2));
    EXPECT_EQ(session.fired, (std::vector<std::uint32_t>{1, 101}));
}

TEST_F(X11HotkeySystemTest, AHotkeyFollowsItsKeyWhenTheKeyboardMappingChanges) {
    HotkeySession session;
    ASSERT_EQ(session.add(kKeyP, kControlOption, 1), kHotkeyNoErr);
    // Swap the letters on two keys, as another layout would.
    ASSERT_EQ(session.server.run("xmodmap -e 'keycode 33 = q Q' -e 'keycode 24 = p P'"), 0);
    session.connection->sync();
    session.connection->dispatch();
    ASSERT_TRUE(session.press("ctrl+alt+p", 1));
    EXPECT_EQ(session.fired, (std::vector<std::uint32_t>{1}));
}

} // namespace
