// os-release values (OsRelease.h).
#include "reports/OsRelease.h"

namespace quorvel {

std::string osReleaseValue(std::string_view text, std::string_view key) {
    std::string value;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (!line.starts_with(key) || line.substr(key.size(), 1) != "=") continue;
        line.remove_prefix(key.size() + 1);
        if (line.size() >= 2 && (line.front() == '"' || line.front() == '\'') && line.back() == line.front())
            line = line.substr(1, line.size() - 2);
        value.clear();
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) ++i;
            value += line[i];
        }
    }
    return value;
}

} // namespace quorvel
