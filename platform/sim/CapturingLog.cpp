// Captured log lines, optionally echoed to stderr for the demo.
#include "CapturingLog.h"

#include <iostream>

namespace quorvel::sim {

void CapturingLog::write(LogLevel level, std::string_view category, std::string_view message) {
    m_lines.push_back({level, std::string(category), std::string(message)});
    if (m_echo)
        std::cerr << (level == LogLevel::error ? "[error] " : "[info] ") << category << ": " << message << '\n';
}

std::vector<std::string> CapturingLog::lines() const {
    std::vector<std::string> out;
    for (const auto& line : m_lines) out.push_back(line.message);
    return out;
}

std::vector<std::string> CapturingLog::lines(std::string_view category) const {
    std::vector<std::string> out;
    for (const auto& line : m_lines)
        if (line.category == category) out.push_back(line.message);
    return out;
}

bool CapturingLog::contains(std::string_view message) const {
    for (const auto& line : m_lines)
        if (line.message == message) return true;
    return false;
}

std::size_t CapturingLog::count(std::string_view fragment) const {
    std::size_t n = 0;
    for (const auto& line : m_lines)
        if (line.message.find(fragment) != std::string::npos) ++n;
    return n;
}

} // namespace quorvel::sim
