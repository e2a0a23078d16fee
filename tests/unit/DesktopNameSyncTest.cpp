// Desktop names shared with the window manager: ours go out once per burst and never come back
// as renames; names other programs write come in as the user's names.
#include "DesktopNamesFixture.h"
#include "spaces/DesktopNameSync.h"

using namespace quorvel;
using namespace quorvel::test;

namespace {

using Names = std::vector<std::string>;

class DesktopNameSyncTest : public DesktopNamesFixture {
protected:
    sim::SimDesktopNames& wm = sim.desktopNames;
    DesktopNameSync sync{wm, spaces, labels, sim.scheduler, sim.log};

    // Three desktops, the window manager's own names in place, our list written.
    void SetUp() override {
        desktops(3);
        labels.onChange = [this] { sync.namesMayHaveChanged(); };
        wm.writeAsOtherProgram(Names{"one", "two", "three", "four"});
        settle();
        sync.start();
        settle();
    }
    void settle() { sim.scheduler.advance(Seconds(1)); }
    Names shown() const { return wm.list().value_or(Names{}); }
};

} // namespace

TEST_F(DesktopNameSyncTest, OurNamesReplaceTheWindowManagersOnceAndEachChangeIsWrittenOnce) {
    EXPECT_EQ(shown(), (Names{"Desktop 1", "Desktop 2", "Desktop 3"}));
    EXPECT_EQ(wm.writeCount(), 1u);
    EXPECT_TRUE(stored(LabelStore::labelsKey).empty()) << "the window manager's names are not renames";

    // A burst of changes is one write; the echo of it renames nothing.
    labels.setLabel("Mail", desktop(1));
    labels.setLabel("Web", desktop(2));
    labels.setLabel("Code", desktop(2));
    settle();
    EXPECT_EQ(shown(), (Names{"Desktop 1", "Mail", "Code"}));
    EXPECT_EQ(wm.writeCount(), 2u);
    EXPECT_EQ(labels.label(desktop(0)), std::nullopt);

    // Nothing that changes what is shown writes nothing.
    labels.setLabel("Code", desktop(2));
    sync.namesMayHaveChanged();
    settle();
    EXPECT_EQ(wm.writeCount(), 2u);
}

TEST_F(DesktopNameSyncTest, NamesAnotherProgramWritesBecomeTheUsersNames) {
    labels.setLabel("Mail", desktop(1));
    settle();

    // A pager renames the third desktop; the first entry is set to exactly what we show.
    wm.writeAsOtherProgram(Names{"Desktop 1", "Mail", "Music"});
    settle();
    EXPECT_EQ(labels.label(desktop(2)), "Music");
    EXPECT_EQ(labels.label(desktop(0)), std::nullopt) << "an entry equal to the shown name is no rename";
    EXPECT_EQ(labels.label(desktop(1)), "Mail");
    const std::size_t writes = wm.writeCount();

    // Emptying an entry clears the user's name; the list then shows the numbered name again.
    wm.writeAsOtherProgram(Names{"Desktop 1", "", "Music"});
    settle();
    EXPECT_EQ(labels.label(desktop(1)), std::nullopt);
    EXPECT_EQ(shown(), (Names{"Desktop 1", "Desktop 2", "Music"}));
    EXPECT_EQ(wm.writeCount(), writes + 1);
    EXPECT_EQ(sim.log.count("desktop 3 renamed by another program: Music"), 1u);
}

TEST_F(DesktopNameSyncTest, TheWindowManagerRepeatingOurListWithMoreOrFewerEntriesRenamesNothing) {
    labels.setLabel("Mail", desktop(1));
    settle();
    const std::size_t writes = wm.writeCount();

    // The same list again, then with a name for a desktop that no longer exists.
    wm.writeAsOtherProgram(shown());
    settle();
    wm.writeAsOtherProgram(Names{"Desktop 1", "Mail", "Desktop 3", "desktop 4"});
    settle();
    // Fewer entries than desktops: the missing ones are not cleared, and not fought over.
    wm.writeAsOtherProgram(Names{"Desktop 1", "Mail"});
    settle();
    EXPECT_EQ(labels.label(desktop(1)), "Mail");
    EXPECT_EQ(labels.label(desktop(2)), std::nullopt);
    EXPECT_EQ(wm.writeCount(), writes) << "nothing changed, so nothing is written";

    // An application in front gives the first desktop an automatic name; a pager repeats it back
    // before we have written it. That is what we show, not a name the user chose.
    openApp("TextEdit", "Report.txt \u2014 TextEdit");
    wm.writeAsOtherProgram(Names{"TextEdit \u2014 Report.txt", "Mail", "Desktop 3"});
    settle();
    EXPECT_EQ(labels.label(desktop(0)), std::nullopt);

    // A program removes the list: ours goes back.
    wm.writeAsOtherProgram(std::nullopt);
    settle();
    EXPECT_EQ(shown(), (Names{"TextEdit \u2014 Report.txt", "Mail", "Desktop 3"}));
}

TEST_F(DesktopNameSyncTest, ARenameCrossingOurPendingWriteIsTakenInAndOursStillGoesOut) {
    // Our change is waiting to be written when a pager renames another desktop.
    labels.setLabel("Mail", desktop(1));
    wm.writeAsOtherProgram(Names{"Desktop 1", "Desktop 2", "Music"});
    settle();
    EXPECT_EQ(labels.label(desktop(1)), "Mail");
    EXPECT_EQ(labels.label(desktop(2)), "Music");
    EXPECT_EQ(shown(), (Names{"Desktop 1", "Mail", "Music"}));
}

TEST_F(DesktopNameSyncTest, AWindowManagerRestartingWithItsOwnNamesRenamesNothing) {
    labels.setLabel("Mail", desktop(1));
    settle();

    // Restarted, it announces itself and then writes its configured names, a moment apart.
    sync.windowManagerChanged();
    sim.scheduler.advance(Seconds(0.5));
    wm.writeAsOtherProgram(Names{"one", "two", "three", "four"});
    settle();
    EXPECT_EQ(labels.label(desktop(1)), "Mail");
    EXPECT_EQ(labels.label(desktop(0)), std::nullopt);
    EXPECT_EQ(shown(), (Names{"Desktop 1", "Mail", "Desktop 3"}));

    // Settled, a pager's rename counts again.
    settle();
    settle();
    wm.writeAsOtherProgram(Names{"Desktop 1", "Mail", "Music"});
    settle();
    EXPECT_EQ(labels.label(desktop(2)), "Music");
}
