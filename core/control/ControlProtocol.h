// The control protocol of `quorvel msg`: one JSON request per line ({"command":"switch","args":["3"]})
// and one JSON answer per line ({"ok":true,...} or {"ok":false,"error":"...","code":N}). Pure: the
// app's ControlCommands runs what this parses; the client checks a request here before it connects.
#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quorvel {

// A request line longer than this (newline excluded) is refused unread.
inline constexpr std::size_t kMaxControlRequestBytes = 64 * 1024;

// The code of a refused request; the client's exit status follows it (usage → 2, else 1).
enum class ControlErrorCode {
    failed = 1,    // understood, but could not be done (no such desktop, tiling is off)
    usage = 2,     // unknown command or wrong arguments
    malformed = 3, // not a JSON object of the request's shape
    tooLarge = 4,  // over kMaxControlRequestBytes
};

struct ControlError {
    ControlErrorCode code = ControlErrorCode::failed;
    std::string message;
};

struct ControlRequest {
    std::string command;
    std::vector<std::string> args;
    friend bool operator==(const ControlRequest&, const ControlRequest&) = default;
};

// Every command name: the hot-key actions by their storage names, then switch, name, tiling, query
// (retile is one of the actions).
std::vector<std::string> controlCommandNames();
// "Commands: toggle_panel, …, query desktops|windows|settings" — for errors and the client's usage.
std::string controlCommandList();

// Pure: the request of one line (its newline, if any, removed), or why it is refused (malformed,
// too large). Does not check the command; see checkControlRequest.
std::variant<ControlRequest, ControlError> parseControlRequest(std::string_view line);
// Pure: none when the command exists and its arguments have their shape (`switch <n>`, `name <n>
// <text…>` / `name <n> --clear`, `tiling on|off|toggle`, `query desktops|windows|settings`, no
// arguments for the actions); else a usage error naming the commands or the expected arguments.
std::optional<ControlError> checkControlRequest(const ControlRequest& request);

// The request as one line, newline included.
std::string controlRequestLine(const ControlRequest& request);
// Answers as one line each, newline included. `fields` (an object) is merged after "ok": true.
std::string controlOkLine(const nlohmann::json& fields = nlohmann::json::object());
std::string controlErrorLine(const ControlError& error);

} // namespace quorvel
