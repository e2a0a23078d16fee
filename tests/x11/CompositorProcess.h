// A compositing manager (xcompmgr) on a test's X server, started and ended by the test; it also
// ends with its server.
#pragma once

#include "XServer.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace quorvel::x11test {

class CompositorProcess {
public:
    // Starts xcompmgr on `server` (not waiting for it to own its selection).
    explicit CompositorProcess(XServer& server) {
        const std::string pidFile = (std::filesystem::temp_directory_path() /
                                     ("quorvel-xcompmgr-" + std::to_string(::getpid()))).string();
        if (server.run("xcompmgr >/dev/null 2>&1 & echo $! > " + pidFile) != 0)
            throw std::runtime_error("cannot start xcompmgr");
        std::ifstream(pidFile) >> m_pid;
        std::filesystem::remove(pidFile);
        if (m_pid <= 0) throw std::runtime_error("xcompmgr left no process id");
    }
    ~CompositorProcess() { stop(); }
    CompositorProcess(const CompositorProcess&) = delete;
    CompositorProcess& operator=(const CompositorProcess&) = delete;

    // Ends it as a crash would (its selection goes with its connection).
    void stop() {
        if (m_pid > 0) ::kill(m_pid, SIGKILL);
        m_pid = 0;
    }
    // Whether xcompmgr is installed here.
    static bool available() { return std::system("command -v xcompmgr >/dev/null 2>&1") == 0; }

private:
    pid_t m_pid = 0;
};

} // namespace quorvel::x11test
