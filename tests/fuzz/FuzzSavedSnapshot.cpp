// Fuzzes the saved-snapshot reader: the four snapshot keys hold whatever a damaged or edited
// defaults file could hold. The reader must drop what it cannot parse and never crash.
#include "MemoryDefaults.h"
#include "settings/Settings.h"

#include <cstddef>
#include <cstdint>

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Json input = Json::parse(data, data + size, nullptr, /*allow_exceptions=*/false);
    if (input.is_discarded()) return 0;

    sim::MemoryDefaults defaults;
    Settings settings(defaults);
    // An object spreads over the snapshot keys by name; anything else fills every key at once.
    const std::string_view keys[] = {Settings::savedSpaceCountKey, Settings::savedSpaceIDsKey,
                                     Settings::savedSpaceLabelsKey, Settings::savedSpaceOverridesKey};
    for (const auto key : keys) {
        if (input.is_object() && input.contains(std::string(key))) defaults.set(key, input[std::string(key)]);
        else if (!input.is_object()) defaults.set(key, input);
    }
    const auto snapshot = settings.savedSpaceSnapshot();
    if (snapshot) {
        // What was read back must save and read back to the same snapshot.
        settings.saveSpaceSnapshot(snapshot->ids, snapshot->labels, snapshot->overrides);
        const auto again = settings.savedSpaceSnapshot();
        if (!again || !(*again == *snapshot)) __builtin_trap();
    }
    return 0;
}
