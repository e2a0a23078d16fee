// The application's save and restore of desktop names and overrides across relaunches: a snapshot
// in Settings of the desktop order with its names (LabelStore), matched back by SpaceLabelRestore.
#pragma once

#include "platform/Log.h"
#include "settings/Settings.h"
#include "spaces/LabelStore.h"
#include "spaces/SpaceManager.h"

namespace quorvel {

class SpaceLabelPersistence {
public:
    SpaceLabelPersistence(LabelStore& labels, Settings& settings, SpaceManager& spaces, Log& log)
        : m_labels(labels), m_settings(settings), m_spaces(spaces), m_log(log) {}

    // Writes the snapshot: the current desktop order, the names and the overrides of those desktops.
    // Keeps the previous snapshot when the desktop table reads empty (the read failed).
    void saveSpaceLabels();
    // Gives the current desktops the saved names and overrides they lack (through LabelStore, so
    // with fresh stamps and onChange). Logs the counts when anything was restored.
    void restoreSpaceLabels();

private:
    LabelStore& m_labels;
    Settings& m_settings;
    SpaceManager& m_spaces;
    Log& m_log;
};

} // namespace quorvel
