// Display outputs on X11: the connected RandR outputs that show something, the primary output,
// and the request that changes it (a flag only: nothing moves). Identifiers come from the EDID
// (Edid.h) when the monitor has one, else from the output's name. Used by Focus Display.
#pragma once

#include "X11Connection.h"
#include "platform/DisplayOutputs.h"
#include "platform/Lifetime.h"
#include "platform/Scheduler.h"

#include <map>

namespace quorvel::x11 {

class X11DisplayOutputs final : public DisplayOutputs {
public:
    X11DisplayOutputs(X11Connection& connection, Scheduler& scheduler);
    ~X11DisplayOutputs() override;

    std::vector<DisplayOutput> outputs() override;
    std::optional<DisplayNumber> primary() override;
    bool setPrimary(DisplayNumber output) override;
    // RandR output, CRTC and screen changes; several in one turn make one call.
    ObserverToken observeChanges(std::function<void()> handler) override;
    void removeObserver(ObserverToken token) override;

private:
    std::vector<std::uint8_t> edidOf(std::uint32_t output);
    void onEvent(const xcb_generic_event_t& event);

    X11Connection& m_connection;
    Scheduler& m_scheduler;
    std::uint8_t m_firstEvent = 0; // 0: no RandR
    std::uint64_t m_listener = 0;
    std::map<ObserverToken, std::function<void()>> m_observers;
    ObserverToken m_nextObserver = 1;
    bool m_notifyPending = false;
    Lifetime m_lifetime;
};

} // namespace quorvel::x11
