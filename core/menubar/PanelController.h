// The floating switcher panel: every desktop of every display as a row, the current desktop and a
// keyboard selection highlighted, switching with the arrows and Return, renaming in place, the
// edit-mode and settings buttons. Computes the content as values (PanelView.h); the window that
// draws it comes from the platform's PanelViewFactory. Owned by the application delegate.
#pragma once

#include "menubar/PanelView.h"
#include "settings/Settings.h"
#include "spaces/LabelStore.h"
#include "spaces/Space.h"
#include "spaces/SpaceManager.h"
#include "tiling/TilingCoordinator.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace quorvel {

class PanelController {
public:
    static constexpr double kWidth = 360;
    static constexpr double kRowHeight = 40;
    static constexpr double kHeaderHeight = 24; // a display's name above its rows

    // Whether the window that had the focus before the panel gets it back when the panel goes.
    enum class Focus { giveBack, keep };

    PanelController(PanelViewFactory& views, SpaceManager& spaces, LabelStore& labels, Settings& settings,
                    TilingCoordinator& coordinator);
    PanelController(const PanelController&) = delete;
    PanelController& operator=(const PanelController&) = delete;

    // The user chose a desktop other than the current one (the owner hides the panel and switches).
    std::function<void(const Space&)> onSwitch;
    std::function<void()> onToggleEditMode;
    std::function<void()> onOpenSettings;
    // A desktop's name was changed in the panel and stored (the owner refreshes the tray's title).
    std::function<void()> onLabelChanged;

    // The desktop whose row is in rename mode, if any. The owner clears it when edit mode changes.
    std::optional<SpaceId> editingSpaceID;

    // The panel window exists from the first show until the next toggle that finds it hidden.
    bool exists() const { return m_panel != nullptr; }
    bool isVisible() const { return m_panel && m_panel->isVisible(); }

    // Hides a visible panel; otherwise opens a fresh one with no row in rename mode. `time` is the
    // time stamp of the input that asked (the panel takes the focus with it).
    void toggle(InputTime time = 0);
    // Reads the desktops, selects the first current one, and shows the panel in front with the
    // keyboard focus (creating its window when there is none).
    void show(InputTime time = 0);
    // Takes the panel off screen, if it exists.
    void hide(Focus focus = Focus::giveBack);

    // Reads every display and its desktops (display order, then desktop order).
    void refreshSpaces();
    // Recomputes the whole content and hands it to the window; nothing without a window.
    void rebuildContent();
    // Reports the selected desktop through onSwitch unless it is current or the selection is out
    // of range (desktops went away since it was made).
    void switchToSelectedSpace();
    // The content's key handler: arrows move the selection (wrapping), Return and keypad Enter
    // switch, Escape hides. While a row is renamed no key is handled, so they reach its field.
    bool handleKey(PanelKey key);

    void editToggleClicked();
    void settingsClicked();

    int selectedIndex() const { return m_selectedIndex; }
    const std::vector<Space>& cachedSpaces() const { return m_cachedSpaces; }
    const std::vector<Display>& cachedDisplays() const { return m_cachedDisplays; }

    // 40 per desktop, 44 for the title, 44 for the buttons, 16 of margin, and 24 per display
    // header when there are two or more displays.
    static double contentHeight(std::size_t desktops, std::size_t displays);
    // The hint under the rows; in edit mode it names the edit-mode shortcut.
    static constexpr std::string_view kHint = "↑↓ · ⏎ switch · right-click rename";

private:
    PanelView::Handlers handlers();
    PanelContent makeContent();
    PanelRow makeRow(const Space& space, const std::vector<Rect>& layout, bool editMode, bool miniMaps,
                     bool tilingBadges);
    std::string editModeHint() const;
    const Space* cachedSpace(SpaceId id) const;

    void rowSwitch(SpaceId id);
    void rowRenamed(SpaceId id, const std::optional<std::string>& name);
    void rowEditStateChanged(SpaceId id, bool editing);
    void rowCycledTiling(SpaceId id, TilingOverride value);

    PanelViewFactory& m_views;
    SpaceManager& m_spaces;
    LabelStore& m_labels;
    Settings& m_settings;
    TilingCoordinator& m_coordinator;

    // Declared last: destroyed first, so the window never reports to a controller being torn down.
    std::vector<Space> m_cachedSpaces;
    std::vector<Display> m_cachedDisplays;
    int m_selectedIndex = 0;
    std::unique_ptr<PanelView> m_panel;
};

} // namespace quorvel
