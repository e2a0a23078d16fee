// Display outputs: the monitors as the hardware names them, which one is primary (the main display)
// and the request to make another one primary. Implemented over RandR outputs
// (platform/x11/X11DisplayOutputs) and by the simulator (platform/sim/SimDisplayOutputs).
#pragma once

#include "platform/Types.h"
#include "platform/Workspace.h" // ObserverToken

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

struct DisplayOutput {
    DisplayNumber id = 0;   // stable while the server runs
    std::string identifier; // stable across restarts and cable swaps; empty when it cannot be made
    std::string name;       // what the user reads in the menu
    bool builtin = false;   // a laptop panel
    Rect bounds;            // where it shows, in root coordinates
    friend bool operator==(const DisplayOutput&, const DisplayOutput&) = default;
};

class DisplayOutputs {
public:
    DisplayOutputs() = default;
    DisplayOutputs(const DisplayOutputs&) = delete;
    DisplayOutputs& operator=(const DisplayOutputs&) = delete;
    virtual ~DisplayOutputs() = default;

    // The outputs showing something, in the server's order.
    virtual std::vector<DisplayOutput> outputs() = 0;
    // The primary output; none when the server names none.
    virtual std::optional<DisplayNumber> primary() = 0;
    // Asks for `output` to become primary; nothing moves. False when the request was refused at
    // once; takes effect asynchronously otherwise: read primary() later to know.
    virtual bool setPrimary(DisplayNumber output) = 0;

    // Outputs connected, disconnected or rearranged, or the primary changed. Called on the main queue.
    virtual ObserverToken observeChanges(std::function<void()> handler) = 0;
    virtual void removeObserver(ObserverToken token) = 0;
};

// A platform without outputs to choose from: nothing is offered, every request is refused.
class NoDisplayOutputs final : public DisplayOutputs {
public:
    std::vector<DisplayOutput> outputs() override { return {}; }
    std::optional<DisplayNumber> primary() override { return std::nullopt; }
    bool setPrimary(DisplayNumber) override { return false; }
    ObserverToken observeChanges(std::function<void()>) override { return 0; }
    void removeObserver(ObserverToken) override {}
};

} // namespace quorvel
