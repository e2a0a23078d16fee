// The control socket of `quorvel msg`: a Unix stream socket beside the instance lock
// ("display-:1.sock" in the same private folder, mode 0600). One request line in, one answer line
// out, then the connection closes. Non-blocking throughout and served from the app's main loop:
// reads are bounded (64 KiB), a client that stalls is dropped after kClientTimeout, and a peer of
// another user (SO_PEERCRED) is refused before anything is read. The answers come from the handler
// (ControlCommands in the app).
#pragma once

#include "platform/Scheduler.h"

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

class ControlSocket {
public:
    static constexpr Seconds kClientTimeout{2.0};
    // Out of descriptors, the socket stays readable and accepting would spin: it rests this long.
    static constexpr Seconds kAcceptPause{0.5};

    using Handler = std::function<std::string(std::string_view line)>;
    // The main loop's descriptor watches (QtScheduler's or PollLoop's) and its timers.
    struct Loop {
        std::function<void(int fd, std::function<void()> onReadable)> watch;
        std::function<void(int fd)> unwatch;
        Scheduler& scheduler;
    };

    // Pure: "display-<name>.sock", named like the instance lock of the same display.
    static std::string socketFileName(std::string_view display);
    // Listens in `dir` (the instance lock's private folder). A file left there by an instance that
    // crashed is replaced: the caller holds the instance lock, so no live instance uses it. None
    // when the socket cannot be made; `whyNot` says why.
    static std::unique_ptr<ControlSocket> listen(const std::filesystem::path& dir, std::string_view display, Loop loop,
                                                 Handler handler, std::string* whyNot = nullptr);
    // A blocking client connection to the socket at `path`; -1 with errno set when none. Paths
    // longer than a socket address holds are reached through their folder (/proc/self/fd).
    static int connectTo(const std::filesystem::path& path);
    // The uid of the process at the other end of a connected Unix socket; none when unknown.
    static std::optional<uid_t> peerUid(int fd);

    ControlSocket(const ControlSocket&) = delete;
    ControlSocket& operator=(const ControlSocket&) = delete;
    // Closes every connection and removes the socket file.
    ~ControlSocket();

    const std::filesystem::path& path() const { return m_path; }
    // Connections being served right now.
    std::size_t openConnections() const { return m_clients.size(); }

private:
    struct Client {
        std::string in;
        std::string out;
        bool answered = false;
        TaskHandle timeout;
        TaskHandle retryWrite;
    };

    ControlSocket(int fd, std::filesystem::path path, Loop loop, Handler handler);
    void acceptAll();
    void pauseAccepting();
    void readFrom(int fd);
    void answer(int fd, std::string line);
    void flush(int fd);
    void drop(int fd);

    int m_fd = -1;
    std::filesystem::path m_path;
    Loop m_loop;
    Handler m_handler;
    std::map<int, Client> m_clients;
    bool m_accepting = true;
    TaskHandle m_resumeAccepting;
};

} // namespace quorvel
