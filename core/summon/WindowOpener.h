// Gets a new window of an application onto the desktop the user is on, trying in a fixed order:
// refuse on a full-screen desktop, launch when not running, a Chromium-family browser's
// --new-window, a desktop action named like a new-window command, launching the entry again
// (single-instance applications answer with a new window), and last activating the app.
// Used by SummonPalette and the file-manager key of AppDelegate.
#pragma once

#include "platform/Applications.h"
#include "platform/Log.h"
#include "platform/TextFolding.h"
#include "platform/Workspace.h"
#include "spaces/SpaceManager.h"
#include "spaces/WindowServerApi.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

class WindowOpener {
public:
    static constexpr std::string_view kCategory = "summon";
    // Action titles chosen before any other, in this order.
    static constexpr std::array<std::string_view, 3> kPreferredTitles = {"new window", "new file manager window",
                                                                         "new personal window"};
    // An action whose name contains one of these never opens a plain window.
    static constexpr std::array<std::string_view, 12> kRejectedFragments = {
        "private", "incognito", "guest", "tab",     "little arc", "folder",
        "smart",   "burn",      "recording", "document", "message", "project"};
    // The action that stands in for the usual new-window key.
    static constexpr std::string_view kNewWindowActionId = "new-window";

    enum class Result {
        opened,                 // a new window was asked for; `via` says how
        reopened,               // the entry was launched again
        launched,               // it was not running and was started
        activatedWithoutWindow, // nothing made a window; the app was brought forward
        refusedFullscreen,      // the current desktop is full screen: nothing was done
        launchFailed,           // it was not running and could not be started; `via` holds the error
    };
    struct Outcome {
        Result result;
        std::string via; // opened: the action's name or "make new window"; launchFailed: the error
        friend bool operator==(const Outcome&, const Outcome&) = default;
    };

    WindowOpener(Applications& applications, Workspace& workspace, WindowServerApi& api, SpaceManager& spaces,
                 TextFolding& text, Log& log)
        : m_applications(applications), m_workspace(workspace), m_api(api), m_spaces(spaces), m_text(text),
          m_log(log) {}
    WindowOpener(const WindowOpener&) = delete;
    WindowOpener& operator=(const WindowOpener&) = delete;

    // Returns as soon as the request is made (it does not wait for the window). `time` is the
    // input that asked (a key press, a click), passed to every launch.
    Outcome openWindow(const SummonableApp& app, InputTime time);

    // The action that opens a plain new window, if the entry has one.
    std::optional<DesktopAction> bestAction(const std::vector<DesktopAction>& actions) const;
    // Chromium, Chrome, Brave, Edge and Vivaldi, by desktop-file id or program.
    static bool isChromiumFamily(const SummonableApp& app);

private:
    bool currentDesktopIsFullScreen();

    Applications& m_applications;
    Workspace& m_workspace;
    WindowServerApi& m_api;
    SpaceManager& m_spaces;
    TextFolding& m_text;
    Log& m_log;
};

} // namespace quorvel
