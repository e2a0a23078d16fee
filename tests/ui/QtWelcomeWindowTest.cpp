// The welcome window in Qt over its controller on the simulator: the composed texts on screen, a
// changed shortcut at the next show, the access-mode pop-up and Return.
#include "QtWelcomeWindow.h"

#include "SimPlatform.h"
#include "settings/Settings.h"
#include "settingsui/WelcomeWindowController.h"
#include "shortcuts/ShortcutStore.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

class RecordingFactory final : public WelcomeViewFactory {
public:
    std::unique_ptr<WelcomeView> createWelcomeWindow(WelcomeView::Handlers handlers) override {
        auto view = std::make_unique<ui::QtWelcomeWindow>(std::move(handlers));
        window = view.get();
        return view;
    }
    ui::QtWelcomeWindow* window = nullptr;
};

class QtWelcomeWindowTest : public ::testing::Test {
protected:
    sim::SimPlatform sim;
    RecordingFactory factory;
    WelcomeWindowController welcome{&factory, sim.defaults, sim.windowControl, sim.notifier};

    template <class T>
    T* find(const char* name) {
        return factory.window->widget()->findChild<T*>(name);
    }
    QString text(const char* name) { return find<QLabel>(name)->text(); }
};

TEST_F(QtWelcomeWindowTest, TheWindowShowsTheComposedTextsAndFollowsAChangedShortcut) {
    welcome.show();
    QWidget* window = factory.window->widget();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Welcome to Quorvel");
    EXPECT_EQ(window->size(), QSize(460, 400));
    EXPECT_EQ(text("welcomeHeading"), "Welcome to Quorvel");
    EXPECT_EQ(text("welcomeShortcutTable").toStdString(), welcome.content().shortcutTable);
    EXPECT_TRUE(text("welcomeBullets").contains("⌃⌥P opens the switcher panel"));
    EXPECT_TRUE(find<QWidget>("welcomePermissionRow")->isHidden());
    EXPECT_EQ(find<QComboBox>("welcomeMode")->currentText(), "Menu Bar");

    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_Return);
    EXPECT_FALSE(welcome.isVisible());

    ShortcutStore(sim.defaults).set(Shortcut{35, {KeyModifiers::control, KeyModifiers::shift}}, HotkeyAction::togglePanel);
    sim.world.revokeTrust();
    welcome.show();
    EXPECT_EQ(factory.window->widget(), window); // the same window, its content fresh
    EXPECT_TRUE(text("welcomeShortcutTable").startsWith("⌃⇧P  Switcher panel"));
    EXPECT_TRUE(text("welcomeBullets").contains("⌃⇧P opens the switcher panel"));
    EXPECT_FALSE(find<QWidget>("welcomePermissionRow")->isHidden());
    EXPECT_EQ(find<QComboBox>("welcomeMode")->itemText(1), "Keyboard Shortcut (⌃⇧P)");
}

TEST_F(QtWelcomeWindowTest, ChoosingTheKeyboardShortcutInThePopUpStoresHotkey) {
    int changes = 0;
    welcome.onModeChanged = [&] { ++changes; };
    welcome.show();
    QComboBox* mode = find<QComboBox>("welcomeMode");
    mode->setFocus();
    QTest::keyClick(mode, Qt::Key_Down); // a closed combo box chooses the next item with Down
    EXPECT_EQ(sim.defaults.stringFor(Settings::modeKey), "hotkey");
    EXPECT_EQ(changes, 1);
}


TEST_F(QtWelcomeWindowTest, TheSecondaryTextFollowsAThemeSwitch) {
    sim.world.revokeTrust();
    welcome.show();
    const QPalette light = QApplication::palette();
    QPalette dark(QColor(0x33, 0x33, 0x33), QColor(0x26, 0x26, 0x26));
    dark.setColor(QPalette::PlaceholderText, QColor(0x9a, 0x9a, 0x9a));
    QApplication::setPalette(dark);
    QApplication::processEvents(); // the change reaches the widgets as a posted event
    const QColor shown = find<QLabel>("welcomePermissionLabel")->palette().color(QPalette::WindowText);
    QApplication::setPalette(light);
    QApplication::processEvents();
    EXPECT_EQ(shown, QColor(0x9a, 0x9a, 0x9a));
}

TEST_F(QtWelcomeWindowTest, ReturnOnTheWindowManagerButtonPressesItInsteadOfClosing) {
    sim.world.revokeTrust();
    welcome.show();
    QWidget* window = factory.window->widget();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    find<QPushButton>("welcomePermissionButton")->setFocus();
    QTest::keyClick(window, Qt::Key_Return);
    EXPECT_EQ(sim.notifier.alerts.size(), 1u);
    EXPECT_TRUE(welcome.isVisible());
}

} // namespace
