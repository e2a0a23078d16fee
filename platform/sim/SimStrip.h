// The strip's platform on the simulator: strip windows that keep what they were last asked to draw,
// tray icons and full-screen monitors a test sets, and a pointer a test moves over the watched
// trigger regions.
#pragma once

#include "strip/StripPlatform.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace quorvel::sim {

class SimStripWindow final : public StripWindowView {
public:
    SimStripWindow(Handlers given, std::vector<SimStripWindow*>& registry)
        : handlers(std::move(given)), m_registry(registry) {
        m_registry.push_back(this);
    }
    ~SimStripWindow() override { std::erase(m_registry, this); }

    void render(const StripPresentation& p, const Rect& screen, StripAlignment a, double inset) override {
        presentation = p;
        screenFrame = screen;
        alignment = a;
        topInset = inset;
        visible = isOnScreen(p.visibility);
        ++renders;
    }
    void hide() override { visible = false; }

    // The user clicks the tab of `space`, or hovers it (none: the pointer left the tabs).
    void click(SpaceId space) { handlers.onSelect(space); }
    void hover(std::optional<SpaceId> space) { handlers.onHoverTab(space); }
    // The tab the strip shows as selected, by its desktop.
    std::optional<SpaceId> selectedTab() const {
        const auto layout = layOutStrip(presentation);
        for (std::size_t i = 0; i < layout.size(); ++i)
            if (layout[i].selected) return presentation.tabs[i].spaceID;
        return std::nullopt;
    }

    Handlers handlers;
    StripPresentation presentation;
    Rect screenFrame;
    StripAlignment alignment = StripAlignment::centre;
    double topInset = 0;
    bool visible = false;
    int renders = 0;

private:
    std::vector<SimStripWindow*>& m_registry;
};

class SimStripPlatform final : public StripPlatform {
public:
    std::unique_ptr<StripWindowView> createStripWindow(StripWindowView::Handlers handlers) override {
        ++created;
        return std::make_unique<SimStripWindow>(std::move(handlers), windows);
    }
    std::vector<Rect> trayIconFrames() override { return trayIcons; }
    bool activeWindowFullScreen(const Rect& monitorFrame) override { return fullScreenMonitors.count(monitorFrame.x) > 0; }
    double scale() override { return 1; }
    void watchPointer(std::map<std::string, Rect> watched,
                      std::function<void(const std::string&, bool)> onChange) override {
        regions = std::move(watched);
        m_onChange = std::move(onChange);
        ++watchCalls;
        for (auto it = m_inside.begin(); it != m_inside.end();) it = regions.count(*it) ? std::next(it) : m_inside.erase(it);
    }

    // Moves the pointer; regions it enters or leaves are reported as the X server's motion would be.
    void movePointer(Point point) {
        for (const auto& [id, rect] : std::map<std::string, Rect>(regions)) {
            const bool inside = point.x >= rect.minX() && point.x < rect.maxX() && point.y >= rect.minY() &&
                                point.y < rect.maxY();
            if (inside == (m_inside.count(id) > 0)) continue;
            if (inside) m_inside.insert(id);
            else m_inside.erase(id);
            if (m_onChange) m_onChange(id, inside);
        }
    }

    // The strip window drawn for a monitor, by the frame it was last drawn on.
    SimStripWindow* windowOn(const Rect& screen) const {
        for (SimStripWindow* window : windows)
            if (window->renders > 0 && window->screenFrame == screen) return window;
        return nullptr;
    }

    std::vector<SimStripWindow*> windows; // the windows that exist, oldest first (owned by the controller)
    int created = 0;
    std::vector<Rect> trayIcons;
    std::set<double> fullScreenMonitors; // by the monitor frame's x
    std::map<std::string, Rect> regions;
    int watchCalls = 0;

private:
    std::function<void(const std::string&, bool)> m_onChange;
    std::set<std::string> m_inside;
};

} // namespace quorvel::sim
