// The summon palette as values (what SummonPalette computes) and the window that draws them
// (ui/QtPaletteWindow on X11, a recorder on the simulator). Sizes are device-independent pixels;
// the window's frame is in the global coordinates of those pixels (Qt's screen coordinates), the
// rows' frames in the list's own, origin top-left, y down.
#pragma once

#include "platform/Types.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

// The keys the palette acts on; every other key goes to the search field.
enum class PaletteKey { up, down, returnKey, keypadEnter, escape, other };

struct PaletteRow {
    std::string name;
    std::string icon;          // the entry's Icon (theme name or path); a generic icon when empty or unknown
    bool selected = false;
    bool showsLaunch = false;  // the application is not running: "launch" at the right
    Rect frame;                // in the list: (0, 34 × i, 380, 34)
    friend bool operator==(const PaletteRow&, const PaletteRow&) = default;
};

struct PaletteContent {
    Rect frame;                // the whole window
    Rect fieldFrame;           // the search field, in the window
    Rect listFrame;            // the scrolling list, in the window (empty height without matches)
    double listHeight = 0;     // the list's content: 34 per match
    std::vector<PaletteRow> rows;
    std::optional<int> scrollTo; // a row to bring into view
    std::string placeholder;
    friend bool operator==(const PaletteContent&, const PaletteContent&) = default;
};

class PaletteView {
public:
    struct Handlers {
        // A key press in the field; true when handled (otherwise the field edits its text).
        std::function<bool(PaletteKey)> onKey;
        std::function<void(const std::string& text)> onTextChanged;
        std::function<void(int row)> onRowClicked;
        std::function<void(int row)> onRowHovered;
        // The window lost the keyboard focus (the user clicked elsewhere).
        std::function<void()> onFocusLost;
    };

    PaletteView() = default;
    PaletteView(const PaletteView&) = delete;
    PaletteView& operator=(const PaletteView&) = delete;
    virtual ~PaletteView() = default;

    // Replaces the rows and moves and resizes the window.
    virtual void setContent(const PaletteContent& content) = 0;
    // Marks only the selection (a hover or an arrow key), bringing the row into view.
    virtual void setSelection(int row) = 0;
    // Shows the window above others with an empty field holding the keyboard focus, asked for
    // with `time` (the input that opened it).
    virtual void present(InputTime time) = 0;
    // Takes the window off screen for good (a palette is never shown twice); the window that had
    // the focus before gets it back unless the palette goes because the user clicked elsewhere.
    virtual void close(bool returnFocus) = 0;
    virtual bool isVisible() const = 0;
    // The time stamp of the latest key press or click in the window; 0 when not known (the
    // palette then passes on the time it was opened with).
    virtual InputTime lastInputTime() const { return 0; }
};

class PaletteViewFactory {
public:
    PaletteViewFactory() = default;
    PaletteViewFactory(const PaletteViewFactory&) = delete;
    PaletteViewFactory& operator=(const PaletteViewFactory&) = delete;
    virtual ~PaletteViewFactory() = default;

    virtual std::unique_ptr<PaletteView> createPalette(PaletteView::Handlers handlers) = 0;
    // The usable area (panels and docks left out) of the monitor under the pointer, else of the
    // primary one, in the palette's coordinates; none without a monitor.
    virtual std::optional<Rect> paletteArea() = 0;
};

} // namespace quorvel
