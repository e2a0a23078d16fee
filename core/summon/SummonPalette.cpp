// The palette's content, geometry, selection and keys, and what a confirmed choice does.
#include "summon/SummonPalette.h"

#include <algorithm>

namespace quorvel {

SummonPalette::SummonPalette(Dependencies dependencies) : m_deps(dependencies) {
    // A rescan that finishes while the palette is open shows at once, keeping what was typed.
    m_catalogObserver = m_deps.catalog.observe(m_lifetime.guard([this] {
        if (isVisible()) reload();
    }));
}

SummonPalette::~SummonPalette() { m_deps.catalog.removeObserver(m_catalogObserver); }

double SummonPalette::heightFor(std::size_t count, const std::optional<Rect>& area) {
    if (count == 0) return kFieldHeight;
    const double cap =
        area ? std::max(kRowHeight, 0.7 * area->height - kFieldHeight - kListGap) : kListCapWithoutArea;
    return std::min(cap, kRowHeight * static_cast<double>(count)) + kListGap + kFieldHeight;
}

namespace {

// The top edge `top` moved so that a window `height` high stays 12 inside `area`; the bottom
// edge wins when the area is too small for both.
double clampTop(double top, double height, const Rect& area) {
    top = std::max(area.minY() + SummonPalette::kEdgeMargin, top);
    return std::min(area.maxY() - SummonPalette::kEdgeMargin - height, top);
}

} // namespace

Rect SummonPalette::initialFrame(const std::optional<Rect>& area, double height) {
    if (!area) return {0, 0, kWidth, height};
    const double bottom = area->y + area->height / 2 - 0.15 * area->height;
    return {area->x + area->width / 2 - kWidth / 2, clampTop(bottom - height, height, *area), kWidth, height};
}

void SummonPalette::present(InputTime time) {
    if (m_view) dismiss(false);
    m_presentTime = time;
    m_selected = 0;
    m_query.clear();
    m_area = m_deps.views.paletteArea();
    m_frame.reset();

    // Handlers of a window that has gone (or is going) never act on the next one.
    const auto current = [this, alive = m_lifetime.token(), generation = ++m_generation] {
        return !alive.expired() && generation == m_generation && m_view != nullptr;
    };
    PaletteView::Handlers handlers;
    handlers.onKey = [this, current](PaletteKey key) { return current() && handleKey(key); };
    handlers.onTextChanged = [this, current](const std::string& text) {
        if (!current()) return;
        m_selected = 0;
        m_query = text;
        reload();
    };
    handlers.onRowClicked = [this, current](int row) {
        if (!current() || row < 0 || static_cast<std::size_t>(row) >= m_matches.size()) return;
        m_selected = row;
        summonSelected();
    };
    handlers.onRowHovered = [this, current](int row) {
        if (current()) select(row);
    };
    handlers.onFocusLost = [this, current] {
        if (current()) dismiss(false);
    };
    m_view = m_deps.views.createPalette(std::move(handlers));
    if (!m_view) return;
    reload();
    m_view->present(time);
}

void SummonPalette::dismiss(bool returnFocus) {
    if (!m_view) return;
    ++m_generation;
    m_view->close(returnFocus);
    // The window may be the caller (a key or a click in it): it goes on a later turn.
    m_retired.push_back(std::move(m_view));
    m_deps.scheduler.post(m_lifetime.guard([this] { m_retired.clear(); }));
    m_matches.clear();
    m_running.clear();
    m_selected = 0;
}

void SummonPalette::reload() {
    // The running applications are read once per keystroke.
    const RunningApps running(m_deps.workspace.runningApplications());
    const auto& entries = m_deps.catalog.entries(m_deps.scheduler.now());
    m_matches = m_deps.catalog.match(m_query, entries, kLimit, running);
    m_running.clear();
    for (const SummonableApp& app : m_matches) m_running.push_back(running.isRunning(app));
    m_selected = std::min(m_selected, std::max(static_cast<int>(m_matches.size()) - 1, 0));
    render();
}

void SummonPalette::render() {
    if (!m_view) return;
    const std::size_t count = m_matches.size();
    const double height = heightFor(count, m_area);
    Rect frame;
    if (!m_frame) {
        frame = initialFrame(m_area, height);
    } else {
        // The top edge stays where it was: the list grows and shrinks downward.
        frame = {m_frame->x, m_area ? clampTop(m_frame->y, height, *m_area) : m_frame->y, kWidth, height};
    }
    m_frame = frame;

    PaletteContent content;
    content.frame = frame;
    content.fieldFrame = {kFieldInset, 0, kWidth - 2 * kFieldInset, kFieldHeight};
    content.listFrame = {0, kFieldHeight, kWidth, std::max(height - kFieldHeight, 0.0)};
    content.listHeight = kRowHeight * static_cast<double>(count);
    for (std::size_t i = 0; i < count; ++i) {
        content.rows.push_back({.name = m_matches[i].name,
                                .icon = m_matches[i].icon,
                                .selected = static_cast<int>(i) == m_selected,
                                .showsLaunch = !m_running[i],
                                .frame = {0, kRowHeight * static_cast<double>(i), kWidth, kRowHeight}});
    }
    if (count > 0) content.scrollTo = m_selected;
    content.placeholder = std::string(kPlaceholder);
    m_view->setContent(content);
}

void SummonPalette::select(int row) {
    if (row == m_selected || row < 0 || static_cast<std::size_t>(row) >= m_matches.size()) return;
    m_selected = row;
    // No prefetch of the selected app here: its desktop actions came with the scan.
    m_view->setSelection(row);
}

void SummonPalette::moveSelection(int delta) {
    const int count = static_cast<int>(m_matches.size());
    if (count == 0) return;
    select(((m_selected + delta) % count + count) % count);
}

bool SummonPalette::handleKey(PaletteKey key) {
    switch (key) {
    case PaletteKey::returnKey:
    case PaletteKey::keypadEnter:
        summonSelected();
        return true;
    case PaletteKey::escape:
        dismiss(true);
        return true;
    case PaletteKey::down:
        moveSelection(1);
        return true;
    case PaletteKey::up:
        moveSelection(-1);
        return true;
    case PaletteKey::other:
        return false;
    }
    return false;
}

void SummonPalette::summonSelected() {
    if (m_selected < 0 || static_cast<std::size_t>(m_selected) >= m_matches.size()) return;
    const SummonableApp app = m_matches[static_cast<std::size_t>(m_selected)];
    const InputTime time = m_view->lastInputTime() ? m_view->lastInputTime() : m_presentTime;
    dismiss(true);
    const WindowOpener::Outcome outcome = m_deps.opener.openWindow(app, time);
    switch (outcome.result) {
    case WindowOpener::Result::opened:
    case WindowOpener::Result::reopened:
    case WindowOpener::Result::launched:
        break;
    case WindowOpener::Result::activatedWithoutWindow:
        m_deps.notifier.showToast(app.name + " has no new-window command");
        break;
    case WindowOpener::Result::refusedFullscreen:
        m_deps.notifier.showToast("Can't summon into a fullscreen desktop");
        break;
    case WindowOpener::Result::launchFailed:
        m_deps.notifier.showToast("Couldn't start " + app.name);
        break;
    }
}

} // namespace quorvel
