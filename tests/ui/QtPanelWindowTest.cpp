// The switcher panel's Qt window driven by the real controller on the simulator: the content
// where the controller puts it, keys from the content and from a row's edit field, renaming with
// the keyboard alone (the field keeps the keys while it is open), and the buttons.
#include "QtPanelWindow.h"

#include "SimServices.h"
#include "SpaceRowWidget.h"
#include "menubar/PanelController.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

using namespace quorvel;

namespace {

// The window manager as the panel sees it: which window is active, and to which the panel gave
// the focus back.
class FakeWindowManager final : public ui::PanelWindowManager {
public:
    WindowId active = 0;
    std::vector<WindowId> givenBack;

    void prepare(WindowId) override {}
    void activate(WindowId window, InputTime) override { active = window; }
    WindowId activeWindow() override { return active; }
    void giveFocusBack(WindowId window) override {
        givenBack.push_back(window);
        active = window;
    }
};

// Keeps the numbers of its live copies (each copy has its own): a handler holding one can tell,
// after a call that may have destroyed it, whether it still exists, without touching it.
struct LiveCopies {
    std::shared_ptr<std::set<int>> live = std::make_shared<std::set<int>>();
    std::shared_ptr<int> copies = std::make_shared<int>(0);
    int number = 0;
    LiveCopies() { live->insert(number); }
    LiveCopies(const LiveCopies& other) : live(other.live), copies(other.copies), number(++*copies) {
        live->insert(number);
    }
    LiveCopies& operator=(const LiveCopies&) = delete;
    ~LiveCopies() { live->erase(number); }
};

class QtPanelWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim.world.addDisplay({.uuid = "MAIN-UUID", .bounds = {0, 0, 1920, 1080}, .spaceCount = 4});
        core = std::make_unique<CoreServices>(sim::platformServices(sim));
        controller = std::make_unique<PanelController>(panels, core->spaces, core->labels, core->settings,
                                                       core->coordinator);
    }
    void TearDown() override {
        controller.reset();
        QApplication::processEvents(); // windows and contents go with deleteLater
    }

    // Opens the panel and waits until it is the active window.
    QWidget* open() {
        controller->toggle();
        QWidget* window = QApplication::topLevelWidgets().isEmpty() ? nullptr : find();
        if (window) {
            window->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        }
        return window;
    }
    static QWidget* find() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "switcherPanel" && w->isVisible()) return w;
        return nullptr;
    }
    static QWidget* content() {
        QWidget* window = find();
        return window ? window->findChild<QWidget*>("panelContent", Qt::FindDirectChildrenOnly) : nullptr;
    }
    // The rows of the current content, top to bottom (the row widget has no meta-object of its
    // own, so it is found by name).
    static QList<ui::SpaceRowWidget*> rows() {
        QList<ui::SpaceRowWidget*> out;
        for (QWidget* w : content()->findChildren<QWidget*>("spaceRow", Qt::FindDirectChildrenOnly))
            out.push_back(dynamic_cast<ui::SpaceRowWidget*>(w));
        std::sort(out.begin(), out.end(), [](QWidget* a, QWidget* b) { return a->y() < b->y(); });
        return out;
    }
    SpaceId desktop(std::size_t position) const { return sim.world.displays().at(0).spaces.at(position).id; }

    sim::SimPlatform sim;
    ui::QtPanelWindowFactory panels{nullptr, &sim.scheduler};
    std::unique_ptr<CoreServices> core;
    std::unique_ptr<PanelController> controller;
};

TEST_F(QtPanelWindowTest, TheContentSitsWhereTheControllerPutsItAndReportsKeysAndButtons) {
    std::vector<SpaceId> switched;
    int settings = 0;
    controller->onSwitch = [&](const Space& space) { switched.push_back(space.id); };
    controller->onOpenSettings = [&] { ++settings; };
    QWidget* window = open();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->windowTitle(), "Quorvel");
    EXPECT_EQ(window->size(), QSize(360, 264));
    ASSERT_EQ(rows().size(), 4);
    EXPECT_EQ(rows()[3]->geometry(), QRect(0, 164, 360, 40));
    EXPECT_EQ(content()->findChild<QLabel*>("panelTitle")->font().pixelSize(), 16);
    EXPECT_EQ(QApplication::focusWidget(), content()); // the keys go to the content

    QTest::keyClick(content(), Qt::Key_Up);
    QTest::keyClick(content(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(switched, std::vector<SpaceId>{desktop(3)});
    QTest::mouseClick(content()->findChild<QPushButton*>("settingsButton"), Qt::LeftButton);
    EXPECT_EQ(settings, 1);
}

TEST_F(QtPanelWindowTest, ClosingGivesTheFocusBackOnlyWhileThePanelOrNoWindowHasIt) {
    FakeWindowManager manager;
    ui::QtPanelWindowFactory factory{&manager, &sim.scheduler};
    PanelController panel(factory, core->spaces, core->labels, core->settings, core->coordinator);
    constexpr WindowId editor = 0x200001;
    constexpr WindowId browser = 0x400001;

    // Closed while it has the focus: the editor, active before it opened, gets it back.
    manager.active = editor;
    panel.toggle();
    ASSERT_TRUE(panel.isVisible());
    EXPECT_NE(manager.active, editor); // the panel took it
    panel.toggle();
    EXPECT_EQ(manager.givenBack, std::vector<WindowId>{editor});

    // The user went to the browser while the panel was open: it keeps the focus.
    manager.givenBack.clear();
    manager.active = editor;
    panel.toggle();
    manager.active = browser;
    panel.toggle();
    EXPECT_FALSE(panel.isVisible());
    EXPECT_TRUE(manager.givenBack.empty());
    EXPECT_EQ(manager.active, browser);

    // The same for the close button.
    manager.active = editor;
    panel.toggle();
    manager.active = browser;
    ASSERT_TRUE(find());
    find()->close();
    EXPECT_FALSE(panel.isVisible());
    EXPECT_TRUE(manager.givenBack.empty());

    // No window has the focus: the editor gets it.
    manager.givenBack.clear();
    manager.active = editor;
    panel.toggle();
    manager.active = 0;
    panel.hide();
    EXPECT_EQ(manager.givenBack, std::vector<WindowId>{editor});
}

TEST_F(QtPanelWindowTest, AHandlerThatReplacesTheContentOutlivesItsOwnCall) {
    // An arrow key rebuilds the content from inside the content's key handler.
    PanelContent content;
    content.size = {360, 120};
    std::unique_ptr<ui::QtPanelWindow> window;
    const LiveCopies probe;
    bool intactAfterTheCall = false;
    int keys = 0;
    PanelView::Handlers handlers;
    handlers.onKeyDown = [probe, &window, &content, &intactAfterTheCall, &keys](PanelKey) {
        ++keys;
        const auto live = probe.live;
        const int self = probe.number;
        window->setContent(content);
        intactAfterTheCall = live->contains(self);
        return true;
    };
    window = std::make_unique<ui::QtPanelWindow>(std::move(handlers), nullptr, &sim.scheduler);
    window->setContent(content);
    window->present(0);
    QWidget* first = window->window()->findChild<QWidget*>("panelContent", Qt::FindDirectChildrenOnly);
    ASSERT_TRUE(first);

    QTest::keyClick(first, Qt::Key_Down);
    EXPECT_EQ(keys, 1);
    EXPECT_TRUE(intactAfterTheCall);

    // The replaced content, not yet deleted, reports nowhere; the new one does.
    QWidget* second = window->window()->findChild<QWidget*>("panelContent", Qt::FindDirectChildrenOnly);
    ASSERT_TRUE(second);
    ASSERT_NE(second, first);
    QTest::keyClick(first, Qt::Key_Down);
    EXPECT_EQ(keys, 1);
    QTest::keyClick(second, Qt::Key_Down);
    EXPECT_EQ(keys, 2);
    EXPECT_TRUE(intactAfterTheCall);
    window.reset();
}

// Renaming with the keyboard alone: while the field is open, arrows, Tab and clicks around it
// leave the keys in it; Return stores the name, Escape keeps the old one and the next closes.
TEST_F(QtPanelWindowTest, ARowIsRenamedWithTheKeyboardAloneAndItsFieldKeepsTheKeysWhileOpen) {
    core->labels.setLabel("Old", desktop(1));
    ASSERT_TRUE(open());
    QTest::keyClick(content(), Qt::Key_Down);
    EXPECT_EQ(controller->selectedIndex(), 1);
    QTest::mouseClick(rows()[1], Qt::RightButton, {}, QPoint(200, 20));
    QApplication::processEvents(); // renaming starts once the new content is in place
    ASSERT_TRUE(rows()[1]->editField());
    const auto fieldHasTheFocus = [&] {
        return rows()[1]->editField() && QApplication::focusWidget() == rows()[1]->editField();
    };
    ASSERT_TRUE(fieldHasTheFocus());
    EXPECT_EQ(rows()[1]->editField()->selectedText(), "Old");

    // Down, Tab and Backtab in the field stay in the field.
    QTest::keyClick(rows()[1]->editField(), Qt::Key_Down);
    EXPECT_EQ(controller->selectedIndex(), 1);
    QTest::keyClick(rows()[1]->editField(), Qt::Key_Tab);
    EXPECT_TRUE(fieldHasTheFocus());
    QTest::keyClick(rows()[1]->editField(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(fieldHasTheFocus());
    // A click on the title, on the background between the rows' boxes and on another row's
    // background leaves the focus where it is.
    QTest::mouseClick(content()->findChild<QLabel*>("panelTitle"), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(fieldHasTheFocus());
    QTest::mouseClick(content(), Qt::LeftButton, {}, QPoint(3, rows()[2]->y() + 20));
    EXPECT_TRUE(fieldHasTheFocus());
    QTest::mouseClick(rows()[3], Qt::LeftButton, {}, QPoint(200, 20));
    EXPECT_TRUE(fieldHasTheFocus());

    // Return still reaches the field and stores the name; the content has the keys again.
    QTest::keyClicks(QApplication::focusWidget(), "Mail");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(core->labels.label(desktop(1)), "Mail");
    EXPECT_EQ(rows()[1]->findChild<QLabel*>("name")->text(), "Mail");
    EXPECT_FALSE(rows()[1]->editField());
    EXPECT_EQ(QApplication::focusWidget(), content());

    // Escape after typing and a click: the name stays, and the next Escape closes the panel.
    QTest::mouseClick(rows()[2], Qt::RightButton, {}, QPoint(200, 20));
    QApplication::processEvents();
    ASSERT_TRUE(rows()[2]->editField());
    QTest::keyClicks(rows()[2]->editField(), "Junk");
    QTest::mouseClick(content()->findChild<QLabel*>("panelTitle"), Qt::LeftButton, {}, QPoint(10, 10));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_FALSE(rows()[2]->editField());
    EXPECT_EQ(core->labels.label(desktop(2)), std::nullopt);
    EXPECT_TRUE(controller->isVisible());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(controller->isVisible());
}

} // namespace
