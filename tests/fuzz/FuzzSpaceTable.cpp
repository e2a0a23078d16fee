// Fuzzes the desktop-table rules: any table a window server could describe (displays with or
// without a name, any desktop ids, repeated ones, full-screen desktops, a current desktop that is
// or is not listed), read by every parser function with both numbering modes. Besides not
// crashing, the rules must hold: one display per table entry, normal desktops numbered 1, 2, 3…
// (per display or across them), full-screen desktops 0, at most one main display.
//
// Input: bytes read in order; running out ends the table. Per display: a byte whose low 2 bits
// pick the identifier (none, "A", "B", "C"), bit 2 whether a current desktop follows and bits 3-5
// the desktop count (0-7); then the current desktop's id (one byte) and per desktop one byte:
// bits 0-6 the id, bit 7 full screen.
#include "spaces/SpaceParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace quorvel;

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

DesktopTable tableFrom(const std::uint8_t* data, std::size_t size) {
    static const char* const identifiers[] = {"", "A", "B", "C"};
    DesktopTable table;
    std::size_t at = 0;
    while (at < size && table.displays.size() < 8) {
        const std::uint8_t head = data[at++];
        DisplayDesktops display;
        display.identifier = identifiers[head & 3];
        if ((head & 4) && at < size) display.currentDesktop = SpaceId{data[at++]};
        const int count = (head >> 3) & 7;
        for (int i = 0; i < count && at < size; ++i) {
            const std::uint8_t desktop = data[at++];
            display.desktops.push_back(
                {SpaceId(desktop & 0x7F), desktop & 0x80 ? DesktopKind::fullScreen : DesktopKind::normal});
        }
        table.displays.push_back(std::move(display));
    }
    return table;
}

void checkNumbering(const std::vector<Display>& displays, NumberingMode numbering) {
    int expected = 1;
    for (const Display& display : displays) {
        if (numbering == NumberingMode::perDisplay) expected = 1;
        for (const Space& space : display.spaces) {
            require(space.displayID == display.id);
            if (space.isFullScreen) require(space.index == 0);
            else require(space.index == expected++);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const DesktopTable table = tableFrom(data, size);

    const auto ordered = SpaceParser::orderedSpaceIDs(table);
    const SpaceId active = ordered.empty() ? 0 : ordered.front();
    const std::map<std::string, std::string> names = {{"display-0", "Zero"}, {"A", "Alpha"}};
    const std::map<SpaceId, std::string> fullScreen = {{active, "Player"}};
    for (const auto numbering : {NumberingMode::continuous, NumberingMode::perDisplay}) {
        const auto displays = SpaceParser::parse(table, active, std::nullopt, numbering, names, fullScreen);
        require(displays.size() == table.displays.size());
        require(displays.empty() || displays.front().isMain);
        checkNumbering(displays, numbering);
        std::size_t spaces = 0;
        for (std::size_t d = 0; d < displays.size(); ++d) {
            const Display& display = displays[d];
            require(display.spaces.size() == table.displays[d].desktops.size());
            require(d == 0 || !display.isMain);
            spaces += display.spaces.size();
            // The first display of a name answers for it.
            const auto current = SpaceParser::currentSpaceID(display.id, table);
            if (d == 0) require(current == table.displays[0].currentDesktop);
            for (const Space& space : display.spaces) {
                const auto info = SpaceParser::spaceInfo(space.id, table);
                require(info.has_value());
                require(space.isCurrent == (space.id == active));
            }
        }
        require(spaces == ordered.size());

        // With a main display named, exactly the displays of that name are main.
        for (const Display& display : SpaceParser::parse(table, active, std::string("A"), numbering, names, fullScreen))
            require(display.isMain == (display.id == "A"));
    }
    const auto all = SpaceParser::allSpaceIDs(table);
    require(all.size() <= ordered.size());
    for (const SpaceId id : SpaceParser::fullScreenSpaceIDs(table)) require(all.contains(id));
    return 0;
}
