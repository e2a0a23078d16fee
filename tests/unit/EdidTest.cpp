// A monitor's identity from its EDID block: the identifier Focus Display remembers, the model name,
// and what does not count as a block at all.
#include "Edid.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel::x11 {
namespace {

// A 128-byte base block: manufacturer DEL, product 0xA0C4, serial 0x3033574C, and a name descriptor.
std::vector<std::uint8_t> dellBlock(const std::string& model) {
    std::vector<std::uint8_t> edid(128, 0);
    const std::uint8_t header[] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    std::copy(std::begin(header), std::end(header), edid.begin());
    // D=4, E=5, L=12 in five bits each.
    const unsigned maker = (4u << 10) | (5u << 5) | 12u;
    edid[8] = std::uint8_t(maker >> 8);
    edid[9] = std::uint8_t(maker & 0xFF);
    edid[10] = 0xC4, edid[11] = 0xA0;                                 // product, little-endian
    edid[12] = 0x4C, edid[13] = 0x57, edid[14] = 0x33, edid[15] = 0x30; // serial, little-endian
    // The second descriptor (byte 72) names the monitor; the first is a timing (non-zero start).
    edid[54] = 0x01;
    const std::size_t at = 72;
    edid[at + 3] = 0xFC;
    std::string text = model + "\n";
    text.resize(13, ' ');
    std::copy(text.begin(), text.end(), edid.begin() + at + 5);
    return edid;
}

TEST(EdidTest, IdentifierAndModelComeFromTheBlock) {
    const auto edid = dellBlock("DELL U2720Q");
    EXPECT_EQ(edidIdentifier(edid), "DEL-a0c4-3033574c");
    EXPECT_EQ(edidMonitorName(edid), "DELL U2720Q");
    // A different serial number is a different monitor.
    auto other = edid;
    other[12] = 0x4D;
    EXPECT_EQ(edidIdentifier(other), "DEL-a0c4-3033574d");
}

TEST(EdidTest, ShortOrHeaderlessBlocksSayNothing) {
    auto edid = dellBlock("DELL U2720Q");
    edid.resize(127);
    EXPECT_EQ(edidIdentifier(edid), std::nullopt);
    edid = dellBlock("X");
    edid[0] = 0x01;
    EXPECT_EQ(edidIdentifier(edid), std::nullopt);
    EXPECT_EQ(edidMonitorName(edid), std::nullopt);
    EXPECT_EQ(edidIdentifier({}), std::nullopt);
    // A block without a name descriptor still identifies the monitor.
    edid = dellBlock("X");
    edid[72 + 3] = 0xFF;
    EXPECT_TRUE(edidIdentifier(edid));
    EXPECT_EQ(edidMonitorName(edid), std::nullopt);
}

TEST(EdidTest, LaptopPanelsAreKnownByTheirConnector) {
    for (const char* name : {"eDP-1", "eDP1", "LVDS-1", "DSI-1"}) EXPECT_TRUE(isBuiltinConnector(name)) << name;
    for (const char* name : {"DP-1", "HDMI-1", "DUMMY0", "screen", "edp"}) EXPECT_FALSE(isBuiltinConnector(name)) << name;
}

} // namespace
} // namespace quorvel::x11
