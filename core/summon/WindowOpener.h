// Gets a new window of an application onto the current desktop. For now a shell with the last rung
// of the ladder (start the application again); the other rungs build on it.
#pragma once

#include "platform/Workspace.h"
#include "summon/AppCatalog.h"

#include <string>

namespace quorvel {

class WindowOpener {
public:
    enum class Outcome { openedVia, reopened, launched, activatedWithoutWindow, refusedFullscreen };

    explicit WindowOpener(Workspace& workspace) : m_workspace(workspace) {}
    WindowOpener(const WindowOpener&) = delete;
    WindowOpener& operator=(const WindowOpener&) = delete;
    virtual ~WindowOpener() = default;

    // Starts the application again, which opens a new window on the current desktop.
    virtual Outcome openWindow(const CatalogApp& app) {
        m_workspace.launch({.argv = app.argv, .workingDirectory = app.workingDirectory}, [](std::optional<Pid>, std::optional<std::string>) {});
        return Outcome::launched;
    }

private:
    Workspace& m_workspace;
};

} // namespace quorvel
