// Everything a test or the demo needs in one object: the world, its adapters, a virtual clock,
// an in-memory defaults store, a capturing log and recorders for what the user is shown.
#pragma once

#include "CapturingLog.h"
#include "MemoryDefaults.h"
#include "SimApplications.h"
#include "SimDesktopNames.h"
#include "SimDisplayOutputs.h"
#include "SimWindowControl.h"
#include "SimHelperWindow.h"
#include "SimLaunchAtLogin.h"
#include "SimNotifier.h"
#include "SimPaletteView.h"
#include "SimPanelView.h"
#include "SimScheduler.h"
#include "SimShortcutsView.h"
#include "SimSettingsView.h"
#include "SimStrip.h"
#include "SimTextFolding.h"
#include "SimTrayView.h"
#include "SimWelcomeView.h"
#include "SimWindowServer.h"
#include "SimWorkspace.h"
#include "SimWorld.h"

namespace quorvel::sim {

struct SimPlatform {
    explicit SimPlatform(bool echoLog = false) : log(echoLog) {}

    SimScheduler scheduler;
    CapturingLog log;
    MemoryDefaults defaults;
    SimWorld world{scheduler};
    SimWindowServer windowServer{world};
    SimWindowControl windowControl{world};
    SimWorkspace workspace{world};
    SimScreens screens{world};
    SimHotkeySystem hotkeys{world};
    SimNotifier notifier;
    SimOutlineWindow outline;
    SimPanelViewFactory panels;
    SimHelperWindowFactory helpers{world};
    SimTrayView tray;
    SimApplications applications{scheduler};
    SimPaletteViewFactory palettes;
    SimTextFolding text;
    SimShortcutsViewFactory shortcutViews;
    SimLaunchAtLogin launchAtLogin;
    SimSettingsViewFactory settingsViews;
    SimWelcomeViewFactory welcomeViews;
    SimStripPlatform strip;
    SimDisplayOutputs displayOutputs{scheduler};

    // The window manager's desktop names.
    SimDesktopNames desktopNames{scheduler};
};

} // namespace quorvel::sim
