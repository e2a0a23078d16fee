// The settings window in Qt, offscreen, over the simulated machine: every control writes its
// setting with the exact stored value and tells the delegate; the tabs; Clear All Custom Names;
// the window's own buttons and keys.
#include "QtSettingsWindow.h"
#include "SettingsArt.h"
#include "SimServices.h"
#include "settingsui/SettingsWindowController.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace quorvel;

class QtSettingsWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim.world.addDisplay({.uuid = "MAIN-UUID", .spaceCount = 3});
        core = std::make_unique<CoreServices>(platform);
        controller = makeController();
    }
    std::unique_ptr<SettingsWindowController> makeController() {
        auto made = std::make_unique<SettingsWindowController>(SettingsWindowController::Dependencies{
            .views = &windows, .settings = core->settings, .labels = core->labels,
            .launchAtLogin = &sim.launchAtLogin, .log = sim.log});
        made->onModeChanged = [this] { fired.push_back("mode"); };
        made->onRefresh = [this] { fired.push_back("refresh"); };
        made->onToggleTiling = [this] { fired.push_back("tiling"); };
        made->onEditShortcuts = [this] { fired.push_back("shortcuts"); };
        made->onQuit = [this] { fired.push_back("quit"); };
        return made;
    }
    QWidget* open() {
        controller->show();
        return windows.window->widget();
    }
    template <class W>
    W* find(const char* name) {
        return windows.window->widget()->findChild<W*>(name);
    }
    QStringList tabTexts() {
        QStringList texts;
        auto* tabs = find<QTabWidget>("tabs");
        for (int i = 0; i < tabs->count(); ++i) texts << tabs->tabText(i);
        return texts;
    }

    sim::SimPlatform sim;
    PlatformServices platform = sim::platformServices(sim);
    std::unique_ptr<CoreServices> core;
    ui::QtSettingsWindowFactory windows;
    std::unique_ptr<SettingsWindowController> controller;
    std::vector<std::string> fired;
};

struct ControlCase {
    const char* control;    // object name
    int item;               // pop-up item; for a check box or button ignored
    const char* key;        // what the control writes
    Json stored;            // with exactly this value
    const char* callback;   // and whom it tells, or null
    std::optional<DiagramKind> picture = std::nullopt;
};

TEST_F(QtSettingsWindowTest, EveryControlWritesItsExactStoredValueAndTellsTheDelegate) {
    sim.defaults.set(Settings::stripDevKey, true);
    open();
    const std::vector<ControlCase> cases = {
        {"accessMode", 0, "app_mode", "hotkey", "mode", diagram::AccessMode{.menuBar = false}},
        {"accessMode", 1, "app_mode", "menubar", "mode", diagram::AccessMode{.menuBar = true}},
        {"naming", 1, "naming_mode", "manual", "refresh", diagram::Naming{.automatic = false}},
        {"naming", 0, "naming_mode", "auto", "refresh", diagram::Naming{.automatic = true}},
        {"numbering", 1, "numbering_mode", "per_display", "refresh", diagram::Numbering{.perDisplay = true}},
        {"numbering", 0, "numbering_mode", "continuous", "refresh", diagram::Numbering{.perDisplay = false}},
        {"desktopList.0", 0, "show_mini_maps", false, "refresh", diagram::ListRow{.maps = false, .badges = true}},
        {"desktopList.1", 0, "show_tiling_badges", false, "refresh", diagram::ListRow{.maps = false, .badges = false}},
        {"gap", 0, "tiling_gap", 0, nullptr, diagram::Gap{.px = 0}},
        {"gap", 4, "tiling_gap", 16, nullptr, diagram::Gap{.px = 16}},
        {"gap", 1, "tiling_gap", 4, nullptr, diagram::Gap{.px = 4}},
        {"animation", 3, "tiling_animation", "slide", nullptr},
        {"animation", 1, "tiling_animation", "grow", nullptr},
        {"onClose", 1, "tiling_close_behavior", "keep", nullptr, diagram::OnClose{.refit = false}},
        {"onClose", 0, "tiling_close_behavior", "reorient", nullptr, diagram::OnClose{.refit = true}},
        {"stripMode", 1, "strip_mode", "onHover", "refresh"},
        {"stripMode", 2, "strip_mode", "alwaysOn", "refresh"},
        {"stripPosition", 0, "strip_position", "left", "refresh"},
        {"stripPosition", 2, "strip_position", "right", "refresh"},
        {"stripEachDesktop.0", 0, "strip_tiling_marks", false, "refresh"},
        {"stripEachDesktop.1", 0, "strip_mini_maps", false, "refresh"},
        {"stripEachDesktop.2", 0, "strip_fullscreen", false, "refresh"},
    };
    for (const ControlCase& c : cases) {
        SCOPED_TRACE(std::string(c.control) + " item " + std::to_string(c.item));
        fired.clear();
        const QString name = QString(c.control).section('.', 0, 0);
        if (auto* popUp = find<QComboBox>(c.control)) {
            Q_EMIT popUp->activated(c.item);
            EXPECT_EQ(popUp->currentIndex(), c.item);
        } else if (auto* box = find<QCheckBox>(c.control)) {
            box->click();
        } else {
            ADD_FAILURE() << "no such control";
            continue;
        }
        EXPECT_EQ(sim.defaults.object(c.key), std::optional<Json>(c.stored));
        EXPECT_EQ(fired, c.callback ? std::vector<std::string>{c.callback} : std::vector<std::string>{});
        if (c.picture) {
            auto* picture = find<ui::DiagramWidget>(("diagram." + name).toUtf8().constData());
            ASSERT_NE(picture, nullptr);
            EXPECT_TRUE(picture->kind() == *c.picture);
        }
    }

    // The two controls that write nothing themselves.
    fired.clear();
    find<QCheckBox>("tiling.0")->click();
    EXPECT_EQ(fired, std::vector<std::string>{"tiling"});
    EXPECT_FALSE(find<QCheckBox>("tiling.0")->isChecked()) << "nobody turned tiling on";
    find<QCheckBox>("launchAtLogin.0")->click();
    EXPECT_TRUE(sim.launchAtLogin.enabled);
    EXPECT_TRUE(find<QCheckBox>("launchAtLogin.0")->isChecked());
}

TEST_F(QtSettingsWindowTest, FourTabsAndTheStripTabOnlyBehindItsSwitch) {
    open();
    EXPECT_EQ(tabTexts(), (QStringList{"&General", "&Desktops", "&Tiling", "&Shortcuts"}));
    EXPECT_EQ(windows.window->widget()->windowTitle(), "Quorvel Settings");

    sim.defaults.set(Settings::stripDevKey, true);
    controller = makeController();
    open();
    EXPECT_EQ(tabTexts(), (QStringList{"&General", "&Desktops", "&Tiling", "&Shortcuts", "St&rip"}));
}

TEST_F(QtSettingsWindowTest, ClearAllCustomNamesForgetsEveryNameAndItsStamps) {
    const SpaceId first = sim.world.displays().at(0).spaces.at(0).id;
    core->labels.setLabel("Mail", first);
    open();
    find<QPushButton>("clearNames")->click();
    EXPECT_FALSE(sim.defaults.object(LabelStore::labelsKey));
    EXPECT_FALSE(sim.defaults.object(LabelStore::labelsLastSeenKey));
    EXPECT_EQ(fired, std::vector<std::string>{"refresh"});
}

TEST_F(QtSettingsWindowTest, CustomizeAndQuitReachTheDelegateAndEscapeCloses) {
    QWidget* window = open();
    ASSERT_TRUE(window->isVisible());
    find<QPushButton>("customize")->click();
    find<QPushButton>("quit")->click();
    EXPECT_EQ(fired, (std::vector<std::string>{"shortcuts", "quit"}));
    EXPECT_EQ(find<QPushButton>("keyGuideButton")->toolTip(), "Which physical keys the shortcut symbols mean");
    find<QPushButton>("keyGuideButton")->click();
    auto* guide = window->findChild<ui::KeyGuidePopup*>("keyGuide");
    ASSERT_NE(guide, nullptr);
    EXPECT_TRUE(guide->isVisible());
    guide->close();

    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_FALSE(controller->isVisible());
    controller->show();
    EXPECT_TRUE(controller->isVisible());
}

TEST_F(QtSettingsWindowTest, TheExplanationsFollowAThemeSwitch) {
    open();
    const QPalette light = QApplication::palette();
    QPalette dark(QColor(0x33, 0x33, 0x33), QColor(0x26, 0x26, 0x26));
    dark.setColor(QPalette::PlaceholderText, QColor(0x9a, 0x9a, 0x9a));
    QApplication::setPalette(dark);
    QApplication::processEvents(); // the change reaches the widgets as a posted event
    std::vector<QColor> shown;
    for (QLabel* label : windows.window->widget()->findChildren<QLabel*>(QRegularExpression("^explanation\\.")))
        shown.push_back(label->palette().color(QPalette::WindowText));
    QApplication::setPalette(light);
    QApplication::processEvents();
    ASSERT_FALSE(shown.empty());
    for (const QColor& colour : shown) EXPECT_EQ(colour, QColor(0x9a, 0x9a, 0x9a));
}

} // namespace
