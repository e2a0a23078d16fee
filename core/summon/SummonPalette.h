// The summon palette: a search field over the ranked installed applications; arrows, hover and
// Return choose one, which WindowOpener then opens on the current desktop. Computes the window's
// content and geometry (PaletteView.h); ui/QtPaletteWindow draws them.
#pragma once

#include "platform/Lifetime.h"
#include "platform/Scheduler.h"
#include "platform/UserNotifier.h"
#include "platform/Workspace.h"
#include "summon/AppCatalog.h"
#include "summon/PaletteView.h"
#include "summon/WindowOpener.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

class SummonPalette {
public:
    static constexpr double kWidth = 380;
    static constexpr double kFieldHeight = 44;
    static constexpr double kFieldInset = 16;
    static constexpr double kRowHeight = 34;
    static constexpr double kListGap = 8;     // below the last row
    static constexpr double kEdgeMargin = 12; // kept inside the usable area
    static constexpr double kListCapWithoutArea = 578;
    static constexpr std::size_t kLimit = 200;
    static constexpr std::string_view kPlaceholder = "Summon an app to this desktop";

    struct Dependencies {
        PaletteViewFactory& views;
        AppCatalog& catalog;
        WindowOpener& opener;
        Workspace& workspace;
        UserNotifier& notifier;
        Scheduler& scheduler;
    };

    explicit SummonPalette(Dependencies dependencies);
    ~SummonPalette();
    SummonPalette(const SummonPalette&) = delete;
    SummonPalette& operator=(const SummonPalette&) = delete;

    bool panelExists() const { return m_view != nullptr; }
    bool isVisible() const { return m_view && m_view->isVisible(); }
    // A fresh window every time (any previous one closes), listing the running apps first; it
    // takes the keyboard focus with `time`, the input that opened it.
    void present(InputTime time = 0);
    // Closes the window; it gives the focus back unless the user clicked elsewhere.
    void dismiss(bool returnFocus = true);

    const std::vector<SummonableApp>& matches() const { return m_matches; }
    int selectedIndex() const { return m_selected; }

    // The window's frame for `height` when it first appears: its bottom edge 15 % of the area's
    // height above the middle, centred, kept 12 inside. Pure.
    static Rect initialFrame(const std::optional<Rect>& area, double height);
    // The window's height for `count` matches in `area`: the list up to 0.7 × the area's height
    // less the field and the gap (at least one row), then the gap and the field. Pure.
    static double heightFor(std::size_t count, const std::optional<Rect>& area);

private:
    void reload();
    void render();
    void select(int row);
    void moveSelection(int delta);
    void summonSelected();
    bool handleKey(PaletteKey key);

    Dependencies m_deps;
    std::unique_ptr<PaletteView> m_view;
    std::vector<std::unique_ptr<PaletteView>> m_retired; // closed, destroyed on the next turn
    std::uint64_t m_generation = 0;
    std::optional<Rect> m_area;
    std::optional<Rect> m_frame;
    std::string m_query;
    std::vector<SummonableApp> m_matches;
    std::vector<bool> m_running;
    int m_selected = 0;
    InputTime m_presentTime = 0;
    int m_catalogObserver = 0;
    Lifetime m_lifetime;
};

} // namespace quorvel
