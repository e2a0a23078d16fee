// The settings window on the simulator: keeps the content and every row update it was given, and
// lets a test act as the user (choose an item, click a box or a button).
#pragma once

#include "settingsui/SettingsView.h"

#include <memory>
#include <vector>

namespace quorvel::sim {

class SimSettingsView final : public SettingsView {
public:
    explicit SimSettingsView(Handlers handlers) : m_handlers(std::move(handlers)) {}

    void setContent(const SettingsContent& newContent) override {
        content = newContent;
        ++contentSets;
    }
    void updateRow(const SettingsRow& row) override {
        for (SettingsTab& tab : content.tabs)
            for (SettingsRow& shown : tab.rows)
                if (shown.id == row.id) shown = row;
    }
    void present() override {
        if (!m_visible) ++centredCount;
        m_visible = true;
        ++presentCount;
    }
    bool isVisible() const override { return m_visible; }

    // The user's side.
    void choose(SettingsControlId id, int item) { m_handlers.onChoose(id, item); }
    void click(SettingsControlId id, int box, bool checked) { m_handlers.onCheck(id, box, checked); }
    void press(SettingsControlId id) { m_handlers.onPress(id); }
    void customize() { m_handlers.onEditShortcuts(); }
    void quit() { m_handlers.onQuit(); }
    void close() { m_visible = false; }

    // The row as shown, or null when the window has none.
    const SettingsRow* row(SettingsControlId id) const {
        for (const SettingsTab& tab : content.tabs)
            for (const SettingsRow& shown : tab.rows)
                if (shown.id == id) return &shown;
        return nullptr;
    }

    SettingsContent content;
    int contentSets = 0;
    int centredCount = 0;
    int presentCount = 0;

private:
    Handlers m_handlers;
    bool m_visible = false;
};

class SimSettingsViewFactory final : public SettingsViewFactory {
public:
    std::unique_ptr<SettingsView> createSettingsWindow(SettingsView::Handlers handlers) override {
        ++createdCount;
        auto view = std::make_unique<SimSettingsView>(std::move(handlers));
        window = view.get();
        return view;
    }

    SimSettingsView* window = nullptr; // the newest window made
    int createdCount = 0;
};

} // namespace quorvel::sim
