// The desktop switcher's helper window: a real native window with a fixed number, activation,
// alpha and closing.
#include "QtHelperWindow.h"

#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <vector>

using quorvel::WindowId;
using quorvel::ui::QtHelperWindow;
using quorvel::ui::QtHelperWindowFactory;

namespace {
QtHelperWindow& asQt(quorvel::HelperWindow& window) { return static_cast<QtHelperWindow&>(window); }
} // namespace

TEST(QtHelperWindowTest, IsANativeOnePixelWindowWithAFixedNumberBeforeItShows) {
    QtHelperWindowFactory factory;
    auto first = factory.createHelperWindow();
    auto second = factory.createHelperWindow();
    ASSERT_TRUE(first && second);
    const WindowId number = first->windowNumber();
    EXPECT_NE(number, 0u);
    EXPECT_NE(second->windowNumber(), number);

    QWindow* window = asQt(*first).window();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->geometry(), QRect(0, 0, 1, 1));
    EXPECT_FALSE(window->flags() & Qt::WindowTransparentForInput);

    first->setAlpha(0);
    first->orderBack();
    first->setIgnoresMouseEvents(true);
    first->setBackgroundBlack();
    EXPECT_EQ(window->opacity(), 0.0);
    EXPECT_TRUE(window->flags() & Qt::WindowTransparentForInput);
    first->makeKeyAndOrderFront();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(first->windowNumber(), number);
    EXPECT_EQ(static_cast<WindowId>(window->winId()), number);
}

TEST(QtHelperWindowTest, BecomesKeyThroughTheActivatorOrQt) {
    std::vector<WindowId> activated;
    QtHelperWindowFactory withActivator([&](WindowId id) { activated.push_back(id); });
    auto helper = withActivator.createHelperWindow();
    helper->makeKeyAndOrderFront();
    EXPECT_EQ(activated, std::vector<WindowId>{helper->windowNumber()});

    QtHelperWindowFactory plain;
    auto own = plain.createHelperWindow();
    own->makeKeyAndOrderFront();
    EXPECT_TRUE(QTest::qWaitFor([&] { return own->isKey() && own->isMain(); }, 2000));
}

TEST(QtHelperWindowTest, ClosingRemovesItForGood) {
    QtHelperWindowFactory factory;
    auto helper = factory.createHelperWindow();
    const WindowId number = helper->windowNumber();
    helper->makeKeyAndOrderFront();
    helper->close();
    helper->makeKeyAndOrderFront(); // does nothing after close
    QWindow* window = asQt(*helper).window();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->handle(), nullptr);
    EXPECT_FALSE(helper->isKey());
    EXPECT_EQ(helper->windowNumber(), number);
}
