// The settings window as values (what SettingsWindowController computes from the stored settings)
// and the window that shows them (a Qt window on X11, a recorder on the simulator). The window lays
// the rows out in its own geometry; the controller decides every text, choice and picture.
#pragma once

#include "settingsui/SettingsDiagram.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

// Every control the window has, so that a change names the control it came from.
enum class SettingsControlId {
    accessMode,
    launchAtLogin,
    naming,
    numbering,
    desktopList, // two boxes: mini-maps, tiling control
    clearNames,
    tiling,
    gap,
    animation,
    onClose,
    stripMode,
    stripPosition,
    stripEachDesktop, // three boxes: tiling state, mini-maps, reveal in fullscreen
    crashReports,     // one box: send crash reports (only where the build sends them)
};

struct SettingsControl {
    enum class Kind { popUp, checkBoxes, button };
    Kind kind = Kind::popUp;
    // The pop-up's items, the check boxes' texts (one each) or the button's title (one).
    std::vector<std::string> items;
    int selected = 0;          // pop-up: the chosen item
    std::vector<bool> checked; // check boxes: one state per box
    friend bool operator==(const SettingsControl&, const SettingsControl&) = default;
};

// One row: section label, control, the explanation under it and the picture beside it.
struct SettingsRow {
    SettingsControlId id = SettingsControlId::accessMode;
    std::string label; // "Access mode:"; empty for a row that continues the one above
    SettingsControl control;
    std::string explanation; // may be empty
    std::optional<DiagramKind> diagram;
    friend bool operator==(const SettingsRow&, const SettingsRow&) = default;
};

enum class SettingsTabId { general, desktops, tiling, shortcuts, strip };

// A shortcut shown read-only: its title and its display text drawn as key caps.
struct KeycapLine {
    std::string label;
    std::string keys;
    friend bool operator==(const KeycapLine&, const KeycapLine&) = default;
};

struct SettingsTab {
    SettingsTabId id = SettingsTabId::general;
    std::string title; // "General"; the window may add a mnemonic
    std::vector<SettingsRow> rows;
    // The Shortcuts tab only: a row of pictures above the key-cap lines.
    std::vector<DiagramKind> diagrams;
    std::vector<KeycapLine> keycaps;
};

struct SettingsContent {
    std::string title; // the window's title
    std::vector<SettingsTab> tabs; // in order
};

class SettingsView {
public:
    struct Handlers {
        // A pop-up item was chosen.
        std::function<void(SettingsControlId, int item)> onChoose;
        // A check box was clicked; `box` counts the row's boxes from 0, `checked` is its new state.
        std::function<void(SettingsControlId, int box, bool checked)> onCheck;
        // A button in a row was pressed.
        std::function<void(SettingsControlId)> onPress;
        // "Customize…" on the Shortcuts tab.
        std::function<void()> onEditShortcuts;
        // "Quit Quorvel".
        std::function<void()> onQuit;
    };

    SettingsView() = default;
    SettingsView(const SettingsView&) = delete;
    SettingsView& operator=(const SettingsView&) = delete;
    virtual ~SettingsView() = default;

    // Builds every tab and row; called once, before the first present().
    virtual void setContent(const SettingsContent& content) = 0;
    // Shows a changed control state and picture of the row with this id.
    virtual void updateRow(const SettingsRow& row) = 0;
    // Centres a window that is not on screen, then brings it to the front with the focus.
    virtual void present() = 0;
    virtual bool isVisible() const = 0;
};

class SettingsViewFactory {
public:
    SettingsViewFactory() = default;
    SettingsViewFactory(const SettingsViewFactory&) = delete;
    SettingsViewFactory& operator=(const SettingsViewFactory&) = delete;
    virtual ~SettingsViewFactory() = default;

    virtual std::unique_ptr<SettingsView> createSettingsWindow(SettingsView::Handlers handlers) = 0;
};

} // namespace quorvel
