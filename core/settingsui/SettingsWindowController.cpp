// The settings window's rows from the stored settings, and what each control writes and whom it
// tells (SettingsWindowController.h).
#include "settingsui/SettingsWindowController.h"

#include "settingsui/LaunchAtLoginSwitch.h"
#include "shortcuts/ShortcutStore.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <string>

namespace quorvel {

namespace {

using Kind = SettingsControl::Kind;

SettingsControl popUp(std::vector<std::string> items, int selected) {
    return {.kind = Kind::popUp, .items = std::move(items), .selected = selected, .checked = {}};
}

SettingsControl checkBoxes(std::vector<std::string> texts, std::vector<bool> checked) {
    return {.kind = Kind::checkBoxes, .items = std::move(texts), .selected = 0, .checked = std::move(checked)};
}

SettingsControl button(std::string title) {
    return {.kind = Kind::button, .items = {std::move(title)}, .selected = 0, .checked = {}};
}

// A stored gap the pop-up does not offer shows as the nearest offered value.
int gapItem(std::int64_t gap) {
    const auto& gaps = SettingsWindowController::kGaps;
    const auto nearest = std::ranges::min_element(gaps, {}, [gap](int offered) { return std::llabs(offered - gap); });
    return static_cast<int>(std::distance(gaps.begin(), nearest));
}

constexpr std::array<TilingAnimation, 4> kAnimations = {TilingAnimation::none, TilingAnimation::grow,
                                                        TilingAnimation::flip, TilingAnimation::slide};
constexpr std::array<StripMode, 3> kStripModes = {StripMode::never, StripMode::onHover, StripMode::alwaysOn};
constexpr std::array<std::string_view, 3> kStripPositions = {"left", "centre", "right"};

template <class Array, class Value>
int indexOf(const Array& values, const Value& value) {
    const auto it = std::ranges::find(values, value);
    return it == values.end() ? 0 : static_cast<int>(std::distance(values.begin(), it));
}

// The item exists: a window only reports items it was given.
bool inRange(int item, std::size_t count) { return item >= 0 && static_cast<std::size_t>(item) < count; }

} // namespace

SettingsWindowController::SettingsWindowController(Dependencies dependencies) : m_deps(dependencies) {}

bool SettingsWindowController::isVisible() const { return m_view ? m_view->isVisible() : m_shownWithoutView; }

void SettingsWindowController::show() {
    if (!m_built) {
        m_content = build();
        m_built = true;
        if (m_deps.views) {
            m_view = m_deps.views->createSettingsWindow({
                .onChoose = [this](SettingsControlId id, int item) { choose(id, item); },
                .onCheck = [this](SettingsControlId id, int box, bool checked) { check(id, box, checked); },
                .onPress = [this](SettingsControlId id) { press(id); },
                .onEditShortcuts = [this] { fire(onEditShortcuts); },
                .onQuit = [this] { fire(onQuit); },
            });
            m_view->setContent(m_content);
        }
    }
    if (m_view) m_view->present();
    else m_shownWithoutView = true;
}

SettingsContent SettingsWindowController::build() const {
    const Settings& settings = m_deps.settings;
    const DefaultsStore& defaults = settings.defaults();
    const ShortcutStore shortcuts(m_deps.settings.defaults());
    const auto keys = [&](HotkeyAction action) { return shortcuts.shortcut(action).displayText(); };
    SettingsContent content{.title = std::string(kTitle), .tabs = {}};

    const bool menuBar = settings.appMode() == AppMode::menubar;
    SettingsTab general{.id = SettingsTabId::general, .title = "General", .rows = {}, .diagrams = {}, .keycaps = {}};
    general.rows.push_back({
        .id = SettingsControlId::accessMode,
        .label = "Access mode:",
        .control = popUp({"Keyboard Shortcut (" + keys(HotkeyAction::togglePanel) + ")", "Menu Bar"}, menuBar ? 1 : 0),
        .explanation = "Where you reach your desktops: the menu bar item, or a floating panel summoned by shortcut.",
        .diagram = diagram::AccessMode{.menuBar = menuBar},
    });
    if (m_deps.launchAtLogin) {
        general.rows.push_back({.id = SettingsControlId::launchAtLogin,
                                .label = "Startup:",
                                .control = checkBoxes({"Launch at login"}, {m_deps.launchAtLogin->isEnabled()}),
                                .explanation = "",
                                .diagram = std::nullopt});
    }
    if (m_deps.sendsCrashReports) {
        // The consent question at the first launch says the choice can be changed here.
        general.rows.push_back({.id = SettingsControlId::crashReports,
                                .label = "Crash reports:",
                                .control = checkBoxes({"Send crash reports"},
                                                      {settings.defaults().boolFor(Settings::crashReportingKey)}),
                                .explanation = "After a crash, what went wrong and your Linux version are sent at the "
                                               "next start — never your desktops, windows or work.",
                                .diagram = std::nullopt});
    }
    content.tabs.push_back(std::move(general));

    const bool automatic = settings.namingMode() == NamingMode::automatic;
    const bool perDisplay = settings.numberingMode() == NumberingMode::perDisplay;
    const bool maps = settings.showMiniMaps();
    const bool badges = settings.showTilingBadges();
    SettingsTab desktops{.id = SettingsTabId::desktops, .title = "Desktops", .rows = {}, .diagrams = {}, .keycaps = {}};
    desktops.rows.push_back({
        .id = SettingsControlId::naming,
        .label = "Naming:",
        .control = popUp({"Auto (foreground app)", "Manual only"}, automatic ? 0 : 1),
        .explanation = "Auto names each desktop after its frontmost app and document. Names you type yourself "
                       "always win.",
        .diagram = diagram::Naming{.automatic = automatic},
    });
    desktops.rows.push_back({
        .id = SettingsControlId::numbering,
        .label = "Numbering:",
        .control = popUp({"Continuous across displays", "Restart per display"}, perDisplay ? 1 : 0),
        .explanation = "",
        .diagram = diagram::Numbering{.perDisplay = perDisplay},
    });
    desktops.rows.push_back({
        .id = SettingsControlId::desktopList,
        .label = "Desktop list:",
        .control = checkBoxes({"Show desktop mini-maps", "Show tiling control (auto/on/off)"}, {maps, badges}),
        .explanation = "Mini-maps preview each desktop's windows \u2014 an empty outline means an empty desktop. "
                       "The square turns tiling on or off per desktop.",
        .diagram = diagram::ListRow{.maps = maps, .badges = badges},
    });
    desktops.rows.push_back({.id = SettingsControlId::clearNames,
                             .label = "",
                             .control = button("Clear All Custom Names"),
                             .explanation = "",
                             .diagram = std::nullopt});
    content.tabs.push_back(std::move(desktops));

    const int gap = gapItem(settings.tilingGap());
    const bool refit = settings.tilingCloseBehavior() == TilingCloseBehavior::reorient;
    SettingsTab tiling{.id = SettingsTabId::tiling, .title = "Tiling", .rows = {}, .diagrams = {}, .keycaps = {}};
    tiling.rows.push_back({
        .id = SettingsControlId::tiling,
        .label = "Tiling:",
        .control = checkBoxes({"Auto-tile windows (" + keys(HotkeyAction::toggleTiling) + ")"}, {settings.tilingEnabled()}),
        .explanation = "Every window gets its own tile the moment it opens \u2014 nothing overlaps, nothing needs "
                       "dragging.",
        .diagram = diagram::Tiling{},
    });
    tiling.rows.push_back({.id = SettingsControlId::gap,
                           .label = "Window gap:",
                           .control = popUp({"None", "4 px", "8 px", "12 px", "16 px"}, gap),
                           .explanation = "",
                           .diagram = diagram::Gap{.px = kGaps[static_cast<std::size_t>(gap)]}});
    tiling.rows.push_back({.id = SettingsControlId::animation,
                           .label = "Animation:",
                           .control = popUp({"None (instant)", "Grow (windows pop open)", "Flip (windows fold open)",
                                             "Slide (windows glide)"},
                                            indexOf(kAnimations, settings.tilingAnimation())),
                           .explanation = "How windows travel to their tiles.",
                           .diagram = std::nullopt});
    tiling.rows.push_back({
        .id = SettingsControlId::onClose,
        .label = "On close:",
        .control = popUp({"Re-fit remaining windows", "Keep splits as they are"}, refit ? 0 : 1),
        .explanation = "When a tiled window closes: re-fit turns the survivors to suit the freed space; keep leaves "
                       "their splits as they were.",
        .diagram = diagram::OnClose{.refit = refit},
    });
    content.tabs.push_back(std::move(tiling));

    SettingsTab keysTab{.id = SettingsTabId::shortcuts,
                        .title = "Shortcuts",
                        .rows = {},
                        .diagrams = {diagram::SwitchSpaces{}, diagram::SwapWindows{}, diagram::FlipSplit{},
                                     diagram::ModifierKeys{}},
                        .keycaps = {}};
    // The desktop keys are fixed: one line stands for all nine.
    keysTab.keycaps.push_back({.label = "Switch to desktop", .keys = "\u2303\u23251\u20139"});
    const std::pair<const char*, HotkeyAction> lines[] = {
        {"Switcher panel", HotkeyAction::togglePanel},      {"Toggle tiling", HotkeyAction::toggleTiling},
        {"Re-tile space", HotkeyAction::retile},            {"Edit mode", HotkeyAction::toggleEditMode},
        {"Flip split orientation", HotkeyAction::toggleSplit}, {"Swap window left", HotkeyAction::swapLeft},
        {"Swap window right", HotkeyAction::swapRight},     {"Swap window up", HotkeyAction::swapUp},
        {"Swap window down", HotkeyAction::swapDown},
    };
    for (const auto& [label, action] : lines) keysTab.keycaps.push_back({.label = label, .keys = keys(action)});
    content.tabs.push_back(std::move(keysTab));

    if (defaults.boolFor(Settings::stripDevKey)) {
        SettingsTab strip{.id = SettingsTabId::strip, .title = "Strip", .rows = {}, .diagrams = {}, .keycaps = {}};
        strip.rows.push_back({
            .id = SettingsControlId::stripMode,
            .label = "Show strip:",
            .control = popUp({"Never", "On hover", "Always on"}, indexOf(kStripModes, settings.stripMode())),
            .explanation = "On hover reveals the strip when the pointer reaches the top of the screen, in the space "
                           "your menu bar leaves free. Always on keeps it there, except over a fullscreen app.",
            .diagram = std::nullopt,
        });
        strip.rows.push_back({
            .id = SettingsControlId::stripPosition,
            .label = "Position:",
            .control = popUp({"Left", "Centre", "Right"}, indexOf(kStripPositions, std::string_view(settings.stripPosition()))),
            .explanation = "Moves the strip and the area that reveals it together, so you can keep both clear of a "
                           "busy side of the menu bar.",
            .diagram = std::nullopt,
        });
        strip.rows.push_back({
            .id = SettingsControlId::stripEachDesktop,
            .label = "Each desktop:",
            .control = checkBoxes({"Show tiling state", "Show desktop mini-maps", "Reveal on hover in fullscreen apps"},
                                  {settings.stripTilingMarks(), settings.stripMiniMaps(),
                                   settings.stripRevealInFullscreen()}),
            .explanation = "Mini-maps outline the windows on each desktop, so an empty outline means an empty "
                           "desktop. A fullscreen app hides the menu bar rather than removing it, so the same reach "
                           "still brings the strip.\nEvery display gets its own strip, showing only its own desktops "
                           "\u2014 desktop state belongs to the screen it is on. How much detail each tab shows follows "
                           "the menu's own setting.",
            .diagram = std::nullopt,
        });
        content.tabs.push_back(std::move(strip));
    }
    return content;
}

const SettingsRow* SettingsWindowController::row(SettingsControlId id) const {
    for (const SettingsTab& tab : m_content.tabs)
        for (const SettingsRow& candidate : tab.rows)
            if (candidate.id == id) return &candidate;
    return nullptr;
}

SettingsRow* SettingsWindowController::mutableRow(SettingsControlId id) {
    return const_cast<SettingsRow*>(std::as_const(*this).row(id));
}

void SettingsWindowController::publish(SettingsRow& row) {
    if (m_view) m_view->updateRow(row);
}

void SettingsWindowController::choose(SettingsControlId id, int item) {
    SettingsRow* row = mutableRow(id);
    if (!row || row->control.kind != Kind::popUp || !inRange(item, row->control.items.size())) return;
    row->control.selected = item;
    Settings& settings = m_deps.settings;
    DefaultsStore& defaults = settings.defaults();
    const auto index = static_cast<std::size_t>(item);

    switch (id) {
    case SettingsControlId::accessMode: {
        const AppMode mode = item == 0 ? AppMode::hotkey : AppMode::menubar;
        defaults.set(Settings::modeKey, std::string(rawValue(mode)));
        row->diagram = diagram::AccessMode{.menuBar = mode == AppMode::menubar};
        publish(*row);
        fire(onModeChanged);
        return;
    }
    case SettingsControlId::naming: {
        const NamingMode mode = item == 0 ? NamingMode::automatic : NamingMode::manual;
        defaults.set(Settings::namingKey, std::string(rawValue(mode)));
        row->diagram = diagram::Naming{.automatic = mode == NamingMode::automatic};
        publish(*row);
        fire(onRefresh);
        return;
    }
    case SettingsControlId::numbering: {
        const NumberingMode mode = item == 0 ? NumberingMode::continuous : NumberingMode::perDisplay;
        defaults.set(Settings::numberingKey, std::string(rawValue(mode)));
        row->diagram = diagram::Numbering{.perDisplay = mode == NumberingMode::perDisplay};
        publish(*row);
        fire(onRefresh);
        return;
    }
    case SettingsControlId::gap:
        defaults.set(Settings::tilingGapKey, std::int64_t{kGaps[index]});
        row->diagram = diagram::Gap{.px = kGaps[index]};
        publish(*row);
        return;
    case SettingsControlId::animation:
        settings.setTilingAnimation(kAnimations[index]);
        publish(*row);
        return;
    case SettingsControlId::onClose: {
        const TilingCloseBehavior behavior = item == 0 ? TilingCloseBehavior::reorient : TilingCloseBehavior::keep;
        defaults.set(Settings::tilingCloseBehaviorKey, std::string(rawValue(behavior)));
        row->diagram = diagram::OnClose{.refit = behavior == TilingCloseBehavior::reorient};
        publish(*row);
        return;
    }
    case SettingsControlId::stripMode:
        defaults.set(Settings::stripModeKey, std::string(rawValue(kStripModes[index])));
        publish(*row);
        fire(onRefresh);
        return;
    case SettingsControlId::stripPosition:
        defaults.set(Settings::stripPositionKey, std::string(kStripPositions[index]));
        publish(*row);
        fire(onRefresh);
        return;
    default:
        return;
    }
}

void SettingsWindowController::check(SettingsControlId id, int box, bool checked) {
    SettingsRow* row = mutableRow(id);
    if (!row || row->control.kind != Kind::checkBoxes || !inRange(box, row->control.checked.size())) return;
    const auto index = static_cast<std::size_t>(box);
    DefaultsStore& defaults = m_deps.settings.defaults();

    switch (id) {
    case SettingsControlId::launchAtLogin: {
        // The box shows what the system has afterwards, whether or not the change took.
        LaunchAtLoginSwitch login(*m_deps.launchAtLogin, m_deps.log);
        row->control.checked[0] = login.set(checked);
        publish(*row);
        return;
    }
    case SettingsControlId::crashReports:
        defaults.set(Settings::crashReportingKey, checked);
        defaults.set(Settings::crashReportingAskedKey, true); // chosen here: never asked again
        m_deps.log.info("app", "crash reporting %s", checked ? "enabled" : "declined");
        row->control.checked[0] = checked;
        publish(*row);
        return;
    case SettingsControlId::desktopList: {
        defaults.set(index == 0 ? Settings::showMiniMapsKey : Settings::showTilingBadgesKey, checked);
        row->control.checked[index] = checked;
        row->diagram = diagram::ListRow{.maps = row->control.checked[0], .badges = row->control.checked[1]};
        publish(*row);
        fire(onRefresh);
        return;
    }
    case SettingsControlId::tiling:
        // The coordinator decides; the box shows its decision, which may be a refusal.
        fire(onToggleTiling);
        if (SettingsRow* again = mutableRow(id)) {
            again->control.checked[0] = m_deps.settings.tilingEnabled();
            publish(*again);
        }
        return;
    case SettingsControlId::stripEachDesktop: {
        constexpr std::array<std::string_view, 3> keys = {Settings::stripTilingMarksKey, Settings::stripMiniMapsKey,
                                                          Settings::stripFullscreenKey};
        defaults.set(keys[index], checked);
        row->control.checked[index] = checked;
        publish(*row);
        fire(onRefresh);
        return;
    }
    default:
        return;
    }
}

void SettingsWindowController::press(SettingsControlId id) {
    if (id != SettingsControlId::clearNames) return;
    m_deps.labels.clearAllLabels();
    fire(onRefresh);
}

void SettingsWindowController::refreshTilingState() {
    ++m_tilingRefreshes;
    if (!isVisible()) return;
    SettingsRow* row = mutableRow(SettingsControlId::tiling);
    if (!row) return;
    row->control.checked[0] = m_deps.settings.tilingEnabled();
    publish(*row);
}

} // namespace quorvel
