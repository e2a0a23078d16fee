// The control socket on a real Unix socket and the poll loop: a round trip, a stale socket file
// replaced, oversized and stalled clients refused without harm, and a peer of another user refused.
#include "ControlSocket.h"
#include "PollLoop.h"
#include "control/ControlProtocol.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

namespace quorvel::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Json = nlohmann::json;

constexpr std::string_view kDisplay = ":7";

int connectTo(const fs::path& path) { return ControlSocket::connectTo(path); }

class ControlSocketTest : public ::testing::Test {
protected:
    fs::path top; // the temporary folder
    fs::path dir; // the socket's folder in it
    PollLoop loop;
    int calls = 0;
    int wakeups = 0; // times the socket or a connection was found readable
    std::size_t longestLine = 0;

    void SetUp() override {
        char name[] = "/tmp/quorvel-control-XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        top = dir = name;
    }
    void TearDown() override { fs::remove_all(top); }

    std::unique_ptr<ControlSocket> listen(std::string* whyNot = nullptr) {
        return ControlSocket::listen(
            dir, kDisplay,
            {[this](int fd, std::function<void()> f) {
                 loop.watch(fd, [this, f = std::move(f)] {
                     ++wakeups;
                     f();
                 });
             },
             [this](int fd) { loop.unwatch(fd); }, loop},
            [this](std::string_view line) {
                ++calls;
                longestLine = std::max(longestLine, line.size());
                auto parsed = parseControlRequest(line);
                if (auto* error = std::get_if<ControlError>(&parsed)) return controlErrorLine(*error);
                return controlOkLine({{"echo", std::get<ControlRequest>(parsed).command}});
            },
            whyNot);
    }

    // Writes `request` from a client and serves until the answer line arrives (or 3 s pass).
    std::optional<Json> ask(int fd, const std::string& request) {
        std::size_t sent = 0;
        std::string answer;
        const bool done = loop.runUntil(
            [&] {
                if (sent < request.size()) {
                    const ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
                    if (n > 0) sent += static_cast<std::size_t>(n);
                }
                char buffer[512];
                const ssize_t got = ::recv(fd, buffer, sizeof(buffer), MSG_DONTWAIT);
                if (got > 0) answer.append(buffer, static_cast<std::size_t>(got));
                return answer.ends_with('\n');
            },
            3000ms);
        if (!done) return std::nullopt;
        return Json::parse(answer);
    }
};

TEST_F(ControlSocketTest, AnswersOneLinePerConnectionFromAPrivateSocketItRemovesWhenDone) {
    auto socket = listen();
    ASSERT_TRUE(socket);
    EXPECT_EQ(socket->path(), dir / "display-_7.sock");
    struct stat info {};
    ASSERT_EQ(::lstat(socket->path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    for (int round = 0; round < 2; ++round) {
        const int fd = connectTo(socket->path());
        ASSERT_GE(fd, 0);
        EXPECT_EQ(ask(fd, "{\"command\":\"retile\"}\n"), Json({{"ok", true}, {"echo", "retile"}}));
        // The app closes its end after the answer.
        char byte;
        EXPECT_TRUE(loop.runUntil([&] { return ::recv(fd, &byte, 1, MSG_DONTWAIT) == 0; }, 2000ms));
        ::close(fd);
    }
    EXPECT_EQ(calls, 2);
    const fs::path path = socket->path();
    socket.reset();
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(ControlSocketTest, ARuntimeFolderTooDeepForASocketAddressStillWorks) {
    dir /= std::string(120, 'd');
    fs::create_directories(dir);
    auto socket = listen();
    ASSERT_TRUE(socket);
    ASSERT_GT(socket->path().native().size(), sizeof(sockaddr_un::sun_path));
    EXPECT_TRUE(fs::is_socket(socket->path()));
    const int fd = connectTo(socket->path());
    ASSERT_GE(fd, 0);
    EXPECT_EQ(ask(fd, "{\"command\":\"retile\"}\n"), Json({{"ok", true}, {"echo", "retile"}}));
    ::close(fd);
}

TEST_F(ControlSocketTest, ASocketFileLeftByACrashIsReplacedButNothingElseIs) {
    {
        // A crashed instance: bound, never unlinked.
        const int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = (dir / ControlSocket::socketFileName(kDisplay)).string();
        std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
        ASSERT_EQ(::bind(stale, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
        ::close(stale);
        ASSERT_LT(connectTo(path), 0) << "nobody answers on the stale file";
    }
    auto socket = listen();
    ASSERT_TRUE(socket);
    const int fd = connectTo(socket->path());
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(ask(fd, "{\"command\":\"retile\"}\n"));
    ::close(fd);
    const fs::path path = socket->path();
    socket.reset();

    std::ofstream(path) << "someone's file";
    std::string whyNot;
    EXPECT_FALSE(listen(&whyNot));
    EXPECT_NE(whyNot.find("not a socket"), std::string::npos);
    EXPECT_TRUE(fs::is_regular_file(path));
}

TEST_F(ControlSocketTest, OversizedAndStalledClientsAreRefusedAndTheNextOneIsServed) {
    auto socket = listen();
    ASSERT_TRUE(socket);
    const int big = connectTo(socket->path());
    const auto answer = ask(big, std::string(200 * 1024, 'x'));
    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)["code"], static_cast<int>(ControlErrorCode::tooLarge));
    EXPECT_LE(longestLine, kMaxControlRequestBytes + 4096) << "the rest was never read";
    ::close(big);

    // A client that connects and says nothing is dropped after the timeout.
    const int silent = connectTo(socket->path());
    ASSERT_GE(silent, 0);
    EXPECT_TRUE(loop.runUntil([&] { return socket->openConnections() == 1; }, 1000ms));
    EXPECT_TRUE(loop.runUntil([&] { return socket->openConnections() == 0; }, 4000ms));
    char byte;
    EXPECT_EQ(::recv(silent, &byte, 1, MSG_DONTWAIT), 0) << "closed without an answer";
    ::close(silent);

    const int next = connectTo(socket->path());
    EXPECT_EQ(ask(next, "{\"command\":\"summon\"}\n"), Json({{"ok", true}, {"echo", "summon"}}));
    ::close(next);
}

TEST_F(ControlSocketTest, OutOfDescriptorsItRestsInsteadOfSpinningAndServesTheClientLater) {
    auto socket = listen();
    ASSERT_TRUE(socket);
    // One round trip first: the sanitizers' first look at a type needs a pipe, which the tight
    // limit below would refuse.
    const int warm = connectTo(socket->path());
    EXPECT_TRUE(ask(warm, "{\"command\":\"retile\"}\n"));
    ::close(warm);
    wakeups = 0;
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    // Room for exactly one more descriptor: the client's own. The app's accept then has none.
    const int next = ::dup(0);
    ::close(next);
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(next) + 1;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    const int fd = connectTo(socket->path());
    ASSERT_GE(fd, 0);
    loop.runFor(300ms);
    const int restless = wakeups;
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_LE(restless, 2) << "accepting was retried at once, over and over";
    EXPECT_EQ(ask(fd, "{\"command\":\"retile\"}\n"), Json({{"ok", true}, {"echo", "retile"}}));
    ::close(fd);
}

TEST_F(ControlSocketTest, APeerOfAnotherUserIsRefusedUnheard) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    EXPECT_EQ(ControlSocket::peerUid(pair[0]), ::geteuid());
    ::close(pair[0]);
    ::close(pair[1]);
    if (::geteuid() != 0) GTEST_SKIP() << "connecting as another user needs root";

    auto socket = listen();
    ASSERT_TRUE(socket);
    // The folder and the socket opened up, so that only the credential check stands in the way.
    ::chmod(dir.c_str(), 0755);
    ::chmod(socket->path().c_str(), 0666);
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(out[0]);
        if (::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0) ::_exit(3);
        const int fd = connectTo(socket->path());
        if (fd < 0) ::_exit(4);
        const char request[] = "{\"command\":\"retile\"}\n";
        [[maybe_unused]] const ssize_t sent = ::send(fd, request, sizeof(request) - 1, MSG_NOSIGNAL);
        char buffer[512];
        ssize_t got;
        while ((got = ::read(fd, buffer, sizeof(buffer))) > 0) [[maybe_unused]] auto n = ::write(out[1], buffer, got);
        ::_exit(0);
    }
    ::close(out[1]);
    int status = -1;
    EXPECT_TRUE(loop.runUntil([&] { return ::waitpid(child, &status, WNOHANG) == child; }, 4000ms));
    EXPECT_EQ(status, 0);
    char buffer[512] = {};
    const ssize_t got = ::read(out[0], buffer, sizeof(buffer) - 1);
    ::close(out[0]);
    ASSERT_GT(got, 0);
    const Json answer = Json::parse(std::string(buffer, static_cast<std::size_t>(got)));
    EXPECT_EQ(answer["ok"], false);
    EXPECT_NE(answer.value("error", std::string()).find("another user"), std::string::npos);
    EXPECT_EQ(calls, 0) << "the request never reached the commands";
}

} // namespace
} // namespace quorvel::test
