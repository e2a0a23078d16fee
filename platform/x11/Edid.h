// What a monitor's EDID block says about it: a persistent identifier (manufacturer, product and
// serial number) and its model name. Pure; X11DisplayOutputs reads the block from RandR.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::x11 {

// "DEL-a0c4-3033574c": the three-letter manufacturer, the product code and the serial number, in
// hexadecimal. None when the block is shorter than 128 bytes or lacks the EDID header.
std::optional<std::string> edidIdentifier(const std::vector<std::uint8_t>& edid);
// The model name of the monitor-name descriptor ("DELL U2720Q"), trimmed; none without one.
std::optional<std::string> edidMonitorName(const std::vector<std::uint8_t>& edid);
// eDP, LVDS and DSI connectors drive a laptop's or tablet's own panel.
bool isBuiltinConnector(const std::string& outputName);

} // namespace quorvel::x11
