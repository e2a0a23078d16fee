// The journal log: the native datagram byte for byte, a real round trip through a socket of our
// own, and stderr when the journal is missing, full, or echoed for a terminal.
#include "JournalLog.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

const std::string kTail = "SYSLOG_IDENTIFIER=quorvel\nQUORVEL_SUBSYSTEM=quorvel\n";

class JournalLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = "/tmp/quorvel-journal-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
        stderrFd = ::open((root / "stderr").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        ASSERT_GE(stderrFd, 0);
    }
    void TearDown() override {
        if (journal >= 0) ::close(journal);
        ::close(stderrFd);
        std::error_code error;
        fs::remove_all(root, error);
    }

    std::string socketPath() const { return (root / "journal.socket").string(); }

    // Plays the journal: a datagram socket bound where the log will send.
    void bindJournal() {
        journal = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        ASSERT_GE(journal, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        socketPath().copy(address.sun_path, sizeof(address.sun_path) - 1);
        ASSERT_EQ(::bind(journal, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    }
    // Every datagram queued so far.
    std::vector<std::string> received() const {
        std::vector<std::string> datagrams;
        std::string buffer(256 * 1024, '\0');
        for (;;) {
            const ssize_t size = ::recv(journal, buffer.data(), buffer.size(), MSG_DONTWAIT);
            if (size < 0) return datagrams;
            datagrams.emplace_back(buffer.data(), static_cast<std::size_t>(size));
        }
    }
    std::string stderrText() const {
        std::ifstream in(root / "stderr", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    JournalLog::Options options(bool echo = false) const {
        return {.socketPath = socketPath(), .echoToStderr = echo, .stderrFd = stderrFd};
    }

    fs::path root;
    int stderrFd = -1;
    int journal = -1;
};

TEST(JournalDatagramTest, AMultiLineValueCarriesItsLittleEndianLength) {
    EXPECT_EQ(JournalLog::journalDatagram(LogLevel::error, "crash", "first\nsecond"),
              "MESSAGE\n\x0c\0\0\0\0\0\0\0first\nsecond\nPRIORITY=3\n"s + kTail + "QUORVEL_CATEGORY=crash\n");

    // 300 bytes: the length needs its second byte (0x012c).
    const std::string longer = std::string(150, 'a') + "\n" + std::string(149, 'b');
    const std::string datagram = JournalLog::journalDatagram(LogLevel::info, "app", longer);
    EXPECT_EQ(datagram.substr(0, 16), "MESSAGE\n\x2c\x01\0\0\0\0\0\0"s);
    EXPECT_EQ(datagram.substr(16, 301), longer + "\n");
}

TEST(JournalDatagramTest, AHugeMessageIsCutWithoutSplittingACharacter) {
    // "é" is two bytes straddling the limit: it goes whole.
    const std::string message = std::string(JournalLog::kMaxJournalMessage - 1, 'x') + "é" + "tail";
    const std::string datagram = JournalLog::journalDatagram(LogLevel::info, "app", message);
    EXPECT_EQ(datagram, "MESSAGE=" + std::string(JournalLog::kMaxJournalMessage - 1, 'x') + "\nPRIORITY=6\n" +
                            kTail + "QUORVEL_CATEGORY=app\n");
}

TEST_F(JournalLogTest, LinesReachTheJournalAsOneDatagramEach) {
    bindJournal();
    JournalLog log(options());
    log.info("tiling", "close sweep: window %u is gone", 4711u);
    log.error("privateapi", "_NET_CURRENT_DESKTOP unavailable");
    log.error("hotkeys", "register failed:\nkey taken");

    const auto datagrams = received();
    ASSERT_EQ(datagrams.size(), 3u);
    EXPECT_EQ(datagrams[0], "MESSAGE=close sweep: window 4711 is gone\nPRIORITY=6\n" + kTail +
                                "QUORVEL_CATEGORY=tiling\n");
    EXPECT_EQ(datagrams[1], "MESSAGE=_NET_CURRENT_DESKTOP unavailable\nPRIORITY=3\n" + kTail +
                                "QUORVEL_CATEGORY=privateapi\n");
    EXPECT_EQ(datagrams[2], JournalLog::journalDatagram(LogLevel::error, "hotkeys", "register failed:\nkey taken"));
    EXPECT_TRUE(log.usingJournal());
    EXPECT_EQ(stderrText(), "");
}

TEST_F(JournalLogTest, WithoutAJournalLinesGoToStderrForTheRestOfTheRun) {
    JournalLog log(options());
    log.info("app", "started");
    EXPECT_FALSE(log.usingJournal());
    // A journal appearing later is not picked up: the lines stay in one place.
    bindJournal();
    log.error("defaults", "cannot write: %s", "Disk full");

    EXPECT_EQ(stderrText(), "quorvel[app] info: started\nquorvel[defaults] error: cannot write: Disk full\n");
    EXPECT_TRUE(received().empty());
}

TEST_F(JournalLogTest, EchoCopiesEveryJournalLineToStderr) {
    bindJournal();
    JournalLog log(options(true));
    log.info("app", "window snapshot #1: 0 qualifying windows");

    EXPECT_EQ(received().size(), 1u);
    EXPECT_EQ(stderrText(), "quorvel[app] info: window snapshot #1: 0 qualifying windows\n");
}

TEST_F(JournalLogTest, AFullJournalQueueSendsLinesToStderrWithoutGivingUpTheJournal) {
    bindJournal();
    JournalLog log(options());
    constexpr int kLines = 600; // more than a datagram queue holds unread
    for (int i = 0; i < kLines; ++i) log.info("tiling", "line %ld", i);

    const std::size_t queued = received().size();
    const std::string spilled = stderrText();
    const auto spilledLines = static_cast<std::size_t>(std::count(spilled.begin(), spilled.end(), '\n'));
    EXPECT_GT(spilledLines, 0u);
    EXPECT_EQ(queued + spilledLines, static_cast<std::size_t>(kLines));
    EXPECT_NE(spilled.find("quorvel[tiling] info: line 599\n"), std::string::npos);

    // Once the journal has read its queue, lines go there again.
    log.info("tiling", "caught up");
    EXPECT_EQ(received(), std::vector<std::string>{JournalLog::journalDatagram(LogLevel::info, "tiling", "caught up")});
    EXPECT_TRUE(log.usingJournal());
}

} // namespace
} // namespace quorvel
