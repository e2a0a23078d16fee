// Launch at login through the freedesktop autostart folder: the entry
// $XDG_CONFIG_HOME/autostart/quorvel.desktop (default ~/.config) starts the running executable.
// Written atomically (a temporary file renamed into place), mode 0644; removed when turned off.
#pragma once

#include "platform/LaunchAtLogin.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace quorvel {

class AutostartEntry final : public LaunchAtLogin {
public:
    // `entry` is the entry file; `executable` is what it starts.
    AutostartEntry(std::filesystem::path entry, std::filesystem::path executable);

    // $XDG_CONFIG_HOME/autostart/quorvel.desktop; ~/.config when the variable is unset or relative.
    static std::filesystem::path defaultPath();
    // The running program (/proc/self/exe); empty when it cannot be read.
    static std::filesystem::path runningExecutable();

    // The entry exists and does not say Hidden=true (a desktop's way to switch an entry off).
    bool isEnabled() const override;
    // On: writes the entry (over one that is there, hidden or not). Off: removes it; an entry that
    // is already gone is success.
    LaunchAtLoginChange setEnabled(bool enabled) override;

    // The entry's text for `executable`.
    static std::string contents(const std::filesystem::path& executable);
    // One argument of an Exec value: double-quoted when it holds a reserved character, with `"`,
    // `` ` ``, `$` and `\` escaped inside the quotes; `%` doubled; then escaped as a string value
    // (`\` doubled, newline, tab and carriage return as \n, \t, \r).
    static std::string execValue(std::string_view argument);

    const std::filesystem::path& path() const { return m_entry; }

private:
    std::filesystem::path m_entry;
    std::filesystem::path m_executable;
};

} // namespace quorvel
