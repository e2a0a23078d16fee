// Exec lines: words split on spaces, double-quoted words with their backslash escapes, then the
// field codes of each word. Outside double quotes a backslash is an ordinary character and single
// quotes are too.
#include "DesktopEntryExec.h"

namespace quorvel {

namespace {

struct Word {
    std::string text;
    bool quoted = false;
};

std::optional<std::vector<Word>> splitWords(std::string_view exec) {
    std::vector<Word> words;
    std::optional<Word> current;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (c == ' ' || c == '\t') {
            if (current) words.push_back(std::move(*current));
            current.reset();
            continue;
        }
        if (!current) current.emplace();
        if (c != '"') {
            current->text += c;
            continue;
        }
        // Inside quotes a backslash escapes ", `, $ and itself; any other backslash stays.
        current->quoted = true;
        bool closed = false;
        for (++i; i < exec.size(); ++i) {
            const char q = exec[i];
            if (q == '"') {
                closed = true;
                break;
            }
            // No field codes inside quotes: only %%, kept for the expansion to make one percent sign.
            if (q == '%') {
                if (i + 1 == exec.size() || exec[i + 1] != '%') return std::nullopt;
                current->text += "%%";
                ++i;
                continue;
            }
            const bool escape = q == '\\' && i + 1 < exec.size();
            if (escape && std::string_view("\"`$\\").find(exec[i + 1]) != std::string_view::npos) {
                current->text += exec[++i];
                continue;
            }
            current->text += q;
        }
        if (!closed) return std::nullopt;
    }
    if (current) words.push_back(std::move(*current));
    return words;
}

bool dropsWholeWord(char code) { return std::string_view("fFuUdDnNvm").find(code) != std::string_view::npos; }

} // namespace

std::optional<std::vector<std::string>> execArguments(std::string_view exec, const DesktopEntryFields& fields) {
    const auto words = splitWords(exec);
    if (!words) return std::nullopt;
    std::vector<std::string> argv;
    for (const Word& word : *words) {
        // A code standing alone may expand to no argument at all, or to two.
        if (!word.quoted && word.text.size() == 2 && word.text[0] == '%') {
            if (dropsWholeWord(word.text[1])) continue;
            if (word.text[1] == 'i') {
                if (!fields.icon.empty()) argv.insert(argv.end(), {"--icon", fields.icon});
                continue;
            }
            // No file known (an entry made in memory): no argument, as GIO's launch does.
            if (word.text[1] == 'k' && fields.location.empty()) continue;
        }
        std::string expanded;
        for (std::size_t i = 0; i < word.text.size(); ++i) {
            if (word.text[i] != '%') {
                expanded += word.text[i];
                continue;
            }
            if (++i == word.text.size()) return std::nullopt;
            const char code = word.text[i];
            if (code == '%') expanded += '%';
            else if (code == 'c') expanded += fields.name;
            else if (code == 'k') expanded += fields.location;
            else if (code == 'i') expanded += fields.icon;
            else if (!dropsWholeWord(code)) return std::nullopt;
        }
        argv.push_back(std::move(expanded));
    }
    if (argv.empty() || argv.front().empty()) return std::nullopt;
    return argv;
}

} // namespace quorvel
