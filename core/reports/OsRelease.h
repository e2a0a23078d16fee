// Reading os-release text (KEY=value lines), shared by the crash payload and the problem report.
#pragma once

#include <string>
#include <string_view>

namespace quorvel {

// The value of `key` in os-release text: the last assignment wins, surrounding single or double
// quotes are dropped and backslash escapes resolved; empty when absent. Pure.
std::string osReleaseValue(std::string_view text, std::string_view key);

} // namespace quorvel
