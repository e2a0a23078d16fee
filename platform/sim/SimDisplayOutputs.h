// Display outputs on the simulator: a list of outputs a test plugs and unplugs, the primary one,
// and a server that may refuse or ignore a request to change it. Changes reach observers on a
// later turn of the main queue, as the server's events would.
#pragma once

#include "SimScheduler.h"
#include "platform/DisplayOutputs.h"

#include <algorithm>
#include <map>

namespace quorvel::sim {

class SimDisplayOutputs final : public DisplayOutputs {
public:
    explicit SimDisplayOutputs(SimScheduler& scheduler) : m_scheduler(scheduler) {}

    std::vector<DisplayOutput> outputs() override { return m_outputs; }
    std::optional<DisplayNumber> primary() override { return m_primary; }
    bool setPrimary(DisplayNumber output) override {
        requests.push_back(output);
        if (refuseRequests) return false;
        m_scheduler.post([this, output] {
            if (ignoreRequests || !find(output)) return;
            m_primary = output;
            notify();
        });
        return true;
    }
    ObserverToken observeChanges(std::function<void()> handler) override {
        m_observers[m_next] = std::move(handler);
        return m_next++;
    }
    void removeObserver(ObserverToken token) override { m_observers.erase(token); }

    // Control surface. The first output plugged in becomes primary.
    void plug(const DisplayOutput& output) {
        m_outputs.push_back(output);
        if (!m_primary) m_primary = output.id;
        changed();
    }
    void unplug(DisplayNumber id) {
        std::erase_if(m_outputs, [id](const DisplayOutput& o) { return o.id == id; });
        if (m_primary == id) m_primary = m_outputs.empty() ? std::nullopt : std::optional(m_outputs.front().id);
        changed();
    }
    // Another program (or a server restart) changes the primary output.
    void setPrimaryExternally(std::optional<DisplayNumber> id) {
        m_primary = id;
        changed();
    }

    bool refuseRequests = false; // setPrimary answers false
    bool ignoreRequests = false; // setPrimary answers true, and nothing changes
    std::vector<DisplayNumber> requests;

private:
    const DisplayOutput* find(DisplayNumber id) const {
        const auto it = std::find_if(m_outputs.begin(), m_outputs.end(), [id](const auto& o) { return o.id == id; });
        return it == m_outputs.end() ? nullptr : &*it;
    }
    void changed() {
        m_scheduler.post([this] { notify(); });
    }
    void notify() {
        auto observers = m_observers; // a handler may remove itself
        for (auto& [token, handler] : observers) handler();
    }

    SimScheduler& m_scheduler;
    std::vector<DisplayOutput> m_outputs;
    std::optional<DisplayNumber> m_primary;
    std::map<ObserverToken, std::function<void()>> m_observers;
    ObserverToken m_next = 1;
};

} // namespace quorvel::sim
