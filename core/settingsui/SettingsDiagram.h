// What one of the settings window's small explanatory pictures shows. The window draws each kind
// in its own way; the payload is the choice the picture illustrates, so a changed choice redraws it.
#pragma once

#include <variant>

namespace quorvel::diagram {

struct AccessMode {
    bool menuBar = false; // the tray item; otherwise the floating panel summoned by shortcut
    friend bool operator==(const AccessMode&, const AccessMode&) = default;
};
struct Naming {
    bool automatic = true; // after the frontmost application; otherwise names typed by hand only
    friend bool operator==(const Naming&, const Naming&) = default;
};
struct Numbering {
    bool perDisplay = false; // numbers restart on each display; otherwise continuous
    friend bool operator==(const Numbering&, const Numbering&) = default;
};
struct ListRow {
    bool maps = true;   // mini-maps in the desktop rows
    bool badges = true; // the per-desktop tiling control
    friend bool operator==(const ListRow&, const ListRow&) = default;
};
struct Gap {
    int px = 8; // the gap between tiles, in device-independent pixels
    friend bool operator==(const Gap&, const Gap&) = default;
};
struct OnClose {
    bool refit = true; // survivors re-fit the freed space; otherwise splits are kept
    friend bool operator==(const OnClose&, const OnClose&) = default;
};
// The pictures without a choice of their own.
struct Tiling {
    friend bool operator==(const Tiling&, const Tiling&) = default;
};
struct SwitchSpaces {
    friend bool operator==(const SwitchSpaces&, const SwitchSpaces&) = default;
};
struct PanelShortcut {
    friend bool operator==(const PanelShortcut&, const PanelShortcut&) = default;
};
struct SwapWindows {
    friend bool operator==(const SwapWindows&, const SwapWindows&) = default;
};
struct FlipSplit {
    friend bool operator==(const FlipSplit&, const FlipSplit&) = default;
};
struct ModifierKeys {
    friend bool operator==(const ModifierKeys&, const ModifierKeys&) = default;
};

} // namespace quorvel::diagram

namespace quorvel {

using DiagramKind = std::variant<diagram::AccessMode, diagram::Naming, diagram::Numbering,
                                 diagram::ListRow, diagram::Gap, diagram::OnClose, diagram::Tiling,
                                 diagram::SwitchSpaces, diagram::PanelShortcut, diagram::SwapWindows,
                                 diagram::FlipSplit, diagram::ModifierKeys>;

} // namespace quorvel
