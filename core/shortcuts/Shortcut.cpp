// Shortcut texts: the key-name tables, the storage text and its parser (stored text is outside
// input, so the parser refuses anything it cannot vouch for).
#include "shortcuts/Shortcut.h"

#include <charconv>
#include <limits>
#include <utility>
#include <vector>

namespace quorvel {

namespace {

// Keys without a printable character of their own.
constexpr std::pair<std::int64_t, std::string_view> kNamedKeys[] = {
    {123, "\u2190"}, {124, "\u2192"}, {126, "\u2191"}, {125, "\u2193"}, {49, "Space"},
    {36, "\u23CE"},  {48, "\u21E5"},  {53, "\u238B"},  {51, "\u232B"},  {117, "\u2326"},
    {115, "\u2196"}, {119, "\u2198"}, {116, "\u21DE"}, {121, "\u21DF"},
};

// Letter, digit and punctuation keys by their unshifted US character; letters in capitals.
constexpr std::pair<std::int64_t, std::string_view> kCharacterKeys[] = {
    {0, "A"},  {1, "S"},  {2, "D"},  {3, "F"},  {4, "H"},  {5, "G"},  {6, "Z"},  {7, "X"},
    {8, "C"},  {9, "V"},  {11, "B"}, {12, "Q"}, {13, "W"}, {14, "E"}, {15, "R"}, {16, "Y"},
    {17, "T"}, {18, "1"}, {19, "2"}, {20, "3"}, {21, "4"}, {22, "6"}, {23, "5"}, {24, "="},
    {25, "9"}, {26, "7"}, {27, "-"}, {28, "8"}, {29, "0"}, {30, "]"}, {31, "O"}, {32, "U"},
    {33, "["}, {34, "I"}, {35, "P"}, {37, "L"}, {38, "J"}, {39, "'"}, {40, "K"}, {41, ";"},
    {42, "\\"}, {43, ","}, {46, "M"}, {45, "N"}, {47, "."}, {44, "/"}, {50, "`"},
};

// A whole piece as a base-10 integer with an optional sign; nothing else may follow.
std::optional<std::int64_t> parseInteger(std::string_view piece) {
    if (piece.size() > 1 && piece.front() == '+' && piece[1] != '-') piece.remove_prefix(1);
    std::int64_t value = 0;
    const char* end = piece.data() + piece.size();
    auto [ptr, ec] = std::from_chars(piece.data(), end, value, 10);
    if (ec != std::errc{} || ptr != end) return std::nullopt;
    return value;
}

} // namespace

std::string Shortcut::keyName(std::int64_t code) {
    for (const auto& [key, name] : kNamedKeys)
        if (key == code) return std::string(name);
    for (const auto& [key, name] : kCharacterKeys)
        if (key == code) return std::string(name);
    return "Key " + std::to_string(code);
}

std::string Shortcut::displayText() const { return modifiers.symbols() + keyName(keyCode); }

std::string Shortcut::storageText() const {
    return std::to_string(modifiers.rawValue) + ":" + std::to_string(keyCode);
}

std::optional<Shortcut> Shortcut::parse(std::string_view text) {
    std::vector<std::string_view> pieces;
    while (!text.empty()) {
        const auto colon = text.find(':');
        const auto piece = text.substr(0, colon);
        if (!piece.empty()) pieces.push_back(piece);
        if (colon == std::string_view::npos) break;
        text.remove_prefix(colon + 1);
    }
    if (pieces.size() != 2) return std::nullopt;
    const auto modifiers = parseInteger(pieces[0]);
    const auto keyCode = parseInteger(pieces[1]);
    if (!modifiers || !keyCode) return std::nullopt;
    // A key code the hot-key system cannot take would otherwise reach it from a hand-edited store.
    if (*keyCode < 0 || *keyCode > std::int64_t{std::numeric_limits<std::uint32_t>::max()}) return std::nullopt;
    return Shortcut{*keyCode, KeyModifiers(*modifiers)};
}

} // namespace quorvel
