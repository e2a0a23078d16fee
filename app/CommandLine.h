// The executable's command line: read with QCommandLineParser before any QApplication exists, so
// --help and --version answer without a display. Used at the top of main() (main.cpp).
#pragma once

#include <QStringList>

#include <optional>
#include <string>

namespace quorvel {

struct CommandLine {
    enum class Action {
        run,     // start the app with the options below
        help,    // print `text` on stdout, exit 0
        version, // print `text` on stdout, exit 0
        error,   // print `text` (the error, then the usage) on stderr, exit 2
    };
    Action action = Action::run;
    // Echo every log line to stderr, also while the journal takes them.
    bool verbose = false;
    // The folder the settings file lives in instead of $XDG_CONFIG_HOME/quorvel; absolute.
    std::optional<std::string> configDir;
    std::string text;
};

// Pure apart from reading the working directory (to make a relative --config-dir absolute).
// `arguments` starts with the program's name. A first argument "msg" belongs to the control
// client, handled before this: it comes back as `run` with nothing else set.
CommandLine parseCommandLine(const QStringList& arguments, const std::string& version);

// argv as Qt strings, decoded from the locale's encoding.
QStringList commandLineArguments(int argc, char** argv);

// Prints what `commandLine` says for help, version or an error; the exit code that goes with it.
int answerCommandLine(const CommandLine& commandLine);

} // namespace quorvel
