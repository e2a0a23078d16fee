// The shortcuts window on Qt: rows and the status line follow the content, a key while recording
// reaches the recorder translated (key code and modifiers), the keyboard grab follows recording,
// Return and Escape close only while nothing records, a click outside the fields stops recording.
#include "QtShortcutsWindow.h"

#include "SimPlatform.h"
#include "shortcuts/ShortcutStore.h"
#include "shortcuts/ShortcutsWindowController.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace quorvel;

namespace {

constexpr std::uint32_t kKeysymH = 0x48; // shift held: X reports the upper-case letter
constexpr std::int64_t kKeyCodeH = 4;
// Shift+1 is typed as "!": the server's keycode of the key tells which key it was.
constexpr std::uint32_t kKeysymExclam = 0x21;
constexpr std::uint32_t kServerKeycode1 = 10;
constexpr std::int64_t kKeyCode1 = 18;

class QtShortcutsWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        handlers.onFieldClick = [this](HotkeyAction action) { clicked.push_back(action); };
        handlers.onKey = [this](const RecordedKey& key) {
            keys.push_back(key);
            return consume;
        };
        handlers.onFocusLost = [this] { ++focusLost; };
        handlers.onDone = [this] { ++done; };
        handlers.onRestoreDefaults = [this] { ++restored; };
        ui::QtShortcutsWindowFactory factory([this](std::uint32_t keysym,
                                                    std::uint32_t keycode) -> std::optional<std::int64_t> {
            translated.push_back(keysym);
            if (keysym == kKeysymH) return kKeyCodeH;
            if (keycode == kServerKeycode1) return kKeyCode1;
            return std::nullopt;
        });
        view = factory.createShortcutsWindow(handlers);
        window = static_cast<ui::QtShortcutsWindow&>(*view).window();
    }
    void TearDown() override { view.reset(); }

    ShortcutsContent content(bool recordingFirst = false) {
        ShortcutsContent c;
        c.title = "Keyboard Shortcuts";
        c.header = "Click a shortcut, then type a new one.";
        for (const HotkeyAction action : kHotkeyActions)
            c.rows.push_back({.action = action, .title = std::string(title(action)), .fieldText = "x"});
        c.rows[0].recording = recordingFirst;
        if (recordingFirst) c.rows[0].fieldText = "Type a shortcut\u2026";
        return c;
    }
    QList<QLabel*> fields() const { return window->findChildren<QLabel*>("shortcutField"); }
    QLabel* status() const { return window->findChild<QLabel*>("shortcutsStatus"); }
    void send(QEvent::Type type, int key, Qt::KeyboardModifiers modifiers, std::uint32_t keysym,
              std::uint32_t keycode = 0) {
        QKeyEvent event(type, key, modifiers, keycode, keysym, 0);
        QApplication::sendEvent(window, &event);
    }
    void startRecording() {
        view->setContent(content(true));
        view->present();
        view->setKeyboardGrab(true);
    }

    ShortcutsView::Handlers handlers;
    std::unique_ptr<ShortcutsView> view;
    QWidget* window = nullptr;
    std::vector<HotkeyAction> clicked;
    std::vector<RecordedKey> keys;
    std::vector<std::uint32_t> translated;
    bool consume = true;
    int focusLost = 0, done = 0, restored = 0;
};

TEST_F(QtShortcutsWindowTest, RowsAndTheStatusLineFollowTheContent) {
    ShortcutsContent c = content();
    c.rows[3].fieldText = "\u2303\u2325\u21E7H";
    c.status = {.text = "In use by another app: \u2325\u21E7\u2190. Pick a different combination.",
                .tone = ShortcutsStatus::Tone::orange};
    view->setContent(c);
    EXPECT_EQ(window->windowTitle(), "Keyboard Shortcuts");
    ASSERT_EQ(fields().size(), 13);
    const auto titles = window->findChildren<QLabel*>("shortcutTitle");
    ASSERT_EQ(titles.size(), 13);
    EXPECT_EQ(titles[3]->text().toStdString(), title(kHotkeyActions[3]));
    EXPECT_EQ(fields()[3]->text(), QString::fromUtf8("\u2303\u2325\u21E7H"));
    EXPECT_EQ(fields()[3]->property("action").toString().toStdString(), rawValue(kHotkeyActions[3]));
    EXPECT_EQ(status()->property("tone").toString(), "orange");
    const QColor orange = status()->palette().color(QPalette::WindowText);

    // The red line replaces it; an empty text keeps the tone it had.
    c.status = {.text = "\u2325\u21E7\u2190 is already used by \u201CSwap Left\u201D.", .tone = ShortcutsStatus::Tone::red};
    view->setContent(c);
    EXPECT_EQ(status()->property("tone").toString(), "red");
    EXPECT_NE(status()->palette().color(QPalette::WindowText), orange);
    c.status = {.text = "", .tone = ShortcutsStatus::Tone::secondary};
    view->setContent(c);
    EXPECT_TRUE(status()->text().isEmpty());
    EXPECT_EQ(status()->property("tone").toString(), "red");

    // The same content again leaves the same widgets (built once).
    QLabel* first = fields()[0];
    view->setContent(c);
    EXPECT_EQ(fields()[0], first);
}

TEST_F(QtShortcutsWindowTest, ColoursFollowTheRecordingStateAndAThemeSwitch) {
    const auto colour = [](QWidget* w) { return w->palette().color(QPalette::WindowText); };
    view->setContent(content(true));
    view->present();
    EXPECT_EQ(colour(fields()[0]), window->palette().color(QPalette::PlaceholderText)) << "the prompt is secondary";
    view->setContent(content(false));
    EXPECT_EQ(colour(fields()[0]), window->palette().color(QPalette::WindowText)) << "back to the label colour";

    const QPalette light = QApplication::palette();
    QPalette dark(QColor(0x33, 0x33, 0x33), QColor(0x26, 0x26, 0x26));
    dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::PlaceholderText, QColor(0x9a, 0x9a, 0x9a));
    QApplication::setPalette(dark);
    QApplication::processEvents(); // the change reaches the widgets as a posted event
    const QColor header = colour(window->findChild<QLabel*>("shortcutsHeader"));
    const QColor field = colour(fields()[0]);
    QApplication::setPalette(light);
    QApplication::processEvents();
    EXPECT_EQ(header, QColor(0x9a, 0x9a, 0x9a));
    EXPECT_EQ(field, QColor(0xee, 0xee, 0xee));
}

TEST_F(QtShortcutsWindowTest, WhileRecordingEveryKeyReachesTheRecorderTranslatedUnderTheGrab) {
    startRecording();
    EXPECT_EQ(QWidget::keyboardGrabber(), window);

    const Qt::KeyboardModifiers all3 = Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier;
    send(QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier, 0xffe1);
    QKeyEvent override(QEvent::ShortcutOverride, Qt::Key_H, all3, 0, kKeysymH, 0);
    QApplication::sendEvent(window, &override);
    EXPECT_TRUE(override.isAccepted()) << "a shortcut could take the key being recorded";
    send(QEvent::KeyPress, Qt::Key_H, all3, kKeysymH);
    send(QEvent::KeyRelease, Qt::Key_H, all3, kKeysymH); // a release of a plain key is not a recording

    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].kind, RecordedKey::Kind::modifiersChanged);
    EXPECT_EQ(keys[1].kind, RecordedKey::Kind::keyDown);
    EXPECT_EQ(keys[1].keyCode, kKeyCodeH);
    EXPECT_EQ(keys[1].modifiers, (KeyModifiers{KeyModifiers::control, KeyModifiers::option, KeyModifiers::shift}));
    EXPECT_EQ(translated, std::vector<std::uint32_t>{kKeysymH});

    // Super is the command key; a key with no code arrives with none.
    send(QEvent::KeyPress, Qt::Key_F20, Qt::MetaModifier, 0x1234);
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[2].modifiers, KeyModifiers::command);
    EXPECT_FALSE(keys[2].keyCode.has_value());
    // A shifted symbol without a code of its own is the key the server names.
    send(QEvent::KeyPress, Qt::Key_Exclam, Qt::ControlModifier | Qt::ShiftModifier, kKeysymExclam, kServerKeycode1);
    ASSERT_EQ(keys.size(), 4u);
    EXPECT_EQ(keys[3].keyCode, kKeyCode1);
    keys.pop_back();
    EXPECT_EQ(done, 0); // Return while recording is a key to record, not Done
    send(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, 0xff0d);
    EXPECT_EQ(done, 0);

    view->setKeyboardGrab(false);
    EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);
    send(QEvent::KeyPress, Qt::Key_H, all3, kKeysymH);
    EXPECT_EQ(keys.size(), 4u) << "keys reached the recorder after the grab ended";
}

TEST_F(QtShortcutsWindowTest, ReturnAndEscapeCloseOnlyWhileNothingRecordsAndClicksGoWhereTheyLand) {
    view->setContent(content());
    view->present();
    QTest::keyClick(window, Qt::Key_Return);
    EXPECT_EQ(done, 1);
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_EQ(done, 2);
    EXPECT_TRUE(keys.empty());

    QTest::mouseClick(fields()[2], Qt::LeftButton);
    EXPECT_EQ(clicked, std::vector<HotkeyAction>{kHotkeyActions[2]});
    EXPECT_EQ(focusLost, 0);
    QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(5, 5)); // the margin, outside every field
    EXPECT_EQ(focusLost, 1);
    QTest::mouseClick(window->findChild<QPushButton*>("restoreDefaultsButton"), Qt::LeftButton);
    EXPECT_EQ(restored, 1);
    QTest::mouseClick(window->findChild<QPushButton*>("doneButton"), Qt::LeftButton);
    EXPECT_EQ(done, 3);
}

TEST_F(QtShortcutsWindowTest, AnotherWindowTakingTheFocusStopsRecording) {
    startRecording();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    const int before = focusLost;
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_GT(focusLost, before);
}

// With the controller: a click on a field grabs the keyboard, the recorded combination is stored
// in its text form, the field shows it and the grab is released.
TEST(QtShortcutsWindowWithController, ARecordedCombinationIsStoredShownAndTheGrabReleased) {
    sim::SimPlatform sim;
    ui::QtShortcutsWindowFactory factory([](std::uint32_t keysym, std::uint32_t) -> std::optional<std::int64_t> {
        return keysym == kKeysymH ? std::optional<std::int64_t>(kKeyCodeH) : std::nullopt;
    });
    ShortcutsWindowController controller(&factory, sim.defaults, nullptr);
    controller.show();
    QWidget* window = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->objectName() == "shortcutsWindow" && top->isVisible()) window = top;
    ASSERT_NE(window, nullptr);
    QLabel* swapLeft = nullptr;
    for (QLabel* field : window->findChildren<QLabel*>("shortcutField"))
        if (field->property("action").toString() == "swap_left") swapLeft = field;
    ASSERT_NE(swapLeft, nullptr);

    QTest::mouseClick(swapLeft, Qt::LeftButton);
    EXPECT_EQ(QWidget::keyboardGrabber(), window);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_H, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier, 0, kKeysymH, 0);
    QApplication::sendEvent(window, &press);

    EXPECT_EQ(sim.defaults.object(ShortcutStore::key(HotkeyAction::swapLeft)), nlohmann::json("7:4"));
    EXPECT_EQ(swapLeft->text(), QString::fromUtf8("\u2303\u2325\u21E7H"));
    EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);
    controller.close();
    EXPECT_FALSE(window->isVisible());
}

} // namespace
