// The tray menu on Qt (offscreen): items become actions one for one, in-place edits keep an open
// menu open, a row's action text is its full accessible label, a rename typed into a row reaches
// the actions once even when the edit replaces that very row, and the eye cycles the density.
#include "QtTrayView.h"
#include "SpaceRowWidget.h"
#include "TrayMenuWidgets.h"

#include "SimScheduler.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QWidgetAction>

#include <QPointer>
#include <gtest/gtest.h>

#include <algorithm>

using namespace quorvel;
using quorvel::ui::QtTrayView;

namespace {

RowSectionInput oneDisplay() {
    RowSectionInput in;
    RowSectionInput::DisplayRows rows{.label = "Display 1"};
    for (int i = 1; i <= 3; ++i) {
        Space s{.id = SpaceId(i), .index = i, .isCurrent = i == 1};
        rows.spaces.push_back({.space = s, .displayName = "Desktop " + std::to_string(i)});
    }
    in.displays.push_back(rows);
    return in;
}

// Plays the controller's part: a rename replaces the row section in place at once.
struct Actions final : TrayMenuActions {
    QtTrayView* view = nullptr;
    MenuLayout* layout = nullptr;
    RowSectionInput rows = oneDisplay();
    std::vector<std::pair<SpaceId, std::optional<std::string>>> renames;
    std::vector<MenuDensity> densities;
    std::vector<SpaceId> switches;

    void rowSwitch(const Space& s) override { switches.push_back(s.id); }
    void rowRename(const Space& s, const std::optional<std::string>& name) override {
        renames.emplace_back(s.id, name);
        rows.displays[0].spaces[s.index - 1].displayName = name.value_or("Desktop " + std::to_string(s.index));
        view->applyEdit(layout->replaceRows(makeSpaceRowItems(rows)));
    }
    void rowCycleTiling(const Space&, TilingOverride) override {}
    void rowEditStateChanged(const Space&, bool) override {}
    void indicatorSwitch(const Space& s) override { switches.push_back(s.id); }
    void cycleDensity(MenuDensity next) override { densities.push_back(next); }
    void editToggled(bool on) override { editToggles.push_back(on); }
    std::vector<bool> editToggles;
    void tilingToggled(bool) override {}
    void perform(MenuCommand) override {}
    void focusDisplayChosen(const std::string& displayId) override { focusChoices.push_back(displayId); }
    std::vector<std::string> focusChoices;
    void menuClosed() override { ++closes; }
    int closes = 0;
};

class QtTrayViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        actions.view = &view;
        actions.layout = &layout;
        std::vector<Space> spaces;
        for (const auto& r : actions.rows.displays[0].spaces) spaces.push_back(r.space);
        MenuItem indicator{.kind = MenuItemKind::indicator, .title = "Menu detail"};
        indicator.indicator = makeIndicator(spaces, MenuDensity::full);
        layout = MenuLayout::build(indicator, makeSpaceRowItems(actions.rows),
                                   makeMenuTail({.density = MenuDensity::full}));
        view.createStatusItem(actions);
        view.setMenu(layout.items());
        view.popUpMenu({100, 100});
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.menu()));
    }
    QWidget* widgetAt(int index) {
        auto* action = qobject_cast<QWidgetAction*>(view.menu()->actions().at(index));
        return action ? action->defaultWidget() : nullptr;
    }
    void expectMatchesLayout() {
        const QList<QAction*> shown = view.menu()->actions();
        ASSERT_EQ(shown.size(), qsizetype(layout.items().size()));
        for (std::size_t i = 0; i < layout.items().size(); ++i) {
            const MenuItem& item = layout.items()[i];
            EXPECT_EQ(shown[qsizetype(i)]->isSeparator(), item.kind == MenuItemKind::separator) << i;
            if (item.kind != MenuItemKind::separator) {
                EXPECT_EQ(shown[qsizetype(i)]->text().toStdString(), item.title) << i;
            }
        }
    }

    sim::SimScheduler scheduler;
    QtTrayView view{scheduler};
    MenuLayout layout;
    Actions actions;
};

TEST_F(QtTrayViewTest, EveryItemIsAnActionAndRowsCarryTheirAccessibleLabel) {
    expectMatchesLayout();
    EXPECT_EQ(view.menu()->actions().at(2)->text(), "Desktop 1 — current desktop");
    EXPECT_EQ(view.menu()->actions().at(3)->text(), "Desktop 2, empty");
    EXPECT_NE(dynamic_cast<ui::SpaceRowWidget*>(widgetAt(3)), nullptr);
    EXPECT_NE(dynamic_cast<ui::IndicatorWidget*>(widgetAt(0)), nullptr);
}

// Keys go where the user's keyboard sends them: the focus widget, else the open menu itself.
void press(Qt::Key key) {
    QWidget* target = QApplication::focusWidget();
    if (!target) target = QApplication::activePopupWidget();
    ASSERT_NE(target, nullptr) << "no window takes keys";
    QTest::keyClick(target, key);
}

TEST_F(QtTrayViewTest, ARenameTypedIntoTheOpenMenuKeepsTheKeysInTheFieldAndReplacesTheRowsOnce) {
    auto* row = dynamic_cast<ui::SpaceRowWidget*>(widgetAt(3));
    ASSERT_NE(row, nullptr);
    QTest::mouseClick(row, Qt::RightButton, {}, QPoint(150, 14));
    QLineEdit* edit = row->editField();
    ASSERT_NE(edit, nullptr);
    ASSERT_EQ(QApplication::focusWidget(), edit);
    QTest::keyClicks(edit, "Research");
    QAction* const active = view.menu()->activeAction();
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up, Qt::Key_PageDown, Qt::Key_PageUp, Qt::Key_Tab,
                        Qt::Key_Backtab}) {
        press(key);
        EXPECT_EQ(QApplication::focusWidget(), edit) << "after key " << key;
        EXPECT_EQ(view.menu()->activeAction(), active) << "the menu's selection moved after key " << key;
    }
    press(Qt::Key_Return);                 // replaces the row that handles the key
    QTest::keyClick(edit, Qt::Key_Return); // the old row, still alive until the loop turns
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(actions.renames.size(), 1u);
    EXPECT_EQ(actions.renames[0].second, "Research");
    EXPECT_TRUE(actions.switches.empty()) << "no other row was triggered";
    EXPECT_TRUE(view.menu()->isVisible());
    expectMatchesLayout();
    EXPECT_EQ(view.menu()->actions().at(3)->text(), "Research, empty");
}

TEST_F(QtTrayViewTest, TheSwitchesNeverTakeTheKeyboardSoSpaceCannotFlipThem) {
    ui::ToggleRowWidget* toggles = nullptr;
    for (int i = 0; i < view.menu()->actions().size() && !toggles; ++i)
        toggles = dynamic_cast<ui::ToggleRowWidget*>(widgetAt(i));
    ASSERT_NE(toggles, nullptr);
    QTest::mouseClick(toggles->editSwitch(), Qt::LeftButton);
    ASSERT_EQ(actions.editToggles, std::vector<bool>{true});
    press(Qt::Key_Space);
    EXPECT_EQ(actions.editToggles, std::vector<bool>{true}) << "Space flipped the switch last clicked";

    // After a rename its row goes, and with it the field that had the keyboard.
    auto* row = dynamic_cast<ui::SpaceRowWidget*>(widgetAt(3));
    ASSERT_NE(row, nullptr);
    QTest::mouseClick(row, Qt::RightButton, {}, QPoint(150, 14));
    ASSERT_NE(row->editField(), nullptr);
    QTest::keyClicks(row->editField(), "Research");
    press(Qt::Key_Return);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(actions.renames.size(), 1u);
    press(Qt::Key_Space);
    EXPECT_EQ(actions.editToggles, std::vector<bool>{true});
    EXPECT_TRUE(toggles->editSwitch()->isChecked());
    EXPECT_FALSE(toggles->tilingSwitch()->isChecked());
    EXPECT_TRUE(view.menu()->isVisible());
}

TEST_F(QtTrayViewTest, ClosingTheMenuIsReportedOnALaterTurn) {
    view.closeMenu();
    EXPECT_EQ(actions.closes, 0) << "not from inside the menu's own hiding";
    QCoreApplication::processEvents();
    EXPECT_EQ(actions.closes, 1);
}

TEST_F(QtTrayViewTest, TheEyeAsksForTheNextDensityAndANumberSwitches) {
    QWidget* indicator = widgetAt(0);
    ASSERT_NE(indicator, nullptr);
    QTest::mouseClick(indicator, Qt::LeftButton, {}, QPoint(275, 14));
    EXPECT_EQ(actions.densities, std::vector<MenuDensity>{MenuDensity::focused});
    QTest::mouseClick(indicator, Qt::LeftButton, {}, QPoint(14 + 24 + 11, 14));
    EXPECT_EQ(actions.switches, std::vector<SpaceId>{2});
    EXPECT_TRUE(view.menu()->isVisible());
}

TEST_F(QtTrayViewTest, TheFocusDisplaySubmenuChecksTheMainDisplayAndReportsTheChoice) {
    const auto item = makeFocusDisplayItem({{"BOE-0a1b-00000000", "eDP-1", true}, {"DUMMY1", "DUMMY1", false}});
    ASSERT_TRUE(item);
    view.applyEdit(layout.replaceTail(makeMenuTail({.density = MenuDensity::full, .focusDisplayItem = item})));
    expectMatchesLayout();
    const QList<QAction*> shown = view.menu()->actions();
    const auto focus = std::find_if(shown.begin(), shown.end(), [](QAction* a) { return a->text() == "Focus Display"; });
    ASSERT_NE(focus, shown.end());
    QMenu* submenu = (*focus)->menu();
    ASSERT_NE(submenu, nullptr);
    ASSERT_EQ(submenu->actions().size(), 2);
    EXPECT_TRUE(submenu->actions()[0]->isChecked());
    EXPECT_FALSE(submenu->actions()[1]->isChecked());
    submenu->actions()[1]->trigger();
    EXPECT_EQ(actions.focusChoices, std::vector<std::string>{"DUMMY1"});
    // Replacing the tail takes the submenu with it.
    QPointer<QMenu> gone = submenu;
    view.applyEdit(layout.replaceTail(makeMenuTail({.density = MenuDensity::full})));
    // The action goes on a later turn, and its submenu on the one after.
    for (int turn = 0; turn < 2; ++turn) QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(gone.isNull());
}

TEST_F(QtTrayViewTest, TheIconDrawsTheNumberAndARingWhileTheDesktopTiles) {
    const QPalette palette;
    const QImage plain = ui::trayIconImage({.text = "Mail", .iconText = "2"}, palette, 44);
    const QImage ringed = ui::trayIconImage({.text = "◎ Mail", .iconText = "2", .tilingMark = true}, palette, 44);
    const QImage other = ui::trayIconImage({.text = "Code", .iconText = "3"}, palette, 44);
    EXPECT_NE(plain, other) << "the number is drawn";
    // The ring runs through the tile's left edge area, away from the digit.
    EXPECT_NE(plain.pixelColor(8, 22), ringed.pixelColor(8, 22));
    EXPECT_EQ(plain.pixelColor(0, 0).alpha(), 0);
}

} // namespace
