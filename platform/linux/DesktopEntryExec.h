// The Exec line of a desktop entry turned into the arguments of a program to start directly, never
// through a shell: the quoting and field codes of the Desktop Entry Specification, started with no
// file or address to open. Pure; GioApplications reads the entry it comes from.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// What the field codes of an Exec line stand for.
struct DesktopEntryFields {
    std::string name;     // %c: the entry's (translated) Name
    std::string icon;     // %i: "--icon" and the Icon, as two arguments; nothing without an Icon
    std::string location; // %k: the entry file's path; standing alone, nothing when empty
};

// The arguments, program first. The file and address codes (%f %F %u %U) and the deprecated ones
// (%d %D %n %N %v %m) stand for nothing, %% is a percent sign. None when the line is empty, a
// quote is not closed, it holds a code the Desktop Entry Specification does not define, or a code
// other than %% inside double quotes (there it would land in text another program parses, a
// shell's for one).
// Only double quotes quote; a backslash outside them is an ordinary character.
std::optional<std::vector<std::string>> execArguments(std::string_view exec, const DesktopEntryFields& fields);

} // namespace quorvel
