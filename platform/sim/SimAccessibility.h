// Accessibility over the simulated world: application and window elements with their attributes,
// attribute writes that move windows (recorded), observers, trust and injected errors.
#pragma once

#include "SimWorld.h"

namespace quorvel::sim {

class SimAccessibility final : public Accessibility {
public:
    explicit SimAccessibility(SimWorld& world) : m_world(world) {}

    bool isProcessTrusted() override { return m_world.trusted(); }
    bool isProcessTrustedWithPrompt() override;
    AXElement systemWideElement() override { return SimWorld::systemWideElement(); }
    AXElement applicationElement(Pid pid) override { return SimWorld::applicationElement(pid); }
    AXError setMessagingTimeout(AXElement element, double seconds) override;
    AXResult<AXValue> copyAttributeValue(AXElement element, std::string_view attribute) override;
    AXError setAttributeValue(AXElement element, std::string_view attribute, const AXValue& value) override;
    AXResult<bool> isAttributeSettable(AXElement element, std::string_view attribute) override;
    AXError performAction(AXElement element, std::string_view action) override;
    AXResult<Pid> pid(AXElement element) override;
    bool resolvesWindowLookup() const override { return m_world.windowLookupResolves(); }
    std::optional<WindowId> windowId(AXElement element) override;
    AXResult<AXObserverId> createObserver(Pid pid, ObserverCallback callback) override;
    AXError addNotification(AXObserverId observer, AXElement element, std::string_view notification,
                            std::optional<std::uint64_t> refcon) override;
    AXError removeNotification(AXObserverId observer, AXElement element, std::string_view notification) override;
    void scheduleObserver(AXObserverId observer) override;
    void unscheduleObserver(AXObserverId observer) override;
    void releaseObserver(AXObserverId observer) override;

    int promptCount() const { return m_prompts; }
    double lastMessagingTimeout() const { return m_timeout; }

private:
    // The error every call answers before looking at the element: trust and injected faults.
    std::optional<AXError> precheck(const std::string& call);

    SimWorld& m_world;
    int m_prompts = 0;
    double m_timeout = 0;
};

} // namespace quorvel::sim
