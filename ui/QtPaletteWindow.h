// The summon palette's window on Qt: a frameless rounded window with the search field and the list
// of matches that SummonPalette computes (PaletteContent), sending the field's navigation keys, its
// text and the rows' hovers and clicks back. Shown and hidden through FloatingFocus, like the
// switcher panel: on every desktop, above others, out of taskbars, with the opening key's time.
//
// Object names, for tests: "summonPalette" (the window), "paletteField", "paletteList" (the scroll
// area), "paletteRow" (one per match) with "paletteRowIcon", "paletteRowName", "paletteRowLaunch".
#pragma once

#include "FloatingWindow.h"
#include "summon/PaletteView.h"

#include <QPointer>

#include <memory>
#include <vector>

class QWidget;

namespace quorvel {
class Screens;
}

namespace quorvel::ui {

// Without a desktop environment Qt knows no icon theme but hicolor, which has few application
// icons: look up the rest in the first common full theme installed (Adwaita, breeze, …). Leaves a
// theme the desktop chose alone. Call once, after the application object exists.
void useInstalledIconThemeAsFallback();

// The key the palette acts on, for a Qt key code.
PaletteKey paletteKey(int qtKey);

class PaletteWidget;
struct PaletteHandlers;

class QtPaletteWindow final : public PaletteView {
public:
    // `manager` may be null (the offscreen tests).
    QtPaletteWindow(Handlers handlers, PanelWindowManager* manager, bool compositing);
    ~QtPaletteWindow() override;

    void setContent(const PaletteContent& content) override;
    void setSelection(int row) override;
    void present(InputTime time) override;
    void close(bool returnFocus) override;
    bool isVisible() const override;
    InputTime lastInputTime() const override;

    // Whether a compositing manager blends the window's rounded corners; without one the window is
    // cut to its shape instead.
    void setCompositing(bool compositing);

    // The top-level window, for tests.
    QWidget* window() const;

private:
    std::shared_ptr<PaletteHandlers> m_handlers;
    FloatingFocus m_focus;
    std::unique_ptr<PaletteWidget> m_window;
};

class QtPaletteWindowFactory final : public PaletteViewFactory {
public:
    // `screens` gives the usable areas the window manager reports (panels and docks left out);
    // without it Qt's own available geometry is used.
    explicit QtPaletteWindowFactory(PanelWindowManager* manager = nullptr, Screens* screens = nullptr)
        : m_manager(manager), m_screens(screens) {}

    std::unique_ptr<PaletteView> createPalette(PaletteView::Handlers handlers) override;
    std::optional<Rect> paletteArea() override;

    // Follows the compositing manager: the window on screen now and those made later.
    void setCompositing(bool compositing);

private:
    PanelWindowManager* m_manager;
    Screens* m_screens;
    bool m_compositing = true;
    std::vector<QPointer<QWidget>> m_windows;
};

} // namespace quorvel::ui
