// The summon palette's Qt window: rows drawn from the content (names, "launch", the selection's
// style), the field's keys routed to the palette or edited, hovers and clicks reported by row, the
// lost focus, and the usable area of the monitor under the pointer.
#include "QtPaletteWindow.h"

#include "SimPlatform.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace quorvel;

namespace {

constexpr double kRow = 34;

// What SummonPalette would show for `names` at (x, y): the field on top, the rows below it.
PaletteContent contentFor(const std::vector<std::string>& names, int selected, double x = 120, double y = 90,
                          double visibleRows = 10) {
    PaletteContent content;
    const double listHeight = kRow * double(names.size());
    const double shown = std::min(listHeight, kRow * visibleRows);
    content.frame = {x, y, 380, names.empty() ? 44 : 44 + 8 + shown};
    content.fieldFrame = {16, 0, 348, 44};
    content.listFrame = {0, 44, 380, names.empty() ? 0 : shown + 8};
    content.listHeight = listHeight;
    content.placeholder = "Summon an app to this desktop";
    for (std::size_t i = 0; i < names.size(); ++i)
        content.rows.push_back({.name = names[i],
                                .icon = i == 0 ? "utilities-terminal" : "",
                                .selected = int(i) == selected,
                                .showsLaunch = i % 2 == 1,
                                .frame = {0, kRow * double(i), 380, kRow}});
    return content;
}

class QtPaletteWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        handlers.onKey = [this](PaletteKey key) {
            keys.push_back(key);
            if (key == PaletteKey::escape) palette.reset(); // the owner drops the palette at once
            return key != PaletteKey::returnKey;           // Return left to the field, to see it pass
        };
        handlers.onTextChanged = [this](const std::string& text) { texts.push_back(text); };
        handlers.onRowClicked = [this](int row) { clicked.push_back(row); };
        handlers.onRowHovered = [this](int row) { hovered.push_back(row); };
        handlers.onFocusLost = [this] { ++focusLost; };
        palette = factory.createPalette(handlers);
    }
    void TearDown() override {
        palette.reset();
        QApplication::processEvents(); // the window goes with deleteLater
    }

    QWidget* window() const { return static_cast<ui::QtPaletteWindow&>(*palette).window(); }
    QList<QWidget*> rows() const {
        return window()->findChildren<QWidget*>(QStringLiteral("paletteRow"));
    }
    QLineEdit* field() const { return window()->findChild<QLineEdit*>(QStringLiteral("paletteField")); }
    void show(const PaletteContent& content) {
        palette->setContent(content);
        palette->present(0);
        window()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window()));
    }
    static QLabel* label(QWidget* row, const char* name) { return row->findChild<QLabel*>(QString::fromLatin1(name)); }
    // The row's colour where the highlight lies and no label covers it, over the window's background.
    static QColor highlightAt(QWidget* row) { return row->grab().toImage().pixelColor(9, 17); }
    // `top` at `alpha` over `bottom`, give or take rounding.
    static bool blended(const QColor& seen, const QColor& top, double alpha, const QColor& bottom) {
        auto near = [&](int s, int t, int b) { return std::abs(s - (b + alpha * (t - b))) <= 3; };
        return near(seen.red(), top.red(), bottom.red()) && near(seen.green(), top.green(), bottom.green()) &&
               near(seen.blue(), top.blue(), bottom.blue());
    }

    ui::QtPaletteWindowFactory factory;
    PaletteView::Handlers handlers;
    std::unique_ptr<PaletteView> palette;
    std::vector<PaletteKey> keys;
    std::vector<std::string> texts;
    std::vector<int> clicked;
    std::vector<int> hovered;
    int focusLost = 0;
};

TEST_F(QtPaletteWindowTest, DrawsTheRowsOfItsContentInTheGivenFrame) {
    show(contentFor({"XTerm", "Text Editor", "A name far too long to fit in the palette's row at this size"}, 0));
    EXPECT_EQ(window()->geometry(), QRect(120, 90, 380, 44 + 8 + 3 * 34));
    EXPECT_EQ(field()->geometry(), QRect(16, 0, 348, 44));
    EXPECT_TRUE(field()->hasFocus());

    const QList<QWidget*> shown = rows();
    ASSERT_EQ(shown.size(), 3);
    EXPECT_EQ(label(shown[0], "paletteRowName")->text(), QStringLiteral("XTerm"));
    EXPECT_EQ(shown[1]->geometry().topLeft(), QPoint(0, 34));
    // "launch" only for applications that are not running.
    EXPECT_EQ(label(shown[0], "paletteRowLaunch"), nullptr);
    ASSERT_NE(label(shown[1], "paletteRowLaunch"), nullptr);
    EXPECT_EQ(label(shown[1], "paletteRowLaunch")->text(), QStringLiteral("launch"));
    // A long name is cut at its tail and kept whole in the tool tip.
    QLabel* longName = label(shown[2], "paletteRowName");
    EXPECT_TRUE(longName->text().endsWith(QChar(0x2026))) << longName->text().toStdString();
    EXPECT_TRUE(longName->toolTip().startsWith(QStringLiteral("A name far")));

    // The selected row: semibold name in the accent colour over a faint accent highlight.
    const QColor accent = window()->palette().color(QPalette::Active, QPalette::Highlight);
    const QColor background = window()->palette().color(QPalette::Active, QPalette::Window);
    auto isSelected = [&](QWidget* row) {
        QLabel* name = label(row, "paletteRowName");
        return name->font().weight() == QFont::DemiBold && name->palette().color(QPalette::WindowText) == accent &&
               blended(highlightAt(row), accent, 0.22, background);
    };
    auto isPlain = [&](QWidget* row) {
        QLabel* name = label(row, "paletteRowName");
        return name->font().weight() == QFont::Normal && name->palette().color(QPalette::WindowText) != accent &&
               highlightAt(row) == background;
    };
    EXPECT_TRUE(isSelected(shown[0]));
    EXPECT_TRUE(isPlain(shown[1]));

    palette->setSelection(2);
    EXPECT_TRUE(isPlain(shown[0]));
    EXPECT_TRUE(isSelected(shown[2]));
}

TEST_F(QtPaletteWindowTest, GrowsAndShrinksWithItsContentAndScrollsToTheSelection) {
    std::vector<std::string> many;
    for (int i = 0; i < 30; ++i) many.push_back("App " + std::to_string(i));
    auto* list = window()->findChild<QScrollArea*>(QStringLiteral("paletteList"));
    QScrollBar* bar = list->verticalScrollBar();
    // Content that asks for a row far down before the window is first shown.
    PaletteContent content = contentFor(many, 0, 120, 90, 5);
    content.scrollTo = 20;
    show(content);
    QApplication::processEvents();
    EXPECT_TRUE(bar->isVisible());
    EXPECT_GE(bar->value(), 20 * 34 + 34 - list->viewport()->height());
    EXPECT_LE(bar->value(), 20 * 34);
    palette->setSelection(29);
    EXPECT_EQ(bar->value(), bar->maximum());
    palette->setSelection(0);
    EXPECT_EQ(bar->value(), 0);

    // No matches: the field alone, no list, no scroll bar.
    palette->setContent(contentFor({}, 0));
    EXPECT_EQ(window()->geometry(), QRect(120, 90, 380, 44));
    EXPECT_FALSE(list->isVisible());
    palette->setContent(contentFor({"XTerm"}, 0));
    QApplication::processEvents();
    EXPECT_EQ(window()->height(), 44 + 8 + 34);
    EXPECT_FALSE(list->verticalScrollBar()->isVisible());
}

TEST_F(QtPaletteWindowTest, NavigationKeysGoToThePaletteAndOthersEditTheField) {
    show(contentFor({"XTerm", "Text Editor"}, 0));
    QTest::keyClick(field(), Qt::Key_Down);
    QTest::keyClick(field(), Qt::Key_Up);
    QTest::keyClick(field(), Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClicks(field(), "te");
    EXPECT_EQ((std::vector<PaletteKey>{PaletteKey::down, PaletteKey::up, PaletteKey::keypadEnter}), keys);
    EXPECT_EQ(field()->text(), QStringLiteral("te"));
    EXPECT_EQ((std::vector<std::string>{"t", "te"}), texts);
    // A key the palette leaves alone reaches the field (Return on a line edit changes nothing).
    QTest::keyClick(field(), Qt::Key_Return);
    EXPECT_EQ(keys.back(), PaletteKey::returnKey);
    EXPECT_EQ(field()->text(), QStringLiteral("te"));
    // The server's time of the last key press is kept: the launch it leads to carries it.
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    down.setTimestamp(4242);
    QApplication::sendEvent(field(), &down);
    EXPECT_EQ(palette->lastInputTime(), 4242u);
    // Presented again, it starts from an empty field without reporting that.
    palette->close(false);
    texts.clear();
    palette->present(0);
    EXPECT_TRUE(field()->text().isEmpty());
    EXPECT_TRUE(texts.empty());

    // Escape: the owner drops the palette from inside the key's report; nothing is left behind.
    QPointer<QWidget> gone = window();
    QTest::keyClick(field(), Qt::Key_Escape);
    EXPECT_EQ(palette, nullptr);
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(gone.isNull());
}

TEST_F(QtPaletteWindowTest, HoveringAndPressingRowsReportTheirIndexButRowsAppearingUnderThePointerDoNot) {
    show(contentFor({"XTerm", "Text Editor", "Files"}, 0));
    QApplication::processEvents();
    QTest::mouseMove(rows()[1], QPoint(100, 17));
    QTest::mouseMove(rows()[2], QPoint(100, 17));
    QTest::mousePress(rows()[2], Qt::LeftButton, {}, QPoint(200, 10));
    QTest::mouseRelease(rows()[2], Qt::LeftButton, {}, QPoint(200, 10));
    EXPECT_EQ((std::vector<int>{1, 2}), hovered);
    EXPECT_EQ(std::vector<int>{2}, clicked);
    EXPECT_NE(palette->lastInputTime(), 0u); // the click's time

    // Typing rebuilds the rows under the resting pointer: the selection stays where typing put it.
    palette->setContent(contentFor({"Text Editor", "Terminal", "Files"}, 0));
    QApplication::processEvents();
    EXPECT_EQ((std::vector<int>{1, 2}), hovered);
    // Moving the pointer onto a row selects it again.
    QTest::mouseMove(rows()[1], QPoint(100, 17));
    EXPECT_EQ((std::vector<int>{1, 2, 1}), hovered);
}

TEST_F(QtPaletteWindowTest, WithoutACompositingManagerTheWindowIsCutToItsRoundedCorners) {
    show(contentFor({"XTerm", "Text Editor"}, 0));
    EXPECT_TRUE(window()->mask().isEmpty()); // blended by the compositing manager
    factory.setCompositing(false);           // it went away while the palette is open
    const QRegion shape = window()->mask();
    EXPECT_FALSE(shape.contains(QPoint(1, 1)));
    EXPECT_FALSE(shape.contains(QPoint(window()->width() - 2, window()->height() - 2)));
    EXPECT_TRUE(shape.contains(QPoint(12, 1)));
    EXPECT_TRUE(shape.contains(QPoint(1, 20)));
    // A taller content: the shape follows the new size.
    palette->setContent(contentFor({"XTerm", "Text Editor", "Files", "Notes"}, 0));
    EXPECT_TRUE(window()->mask().contains(QPoint(190, window()->height() - 1)));
    EXPECT_FALSE(window()->mask().contains(QPoint(1, window()->height() - 2)));
    // Windows made later start without one too.
    auto later = factory.createPalette({});
    later->setContent(contentFor({"XTerm"}, 0));
    EXPECT_FALSE(static_cast<ui::QtPaletteWindow&>(*later).window()->mask().isEmpty());
}

TEST_F(QtPaletteWindowTest, ReportsTheLostFocusOnceAndNotAfterClosing) {
    show(contentFor({"XTerm"}, 0));
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_EQ(focusLost, 1);

    // Closed by the owner: going away is no lost focus.
    show(contentFor({"XTerm"}, 0));
    palette->close(false);
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_FALSE(palette->isVisible());
    EXPECT_EQ(focusLost, 1);
}

TEST(QtPaletteWindowFactoryTest, AreaIsTheUsablePartOfTheMonitorUnderThePointer) {
    sim::SimPlatform sim;
    sim.world.addDisplay({.uuid = "LEFT", .bounds = {0, 0, 400, 600}, .topInset = 24});
    const std::size_t right = sim.world.addDisplay({.uuid = "RIGHT", .bounds = {400, 0, 400, 600}, .topInset = 0,
                                                    .bottomInset = 40});
    (void)right;
    ui::QtPaletteWindowFactory factory(nullptr, &sim.screens);
    sim.world.pointer = {500, 300};
    EXPECT_EQ(factory.paletteArea(), (Rect{400, 0, 400, 560}));
    sim.world.pointer = {10, 10};
    EXPECT_EQ(factory.paletteArea(), (Rect{0, 24, 400, 576}));
    // Pointer outside every monitor: the primary one.
    sim.world.pointer = {5000, 5000};
    EXPECT_EQ(factory.paletteArea(), (Rect{0, 24, 400, 576}));
}

TEST(QtPaletteIconsTest, WithoutADesktopThemeIconsComeFromAnInstalledFullTheme) {
    // As on X without a desktop environment: the icon folders of the data folders, hicolor only.
    // (The offscreen platform knows only Qt's own resources.)
    QIcon::setThemeSearchPaths(QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                                         QStandardPaths::LocateDirectory) +
                               QIcon::themeSearchPaths());
    QIcon::setThemeName(QStringLiteral("hicolor"));
    bool adwaita = false;
    for (const QString& folder : QIcon::themeSearchPaths())
        adwaita = adwaita || QFileInfo::exists(folder + QStringLiteral("/Adwaita/index.theme"));
    if (!adwaita) GTEST_SKIP() << "no Adwaita icon theme installed";
    ui::useInstalledIconThemeAsFallback();
    EXPECT_FALSE(QIcon::fromTheme(QStringLiteral("utilities-terminal")).isNull());
    EXPECT_FALSE(QIcon::fromTheme(QStringLiteral("application-x-executable")).isNull());
}

} // namespace
