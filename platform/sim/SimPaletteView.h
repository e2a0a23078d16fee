// The summon palette's window on the simulator: records what it was given and lets a test act
// as the user (type, keys, hover, click, click elsewhere).
#pragma once

#include "summon/PaletteView.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::sim {

class SimPaletteView final : public PaletteView {
public:
    SimPaletteView(Handlers handlers, std::vector<SimPaletteView*>& live) : m_handlers(std::move(handlers)), m_live(live) {
        m_live.push_back(this);
    }
    ~SimPaletteView() override { std::erase(m_live, this); }

    void setContent(const PaletteContent& newContent) override { content = newContent; }
    void setSelection(int row) override {
        for (std::size_t i = 0; i < content.rows.size(); ++i) content.rows[i].selected = static_cast<int>(i) == row;
        content.scrollTo = row;
    }
    void present(InputTime time) override {
        m_visible = true;
        focusTime = time;
    }
    void close(bool returnFocus) override {
        m_visible = false;
        closed = true;
        gaveFocusBack = returnFocus;
    }
    bool isVisible() const override { return m_visible; }
    InputTime lastInputTime() const override { return inputTime; }

    // The user's side. Typing appends to the field's text and reports the whole text.
    void type(const std::string& more) {
        text += more;
        m_handlers.onTextChanged(text);
    }
    void clear() {
        text.clear();
        m_handlers.onTextChanged(text);
    }
    bool press(PaletteKey key) { return m_handlers.onKey(key); }
    void hover(int row) { m_handlers.onRowHovered(row); }
    void click(int row) { m_handlers.onRowClicked(row); }
    void loseFocus() { m_handlers.onFocusLost(); }

    // The row selected in the content, if any.
    std::optional<int> selectedRow() const {
        const auto it = std::ranges::find_if(content.rows, [](const PaletteRow& r) { return r.selected; });
        if (it == content.rows.end()) return std::nullopt;
        return static_cast<int>(it - content.rows.begin());
    }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const PaletteRow& row : content.rows) out.push_back(row.name);
        return out;
    }

    PaletteContent content;
    std::string text;
    InputTime focusTime = 0;
    InputTime inputTime = 0; // what lastInputTime answers
    bool closed = false;
    bool gaveFocusBack = false;

private:
    Handlers m_handlers;
    bool m_visible = false;
    std::vector<SimPaletteView*>& m_live;
};

class SimPaletteViewFactory final : public PaletteViewFactory {
public:
    std::unique_ptr<PaletteView> createPalette(PaletteView::Handlers handlers) override {
        ++createdCount;
        return std::make_unique<SimPaletteView>(std::move(handlers), m_live);
    }
    std::optional<Rect> paletteArea() override { return area; }

    // The newest palette window that still exists, or none.
    SimPaletteView* palette() const { return m_live.empty() ? nullptr : m_live.back(); }

    std::optional<Rect> area = Rect{0, 0, 1440, 900};
    int createdCount = 0;

private:
    std::vector<SimPaletteView*> m_live;
};

} // namespace quorvel::sim
