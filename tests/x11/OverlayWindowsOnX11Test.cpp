// Our overlay windows (the spotlight outline, the toast) on a real X server with Openbox, read
// back from the screen: without a compositing manager they are shaped, so what lies inside the
// outline and beyond the toast's corners is the window beneath, not black; with xcompmgr the
// outline is translucent again; and they land on the X pixels asked for under any QT_SCALE_FACTOR
// (ctest runs this suite at 1 and at 2).
#include "CapturingLog.h"
#include "CompositorProcess.h"
#include "FloatingWindow.h"
#include "QtOutlineWindow.h"
#include "QtStripWindow.h"
#include "QtUserNotifier.h"
#include "SimScheduler.h"
#include "Toast.h"
#include "X11Compositor.h"
#include "X11Connection.h"
#include "X11OwnWindows.h"
#include "XServer.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QWidget>

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>

using namespace std::chrono_literals;
using namespace quorvel;
using namespace quorvel::x11test;

namespace {

// One X server and one QApplication for the whole suite: Qt cannot change displays.
class Session : public ::testing::Environment {
public:
    void SetUp() override {
        if (!XServer::available() || !CompositorProcess::available()) {
            if (XServer::required()) FAIL() << "Xvfb, Openbox or xcompmgr is not installed";
            GTEST_SKIP() << "Xvfb, Openbox or xcompmgr is not installed";
        }
        server = std::make_unique<XServer>();
        qputenv("DISPLAY", server->display().c_str());
        qputenv("QT_QPA_PLATFORM", "xcb");
        if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
            runtimeDir.emplace();
            qputenv("XDG_RUNTIME_DIR", runtimeDir->path().toLocal8Bit());
        }
        static int argc = 1;
        static char name[] = "quorvel_x11_ui_tests";
        static char* argv[] = {name, nullptr};
        application = std::make_unique<QApplication>(argc, argv);
        screen = xcb_connect(server->display().c_str(), nullptr);
    }
    void TearDown() override {
        if (screen) xcb_disconnect(screen);
        application.reset();
        server.reset();
    }

    std::unique_ptr<XServer> server;
    std::optional<QTemporaryDir> runtimeDir;
    std::unique_ptr<QApplication> application;
    xcb_connection_t* screen = nullptr; // our own view of the server: screenshots and backdrops
};
Session* session = nullptr;

struct Colour {
    int red = 0, green = 0, blue = 0;
    bool operator==(const Colour&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Colour& c) {
    return out << "rgb(" << c.red << ", " << c.green << ", " << c.blue << ")";
}
bool near(const Colour& a, const Colour& b, int tolerance) {
    return std::abs(a.red - b.red) <= tolerance && std::abs(a.green - b.green) <= tolerance &&
           std::abs(a.blue - b.blue) <= tolerance;
}
Colour colourOf(const QColor& c) { return {c.red(), c.green(), c.blue()}; }

class OverlayWindowsOnX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        c = session->screen;
        root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        scale = qEnvironmentVariableIsEmpty("QT_SCALE_FACTOR") ? 1 : qEnvironmentVariable("QT_SCALE_FACTOR").toDouble();
    }
    void TearDown() override {
        for (const xcb_window_t window : backdrops) xcb_destroy_window(c, window);
        xcb_flush(c);
    }

    // A plain window of one colour, above everything else mapped so far, which no window manager
    // touches; the server paints it.
    void backdrop(Rect rect, Colour colour) {
        const xcb_window_t window = xcb_generate_id(c);
        const std::uint32_t values[] = {static_cast<std::uint32_t>(colour.red << 16 | colour.green << 8 | colour.blue), 1};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, root, static_cast<std::int16_t>(rect.x),
                          static_cast<std::int16_t>(rect.y), static_cast<std::uint16_t>(rect.width),
                          static_cast<std::uint16_t>(rect.height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
        xcb_map_window(c, window);
        backdrops.push_back(window);
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); // mapped and painted
    }

    // The screen's pixel at (x, y) of the root, as the user sees it.
    Colour pixel(int x, int y) {
        auto* image = xcb_get_image_reply(
            c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root, static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), 1, 1, ~0u),
            nullptr);
        if (!image) return {-1, -1, -1};
        const std::uint8_t* bytes = xcb_get_image_data(image); // BGRX on a 24-bit little-endian server
        const Colour colour{bytes[2], bytes[1], bytes[0]};
        std::free(image);
        return colour;
    }

    // Where a widget's X window is, in X pixels.
    Rect frameOf(const QWidget& widget) {
        const auto window = static_cast<xcb_window_t>(widget.winId());
        auto* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
        auto* origin = xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, window, root, 0, 0), nullptr);
        Rect rect;
        if (geometry && origin) rect = {double(origin->dst_x), double(origin->dst_y), double(geometry->width), double(geometry->height)};
        std::free(geometry);
        std::free(origin);
        return rect;
    }

    // How many rectangles make a window's bounding shape (1 for an unshaped window), or its input
    // shape (0 for a window every click passes through).
    int shapeRectangles(const QWidget& widget, xcb_shape_kind_t kind = XCB_SHAPE_SK_BOUNDING) {
        auto* reply = xcb_shape_get_rectangles_reply(
            c, xcb_shape_get_rectangles(c, static_cast<xcb_window_t>(widget.winId()), kind), nullptr);
        const int count = reply ? reply->rectangles_len : -1;
        std::free(reply);
        return count;
    }

    // Runs Qt's events (and `more`, the backend's dispatch) until `condition` holds, for at most 3 s.
    template <class Condition>
    bool settle(Condition condition, const std::function<void()>& more = {}) {
        return XServer::waitFor([&] {
            QCoreApplication::processEvents();
            if (more) more();
            return condition();
        });
    }

    int px(double deviceIndependent) const { return static_cast<int>(std::lround(deviceIndependent * scale)); }

    xcb_connection_t* c = nullptr;
    xcb_window_t root = 0;
    double scale = 1;
    std::vector<xcb_window_t> backdrops;
};

const Colour kBeneath{0x33, 0x99, 0x55};
// The spotlit window, and the outline over it, in X pixels.
const Rect kSpotlit{300, 200, 640, 480};

} // namespace

TEST_F(OverlayWindowsOnX11Test, TheOutlineLandsOnTheXPixelsAskedForAndShowsTheWindowBeneathWithoutACompositor) {
    backdrop(kSpotlit, kBeneath);
    ui::QtOutlineWindow outline;
    outline.setCompositing(false);
    outline.show(kSpotlit.x, kSpotlit.y, kSpotlit.width, kSpotlit.height);
    const Colour accent = colourOf(outline.window()->palette().color(QPalette::Highlight));

    const int left = int(kSpotlit.x), top = int(kSpotlit.y), middle = int(kSpotlit.y + kSpotlit.height / 2);
    ASSERT_TRUE(settle([&] { return pixel(left + 1, middle) == accent; }))
        << pixel(left + 1, middle) << " on the left edge; the outline is at " << frameOf(*outline.window()).description();
    EXPECT_EQ(frameOf(*outline.window()), kSpotlit) << "at QT_SCALE_FACTOR " << scale;
    // The ring is 3 of Qt's pixels wide, just inside the edge; inside and beyond the rounded
    // corners the spotlit window shows.
    EXPECT_EQ(pixel(left + px(3) - 1, middle), accent);
    EXPECT_EQ(pixel(left + px(3) + 1, middle), kBeneath);
    EXPECT_EQ(pixel(left + 320, middle), kBeneath);
    EXPECT_EQ(pixel(left, top), kBeneath) << "rounded corner";
    EXPECT_EQ(pixel(int(kSpotlit.x + kSpotlit.width) - 2, middle), accent) << "the right edge";
    EXPECT_EQ(pixel(left + 320, int(kSpotlit.y + kSpotlit.height) - 2), accent) << "the bottom edge";
    EXPECT_EQ(shapeRectangles(*outline.window(), XCB_SHAPE_SK_INPUT), 0) << "clicks on the ring reach the window";
}

TEST_F(OverlayWindowsOnX11Test, TheOutlineFollowsACompositorAppearingAndGoingAway) {
    sim::CapturingLog log;
    auto connection = x11::X11Connection::open(session->server->display(), log);
    ASSERT_TRUE(connection);
    x11::X11Compositor compositor(*connection);
    ui::QtOutlineWindow outline;
    compositor.onChanged = [&](bool present) { outline.setCompositing(present); };
    outline.setCompositing(compositor.present());
    const auto dispatch = [&] { connection->dispatch(); };

    backdrop(kSpotlit, kBeneath);
    outline.show(kSpotlit.x, kSpotlit.y, kSpotlit.width, kSpotlit.height);
    const Colour accent = colourOf(outline.window()->palette().color(QPalette::Highlight));
    const int left = int(kSpotlit.x), middle = int(kSpotlit.y + kSpotlit.height / 2);
    ASSERT_TRUE(settle([&] { return pixel(left + 1, middle) == accent; }, dispatch)) << "no compositor: an opaque ring";
    EXPECT_GT(shapeRectangles(*outline.window()), 1);
    EXPECT_EQ(pixel(left + 320, middle), kBeneath);

    // With xcompmgr the stroke is blended over the window beneath, and the window is no longer cut.
    auto xcompmgr = std::make_unique<CompositorProcess>(*session->server);
    const Colour blended{(accent.red * 9 + kBeneath.red) / 10, (accent.green * 9 + kBeneath.green) / 10,
                         (accent.blue * 9 + kBeneath.blue) / 10};
    EXPECT_TRUE(settle([&] { return near(pixel(left + 1, middle), blended, 3); }, dispatch))
        << pixel(left + 1, middle) << " is not " << blended;
    EXPECT_TRUE(outline.compositing());
    EXPECT_TRUE(x11::X11Compositor(*connection).present()) << "a fresh look sees it too";
    EXPECT_EQ(shapeRectangles(*outline.window()), 1);
    EXPECT_EQ(pixel(left + 320, middle), kBeneath);

    // It goes away: shaped again.
    xcompmgr->stop();
    EXPECT_TRUE(settle([&] { return !outline.compositing() && pixel(left + 1, middle) == accent; }, dispatch));
    EXPECT_GT(shapeRectangles(*outline.window()), 1);
    EXPECT_EQ(pixel(left + 320, middle), kBeneath);
}

TEST_F(OverlayWindowsOnX11Test, WithoutACompositorTheToastsCornersShowWhatIsBeneath) {
    backdrop({0, 0, 1920, 1080}, kBeneath);
    sim::SimScheduler scheduler; // holds the toast on screen: its time never passes
    ui::QtUserNotifier notifier(scheduler);
    notifier.setCompositing(false);
    notifier.showToast("Desktop 2");
    const QWidget& toast = *notifier.toast();

    Rect frame;
    ASSERT_TRUE(settle([&] {
        frame = frameOf(toast);
        return frame.width > 0 && pixel(int(frame.x) + px(6), int(frame.y + frame.height / 2)).red < 40;
    }));
    EXPECT_EQ(pixel(int(frame.x), int(frame.y)), kBeneath) << "top-left corner";
    EXPECT_EQ(pixel(int(frame.x + frame.width) - 1, int(frame.y + frame.height) - 1), kBeneath) << "bottom-right corner";
    EXPECT_NE(pixel(int(frame.x) + px(12), int(frame.y) + px(1)), kBeneath) << "the top edge past the corner";
    // Its size is in Qt's pixels, so the X window grows with the scale.
    EXPECT_NEAR(frame.width, toast.width() * scale, 1);
    EXPECT_NEAR(frame.height, toast.height() * scale, 1);
}

// The desktop strip's window as the app makes it: a dock that Openbox leaves where it was put, on
// the monitor's top edge in X pixels under any scale, and that never takes the focus.
TEST_F(OverlayWindowsOnX11Test, TheStripIsADockOnTheTopEdgeThatNeverTakesTheFocus) {
    sim::CapturingLog log;
    auto connection = x11::X11Connection::open(session->server->display(), log);
    ASSERT_TRUE(connection);
    class Docks final : public ui::PanelWindowManager {
    public:
        explicit Docks(x11::X11Connection& connection) : windows(connection) {}
        void prepare(WindowId window) override { windows.prepareFloatingPanel(window); }
        void activate(WindowId window, InputTime time) override { windows.activate(window, time); }
        WindowId activeWindow() override { return windows.activeWindow(); }
        void giveFocusBack(WindowId window) override { windows.giveFocusBack(window); }
        void prepareDock(WindowId window) override { windows.prepareDock(window); }
        x11::X11OwnWindows windows;
    } docks(*connection);

    ui::QtStripWindowFactory factory(&docks, false);
    auto strip = factory.create({});
    StripPresentation shown;
    for (int i = 1; i <= 3; ++i) shown.tabs.push_back(StripTab{SpaceId(i), i, "", false, false, false, {}});
    shown.actualCurrentSpaceID = 1;
    shown.visibility = strip::Visible{VisibleReason::pinnedAlways};
    const Rect monitor{0, 0, 1920, 1080};
    const double panel = 24; // a top panel's strut, in X pixels
    strip->render(shown, monitor, StripAlignment::left, panel);

    QWidget* window = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "desktopStrip") window = w;
    ASSERT_NE(window, nullptr);
    const auto id = static_cast<xcb_window_t>(window->winId());
    xcb_ewmh_connection_t* ewmh = connection->ewmh();
    // Openbox manages it once it has its frame extents written.
    ASSERT_TRUE(settle([&] { return !connection->cardinals(id, ewmh->_NET_FRAME_EXTENTS).empty(); }));

    EXPECT_EQ(connection->atoms(id, ewmh->_NET_WM_WINDOW_TYPE), std::vector<xcb_atom_t>{ewmh->_NET_WM_WINDOW_TYPE_DOCK});
    EXPECT_EQ(connection->cardinal(id, ewmh->_NET_WM_DESKTOP), 0xFFFFFFFFu);
    EXPECT_TRUE(connection->cardinals(id, ewmh->_NET_WM_STRUT_PARTIAL).empty()) << "it reserves no space";
    const std::vector<std::uint32_t> hints = connection->cardinals(id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS);
    ASSERT_GE(hints.size(), 2u);
    EXPECT_TRUE(hints[0] & 1u) << "the input hint is set";
    EXPECT_EQ(hints[1], 0u) << "and says: no input focus";
    EXPECT_NE(docks.activeWindow(), id);

    const double width = stripWidth(3, shown.density, shown.showsMiniMaps, 0);
    const Rect expected{double(px(StripMetrics::edgeMargin)), panel, double(px(width)), double(px(StripMetrics::height))};
    EXPECT_TRUE(settle([&] { return frameOf(*window) == expected; }))
        << frameOf(*window).description() << " is not " << expected.description() << " at QT_SCALE_FACTOR " << scale;
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    session = new Session; // owned by GoogleTest
    ::testing::AddGlobalTestEnvironment(session);
    return RUN_ALL_TESTS();
}
