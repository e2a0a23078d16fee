// The app's log on Linux: every line goes to the systemd journal as one native-protocol datagram,
// with its category as a field; when there is no journal the lines go to stderr instead.
#pragma once

#include "platform/Log.h"

#include <string>
#include <string_view>

namespace quorvel {

class JournalLog final : public Log {
public:
    static constexpr std::string_view kJournalSocket = "/run/systemd/journal/socket";

    struct Options {
        std::string socketPath{kJournalSocket};
        // Also write every line to stderr while the journal takes it (started from a terminal).
        bool echoToStderr = false;
        // Where stderr lines go.
        int stderrFd = 2;
    };

    JournalLog();
    explicit JournalLog(Options options);
    ~JournalLog() override;
    JournalLog(const JournalLog&) = delete;
    JournalLog& operator=(const JournalLog&) = delete;

    // Never throws and never waits on the journal. The first time the journal cannot be reached
    // (no socket, refused, …) every later line goes to stderr; a line the journal cannot take
    // right now (its queue is full) goes to stderr alone.
    void write(LogLevel level, std::string_view category, std::string_view message) override;

    // False once the journal was found missing.
    bool usingJournal() const { return m_socket >= 0; }

    // Pure: one datagram of the journal's native protocol carrying the line. A message longer
    // than kMaxJournalMessage bytes is cut there (at a character boundary).
    static std::string journalDatagram(LogLevel level, std::string_view category, std::string_view message);
    // Pure: "quorvel[<category>] <info|error>: <message>\n".
    static std::string stderrLine(LogLevel level, std::string_view category, std::string_view message);

    // Well below what a datagram socket carries by default (about 208 KiB of send buffer), so a
    // huge line arrives shortened rather than not at all.
    static constexpr std::size_t kMaxJournalMessage = 48 * 1024;

private:
    void toStderr(LogLevel level, std::string_view category, std::string_view message) const;

    Options m_options;
    int m_socket = -1;
};

} // namespace quorvel
