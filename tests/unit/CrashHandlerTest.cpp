// The crash handler in a child process: a real fault and std::terminate each end the process by
// their signal and leave one report that the reader makes sense of.
#include "CrashHandler.h"
#include "reports/CrashReports.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <stdexcept>
#include <unistd.h>

using namespace quorvel;
namespace fs = std::filesystem;

namespace {

// The sanitizer build would catch the store itself and exit; the fault is what is tested here.
[[gnu::noinline, gnu::no_sanitize("undefined")]] void writeThroughNull() {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
}

[[gnu::noinline]] void terminateWhileHandling() {
    try {
        throw std::runtime_error("unhandled");
    } catch (...) {
        std::terminate();
    }
}

// The main thread holds fatal signals back while a helper thread is about, so that a signal sent
// by another process lands on the helper; then it lets them through and waits.
[[gnu::noinline]] void mainThreadWaitsWhileAHelperIsSignalled() {
    sigset_t fatal;
    sigemptyset(&fatal);
    sigaddset(&fatal, SIGSEGV);
    pthread_sigmask(SIG_BLOCK, &fatal, nullptr);
    std::thread helper([&] {
        pthread_sigmask(SIG_UNBLOCK, &fatal, nullptr);
        ::kill(::getpid(), SIGSEGV); // as `kill -SEGV` from outside would: SI_USER, to the process
        for (;;) ::pause();
    });
    timespec pause{0, 200'000'000};
    ::nanosleep(&pause, nullptr);
    pthread_sigmask(SIG_UNBLOCK, &fatal, nullptr);
    for (;;) ::pause();
}

class CrashHandlerTest : public ::testing::Test {
protected:
    void SetUp() override { fs::remove_all(folder); }
    void TearDown() override {
        fs::remove_all(folder);
        std::error_code notEmpty;
        fs::remove(folder.parent_path(), notEmpty);
    }

    // The one report's text.
    std::string report() const {
        std::vector<fs::path> files;
        if (fs::exists(folder))
            for (const auto& entry : fs::directory_iterator(folder)) files.push_back(entry.path());
        EXPECT_EQ(files.size(), 1u);
        if (files.empty()) return {};
        EXPECT_EQ(fs::status(files[0]).permissions(), fs::perms::owner_read | fs::perms::owner_write);
        std::ifstream in(files[0]);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // A folder of this run's own, so two runs at once (two builds, two checkouts) never share one.
    // A death test's child is a process of its own started afresh: it finds the parent's folder in
    // the environment it inherits.
    static fs::path runFolder() {
        static constexpr const char* kVariable = "QUORVEL_CRASH_HANDLER_TEST_DIR";
        if (const char* inherited = std::getenv(kVariable)) return inherited;
        std::string pattern = (fs::temp_directory_path() / "quorvel-crash-handler.XXXXXX").string();
        if (!mkdtemp(pattern.data())) ADD_FAILURE() << "no temporary folder";
        setenv(kVariable, pattern.c_str(), 1);
        return pattern;
    }
    const fs::path folder = runFolder() / ::testing::UnitTest::GetInstance()->current_test_info()->name();
};

TEST_F(CrashHandlerTest, AFaultIsReportedWithTheFaultingFunctionFirstAndTheProcessDiesOfIt) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            CrashHandler::install(folder.string(), "9.9");
            writeThroughNull();
        },
        ::testing::KilledBySignal(SIGSEGV), "");
    EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
    const auto excerpt = CrashReports::excerpt(report(), 3);
    ASSERT_TRUE(excerpt);
    EXPECT_TRUE(excerpt->starts_with("Exception: SEGV_MAPERR (SIGSEGV)\nTermination: Segmentation fault\n\n"
                                     "Crashed thread:\n  quorvel_unit_tests  (anonymous namespace)::writeThroughNull()"))
        << *excerpt;
}

TEST_F(CrashHandlerTest, TerminateSaysWhatWasThrown) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            CrashHandler::install(folder.string(), "9.9");
            terminateWhileHandling();
        },
        ::testing::KilledBySignal(SIGABRT), "");
    const auto excerpt = CrashReports::excerpt(report(), 40);
    ASSERT_TRUE(excerpt);
    EXPECT_TRUE(excerpt->starts_with("Exception: SI_TKILL (SIGABRT)\n"
                                     "Termination: std::terminate called: St13runtime_error\n"))
        << *excerpt;
    EXPECT_NE(excerpt->find("  quorvel_unit_tests  (anonymous namespace)::terminateWhileHandling()"), std::string::npos)
        << *excerpt;
}

// A signal another process sends lands on any thread that lets it through; the report is the main
// thread's all the same, with the sender's details.
TEST_F(CrashHandlerTest, ASignalSentFromOutsideIsReportedByTheMainThread) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            CrashHandler::install(folder.string(), "9.9");
            mainThreadWaitsWhileAHelperIsSignalled();
        },
        ::testing::KilledBySignal(SIGSEGV), "");
    const auto excerpt = CrashReports::excerpt(report(), 40);
    ASSERT_TRUE(excerpt);
    EXPECT_TRUE(excerpt->starts_with("Exception: SI_USER (SIGSEGV)\nTermination: Segmentation fault (sent by process"))
        << *excerpt;
    EXPECT_NE(excerpt->find("  quorvel_unit_tests  (anonymous namespace)::mainThreadWaitsWhileAHelperIsSignalled()\n"),
              std::string::npos)
        << *excerpt;
    EXPECT_NE(excerpt->find("\n  quorvel_unit_tests  main\n"), std::string::npos) << *excerpt;
}

} // namespace
