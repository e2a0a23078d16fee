// The journal's native protocol over a datagram socket, with no library: fields are "NAME=value\n",
// or "NAME\n" + 64-bit little-endian length + value + "\n" when the value holds a newline.
#include "JournalLog.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>

namespace quorvel {
namespace {

void appendField(std::string& out, std::string_view name, std::string_view value) {
    out += name;
    if (value.find('\n') == std::string_view::npos) {
        out += '=';
        out += value;
    } else {
        out += '\n';
        std::uint64_t length = value.size();
        for (int byte = 0; byte < 8; ++byte) {
            out += static_cast<char>(length & 0xffu);
            length >>= 8;
        }
        out += value;
    }
    out += '\n';
}

// The longest prefix of `text` of at most `limit` bytes that does not split a UTF-8 sequence.
std::string_view cutAt(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return text;
    std::size_t end = limit;
    // Back off continuation bytes (10xxxxxx) so the cut lands before a lead byte.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xc0u) == 0x80u) --end;
    return text.substr(0, end);
}

bool isTransient(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == ENOBUFS || error == ENOMEM || error == EMSGSIZE;
}

} // namespace

JournalLog::JournalLog() : JournalLog(Options{}) {}

JournalLog::JournalLog(Options options) : m_options(std::move(options)) {
    sockaddr_un probe{};
    if (m_options.socketPath.empty() || m_options.socketPath.size() >= sizeof(probe.sun_path)) return;
    // Non-blocking: a journal that is slow to read must never hold up the app.
    m_socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
}

JournalLog::~JournalLog() {
    if (m_socket >= 0) ::close(m_socket);
}

std::string JournalLog::journalDatagram(LogLevel level, std::string_view category, std::string_view message) {
    std::string out;
    const std::string_view text = cutAt(message, kMaxJournalMessage);
    out.reserve(text.size() + category.size() + 128);
    appendField(out, "MESSAGE", text);
    appendField(out, "PRIORITY", level == LogLevel::error ? "3" : "6");
    appendField(out, "SYSLOG_IDENTIFIER", "quorvel");
    appendField(out, "QUORVEL_SUBSYSTEM", kLogSubsystem);
    appendField(out, "QUORVEL_CATEGORY", category);
    return out;
}

std::string JournalLog::stderrLine(LogLevel level, std::string_view category, std::string_view message) {
    std::string line = "quorvel[";
    line += category;
    line += level == LogLevel::error ? "] error: " : "] info: ";
    line += message;
    line += '\n';
    return line;
}

void JournalLog::write(LogLevel level, std::string_view category, std::string_view message) {
    try {
        bool delivered = false;
        if (m_socket >= 0) {
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::memcpy(address.sun_path, m_options.socketPath.data(), m_options.socketPath.size());
            const std::string datagram = journalDatagram(level, category, message);
            ssize_t sent = -1;
            do {
                sent = ::sendto(m_socket, datagram.data(), datagram.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                                reinterpret_cast<const sockaddr*>(&address), sizeof(address));
            } while (sent < 0 && errno == EINTR);
            delivered = sent >= 0;
            if (!delivered && !isTransient(errno)) {
                // No journal (absent, refused, not a socket, …): stderr from now on.
                ::close(m_socket);
                m_socket = -1;
            }
        }
        if (!delivered || m_options.echoToStderr) toStderr(level, category, message);
    } catch (...) {
        // Only allocation can fail here; a log line is not worth ending the app for.
    }
}

void JournalLog::toStderr(LogLevel level, std::string_view category, std::string_view message) const {
    // One write(2) for the whole line so lines of concurrent writers never interleave.
    const std::string line = stderrLine(level, category, message);
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t written = ::write(m_options.stderrFd, line.data() + done, line.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        done += static_cast<std::size_t>(written);
    }
}

} // namespace quorvel
