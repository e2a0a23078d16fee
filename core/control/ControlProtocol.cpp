// Parsing and checking requests, writing answers. Nothing here throws to its caller: a request
// from outside that nlohmann::json refuses becomes a malformed-request error.
#include "control/ControlProtocol.h"

#include "menubar/Utf8.h"
#include "shortcuts/HotkeyAction.h"

#include <algorithm>
#include <charconv>

namespace quorvel {

namespace {

using Json = nlohmann::json;

ControlError usage(std::string message) { return {ControlErrorCode::usage, std::move(message)}; }

bool isDesktopNumber(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= 1;
}

bool oneOf(std::string_view value, std::initializer_list<std::string_view> allowed) {
    return std::find(allowed.begin(), allowed.end(), value) != allowed.end();
}

} // namespace

std::vector<std::string> controlCommandNames() {
    std::vector<std::string> names;
    for (const HotkeyAction action : kHotkeyActions) names.emplace_back(rawValue(action));
    for (const char* name : {"switch", "name", "tiling", "query"}) names.emplace_back(name);
    return names;
}

std::string controlCommandList() {
    std::string text = "Commands:";
    for (const HotkeyAction action : kHotkeyActions) {
        text += ' ';
        text += rawValue(action);
        text += ',';
    }
    text += " switch <n>, name <n> <text> | name <n> --clear, tiling on|off|toggle, query desktops|windows|settings";
    return text;
}

std::variant<ControlRequest, ControlError> parseControlRequest(std::string_view line) {
    if (line.ends_with('\n')) line.remove_suffix(1);
    if (line.size() > kMaxControlRequestBytes)
        return ControlError{ControlErrorCode::tooLarge, "request over 64 KiB refused"};
    const Json json = Json::parse(line, nullptr, /*allow_exceptions=*/false);
    const auto malformed = [](std::string what) { return ControlError{ControlErrorCode::malformed, std::move(what)}; };
    if (json.is_discarded()) return malformed("malformed request: not JSON");
    if (!json.is_object()) return malformed("malformed request: expected an object with \"command\"");
    const auto command = json.find("command");
    if (command == json.end() || !command->is_string())
        return malformed("malformed request: \"command\" must be a string");
    ControlRequest request{command->get<std::string>(), {}};
    if (const auto args = json.find("args"); args != json.end()) {
        if (!args->is_array()) return malformed("malformed request: \"args\" must be a list of strings");
        for (const Json& arg : *args) {
            if (!arg.is_string()) return malformed("malformed request: \"args\" must be a list of strings");
            request.args.push_back(arg.get<std::string>());
        }
    }
    return request;
}

std::optional<ControlError> checkControlRequest(const ControlRequest& request) {
    const std::string& command = request.command;
    const auto& args = request.args;
    if (!std::all_of(args.begin(), args.end(), [](const std::string& arg) { return utf8::isValid(arg); }))
        return usage("arguments must be UTF-8 text");
    if (hotkeyActionFromRaw(command)) {
        if (!args.empty()) return usage(command + " takes no arguments");
        return std::nullopt;
    }
    if (command == "switch") {
        if (args.size() != 1 || !isDesktopNumber(args[0])) return usage("usage: switch <n> (a desktop number from 1)");
        return std::nullopt;
    }
    if (command == "name") {
        if (args.size() < 2 || !isDesktopNumber(args[0]) || args[1].empty())
            return usage("usage: name <n> <text> or name <n> --clear");
        if (args[1] == "--clear" && args.size() != 2) return usage("usage: name <n> --clear");
        return std::nullopt;
    }
    if (command == "tiling") {
        if (args.size() != 1 || !oneOf(args[0], {"on", "off", "toggle"})) return usage("usage: tiling on|off|toggle");
        return std::nullopt;
    }
    if (command == "query") {
        if (args.size() != 1 || !oneOf(args[0], {"desktops", "windows", "settings"}))
            return usage("usage: query desktops|windows|settings");
        return std::nullopt;
    }
    // A name from outside may be anything: keep the message one short line.
    const std::string shown = command.size() > 40 ? command.substr(0, 40) + "…" : command;
    return usage("unknown command \"" + shown + "\". " + controlCommandList());
}

std::string controlRequestLine(const ControlRequest& request) {
    // Never throws: text that is not UTF-8 (refused by checkControlRequest) is replaced.
    return Json{{"command", request.command}, {"args", request.args}}.dump(-1, ' ', false, Json::error_handler_t::replace) +
           "\n";
}

std::string controlOkLine(const Json& fields) {
    Json answer = {{"ok", true}};
    if (fields.is_object()) answer.update(fields);
    // Invalid UTF-8 in a name or title must not throw: it is replaced.
    return answer.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string controlErrorLine(const ControlError& error) {
    const Json answer = {{"ok", false}, {"error", error.message}, {"code", static_cast<int>(error.code)}};
    return answer.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

} // namespace quorvel
