// The desktop row on Qt: children where the layout tables put them, the mini-map's painted pixels,
// and renaming with real key presses in the line edit.
#include "SpaceRowWidget.h"

#include "Palette.h"
#include "SimScheduler.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace quorvel;
using quorvel::ui::SpaceMiniMapWidget;
using quorvel::ui::SpaceRowWidget;

namespace {

SpaceRowFields fields(SpaceRowStyle style) {
    SpaceRowFields f;
    f.style = style;
    f.spaceID = 3;
    f.index = 3;
    f.placeholder = "Desktop 3";
    f.displayedName = "Desktop 3";
    f.showPencil = true;
    f.showMiniMap = true;
    f.showTiling = true;
    f.miniLayout = {{0, 0, 0.5, 1}};
    return f;
}

QRect child(QWidget& row, const char* name) {
    auto* w = row.findChild<QWidget*>(QString::fromLatin1(name));
    return w ? w->geometry() : QRect();
}

TEST(SpaceRowWidgetTest, ChildrenSitWhereTheLayoutTablesSay) {
    sim::SimScheduler scheduler;
    for (SpaceRowStyle style : {SpaceRowStyle::menu, SpaceRowStyle::panel}) {
        SpaceRowWidget row(fields(style), {}, &scheduler);
        const SpaceRowLayout l = layOutSpaceRow(style, 0, true, true, true, false);
        EXPECT_EQ(row.size(), QSize(int(l.width), int(l.height)));
        EXPECT_EQ(child(row, "marker"), ui::toQtRect(l.marker.frame));
        EXPECT_EQ(child(row, "badge"), ui::toQtRect(l.badge.frame));
        EXPECT_EQ(child(row, "miniMap"), ui::toQtRect(*l.miniMap));
        EXPECT_EQ(child(row, "pencil"), ui::toQtRect(l.pencil->frame));
        EXPECT_EQ(child(row, "tilingButton"), ui::toQtRect(l.tilingButton->frame));
        EXPECT_EQ(child(row, "name"), ui::toQtRect(l.name.frame));
        EXPECT_EQ(row.findChild<QLabel*>("name")->font().pixelSize(), int(l.name.fontSize));
        EXPECT_EQ(row.findChild<QLabel*>("badge")->text(), "3");
    }
    // The menu row's concrete numbers, once, so a wrong table cannot hide behind the function.
    SpaceRowWidget menu(fields(SpaceRowStyle::menu), {}, &scheduler);
    EXPECT_EQ(child(menu, "name"), QRect(96, 4, 128, 20));
    EXPECT_EQ(child(menu, "tilingButton"), QRect(232, 4, 18, 20));
}

TEST(SpaceRowWidgetTest, MiniMapPaintsOutlineAndBlocksInPaletteColours) {
    SpaceMiniMapWidget map({{0, 0, 0.5, 1}}, true);
    map.resize(26, 18);
    QImage image(map.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    map.render(&image, {}, {}, QWidget::DrawChildren);
    const QColor accent = ui::colourFor(map.palette(), ColourRole::accent);
    // Inside the left window's block (inner 2..24 × 2..16; block 2..12.5 × 2.5..16).
    const QColor inBlock = image.pixelColor(6, 9);
    EXPECT_NEAR(inBlock.alphaF(), 0.45, 0.03);
    EXPECT_NEAR(inBlock.red(), accent.red(), 3);
    EXPECT_NEAR(inBlock.blue(), accent.blue(), 3);
    // The right half of the display has no window: transparent inside the outline.
    EXPECT_EQ(image.pixelColor(18, 9).alpha(), 0);
    // The outline along the top edge.
    EXPECT_GT(image.pixelColor(13, 0).alpha(), 100);
    EXPECT_EQ(map.toolTip(), "1 window");
}

TEST(SpaceRowWidgetTest, ReturnRenamesOnceEscapeLeavesAndTheMenuNeverSeesTheKeys) {
    sim::SimScheduler scheduler;
    std::vector<std::optional<std::string>> names;
    std::vector<bool> editStates;
    QWidget window;
    SpaceRowWidget::Callbacks callbacks;
    callbacks.onRename = [&](const std::optional<std::string>& name) { names.push_back(name); };
    callbacks.onEditStateChanged = [&](bool on) { editStates.push_back(on); };
    auto* row = new SpaceRowWidget(fields(SpaceRowStyle::menu), callbacks, &scheduler, &window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    QTest::mouseClick(row, Qt::RightButton, {}, QPoint(150, 14));
    QLineEdit* edit = row->editField();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->geometry(), QRect(96, 4, 198, 20));
    EXPECT_FALSE(row->findChild<QLabel*>("name")->isVisible());
    EXPECT_EQ(child(*row, "underline"), QRect(96, 25, 198, 1));
    EXPECT_EQ(edit->placeholderText(), "Desktop 3");
    QTest::keyClicks(edit, "  Review ");
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(edit, Qt::Key_Return);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0], "Review");

    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_EQ(editStates, (std::vector<bool>{true, false}));
    EXPECT_EQ(row->editField(), nullptr);
    EXPECT_TRUE(row->findChild<QLabel*>("name")->isVisible());
}

TEST(SpaceRowWidgetTest, TilingClickFlashesTheWordForItsTime) {
    sim::SimScheduler scheduler;
    std::vector<TilingOverride> overrides;
    SpaceRowWidget::Callbacks callbacks;
    callbacks.onCycleTiling = [&](TilingOverride value) { overrides.push_back(value); };
    QWidget window;
    auto* row = new SpaceRowWidget(fields(SpaceRowStyle::menu), callbacks, &scheduler, &window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(row, Qt::LeftButton, {}, QPoint(240, 14));
    auto* word = row->findChild<QLabel*>("tilingWord");
    EXPECT_TRUE(word->isVisible());
    EXPECT_EQ(word->text(), "On");
    EXPECT_EQ(overrides, std::vector<TilingOverride>{TilingOverride::on});
    scheduler.advance(Seconds(1.5));
    EXPECT_FALSE(word->isVisible());
}

TEST(SpaceRowWidgetTest, ScreenReadersGetTheLabelAndTheRowsActions) {
    sim::SimScheduler scheduler;
    int switches = 0;
    SpaceRowWidget::Callbacks callbacks;
    callbacks.onSwitch = [&] { ++switches; };
    SpaceRowWidget row(fields(SpaceRowStyle::menu), callbacks, &scheduler);
    QAccessibleInterface* a11y = QAccessible::queryAccessibleInterface(&row);
    ASSERT_NE(a11y, nullptr);
    EXPECT_EQ(a11y->role(), QAccessible::Button);
    EXPECT_EQ(a11y->text(QAccessible::Name), "Desktop 3, 1 window");
    QAccessibleActionInterface* actions = a11y->actionInterface();
    ASSERT_NE(actions, nullptr);
    EXPECT_EQ(actions->actionNames(),
              (QStringList{QAccessibleActionInterface::pressAction(), "Switch", "Rename", "Cycle tiling"}));
    actions->doAction(QAccessibleActionInterface::pressAction());
    actions->doAction("Switch");
    EXPECT_EQ(switches, 2);
    actions->doAction("Rename");
    EXPECT_TRUE(row.row().isEditing());
}

} // namespace
