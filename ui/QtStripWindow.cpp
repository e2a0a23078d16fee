// Placeholder body: a strip that draws nothing; the window comes next.
#include "QtStripWindow.h"

namespace quorvel::ui {

namespace {

class BlankStrip final : public StripWindowView {
public:
    void render(const StripPresentation&, const Rect&, StripAlignment, double) override {}
    void hide() override {}
};

} // namespace

struct QtStripWindowFactory::State {
    PanelWindowManager* manager = nullptr;
    bool compositing = false;
};

QtStripWindowFactory::QtStripWindowFactory(PanelWindowManager* manager, bool compositing)
    : m_state(std::make_shared<State>(State{manager, compositing})) {}

QtStripWindowFactory::~QtStripWindowFactory() = default;

std::unique_ptr<StripWindowView> QtStripWindowFactory::create(StripWindowView::Handlers) {
    return std::make_unique<BlankStrip>();
}

void QtStripWindowFactory::setCompositing(bool compositing) { m_state->compositing = compositing; }

} // namespace quorvel::ui
