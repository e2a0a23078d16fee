// Runs `quorvel msg` requests against the running app: hot-key actions through the same route as a
// key press, switching, naming, tiling, and the JSON queries. One line in, one line out; the socket
// (platform/linux/ControlSocket) carries them. Wired in core/shell/ControlWiring.
#pragma once

#include "control/ControlProtocol.h"
#include "platform/Screens.h"
#include "settings/Settings.h"
#include "shortcuts/HotkeyAction.h"
#include "spaces/LabelStore.h"
#include "spaces/SpaceManager.h"
#include "spaces/WindowServerApi.h"
#include "tiling/TilingCoordinator.h"
#include "tiling/TilingEngine.h"

#include <functional>
#include <string>
#include <string_view>

namespace quorvel {

class ControlCommands {
public:
    struct Dependencies {
        SpaceManager& spaces;
        LabelStore& labels;
        TilingEngine& engine;
        TilingCoordinator& coordinator;
        Settings& settings;
        WindowServerApi& api;
        Screens& screens;
        // The hot-key route (AppDelegate::perform) and desktop keys (AppDelegate::switchToSpace).
        std::function<void(HotkeyAction)> perform;
        std::function<void(int)> switchToSpace;
        // After a change the tray and panel show (a name).
        std::function<void()> onViewsChanged;
    };

    explicit ControlCommands(Dependencies dependencies) : m_d(std::move(dependencies)) {}

    // One request line (newline optional) → one answer line (newline included). Never throws;
    // a malformed, oversized or unknown request changes nothing.
    std::string handleLine(std::string_view line);
    // A checked request → its answer line.
    std::string run(const ControlRequest& request);

private:
    std::string switchTo(int number);
    std::string name(int number, const std::vector<std::string>& words);
    std::string tiling(std::string_view how);
    std::string retile();
    nlohmann::json desktops();
    nlohmann::json windows();
    nlohmann::json settings();

    Dependencies m_d;
};

} // namespace quorvel
