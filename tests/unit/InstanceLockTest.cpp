// The single-instance lock: a second start on the same display is refused with the first one's
// pid, other displays are free, a dead holder frees the lock, and an unsafe folder is never used.
#include "InstanceLock.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace quorvel {
namespace {

namespace fs = std::filesystem;

unsigned modeOf(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777u : 0u;
}

class InstanceLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = "/tmp/quorvel-lock-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
    }
    void TearDown() override {
        if (child > 0) {
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
        std::error_code error;
        fs::remove_all(root, error);
    }
    std::optional<InstanceLock> take(std::string_view display, std::string* whyNot = nullptr) {
        return InstanceLock::acquireIn(root, display, whyNot);
    }

    fs::path root;
    pid_t child = -1;
};

TEST(InstanceLockNameTest, OneFileNamePerDisplayWhateverTheScreen) {
    EXPECT_EQ(InstanceLock::lockFileName(":1"), "display-_1.lock");
    EXPECT_EQ(InstanceLock::lockFileName(":1.0"), "display-_1.lock");
    EXPECT_EQ(InstanceLock::lockFileName("host.example:10.2"), "display-host.example_10.lock");
    EXPECT_EQ(InstanceLock::lockFileName(""), "display-default.lock");
    EXPECT_EQ(InstanceLock::lockFileName("../x/:0"), "display-.._x__0.lock");
}

TEST_F(InstanceLockTest, ASecondStartOnTheSameDisplayIsRefusedWithTheFirstPid) {
    auto first = take(":1");
    ASSERT_TRUE(first);
    std::ifstream pidFile(first->path());
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(pidFile), {}), std::to_string(::getpid()) + "\n");
    EXPECT_EQ(modeOf(first->path()) & 077u, 0u);

    // The lock belongs to the open file, so even this process cannot take it twice.
    std::string whyNot;
    EXPECT_FALSE(take(":1", &whyNot));
    EXPECT_EQ(whyNot, "Quorvel is already running on display :1 (process " + std::to_string(::getpid()) + ").");
    EXPECT_FALSE(take(":1.0", &whyNot));
    EXPECT_EQ(whyNot, "Quorvel is already running on display :1.0 (process " + std::to_string(::getpid()) + ").");

    EXPECT_TRUE(take(":2"));
    EXPECT_TRUE(take(""));

    first.reset(); // the app quits: the display is free again
    EXPECT_TRUE(take(":1"));
}

TEST_F(InstanceLockTest, ALockHeldByAnotherProcessIsFreedWhenThatProcessDies) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        auto held = take(":7");
        const char answer = held ? 'y' : 'n';
        [[maybe_unused]] const auto written = ::write(ready[1], &answer, 1);
        for (;;) ::pause();
    }
    ::close(ready[1]);
    char answer = 0;
    ASSERT_EQ(::read(ready[0], &answer, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(answer, 'y');

    std::string whyNot;
    EXPECT_FALSE(take(":7", &whyNot));
    EXPECT_EQ(whyNot, "Quorvel is already running on display :7 (process " + std::to_string(child) + ").");

    // Killed without any chance to clean up: the kernel still releases the lock.
    ::kill(child, SIGKILL);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    child = -1;
    EXPECT_TRUE(take(":7"));
}

TEST_F(InstanceLockTest, LocksLiveInAPrivateFolderOfTheRuntimeDirOrOfTmp) {
    const std::string uidFolder = "quorvel-" + std::to_string(::geteuid());
    fs::create_directory(root / "run");
    ::chmod((root / "run").c_str(), 0700);

    const auto inRuntime = InstanceLock::lockDirectory((root / "run").c_str(), root / "tmp");
    ASSERT_TRUE(inRuntime);
    EXPECT_EQ(inRuntime->string(), (root / "run" / "quorvel").string());
    EXPECT_EQ(modeOf(*inRuntime), 0700u);

    // A relative or missing runtime dir is not trusted: the folder under tmp is made instead.
    fs::create_directory(root / "tmp");
    const std::string fallback = (root / "tmp" / uidFolder).string();
    EXPECT_EQ(InstanceLock::lockDirectory("run", root / "tmp").value_or("").string(), fallback);
    EXPECT_EQ(InstanceLock::lockDirectory((root / "absent").c_str(), root / "tmp").value_or("").string(), fallback);
    EXPECT_EQ(modeOf(root / "tmp" / uidFolder), 0700u);

    // The real entry point follows XDG_RUNTIME_DIR.
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string savedValue = saved ? saved : "";
    ::setenv("XDG_RUNTIME_DIR", (root / "run").c_str(), 1);
    const auto lock = InstanceLock::acquire(":3");
    if (saved) ::setenv("XDG_RUNTIME_DIR", savedValue.c_str(), 1);
    else ::unsetenv("XDG_RUNTIME_DIR");
    ASSERT_TRUE(lock);
    EXPECT_EQ(lock->path().string(), (root / "run" / "quorvel" / "display-_3.lock").string());
}

TEST_F(InstanceLockTest, AFolderSomeoneElseCouldHaveMadeIsRefused) {
    const fs::path tmp = root / "tmp";
    const fs::path folder = tmp / ("quorvel-" + std::to_string(::geteuid()));
    fs::create_directories(folder);
    ::chmod(folder.c_str(), 0777);
    std::string whyNot;
    EXPECT_FALSE(InstanceLock::lockDirectory(nullptr, tmp, &whyNot));
    EXPECT_NE(whyNot.find("not a private folder"), std::string::npos) << whyNot;

    // A link to a private folder is no better: whoever made the link chose its target.
    fs::remove(folder);
    fs::create_directory(root / "elsewhere");
    ::chmod((root / "elsewhere").c_str(), 0700);
    fs::create_directory_symlink(root / "elsewhere", folder);
    EXPECT_FALSE(InstanceLock::lockDirectory(nullptr, tmp));

    if (::geteuid() == 0) {
        // Right mode, wrong owner.
        fs::remove(folder);
        fs::create_directory(folder);
        ::chmod(folder.c_str(), 0700);
        ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
        EXPECT_FALSE(InstanceLock::lockDirectory(nullptr, tmp));
    }
}

} // namespace
} // namespace quorvel
