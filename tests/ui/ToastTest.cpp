// The toast in virtual time: how long each message stays, fading, replacement, size and place on
// the screen; and the modal alert.
#include "QtUserNotifier.h"
#include "SimScheduler.h"
#include "Toast.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>

using quorvel::Seconds;
using quorvel::sim::SimScheduler;
using quorvel::ui::QtUserNotifier;
using quorvel::ui::Toast;

namespace {

class ToastTest : public ::testing::Test {
protected:
    void show(const std::string& text) { notifier.showToast(text); }
    void advanceTo(double t) { scheduler.advance(Seconds(t - scheduler.now())); }
    Toast& toast() { return *notifier.toast(); }
    QLabel& label() { return *toast().findChild<QLabel*>("toastLabel"); }
    bool fullyShown() { return toast().isVisible() && toast().windowOpacity() == 1.0; }

    SimScheduler scheduler;
    QtUserNotifier notifier{scheduler};
};

std::string repeated(const std::string& unit, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += unit;
    return text;
}

} // namespace

TEST_F(ToastTest, AShortMessageStaysThenFadesAndHides) {
    show(std::string(40, 'a'));
    advanceTo(1.599);
    EXPECT_TRUE(fullyShown());
    advanceTo(1.7);
    const double early = toast().windowOpacity();
    EXPECT_LT(early, 1.0);
    advanceTo(1.85);
    EXPECT_TRUE(toast().isVisible());
    EXPECT_LT(toast().windowOpacity(), early);
    advanceTo(1.951);
    EXPECT_FALSE(toast().isVisible());
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST_F(ToastTest, HoldTimeCountsUserPerceivedCharacters) {
    const std::string eAcute = "e\u0301"; // one character, two code points
    const std::string flag = "\U0001F1EB\U0001F1F7";
    const struct {
        std::string text;
        double hold;
    } cases[] = {
        {std::string(41, 'a'), 3.4},
        {std::string(39, 'a') + eAcute, 1.6},
        {repeated(eAcute, 41), 3.4},
        {std::string(39, 'a') + flag, 1.6},
        {std::string(40, 'a') + flag, 3.4},
        {"", 1.6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const double start = scheduler.now();
        show(c.text);
        EXPECT_EQ(toast().text(), QString::fromStdString(c.text));
        advanceTo(start + c.hold - 0.001);
        EXPECT_TRUE(fullyShown());
        advanceTo(start + c.hold + 0.351);
        EXPECT_FALSE(toast().isVisible());
    }
}

TEST_F(ToastTest, ANewMessageReplacesTheOldOneAndGetsItsFullTimeEvenDuringTheFade) {
    show("Desktop 2");
    Toast* window = &toast();
    advanceTo(0.5);
    show("Desktop 3");
    EXPECT_EQ(notifier.toast(), window); // the one window, reused
    EXPECT_EQ(toast().text(), "Desktop 3");
    advanceTo(2.099);
    EXPECT_TRUE(fullyShown());
    advanceTo(2.451);
    EXPECT_FALSE(toast().isVisible());

    show("Desktop 4");
    advanceTo(4.3);
    ASSERT_LT(toast().windowOpacity(), 1.0);
    show("Desktop 5");
    EXPECT_TRUE(fullyShown());
    advanceTo(5.899); // past the first fade's end and all its ticks
    EXPECT_TRUE(fullyShown());
    advanceTo(6.251);
    EXPECT_FALSE(toast().isVisible());
}

TEST_F(ToastTest, SizeAndPlaceFollowTheTextAndTheScreen) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    show("Saved");
    const QFontMetrics metrics(label().font());
    const QRect panel = toast().geometry();
    EXPECT_EQ(panel.size(), label().size() + QSize(36, 18));
    EXPECT_EQ(label().pos(), QPoint(18, 9));
    EXPECT_LT(label().height(), 2 * metrics.height()); // one line
    EXPECT_EQ(label().heightForWidth(label().width()), label().height()); // and the label keeps it so
    EXPECT_NEAR(panel.center().x(), area.x() + area.width() / 2.0, 1.0);
    EXPECT_NEAR(panel.y() + panel.height(), area.y() + area.height() * 0.82, 1.0);

    const std::string twoLines = "Quorvel could not move the window to that desktop because it is full screen";
    show(twoLines);
    EXPECT_EQ(label().width(), Toast::kMaxLabelWidth);
    EXPECT_EQ(toast().width(), Toast::kMaxLabelWidth + 36);
    const int twoLineHeight = label().height();
    EXPECT_GT(twoLineHeight, metrics.height() * 3 / 2);
    EXPECT_LT(twoLineHeight, metrics.height() * 5 / 2);
    EXPECT_EQ(label().heightForWidth(label().width()), twoLineHeight); // nothing cut off

    show(repeated(twoLines + " ", 4)); // many lines: cut to the first two
    EXPECT_EQ(label().size(), QSize(Toast::kMaxLabelWidth, twoLineHeight));
    EXPECT_GT(label().heightForWidth(label().width()), twoLineHeight);
    EXPECT_NEAR(toast().geometry().bottom() + 1, area.y() + area.height() * 0.82, 1.0);

    show("");
    EXPECT_EQ(toast().height(), panel.height()); // the empty panel is one line tall
}

TEST_F(ToastTest, PaintsARoundedDarkPanelAndNeverTakesFocus) {
    QWidget focused;
    focused.show();
    focused.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&focused));

    show("Desktop 2");
    QCoreApplication::processEvents();
    EXPECT_TRUE(focused.isActiveWindow());

    const QImage image = toast().grab().toImage();
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0); // rounded corner
    const QRgb inside = image.pixel(6, image.height() / 2);
    EXPECT_NEAR(qAlpha(inside), 235, 2);
    EXPECT_LT(qRed(inside), 40);
}

TEST_F(ToastTest, WithoutACompositorThePanelIsOpaqueToTheEdgeOfItsShapeAndHidesAtOnce) {
    notifier.setCompositing(false);
    show("Desktop 2");
    QCoreApplication::processEvents();
    const QImage image = toast().grab().toImage();
    const QRegion shape = toast().mask();
    ASSERT_FALSE(shape.isEmpty());
    ASSERT_FALSE(shape.contains(QPoint(0, 0))) << "the corners are cut away";
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (shape.contains(QPoint(x, y))) {
                ASSERT_EQ(qAlpha(image.pixel(x, y)), 255) << x << "," << y;
            }
        }
    }
    EXPECT_LT(qRed(image.pixel(1, image.height() / 2)), 40) << "dark to its left edge";

    // No fade: hidden as soon as its time is up.
    advanceTo(1.599);
    EXPECT_TRUE(fullyShown());
    advanceTo(1.601);
    EXPECT_FALSE(toast().isVisible());
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST_F(ToastTest, TheLabelIs14OfQtsPixelsSoAMessageWrapsOnlyPastTheWidthDesigned) {
    // A line a little narrower than the label's maximum in a 14-pixel font (in a 14-point font,
    // a third wider, it would wrap).
    QFont font = QApplication::font();
    font.setPixelSize(14);
    font.setWeight(QFont::Medium);
    const QFontMetrics fourteen(font);
    std::string text = "Moved";
    while (fourteen.horizontalAdvance(QString::fromStdString(text + " to")) < Toast::kMaxLabelWidth - 20) text += " to";
    ASSERT_GT(fourteen.horizontalAdvance(QString::fromStdString(text)) * 4 / 3, Toast::kMaxLabelWidth);

    show(text);
    EXPECT_LT(label().width(), Toast::kMaxLabelWidth);
    EXPECT_LT(label().height(), fourteen.height() * 3 / 2) << "one line";
}

// Answers the alert on screen once it shows with its button `index` from the left, noting its
// icon, title and buttons in order.
struct AlertSeen {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QStringList order;
    QString defaultButton;
};
void answer(AlertSeen& seen, int index) {
    QTimer::singleShot(0, [&seen, index] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen = {box->icon(), box->windowTitle(), {}, box->defaultButton() ? box->defaultButton()->text() : QString()};
        QList<QAbstractButton*> buttons = box->buttons();
        std::sort(buttons.begin(), buttons.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
        for (auto* button : buttons) seen.order << button->text();
        buttons[index]->click();
    });
}

TEST(AlertTest, TheIconFollowsTheKindAndTheButtonsShowInOrderAndAnswerTheOneChosen) {
    SimScheduler scheduler;
    QtUserNotifier notifier(scheduler);
    AlertSeen seen;

    answer(seen, 0);
    notifier.runAlert({"Quorvel isn't compatible with this desktop yet", "Details logged.", {"Quit"}, true});
    EXPECT_EQ(seen.icon, QMessageBox::Critical) << "only a critical alert shows the stop sign";
    answer(seen, 0);
    notifier.runAlert({"Names restored", "", {"OK"}});
    EXPECT_EQ(seen.icon, QMessageBox::Information);

    answer(seen, 1);
    const int answered = notifier.runAlert({"Quorvel cannot see other windows", "Grant access, then try again.",
                                            {"Open Settings", "Quit", "Later"}});
    EXPECT_EQ(seen.icon, QMessageBox::Question) << "a question looks like one";
    EXPECT_EQ(answered, quorvel::kAlertFirstButton + 1);
    EXPECT_EQ(seen.title, "Quorvel");
    EXPECT_EQ(seen.order, (QStringList{"Open Settings", "Quit", "Later"}));
    EXPECT_EQ(seen.defaultButton, "Open Settings");
}
