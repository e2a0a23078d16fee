// Simulated helper windows: real windows of our own pid in the simulated world.
#include "SimHelperWindow.h"

#include <algorithm>

namespace quorvel::sim {

SimHelperWindow::SimHelperWindow(SimWorld& world, std::shared_ptr<SimHelperState> state)
    : m_world(world), m_state(std::move(state)) {}

SimHelperWindow::~SimHelperWindow() { close(); }

void SimHelperWindow::makeKeyAndOrderFront() {
    // Focusing a window on another desktop shows that desktop, as the window server does.
    if (!m_state->closed) m_world.focusWindow(m_state->id);
}

bool SimHelperWindow::isKey() const {
    return isMain() && m_world.frontmost() == m_world.ownPid;
}

bool SimHelperWindow::isMain() const {
    if (m_state->closed) return false;
    const SimApp* app = m_world.app(m_world.ownPid);
    return app && app->focusedWindow == m_state->id;
}

void SimHelperWindow::close() {
    if (m_state->closed) return;
    m_state->closed = true;
    m_world.closeWindow(m_state->id);
}

std::unique_ptr<HelperWindow> SimHelperWindowFactory::createHelperWindow() {
    if (m_world.takeFailure("createHelperWindow")) return nullptr;
    if (!m_world.app(m_world.ownPid))
        m_world.launchApp({.name = "Quorvel", .executablePath = m_world.ownExecutablePath, .pid = m_world.ownPid});
    // 1×1 and not a standard resizable window: neither the mini-maps nor tiling take it for an
    // application window. Created without focus, like a window not yet ordered front.
    const WindowId id = m_world.openWindow(m_world.ownPid, {0, 0, 1, 1},
                                           {.title = "", .role = "AXWindow", .subrole = "AXUnknown",
                                            .resizable = false, .focus = false});
    auto state = std::make_shared<SimHelperState>();
    state->id = id;
    m_created.push_back(state);
    return std::make_unique<SimHelperWindow>(m_world, std::move(state));
}

std::size_t SimHelperWindowFactory::openCount() const {
    return static_cast<std::size_t>(
        std::count_if(m_created.begin(), m_created.end(), [](const auto& s) { return !s->closed; }));
}

} // namespace quorvel::sim
