// The commands of `quorvel msg` and the JSON of its queries.
#include "control/ControlCommands.h"

#include "menubar/SpaceRow.h"

#include <algorithm>

namespace quorvel {

namespace {

using Json = nlohmann::json;

std::string failed(std::string message) { return controlErrorLine({ControlErrorCode::failed, std::move(message)}); }

std::string_view overrideName(TilingOverride value) {
    switch (value) {
    case TilingOverride::on: return "on";
    case TilingOverride::off: return "off";
    case TilingOverride::automatic: break;
    }
    return "automatic";
}

Json rectJson(const Rect& rect) {
    return {{"x", rect.x}, {"y", rect.y}, {"width", rect.width}, {"height", rect.height}};
}

// The monitor holding the centre of `frame`, if any.
std::optional<DisplayNumber> monitorOf(const Rect& frame, const std::vector<ScreenInfo>& screens) {
    const double cx = frame.x + frame.width / 2, cy = frame.y + frame.height / 2;
    for (const ScreenInfo& screen : screens) {
        const Rect& r = screen.frame;
        if (cx >= r.x && cx < r.x + r.width && cy >= r.y && cy < r.y + r.height) return screen.displayNumber;
    }
    return std::nullopt;
}

} // namespace

std::string ControlCommands::handleLine(std::string_view line) {
    auto parsed = parseControlRequest(line);
    if (auto* error = std::get_if<ControlError>(&parsed)) return controlErrorLine(*error);
    const auto& request = std::get<ControlRequest>(parsed);
    if (auto error = checkControlRequest(request)) return controlErrorLine(*error);
    return run(request);
}

std::string ControlCommands::run(const ControlRequest& request) {
    const std::string& command = request.command;
    const auto& args = request.args;
    // Numbers were checked by checkControlRequest.
    if (command == "switch") return switchTo(std::stoi(args[0]));
    if (command == "name") return name(std::stoi(args[0]), {args.begin() + 1, args.end()});
    if (command == "tiling") return tiling(args[0]);
    if (command == "retile") return retile();
    if (command == "query") {
        if (args[0] == "desktops") return controlOkLine({{"desktops", desktops()}});
        if (args[0] == "windows") return controlOkLine({{"windows", windows()}});
        return controlOkLine({{"settings", settings()}});
    }
    if (const auto action = hotkeyActionFromRaw(command)) {
        m_d.perform(*action);
        return controlOkLine();
    }
    return controlErrorLine({ControlErrorCode::usage, "unknown command. " + controlCommandList()});
}

std::string ControlCommands::switchTo(int number) {
    const std::vector<Space> spaces = m_d.spaces.getSpaces();
    if (number > static_cast<int>(spaces.size()))
        return failed("no desktop " + std::to_string(number) + " (there are " + std::to_string(spaces.size()) + ")");
    m_d.switchToSpace(number);
    return controlOkLine({{"desktop", number}});
}

std::string ControlCommands::name(int number, const std::vector<std::string>& words) {
    const std::vector<Space> spaces = m_d.spaces.getSpaces();
    if (number > static_cast<int>(spaces.size()))
        return failed("no desktop " + std::to_string(number) + " (there are " + std::to_string(spaces.size()) + ")");
    const Space& space = spaces[static_cast<std::size_t>(number - 1)];
    std::optional<std::string> label;
    if (words.size() != 1 || words[0] != "--clear") {
        std::string text;
        for (const std::string& word : words) {
            if (!text.empty()) text += ' ';
            text += word;
        }
        label = oneLineName(text);
        if (label->empty())
            return controlErrorLine({ControlErrorCode::usage, "a desktop name cannot be blank (name <n> --clear removes one)"});
    }
    m_d.labels.setLabel(label, space.id);
    if (m_d.onViewsChanged) m_d.onViewsChanged();
    return controlOkLine({{"desktop", number}, {"name", m_d.labels.displayName(space)}});
}

std::string ControlCommands::tiling(std::string_view how) {
    const bool on = how == "toggle" ? !m_d.settings.tilingEnabled() : how == "on";
    // The hot key's route: the switch is stored, the engine starts or stops, a toast says so.
    if (on != m_d.settings.tilingEnabled()) m_d.coordinator.setEnabled(on, TilingCoordinator::Source::hotkey);
    return controlOkLine({{"tiling", m_d.settings.tilingEnabled()}, {"running", m_d.engine.isRunning()}});
}

std::string ControlCommands::retile() {
    if (!m_d.engine.isRunning()) return failed("tiling is off");
    m_d.perform(HotkeyAction::retile);
    return controlOkLine();
}

Json ControlCommands::desktops() {
    Json list = Json::array();
    for (const Space& space : m_d.spaces.getSpaces()) {
        const auto custom = m_d.labels.label(space.id);
        list.push_back({{"number", space.index},
                        {"id", space.id},
                        {"name", m_d.labels.displayName(space)},
                        {"custom_name", custom ? Json(*custom) : Json(nullptr)},
                        {"tiling", overrideName(m_d.labels.tilingOverride(space.id))},
                        {"current", space.isCurrent},
                        {"display", space.displayID}});
    }
    return list;
}

Json ControlCommands::windows() {
    Json list = Json::array();
    const auto listed = m_d.api.windows(WindowFilter::excludeDesktopElements);
    if (!listed) return list;
    std::map<SpaceId, int> numbers;
    for (const Space& space : m_d.spaces.getSpaces()) numbers[space.id] = space.index;
    // Where each tiled window sits: its tree and its place in the tree's window order.
    struct Tile {
        TreeKey key;
        std::size_t index = 0;
        std::size_t count = 0;
    };
    std::map<WindowId, Tile> tiles;
    for (const auto& [key, tree] : m_d.engine.view().treeMap()) {
        if (!tree) continue;
        const auto leaves = tree->leaves();
        for (std::size_t i = 0; i < leaves.size(); ++i) tiles[leaves[i]] = {key, i, leaves.size()};
    }
    const std::vector<ScreenInfo> screens = m_d.screens.screens();
    for (const WindowInfo& window : *listed) {
        if (window.layer != 0) continue;
        Json entry = {{"id", window.id},
                      {"title", window.title ? Json(*window.title) : Json(nullptr)},
                      {"application", window.ownerName ? Json(*window.ownerName) : Json(nullptr)},
                      {"frame", rectJson(window.frame)}};
        const auto desktops = m_d.api.desktopsOfWindow(window.id);
        Json desktop = nullptr;
        if (desktops && desktops->size() == 1) {
            const auto number = numbers.find(desktops->front());
            if (number != numbers.end()) desktop = number->second;
        } else if (desktops && desktops->size() > 1) {
            desktop = "all";
        }
        entry["desktop"] = desktop;
        const auto monitor = monitorOf(window.frame, screens);
        entry["monitor"] = monitor ? Json(*monitor) : Json(nullptr);
        if (const auto tile = tiles.find(window.id); tile != tiles.end()) {
            entry["tile"] = {{"index", tile->second.index + 1}, {"of", tile->second.count},
                             {"monitor", tile->second.key.monitor}};
        } else {
            entry["tile"] = nullptr;
        }
        list.push_back(std::move(entry));
    }
    return list;
}

Json ControlCommands::settings() {
    const DefaultsStore& defaults = m_d.settings.defaults();
    Json values = Json::object();
    for (const std::string& key : defaults.keys()) {
        if (const auto value = defaults.object(key)) values[key] = *value;
    }
    return values;
}

} // namespace quorvel
