// See ControlSocket.h. Every descriptor is non-blocking and close-on-exec (the app starts programs).
#include "ControlSocket.h"

#include "InstanceLock.h"
#include "control/ControlProtocol.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quorvel {

namespace fs = std::filesystem;

namespace {

// Binds or connects `fd` to `path`. A runtime folder may be deep enough that the path does not fit
// a socket address (108 bytes): the folder is then opened and the file named through its
// descriptor, which the kernel resolves like the folder itself.
int onAddress(int fd, const fs::path& path, int (*call)(int, const sockaddr*, socklen_t)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string name = path.native();
    int folder = -1;
    if (name.size() >= sizeof(address.sun_path)) {
        folder = ::open(path.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (folder < 0) return -1;
        name = "/proc/self/fd/" + std::to_string(folder) + "/" + path.filename().string();
        if (name.size() >= sizeof(address.sun_path)) {
            ::close(folder);
            errno = ENAMETOOLONG;
            return -1;
        }
    }
    std::memcpy(address.sun_path, name.c_str(), name.size() + 1);
    const int result = call(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    const int error = errno;
    if (folder >= 0) ::close(folder);
    errno = error;
    return result;
}

} // namespace

int ControlSocket::connectTo(const fs::path& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    // An instance that stopped accepting fills its backlog, and a connect would then wait for
    // good: connecting and sending give up after 5 s.
    const timeval limit{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
    if (onAddress(fd, path, ::connect) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

std::string ControlSocket::socketFileName(std::string_view display) {
    std::string name = InstanceLock::lockFileName(display);
    return name.substr(0, name.size() - std::string_view(".lock").size()) + ".sock";
}

std::optional<uid_t> ControlSocket::peerUid(int fd) {
    struct ucred credentials {};
    socklen_t size = sizeof(credentials);
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 || size != sizeof(credentials))
        return std::nullopt;
    return credentials.uid;
}

std::unique_ptr<ControlSocket> ControlSocket::listen(const fs::path& dir, std::string_view display, Loop loop,
                                                     Handler handler, std::string* whyNot) {
    const auto say = [whyNot](std::string text) {
        if (whyNot) *whyNot = std::move(text);
    };
    fs::path path = dir / socketFileName(display);
    // Only a socket is replaced: anything else there is not ours to delete.
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) {
        if (!S_ISSOCK(info.st_mode)) {
            say(path.string() + " exists and is not a socket");
            return nullptr;
        }
        ::unlink(path.c_str());
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        say(std::string("cannot make the control socket: ") + std::strerror(errno));
        return nullptr;
    }
    if (onAddress(fd, path, ::bind) != 0 ||
        ::chmod(path.c_str(), 0600) != 0 || ::listen(fd, 8) != 0) {
        say("cannot listen on " + path.string() + ": " + std::strerror(errno));
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<ControlSocket>(new ControlSocket(fd, std::move(path), std::move(loop), std::move(handler)));
}

ControlSocket::ControlSocket(int fd, fs::path path, Loop loop, Handler handler)
    : m_fd(fd), m_path(std::move(path)), m_loop(std::move(loop)), m_handler(std::move(handler)) {
    m_loop.watch(m_fd, [this] { acceptAll(); });
}

ControlSocket::~ControlSocket() {
    while (!m_clients.empty()) drop(m_clients.begin()->first);
    m_resumeAccepting.cancel();
    if (m_accepting) m_loop.unwatch(m_fd);
    ::close(m_fd);
    ::unlink(m_path.c_str());
}

void ControlSocket::acceptAll() {
    for (;;) {
        const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) pauseAccepting();
            return; // EAGAIN: none left; anything else: that client is gone
        }
        Client& client = m_clients[fd];
        client.timeout = m_loop.scheduler.after(kClientTimeout, [this, fd] { drop(fd); });
        if (peerUid(fd) != ::geteuid()) {
            answer(fd, controlErrorLine({ControlErrorCode::failed, "refused: the connection is from another user"}));
            continue;
        }
        m_loop.watch(fd, [this, fd] { readFrom(fd); });
    }
}

void ControlSocket::pauseAccepting() {
    // The waiting clients stay queued in the backlog (theirs to time out) until descriptors free up.
    m_loop.unwatch(m_fd);
    m_accepting = false;
    m_resumeAccepting = m_loop.scheduler.after(kAcceptPause, [this] {
        m_accepting = true;
        m_loop.watch(m_fd, [this] { acceptAll(); });
    });
}

void ControlSocket::readFrom(int fd) {
    auto found = m_clients.find(fd);
    if (found == m_clients.end() || found->second.answered) return;
    Client& client = found->second;
    char buffer[4096];
    bool ended = false;
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof(buffer));
        if (got > 0) {
            client.in.append(buffer, static_cast<std::size_t>(got));
            // The line ends at its newline; anything after it is ignored.
            if (const auto newline = client.in.find('\n'); newline != std::string::npos) {
                client.in.resize(newline);
                break;
            }
            // Over the limit with no newline yet: refused without reading the rest.
            if (client.in.size() > kMaxControlRequestBytes) break;
            continue;
        }
        if (got == 0) ended = true;
        else if (errno == EINTR) continue;
        else if (errno != EAGAIN && errno != EWOULDBLOCK) return drop(fd);
        if (!ended) return; // wait for more
        break;
    }
    if (client.in.empty() && ended) return drop(fd);
    std::string line = std::move(client.in);
    // The handler may run a nested event loop (a modal alert): meanwhile the client is neither
    // read nor timed out, so its descriptor is never closed and handed to someone else under it.
    client.answered = true;
    client.timeout.cancel();
    m_loop.unwatch(fd);
    std::string reply = m_handler(line);
    auto still = m_clients.find(fd);
    if (still == m_clients.end()) return;
    still->second.timeout = m_loop.scheduler.after(kClientTimeout, [this, fd] { drop(fd); });
    still->second.out = std::move(reply);
    flush(fd);
}

void ControlSocket::answer(int fd, std::string line) {
    auto found = m_clients.find(fd);
    if (found == m_clients.end()) return;
    Client& client = found->second;
    client.answered = true;
    client.out = std::move(line);
    m_loop.unwatch(fd);
    flush(fd);
}

void ControlSocket::flush(int fd) {
    auto found = m_clients.find(fd);
    if (found == m_clients.end()) return;
    Client& client = found->second;
    while (!client.out.empty()) {
        const ssize_t sent = ::send(fd, client.out.data(), client.out.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            client.out.erase(0, static_cast<std::size_t>(sent));
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A slow reader of a long answer: try again shortly, until the client's timeout.
            client.retryWrite = m_loop.scheduler.after(Seconds(0.01), [this, fd] { flush(fd); });
            return;
        }
        break;
    }
    drop(fd);
}

void ControlSocket::drop(int fd) {
    auto found = m_clients.find(fd);
    if (found == m_clients.end()) return;
    found->second.timeout.cancel();
    found->second.retryWrite.cancel();
    if (!found->second.answered) m_loop.unwatch(fd);
    m_clients.erase(found);
    ::close(fd);
}

} // namespace quorvel
