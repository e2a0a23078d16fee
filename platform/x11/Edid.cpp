// Reading a monitor's EDID block (see Edid.h).
#include "Edid.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace quorvel::x11 {

namespace {

bool valid(const std::vector<std::uint8_t>& edid) {
    constexpr std::array<std::uint8_t, 8> header{0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    if (edid.size() < 128) return false;
    for (std::size_t i = 0; i < header.size(); ++i)
        if (edid[i] != header[i]) return false;
    return true;
}

} // namespace

std::optional<std::string> edidIdentifier(const std::vector<std::uint8_t>& edid) {
    if (!valid(edid)) return std::nullopt;
    // Three letters of five bits each, big-endian; 1 is 'A'.
    const unsigned maker = (unsigned(edid[8]) << 8) | edid[9];
    std::string letters;
    for (const int shift : {10, 5, 0}) {
        const unsigned code = (maker >> shift) & 0x1F;
        letters += (code >= 1 && code <= 26) ? char('A' + code - 1) : '?';
    }
    const unsigned product = edid[10] | (unsigned(edid[11]) << 8);
    const std::uint32_t serial = std::uint32_t(edid[12]) | std::uint32_t(edid[13]) << 8 |
                                 std::uint32_t(edid[14]) << 16 | std::uint32_t(edid[15]) << 24;
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%s-%04x-%08lx", letters.c_str(), product,
                  static_cast<unsigned long>(serial));
    return std::string(buffer);
}

std::optional<std::string> edidMonitorName(const std::vector<std::uint8_t>& edid) {
    if (!valid(edid)) return std::nullopt;
    // Four 18-byte descriptors from byte 54; a display descriptor starts 00 00 00, the name is tag FC.
    for (std::size_t at = 54; at + 18 <= 126; at += 18) {
        if (edid[at] != 0 || edid[at + 1] != 0 || edid[at + 2] != 0 || edid[at + 3] != 0xFC) continue;
        std::string name;
        for (std::size_t i = at + 5; i < at + 18 && edid[i] != 0x0A; ++i) name += char(edid[i]);
        while (!name.empty() && (name.back() == ' ' || name.back() == '\0')) name.pop_back();
        if (!name.empty()) return name;
    }
    return std::nullopt;
}

bool isBuiltinConnector(const std::string& outputName) {
    for (const char* prefix : {"eDP", "LVDS", "DSI"})
        if (outputName.rfind(prefix, 0) == 0) return true;
    return false;
}

} // namespace quorvel::x11
