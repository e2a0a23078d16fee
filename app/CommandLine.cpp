// The executable's options; see CommandLine.h.
#include "CommandLine.h"

#include <QCommandLineParser>

#include <cstdio>
#include <filesystem>

namespace quorvel {

namespace {

constexpr char kDescription[] =
    "Tiles the windows of each desktop, names desktops and switches between them with hot keys.\n"
    "Runs in the background with an icon in the system tray; needs an X11 session with an EWMH\n"
    "window manager. Its log goes to the journal: journalctl SYSLOG_IDENTIFIER=quorvel";

std::string usageOf(const QCommandLineParser& parser) {
    // The parser names the program after QCoreApplication's arguments, which do not exist yet:
    // its first line is ours.
    const QString text = parser.helpText();
    const qsizetype firstLineEnd = text.indexOf(QLatin1Char('\n'));
    return "Usage: quorvel [options]" + (firstLineEnd < 0 ? QString() : text.mid(firstLineEnd)).toStdString();
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments, const std::string& version) {
    CommandLine result;
    if (arguments.size() > 1 && arguments.at(1) == QStringLiteral("msg")) return result;

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption versionOption({QStringLiteral("V"), QStringLiteral("version")},
                                           QStringLiteral("Show the version and exit."));
    const QCommandLineOption verbose({QStringLiteral("v"), QStringLiteral("verbose")},
                                     QStringLiteral("Echo every log line to stderr, also when the journal takes it."));
    const QCommandLineOption configDir(
        QStringLiteral("config-dir"),
        QStringLiteral("Keep the settings file (defaults.json) in <dir> instead of $XDG_CONFIG_HOME/quorvel."),
        QStringLiteral("dir"));
    parser.addOptions({help, versionOption, verbose, configDir});

    if (!parser.parse(arguments)) {
        result.action = CommandLine::Action::error;
        result.text = "quorvel: " + parser.errorText().toStdString() + "\n\n" + usageOf(parser);
        return result;
    }
    if (parser.isSet(help)) {
        result.action = CommandLine::Action::help;
        result.text = usageOf(parser);
        return result;
    }
    if (parser.isSet(versionOption)) {
        result.action = CommandLine::Action::version;
        result.text = "quorvel " + version + "\n";
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.action = CommandLine::Action::error;
        result.text = "quorvel: unexpected argument '" + parser.positionalArguments().first().toStdString() +
                      "'.\n\n" + usageOf(parser);
        return result;
    }
    result.verbose = parser.isSet(verbose);
    if (parser.isSet(configDir)) {
        const std::string dir = parser.value(configDir).toStdString();
        if (dir.empty()) {
            result.action = CommandLine::Action::error;
            result.text = "quorvel: --config-dir needs a folder.\n\n" + usageOf(parser);
            return result;
        }
        std::error_code error;
        const auto absolute = std::filesystem::absolute(dir, error);
        result.configDir = error ? dir : absolute.lexically_normal().string();
    }
    return result;
}

QStringList commandLineArguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

int answerCommandLine(const CommandLine& commandLine) {
    switch (commandLine.action) {
    case CommandLine::Action::run: return 0;
    case CommandLine::Action::help:
    case CommandLine::Action::version: std::fputs(commandLine.text.c_str(), stdout); return 0;
    case CommandLine::Action::error: std::fputs(commandLine.text.c_str(), stderr); return 2;
    }
    return 2;
}

} // namespace quorvel
