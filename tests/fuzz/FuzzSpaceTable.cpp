// Fuzzes the desktop-table parser: any JSON the window server could hand back, read by every
// parser function with both numbering modes. Nothing may crash or read out of bounds.
#include "spaces/SpaceParser.h"

#include <cstddef>
#include <cstdint>

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Json table = Json::parse(data, data + size, nullptr, /*allow_exceptions=*/false);
    if (table.is_discarded()) return 0;

    const auto ordered = SpaceParser::orderedSpaceIDs(table);
    const SpaceId active = ordered.empty() ? 0 : ordered.front();
    const std::map<std::string, std::string> names = {{"display-0", "Zero"}, {"A", "Alpha"}};
    const std::map<SpaceId, std::string> fullScreen = {{active, "Player"}};
    for (const auto numbering : {NumberingMode::continuous, NumberingMode::perDisplay}) {
        const auto displays = SpaceParser::parse(table, active, std::nullopt, numbering, names, fullScreen);
        for (const Display& display : displays) {
            (void)SpaceParser::currentSpaceID(display.id, table);
            for (const Space& space : display.spaces) (void)SpaceParser::spaceInfo(space.id, table);
        }
        (void)SpaceParser::parse(table, active, std::string("A"), numbering, names, fullScreen);
    }
    (void)SpaceParser::fullScreenSpaceIDs(table);
    (void)SpaceParser::allSpaceIDs(table);
    return 0;
}
