// The matching of saved desktops to current ones, for names and overrides alike.
#include "spaces/SpaceLabelRestore.h"

#include <algorithm>
#include <set>

namespace quorvel::SpaceLabelRestore {

template <class Value>
std::map<SpaceId, Value> plan(const std::vector<SpaceId>& savedOrderedIDs, const std::map<SpaceId, Value>& values,
                              const std::vector<SpaceId>& currentOrderedIDs,
                              const std::function<bool(SpaceId)>& hasValue) {
    std::map<SpaceId, Value> result;
    if (values.empty()) return result;

    const std::set<SpaceId> current(currentOrderedIDs.begin(), currentOrderedIDs.end());
    const bool keptIdentifiers =
        std::any_of(savedOrderedIDs.begin(), savedOrderedIDs.end(), [&](SpaceId id) { return current.contains(id); });

    if (keptIdentifiers) {
        for (const auto& [id, value] : values)
            if (current.contains(id) && !hasValue(id)) result.emplace(id, value);
        return result;
    }

    // Renumbered: positions only mean the same desktops when the count did not change.
    if (savedOrderedIDs.size() != currentOrderedIDs.size()) return result;
    for (std::size_t i = 0; i < savedOrderedIDs.size(); ++i) {
        const auto saved = values.find(savedOrderedIDs[i]);
        if (saved == values.end()) continue;
        const SpaceId target = currentOrderedIDs[i];
        if (!hasValue(target)) result[target] = saved->second;
    }
    return result;
}

template std::map<SpaceId, std::string> plan(const std::vector<SpaceId>&, const std::map<SpaceId, std::string>&,
                                             const std::vector<SpaceId>&, const std::function<bool(SpaceId)>&);
template std::map<SpaceId, TilingOverride> plan(const std::vector<SpaceId>&, const std::map<SpaceId, TilingOverride>&,
                                                const std::vector<SpaceId>&, const std::function<bool(SpaceId)>&);

} // namespace quorvel::SpaceLabelRestore
