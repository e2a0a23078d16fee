// Simulated Accessibility: what a well-behaved application answers, plus the faults tests inject.
#include "SimAccessibility.h"

namespace quorvel::sim {

std::optional<AXError> SimAccessibility::precheck(const std::string& call) {
    m_world.countCall(call);
    if (!m_world.trusted()) return AXError::apiDisabled;
    return m_world.takeFailure(call);
}

bool SimAccessibility::isProcessTrustedWithPrompt() {
    if (!m_world.trusted()) ++m_prompts;
    return m_world.trusted();
}

AXError SimAccessibility::setMessagingTimeout(AXElement element, double seconds) {
    if (!m_world.elementExists(element)) return AXError::invalidUIElement;
    m_timeout = seconds;
    return AXError::success;
}

AXResult<AXValue> SimAccessibility::copyAttributeValue(AXElement element, std::string_view attribute) {
    if (const auto error = precheck(std::string(attribute))) return {*error, {}};
    if (const auto id = m_world.windowOfElement(element)) {
        const SimWindow& w = *m_world.window(*id);
        if (attribute == ax::role) return {AXError::success, w.role};
        if (attribute == ax::subrole) return {AXError::success, w.subrole};
        if (attribute == ax::title) return {AXError::success, w.title};
        if (attribute == ax::position) return {AXError::success, w.frame.origin()};
        if (attribute == ax::size) return {AXError::success, w.frame.size()};
        if (attribute == ax::minimized) return {AXError::success, w.minimized};
        if (attribute == ax::fullScreen) return {AXError::success, w.fullScreen};
        return {AXError::attributeUnsupported, {}};
    }
    if (const auto pid = m_world.pidOfElement(element)) {
        const SimApp& app = *m_world.app(*pid);
        if (attribute == ax::role) return {AXError::success, std::string("AXApplication")};
        if (attribute == ax::title) return {AXError::success, app.info.localizedName.value_or("")};
        if (attribute == ax::hidden) return {AXError::success, app.info.isHidden};
        if (attribute == ax::focusedWindow) {
            if (!app.focusedWindow) return {AXError::noValue, {}};
            return {AXError::success, SimWorld::windowElement(*app.focusedWindow)};
        }
        if (attribute == ax::windows) {
            std::vector<AXElement> windows;
            for (const WindowId id : m_world.stacking())
                if (m_world.windows().at(id).pid == *pid) windows.push_back(SimWorld::windowElement(id));
            return {AXError::success, windows};
        }
        return {AXError::attributeUnsupported, {}};
    }
    return {AXError::invalidUIElement, {}};
}

AXError SimAccessibility::setAttributeValue(AXElement element, std::string_view attribute, const AXValue& value) {
    m_world.scheduler().burn(m_world.attributeWriteCost);
    if (const auto error = precheck("set " + std::string(attribute))) return *error;
    const auto id = m_world.windowOfElement(element);
    if (!id) return m_world.elementExists(element) ? AXError::attributeUnsupported : AXError::invalidUIElement;
    SimWindow& w = *m_world.window(*id);
    if (attribute == ax::position) {
        const auto* p = std::get_if<Point>(&value);
        if (!p) return AXError::illegalArgument;
        if (w.refusesMoves) return AXError::cannotComplete;
        m_world.writes().push_back({*id, std::string(attribute), value});
        w.frame.x = p->x;
        w.frame.y = p->y;
        return AXError::success;
    }
    if (attribute == ax::size) {
        const auto* s = std::get_if<Size>(&value);
        if (!s) return AXError::illegalArgument;
        if (w.refusesMoves || !w.resizable) return AXError::cannotComplete;
        m_world.writes().push_back({*id, std::string(attribute), value});
        w.frame.width = s->width;
        w.frame.height = s->height;
        return AXError::success;
    }
    if (attribute == ax::minimized) {
        const auto* b = std::get_if<bool>(&value);
        if (!b) return AXError::illegalArgument;
        if (*b) m_world.minimizeWindow(*id);
        else m_world.unminimizeWindow(*id);
        return AXError::success;
    }
    return AXError::attributeUnsupported;
}

AXResult<bool> SimAccessibility::isAttributeSettable(AXElement element, std::string_view attribute) {
    if (const auto error = precheck("settable " + std::string(attribute))) return {*error, false};
    const auto id = m_world.windowOfElement(element);
    if (!id) return {m_world.elementExists(element) ? AXError::success : AXError::invalidUIElement, false};
    const SimWindow& w = *m_world.window(*id);
    if (attribute == ax::size) return {AXError::success, w.resizable};
    if (attribute == ax::position || attribute == ax::minimized) return {AXError::success, true};
    return {AXError::success, false};
}

AXError SimAccessibility::performAction(AXElement element, std::string_view action) {
    if (const auto error = precheck(std::string(action))) return *error;
    const auto id = m_world.windowOfElement(element);
    if (!id) return m_world.elementExists(element) ? AXError::actionUnsupported : AXError::invalidUIElement;
    if (action == ax::raise) {
        m_world.focusWindow(*id);
        return AXError::success;
    }
    return AXError::actionUnsupported;
}

AXResult<Pid> SimAccessibility::pid(AXElement element) {
    if (const auto p = m_world.pidOfElement(element)) return {AXError::success, *p};
    return {AXError::invalidUIElement, 0};
}

std::optional<WindowId> SimAccessibility::windowId(AXElement element) {
    if (!m_world.windowLookupResolves() || !m_world.trusted()) return std::nullopt;
    if (m_world.takeFailure("_AXUIElementGetWindow")) return std::nullopt;
    return m_world.windowOfElement(element);
}

AXResult<AXObserverId> SimAccessibility::createObserver(Pid pid, ObserverCallback callback) {
    if (const auto error = precheck("AXObserverCreate")) return {*error, 0};
    if (!m_world.app(pid)) return {AXError::illegalArgument, 0};
    const AXObserverId id = m_world.newObserverId();
    m_world.observers()[id] = SimWorld::SimObserver{pid, std::move(callback), false, false};
    return {AXError::success, id};
}

AXError SimAccessibility::addNotification(AXObserverId observer, AXElement element, std::string_view notification,
                                          std::optional<std::uint64_t> refcon) {
    if (const auto error = precheck(std::string(notification))) return *error;
    const auto it = m_world.observers().find(observer);
    if (it == m_world.observers().end() || it->second.dead) return AXError::invalidUIElementObserver;
    if (!m_world.elementExists(element)) return AXError::invalidUIElement;
    for (const AXRegistration& r : m_world.registrations())
        if (r.observer == observer && r.element == element && r.notification == notification)
            return AXError::notificationAlreadyRegistered;
    m_world.registrations().push_back({observer, element, std::string(notification), refcon});
    return AXError::success;
}

AXError SimAccessibility::removeNotification(AXObserverId observer, AXElement element,
                                             std::string_view notification) {
    auto& registrations = m_world.registrations();
    const auto before = registrations.size();
    std::erase_if(registrations, [&](const AXRegistration& r) {
        return r.observer == observer && r.element == element && r.notification == notification;
    });
    return registrations.size() < before ? AXError::success : AXError::notificationNotRegistered;
}

void SimAccessibility::scheduleObserver(AXObserverId observer) {
    if (const auto it = m_world.observers().find(observer); it != m_world.observers().end())
        it->second.scheduled = true;
}

void SimAccessibility::unscheduleObserver(AXObserverId observer) {
    if (const auto it = m_world.observers().find(observer); it != m_world.observers().end())
        it->second.scheduled = false;
}

void SimAccessibility::releaseObserver(AXObserverId observer) {
    std::erase_if(m_world.registrations(), [&](const AXRegistration& r) { return r.observer == observer; });
    m_world.observers().erase(observer);
}

} // namespace quorvel::sim
