// The table of keyboard actions: storage names, titles and default combinations.
#include "shortcuts/HotkeyAction.h"

namespace quorvel {

namespace {

struct ActionInfo {
    std::string_view raw;
    std::string_view title;
    Shortcut shortcut;
};

constexpr KeyModifiers kControlOption = KeyModifiers::control | KeyModifiers::option;
constexpr KeyModifiers kOptionShift = KeyModifiers::option | KeyModifiers::shift;

// Indexed by the action's position in kHotkeyActions.
const ActionInfo kInfo[] = {
    {"toggle_panel", "Switcher panel", {35, kControlOption}},
    {"toggle_edit_mode", "Edit mode", {14, kControlOption}},
    {"summon", "Summon app to this desktop", {16, kControlOption}},
    {"swap_left", "Swap window left", {123, kOptionShift}},
    {"swap_right", "Swap window right", {124, kOptionShift}},
    {"swap_up", "Swap window up", {126, kOptionShift}},
    {"swap_down", "Swap window down", {125, kOptionShift}},
    {"toggle_split", "Flip split orientation", {38, kOptionShift}},
    {"toggle_tiling", "Toggle tiling", {17, kOptionShift}},
    {"retile", "Re-tile desktop", {15, kOptionShift}},
    {"spotlight_window", "Spotlight Window", {40, kOptionShift}},
    {"add_file_manager_window", "New file manager window", {3, kControlOption}},
    {"toggle_strip", "Desktop strip", {31, kControlOption}},
};
static_assert(std::size(kInfo) == kHotkeyActions.size());

const ActionInfo& info(HotkeyAction action) { return kInfo[static_cast<std::size_t>(action)]; }

} // namespace

std::string_view rawValue(HotkeyAction action) { return info(action).raw; }
std::string_view title(HotkeyAction action) { return info(action).title; }
Shortcut defaultShortcut(HotkeyAction action) { return info(action).shortcut; }

std::optional<std::string_view> formerRawValue(HotkeyAction action) {
    if (action == HotkeyAction::addFileManagerWindow) return "add_finder_window";
    return std::nullopt;
}

std::optional<HotkeyAction> hotkeyActionFromRaw(std::string_view raw) {
    for (HotkeyAction action : kHotkeyActions)
        if (rawValue(action) == raw) return action;
    return std::nullopt;
}

std::uint32_t hotkeyId(HotkeyAction action) { return static_cast<std::uint32_t>(action) + 1; }

} // namespace quorvel
