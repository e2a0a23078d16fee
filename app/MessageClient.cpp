// The client side of `quorvel msg`: checks the command, connects, sends one line, reads one line.
// Query answers print as indented JSON; an action that worked prints nothing.
#include "MessageClient.h"

#include "ControlSocket.h"
#include "InstanceLock.h"
#include "control/ControlProtocol.h"

#include <nlohmann/json.hpp>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace quorvel {

namespace {

using Json = nlohmann::json;

// How long the running app may take to answer; it answers from its main loop.
constexpr int kAnswerTimeoutMs = 5000;

int usageError(const std::string& message) {
    std::fprintf(stderr, "quorvel msg: %s\n", message.c_str());
    return 2;
}

int failure(const std::string& message) {
    std::fprintf(stderr, "quorvel msg: %s\n", message.c_str());
    return 1;
}

bool sendAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t sent = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

// One line from `fd`, waiting kAnswerTimeoutMs at most in all; none on timeout or a closed socket.
std::optional<std::string> readLine(int fd) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerTimeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return std::nullopt;
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return std::nullopt;
        char buffer[4096];
        const ssize_t got = ::read(fd, buffer, sizeof(buffer));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return line.empty() ? std::nullopt : std::optional(line);
        line.append(buffer, static_cast<std::size_t>(got));
        if (const auto newline = line.find('\n'); newline != std::string::npos) return line.substr(0, newline);
    }
}

} // namespace

int runMessageClient(int argc, char** argv) {
    if (argc < 3) return usageError("usage: quorvel msg <command> [arguments]\n" + controlCommandList());
    ControlRequest request{argv[2], {}};
    for (int i = 3; i < argc; ++i) request.args.emplace_back(argv[i]);
    if (auto error = checkControlRequest(request)) return usageError(error->message);
    const std::string line = controlRequestLine(request);
    if (line.size() - 1 > kMaxControlRequestBytes) return usageError("the command is over 64 KiB, more than Quorvel reads");

    const char* displayVariable = std::getenv("DISPLAY");
    const std::string display = displayVariable ? displayVariable : "";
    const std::string where = display.empty() ? "the default display" : "display " + display;
    std::string whyNot;
    const auto dir = InstanceLock::lockDirectory(std::getenv("XDG_RUNTIME_DIR"), "/tmp", &whyNot);
    if (!dir) return failure(whyNot);
    const std::string path = (*dir / ControlSocket::socketFileName(display)).string();

    const int fd = ControlSocket::connectTo(path);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ECONNREFUSED)
            return failure("Quorvel is not running on " + where + ".");
        return failure("cannot reach Quorvel on " + where + ": " + std::strerror(error));
    }
    const bool sent = sendAll(fd, line);
    const auto reply = sent ? readLine(fd) : std::nullopt;
    ::close(fd);
    if (!reply) return failure("Quorvel on " + where + " did not answer.");

    const Json answer = Json::parse(*reply, nullptr, false);
    if (!answer.is_object()) return failure("Quorvel gave an answer that is not JSON.");
    if (answer.value("ok", false)) {
        if (request.command == "query") {
            const auto value = answer.find(request.args[0]);
            if (value != answer.end()) std::printf("%s\n", value->dump(2).c_str());
        }
        return 0;
    }
    const std::string error = answer.value("error", std::string("the command failed"));
    return answer.value("code", 1) == static_cast<int>(ControlErrorCode::usage) ? usageError(error) : failure(error);
}

} // namespace quorvel
