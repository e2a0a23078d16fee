// Carrying desktop names and tiling overrides over to the desktops of a new session, matched by
// identifier or, when the window server renumbered every desktop, by position. Used by
// SpaceLabelPersistence.
#pragma once

#include "platform/Types.h"
#include "settings/Settings.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace quorvel::SpaceLabelRestore {

// Pure. Which saved value goes to which current desktop:
// - when any saved id still exists, values of ids that still exist keep their id;
// - when none does, values follow their position, but only if both lists have the same length;
// and never onto a desktop for which `hasValue` is true. Instantiated for names (std::string) and
// tiling overrides (TilingOverride).
template <class Value>
std::map<SpaceId, Value> plan(const std::vector<SpaceId>& savedOrderedIDs, const std::map<SpaceId, Value>& values,
                              const std::vector<SpaceId>& currentOrderedIDs,
                              const std::function<bool(SpaceId)>& hasValue);

extern template std::map<SpaceId, std::string> plan(const std::vector<SpaceId>&,
                                                    const std::map<SpaceId, std::string>&,
                                                    const std::vector<SpaceId>&, const std::function<bool(SpaceId)>&);
extern template std::map<SpaceId, TilingOverride> plan(const std::vector<SpaceId>&,
                                                       const std::map<SpaceId, TilingOverride>&,
                                                       const std::vector<SpaceId>&,
                                                       const std::function<bool(SpaceId)>&);

} // namespace quorvel::SpaceLabelRestore
