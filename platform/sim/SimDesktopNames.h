// The window manager's desktop-name list in memory. Tests play another program writing it
// (writeAsOtherProgram) and read what we wrote (list(), writeCount()); like X, every write —
// ours included — is announced on a later turn of the main queue, and a read sees the latest.
#pragma once

#include "SimScheduler.h"
#include "platform/DesktopNames.h"

#include <cstddef>

namespace quorvel::sim {

class SimDesktopNames final : public DesktopNames {
public:
    explicit SimDesktopNames(SimScheduler& scheduler) : m_scheduler(scheduler) {}

    std::optional<std::vector<std::string>> names() override { return m_list; }
    void setNames(const std::vector<std::string>& names) override {
        ++m_writes;
        store(names);
    }
    void onNamesChanged(std::function<void()> handler) override { m_handler = std::move(handler); }

    // Another program (a pager, wmctrl, the window manager) sets the list; none removes it.
    void writeAsOtherProgram(std::optional<std::vector<std::string>> names) { store(std::move(names)); }
    const std::optional<std::vector<std::string>>& list() const { return m_list; }
    // How many times we have written the list.
    std::size_t writeCount() const { return m_writes; }

private:
    void store(std::optional<std::vector<std::string>> names) {
        m_list = std::move(names);
        m_scheduler.post([this] {
            if (m_handler) m_handler();
        });
    }

    SimScheduler& m_scheduler;
    std::optional<std::vector<std::string>> m_list;
    std::function<void()> m_handler;
    std::size_t m_writes = 0;
};

} // namespace quorvel::sim
