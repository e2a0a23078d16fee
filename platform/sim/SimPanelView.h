// The switcher panel's window on the simulator: records the content it was given and whether it
// is on screen, and lets a test act as the user (keys, buttons, the close button, the rows).
#pragma once

#include "menubar/PanelView.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::sim {

class SimPanelViewFactory;

class SimPanelView final : public PanelView {
public:
    SimPanelView(Handlers handlers, std::vector<SimPanelView*>& live)
        : m_handlers(std::move(handlers)), m_live(live) {
        m_live.push_back(this);
    }
    ~SimPanelView() override { std::erase(m_live, this); }

    void setContent(const PanelContent& newContent) override { content = newContent; }
    void present(InputTime time) override {
        if (!m_visible) ++centredCount;
        m_visible = true;
        focusTimes.push_back(time);
    }
    void orderOut(bool returnFocus) override {
        m_visible = false;
        gaveFocusBack = returnFocus;
    }
    bool isVisible() const override { return m_visible; }

    // The user's side.
    bool press(PanelKey key) { return m_handlers.onKeyDown && m_handlers.onKeyDown(key); }
    void clickEditToggle() { m_handlers.onEditToggle(); }
    void clickSettings() { m_handlers.onSettings(); }
    // The title bar's close button: the window goes and gives the focus back.
    void clickClose() { orderOut(true); }
    void rowSwitch(SpaceId id) { m_handlers.onRowSwitch(id); }
    // A row reports a rename as it does after Return (already trimmed; none clears the name).
    void rowRename(SpaceId id, std::optional<std::string> name) { m_handlers.onRowRename(id, std::move(name)); }
    void rowEditState(SpaceId id, bool editing) { m_handlers.onRowEditStateChanged(id, editing); }
    void rowCycleTiling(SpaceId id, TilingOverride value) { m_handlers.onRowCycleTiling(id, value); }

    // The row of a desktop in the last content, if any.
    const PanelRow* row(SpaceId id) const {
        const auto it = std::ranges::find_if(content.rows, [id](const PanelRow& r) { return r.space.id == id; });
        return it != content.rows.end() ? &*it : nullptr;
    }

    PanelContent content;
    int centredCount = 0;              // times it came on screen (and was centred)
    std::vector<InputTime> focusTimes; // the time stamp of every request for the focus
    bool gaveFocusBack = false;        // as it last left the screen

private:
    Handlers m_handlers;
    bool m_visible = false;
    std::vector<SimPanelView*>& m_live;
};

class SimPanelViewFactory final : public PanelViewFactory {
public:
    std::unique_ptr<PanelView> createPanel(PanelView::Handlers handlers) override {
        ++createdCount;
        return std::make_unique<SimPanelView>(std::move(handlers), m_live);
    }

    // The panel window that exists now (the newest), or none.
    SimPanelView* panel() const { return m_live.empty() ? nullptr : m_live.back(); }

    int createdCount = 0;

private:
    std::vector<SimPanelView*> m_live;
};

} // namespace quorvel::sim
