// The summon palette on the simulator: its geometry on a 900-high area, the selection and its
// keys, what a confirmed choice opens, the two toasts, and the updates of a rescan.
#include "SimServices.h"
#include "summon/SummonPalette.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace quorvel::test {
namespace {

using namespace std::chrono_literals;
using Launch = sim::SimApplications::Launch;

std::vector<SummonableApp> numberedApps(int count) {
    std::vector<SummonableApp> apps;
    for (int i = 1; i <= count; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "App %02d", i);
        apps.push_back({.name = name, .desktopFileId = "app" + std::to_string(i) + ".desktop", .program = "app"});
    }
    return apps;
}

class SummonPaletteTest : public ::testing::Test {
protected:
    sim::SimPlatform sim;
    std::unique_ptr<CoreServices> core;
    std::unique_ptr<SummonPalette> palette;

    void SetUp() override {
        sim.world.addDisplay({.uuid = "MAIN-UUID", .spaceCount = 2});
        core = std::make_unique<CoreServices>(sim::platformServices(sim));
        palette = std::make_unique<SummonPalette>(SummonPalette::Dependencies{
            sim.palettes, core->catalog, core->opener, sim.workspace, sim.notifier, sim.scheduler});
    }
    // Presents the palette over a catalogue already scanned.
    sim::SimPaletteView& presentWith(std::vector<SummonableApp> apps, InputTime time = 0) {
        sim.applications.installed = std::move(apps);
        core->catalog.entries(sim.scheduler.now());
        sim.scheduler.advance(1s);
        palette->present(time);
        return *sim.palettes.palette();
    }
    const std::vector<std::string>& toasts() const { return sim.notifier.toasts; }
};

TEST_F(SummonPaletteTest, TheWindowGrowsDownwardFromAFixedTopAndStaysInsideTheArea) {
    palette->present(); // the first scan has not finished: the field alone
    sim::SimPaletteView& view = *sim.palettes.palette();
    // Its bottom edge 15 % of 900 above the middle: 450 − 135 = 315.
    EXPECT_EQ(view.content.frame, (Rect{530, 271, 380, 44}));
    EXPECT_EQ(view.content.fieldFrame, (Rect{16, 0, 348, 44}));
    EXPECT_EQ(view.content.listFrame.height, 0);
    EXPECT_EQ(view.content.placeholder, "Summon an app to this desktop");

    // The scan finishes while it is open: 30 rows, the list capped at 0.7 × 900 − 52 = 578, and
    // the top moves up only as far as keeps the bottom 12 inside.
    sim.applications.installed = numberedApps(30);
    sim.scheduler.advance(1s);
    EXPECT_EQ(view.content.rows.size(), 30u);
    EXPECT_EQ(view.content.frame, (Rect{530, 900 - 12 - 630, 380, 630}));
    EXPECT_EQ(view.content.listFrame, (Rect{0, 44, 380, 586}));
    EXPECT_EQ(view.content.listHeight, 1020);
    EXPECT_EQ(view.content.rows[2].frame, (Rect{0, 68, 380, 34}));

    view.type("app 3"); // four matches (App 30, then App 03, 13 and 23): the top edge stays
    EXPECT_EQ(view.content.frame, (Rect{530, 258, 380, 4 * 34 + 52}));
    view.type("x");
    EXPECT_EQ(view.content.frame, (Rect{530, 258, 380, 44}));
}

TEST_F(SummonPaletteTest, TheHeightAndFirstPositionFollowTheArea) {
    EXPECT_EQ(SummonPalette::heightFor(0, Rect{0, 0, 1440, 900}), 44);
    EXPECT_EQ(SummonPalette::heightFor(3, Rect{0, 0, 1440, 900}), 154);
    EXPECT_EQ(SummonPalette::heightFor(100, std::nullopt), 578 + 52);
    EXPECT_EQ(SummonPalette::heightFor(100, Rect{0, 0, 800, 100}), 34 + 52); // at least one row
    EXPECT_EQ(SummonPalette::initialFrame(Rect{100, 50, 1000, 900}, 154), (Rect{410, 50 + 315 - 154, 380, 154}));
    // A short area: the bottom edge wins, 12 inside.
    EXPECT_EQ(SummonPalette::initialFrame(Rect{0, 0, 800, 100}, 86).y, 2);
}

TEST_F(SummonPaletteTest, ArrowsWrapTypingResetsTheSelectionAndHoverSelects) {
    sim::SimPaletteView& view = presentWith(numberedApps(3));
    EXPECT_EQ(view.selectedRow(), 0);
    EXPECT_TRUE(view.press(PaletteKey::up));
    EXPECT_EQ(view.selectedRow(), 2);
    EXPECT_TRUE(view.press(PaletteKey::down));
    EXPECT_EQ(view.selectedRow(), 0);
    view.press(PaletteKey::down);
    view.hover(2);
    EXPECT_EQ(view.selectedRow(), 2);
    EXPECT_EQ(palette->selectedIndex(), 2);
    view.type("app");
    EXPECT_EQ(view.selectedRow(), 0);
    EXPECT_FALSE(view.press(PaletteKey::other)); // goes to the field

    // No matches: the keys are taken and do nothing; Return opens nothing.
    view.type("zzz");
    EXPECT_TRUE(view.names().empty());
    EXPECT_TRUE(view.press(PaletteKey::down));
    EXPECT_TRUE(view.press(PaletteKey::returnKey));
    EXPECT_TRUE(view.isVisible());
    EXPECT_TRUE(sim.applications.launches.empty());
}

TEST_F(SummonPaletteTest, ReturnOrAClickSummonsTheChoiceAndClosesThePalette) {
    sim.world.launchApp({.name = "mail", .executablePath = "/usr/bin/mail"});
    std::vector<SummonableApp> apps = numberedApps(2);
    apps.push_back({.name = "Mail", .desktopFileId = "mail.desktop", .program = "mail"});
    sim::SimPaletteView* view = &presentWith(apps, 30);
    // The running one first, without "launch".
    EXPECT_EQ(view->names(), (std::vector<std::string>{"Mail", "App 01", "App 02"}));
    EXPECT_FALSE(view->content.rows[0].showsLaunch);
    EXPECT_TRUE(view->content.rows[1].showsLaunch);
    EXPECT_EQ(view->focusTime, 30u);

    view->press(PaletteKey::down);
    view->inputTime = 31;
    EXPECT_TRUE(view->press(PaletteKey::returnKey));
    EXPECT_FALSE(palette->isVisible());
    EXPECT_TRUE(view->gaveFocusBack);
    EXPECT_EQ(sim.applications.launches, (std::vector<Launch>{{Launch::Kind::main, "app1.desktop", {}, 31}}));

    palette->present(40);
    view = sim.palettes.palette();
    view->click(2);
    EXPECT_FALSE(palette->isVisible());
    EXPECT_EQ(sim.applications.launches.back(), (Launch{Launch::Kind::main, "app2.desktop", {}, 40}));

    palette->present();
    sim.palettes.palette()->press(PaletteKey::keypadEnter); // Mail runs: launched again
    EXPECT_EQ(sim.applications.launches.back().desktopFileId, "mail.desktop");
    EXPECT_TRUE(toasts().empty());
    sim.scheduler.runPending();
    EXPECT_EQ(sim.palettes.createdCount, 3);
    EXPECT_EQ(sim.palettes.palette(), nullptr); // closed windows go on the next turn
}

TEST_F(SummonPaletteTest, EscapeAndClickingElsewhereDismissAndAPresentReplacesTheWindow) {
    sim::SimPaletteView* view = &presentWith(numberedApps(2));
    EXPECT_TRUE(view->press(PaletteKey::escape));
    EXPECT_FALSE(palette->isVisible());
    EXPECT_TRUE(view->gaveFocusBack);

    palette->present();
    view = sim.palettes.palette();
    view->loseFocus();
    EXPECT_FALSE(palette->isVisible());
    EXPECT_FALSE(view->gaveFocusBack);

    palette->present();
    sim::SimPaletteView* first = sim.palettes.palette();
    palette->present();
    EXPECT_TRUE(first->closed);
    first->loseFocus(); // the old window's news does not close the new one
    EXPECT_TRUE(palette->isVisible());
    EXPECT_TRUE(sim.applications.launches.empty());
}

TEST_F(SummonPaletteTest, WhatCouldNotBeDoneIsToasted) {
    sim.world.launchApp({.name = "mail", .executablePath = "/usr/bin/mail"});
    const SummonableApp mail{.name = "Mail", .desktopFileId = "mail.desktop", .program = "mail"};
    sim.applications.failures[Launch::Kind::main] = "busy";
    presentWith({mail}).press(PaletteKey::returnKey);
    EXPECT_EQ(toasts(), std::vector<std::string>{"Mail has no new-window command"});

    sim.world.switchToSpace(sim.world.addSpace(0, true));
    palette->present();
    sim.palettes.palette()->press(PaletteKey::returnKey);
    EXPECT_EQ(toasts().back(), "Can't summon into a fullscreen desktop");
}

} // namespace
} // namespace quorvel::test
