// The floating switcher panel: shown, hidden and toggled by the delegate, with the desktop whose
// name is being edited in it. For now a shell that keeps the panel's state; its window and rows
// build on it.
#pragma once

#include "spaces/Space.h"
#include "spaces/SpaceManager.h"

#include <functional>
#include <optional>
#include <vector>

namespace quorvel {

class PanelController {
public:
    explicit PanelController(SpaceManager& spaces) : m_spaces(spaces) {}
    PanelController(const PanelController&) = delete;
    PanelController& operator=(const PanelController&) = delete;

    std::function<void(const Space&)> onSwitch;
    std::function<void()> onToggleEditMode;
    std::function<void()> onOpenSettings;

    // The desktop whose name is being edited in the panel, if any.
    std::optional<SpaceId> editingSpaceID;

    // The panel exists once it was first shown, and is kept after.
    bool exists() const { return m_exists; }
    bool isVisible() const { return m_visible; }

    void show() {
        m_exists = true;
        refreshSpaces();
        rebuildContent();
        m_visible = true;
    }
    // Orders the panel out; it stays for the next show.
    void hide() { m_visible = false; }
    void toggle() { m_visible ? hide() : show(); }

    void refreshSpaces() { m_cachedSpaces = m_spaces.getSpaces(); }
    const std::vector<Space>& cachedSpaces() const { return m_cachedSpaces; }
    // Rebuilds the rows; counted so refreshes can be observed.
    void rebuildContent() { ++m_contentBuilds; }
    int contentBuildCount() const { return m_contentBuilds; }

private:
    SpaceManager& m_spaces;
    bool m_exists = false;
    bool m_visible = false;
    std::vector<Space> m_cachedSpaces;
    int m_contentBuilds = 0;
};

} // namespace quorvel
