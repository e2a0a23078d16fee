// A log that keeps every line, so tests can assert exact text.
#pragma once

#include "platform/Log.h"

#include <string>
#include <vector>

namespace quorvel::sim {

class CapturingLog final : public Log {
public:
    struct Line {
        LogLevel level;
        std::string category;
        std::string message;
    };

    explicit CapturingLog(bool echo = false) : m_echo(echo) {}

    void write(LogLevel level, std::string_view category, std::string_view message) override;

    const std::vector<Line>& entries() const { return m_lines; }
    // The messages, in order.
    std::vector<std::string> lines() const;
    // The messages of one category.
    std::vector<std::string> lines(std::string_view category) const;
    bool contains(std::string_view message) const;
    // How many messages contain `fragment`.
    std::size_t count(std::string_view fragment) const;
    void clear() { m_lines.clear(); }

private:
    bool m_echo;
    std::vector<Line> m_lines;
};

} // namespace quorvel::sim
