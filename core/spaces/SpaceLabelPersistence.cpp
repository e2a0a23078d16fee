// Snapshot save and restore over LabelStore, Settings and the desktop order of SpaceManager.
#include "spaces/SpaceLabelPersistence.h"

#include "spaces/SpaceLabelRestore.h"

namespace quorvel {

void SpaceLabelPersistence::saveSpaceLabels() {
    const auto ids = m_spaces.orderedSpaceIDs();
    // There is always at least one desktop: an empty read is a failed one, and saving it would
    // wipe the only record that carries names over the next renumbering.
    if (ids.empty()) return;

    std::map<SpaceId, std::string> labels;
    std::map<SpaceId, TilingOverride> overrides;
    for (const SpaceId id : ids) {
        if (auto label = m_labels.label(id)) labels[id] = std::move(*label);
        if (const auto value = m_labels.tilingOverride(id); value != TilingOverride::automatic) overrides[id] = value;
    }
    m_settings.saveSpaceSnapshot(ids, labels, overrides);
}

void SpaceLabelPersistence::restoreSpaceLabels() {
    const auto snapshot = m_settings.savedSpaceSnapshot();
    if (!snapshot) return;
    const auto current = m_spaces.orderedSpaceIDs();

    const auto labels = SpaceLabelRestore::plan<std::string>(
        snapshot->ids, snapshot->labels, current, [&](SpaceId id) { return m_labels.label(id).has_value(); });
    for (const auto& [id, label] : labels) m_labels.setLabel(label, id);

    const auto overrides = SpaceLabelRestore::plan<TilingOverride>(
        snapshot->ids, snapshot->overrides, current,
        [&](SpaceId id) { return m_labels.tilingOverride(id) != TilingOverride::automatic; });
    for (const auto& [id, value] : overrides) m_labels.setTilingOverride(value, id);

    if (!labels.empty() || !overrides.empty())
        m_log.info("app", "restored %ld labels, %ld tiling overrides", static_cast<long>(labels.size()),
                   static_cast<long>(overrides.size()));
}

} // namespace quorvel
