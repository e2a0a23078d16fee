// The switcher panel as values (what PanelController computes) and the window that draws them
// (ui/QtPanelWindow on X11, a recorder on the simulator). Frames are in the panel's content,
// origin top-left, y down, in device-independent pixels.
#pragma once

#include "menubar/SpaceRow.h"
#include "platform/Types.h"
#include "settings/Settings.h"
#include "spaces/Space.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

// The keys the panel acts on; every other key is `other`.
enum class PanelKey { left, right, up, down, returnKey, keypadEnter, escape, other };

struct PanelLabel {
    std::string text;
    Rect frame;
};

struct PanelButton {
    std::string title;
    Rect frame;
    bool accented = false; // tinted with the accent colour (edit mode on)
};

// A rounded box drawn beneath a row: filled with the accent for the current desktop, an outline in
// the label colour for the keyboard selection.
struct PanelHighlight {
    enum class Kind { current, selection };
    Kind kind = Kind::current;
    Rect frame;
    friend bool operator==(const PanelHighlight&, const PanelHighlight&) = default;
};

// One desktop's row: the shared row component's fields in the panel style, and where it sits.
struct PanelRow {
    Space space;
    Rect frame;
    SpaceRowFields fields;
    // The row is in rename mode: once it is in place it starts editing with its text selected.
    bool renaming = false;
};

struct PanelContent {
    Size size;
    std::string accessibleName;
    PanelLabel title;
    std::vector<PanelLabel> headers; // one per display, only with two or more displays
    std::vector<PanelHighlight> highlights;
    std::vector<PanelRow> rows;
    Rect separator;
    PanelLabel hint;
    PanelButton editButton;
    PanelButton settingsButton;
    // The content itself takes the keys (no row is being renamed).
    bool takesKeys = true;
};

// The panel window. It reports what the user does through the handlers it was created with.
class PanelView {
public:
    struct Handlers {
        // A key press on the content; true when handled (otherwise it goes to the focused field).
        std::function<bool(PanelKey)> onKeyDown;
        std::function<void()> onEditToggle;
        std::function<void()> onSettings;
        // A row's reports, by its desktop.
        std::function<void(SpaceId)> onRowSwitch;
        std::function<void(SpaceId, std::optional<std::string> name)> onRowRename;
        std::function<void(SpaceId, bool editing)> onRowEditStateChanged;
        std::function<void(SpaceId, TilingOverride)> onRowCycleTiling;
    };

    PanelView() = default;
    PanelView(const PanelView&) = delete;
    PanelView& operator=(const PanelView&) = delete;
    virtual ~PanelView() = default;

    // Replaces the whole content and resizes the window to it.
    virtual void setContent(const PanelContent& content) = 0;
    // Shows the window: centred on the monitor under the pointer when it is not on screen yet,
    // in front, with the keyboard focus asked for with `time` (the input that opened it).
    virtual void present(InputTime time) = 0;
    // Takes the window off screen. With `returnFocus` the window that had the focus before the
    // panel took it gets it back, unless the user has gone to another window meanwhile.
    virtual void orderOut(bool returnFocus) = 0;
    // On screen; false after orderOut and after the user closed it with its close button.
    virtual bool isVisible() const = 0;
};

class PanelViewFactory {
public:
    PanelViewFactory() = default;
    PanelViewFactory(const PanelViewFactory&) = delete;
    PanelViewFactory& operator=(const PanelViewFactory&) = delete;
    virtual ~PanelViewFactory() = default;

    virtual std::unique_ptr<PanelView> createPanel(PanelView::Handlers handlers) = 0;
};

} // namespace quorvel
