// The helper window in the simulated world: a real 1×1 window of our own process, so moving it
// changes its desktop and focusing it shows that desktop. Tests read each window's state here.
#pragma once

#include "SimWorld.h"
#include "platform/HelperWindow.h"

#include <memory>
#include <vector>

namespace quorvel::sim {

// What a helper window was told, kept after the window object is gone.
struct SimHelperState {
    WindowId id = 0;
    double alpha = 1;
    bool levelNormal = false;
    bool ignoresMouseEvents = false;
    bool backgroundBlack = false;
    int orderBackCount = 0;
    bool closed = false;
};

class SimHelperWindow final : public HelperWindow {
public:
    SimHelperWindow(SimWorld& world, std::shared_ptr<SimHelperState> state);
    ~SimHelperWindow() override; // a window object that goes away takes its window with it

    WindowId windowNumber() const override { return m_state->id; }
    void setLevelNormal() override { m_state->levelNormal = true; }
    void setAlpha(double alpha) override { m_state->alpha = alpha; }
    void orderBack() override { ++m_state->orderBackCount; }
    void makeKeyAndOrderFront() override;
    bool isKey() const override;
    bool isMain() const override;
    void setIgnoresMouseEvents(bool ignores) override { m_state->ignoresMouseEvents = ignores; }
    void setBackgroundBlack() override { m_state->backgroundBlack = true; }
    void close() override;

private:
    SimWorld& m_world;
    std::shared_ptr<SimHelperState> m_state;
};

// Opens helper windows for our own process (launching it in the world on first use).
// failNext("createHelperWindow") makes the next creation fail.
class SimHelperWindowFactory final : public HelperWindowFactory {
public:
    explicit SimHelperWindowFactory(SimWorld& world) : m_world(world) {}

    std::unique_ptr<HelperWindow> createHelperWindow() override;
    bool emptyDesktopsStayShown() const override { return m_emptyDesktopsStayShown; }
    // As on X11, where a desktop without windows stays shown.
    void setEmptyDesktopsStayShown(bool stay) { m_emptyDesktopsStayShown = stay; }

    // Every helper window made, oldest first.
    const std::vector<std::shared_ptr<SimHelperState>>& created() const { return m_created; }
    // The helper windows not yet closed.
    std::size_t openCount() const;

private:
    SimWorld& m_world;
    std::vector<std::shared_ptr<SimHelperState>> m_created;
    bool m_emptyDesktopsStayShown = false;
};

} // namespace quorvel::sim
