// Running applications and workspace notifications of the simulated world.
#pragma once

#include "SimWorld.h"

namespace quorvel::sim {

class SimWorkspace final : public Workspace {
public:
    explicit SimWorkspace(SimWorld& world) : m_world(world) {}

    Pid ownPid() const override { return m_world.ownPid; }
    std::optional<std::string> ownExecutablePath() const override { return m_world.ownExecutablePath; }
    std::vector<RunningApplication> runningApplications() override;
    std::optional<RunningApplication> runningApplication(Pid pid) override;
    std::optional<RunningApplication> frontmostApplication() override;
    bool activate(Pid pid) override;
    void activateSelf() override { m_world.countCall("activateSelf"); }
    void launch(const LaunchRequest& request, LaunchCompletion completion) override;
    bool openURL(const std::string& url) override;
    ObserverToken addObserver(WorkspaceEvent event, Observer observer) override {
        return m_world.addWorkspaceObserver(event, std::move(observer));
    }
    void removeObserver(ObserverToken token) override { m_world.removeWorkspaceObserver(token); }

private:
    SimWorld& m_world;
};

class SimScreens final : public Screens {
public:
    explicit SimScreens(SimWorld& world) : m_world(world) {}

    std::vector<ScreenInfo> screens() override;
    std::optional<ScreenInfo> mainScreen() override;
    DisplayNumber mainDisplayId() override;
    std::optional<std::string> displayUUID(DisplayNumber display) override;
    std::vector<DisplayNumber> onlineDisplays(std::uint32_t maxCount) override;
    Rect displayBounds(DisplayNumber display) override;
    bool isBuiltin(DisplayNumber display) override;
    Point pointerLocation() override { return m_world.pointer; }
    ObserverToken observeScreenParameters(std::function<void()> handler) override {
        return m_world.addScreenObserver(std::move(handler));
    }
    void removeObserver(ObserverToken token) override { m_world.removeScreenObserver(token); }

private:
    const SimDisplay* display(DisplayNumber number) const;

    SimWorld& m_world;
};

class SimHotkeySystem final : public HotkeySystem {
public:
    explicit SimHotkeySystem(SimWorld& world) : m_world(world) {}

    std::int32_t installPressHandler(PressHandler handler, HotkeyHandlerRef& out) override;
    std::int32_t removePressHandler(HotkeyHandlerRef handler) override;
    std::int32_t registerHotkey(std::uint32_t keyCode, std::uint32_t modifierFlags, HotkeyId id,
                                HotkeyRef& out) override;
    std::int32_t unregisterHotkey(HotkeyRef ref) override;

    // The user presses a combination at `time`; true when a registration of ours caught it.
    bool press(std::uint32_t keyCode, std::uint32_t modifierFlags, InputTime time = 0);
    std::size_t registeredCount() const { return m_registered.size(); }

private:
    struct Registration {
        std::uint32_t keyCode;
        std::uint32_t modifiers;
        HotkeyId id;
    };
    SimWorld& m_world;
    std::map<HotkeyHandlerRef, PressHandler> m_handlers;
    std::map<HotkeyRef, Registration> m_registered;
    std::uint64_t m_next = 1;
};

} // namespace quorvel::sim
