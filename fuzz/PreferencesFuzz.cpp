// "preferences.json" as a damaged disk or another version could leave it. Whatever reads must
// write back to the same record, and every page must have a valid layout.
#include "FuzzSupport.h"
#include "model/JsonCoding.h"
#include "model/Preferences.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Preferences preferences;
    try {
        bool dropped = false;
        preferences = Preferences::fromJson(FuzzSupport::bytes(data, size), &dropped);
    } catch (const DecodingError&) {
        return 0;
    }
    const Preferences again = Preferences::fromJson(preferences.toJson());
    FuzzSupport::require(again == preferences);
    for (Board board : allBoards) {
        preferences.widgets(board);
        const auto layout = preferences.pageLayouts.constFind(rawValue(board));
        if (layout != preferences.pageLayouts.cend())
            FuzzSupport::require(layout->isValid());
    }
    return 0;
}
