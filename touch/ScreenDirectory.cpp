#include "ScreenDirectory.h"

std::optional<ScreenInfo> findTouchscreen(const ScreenDirectory& directory) {
    for (const ScreenInfo& screen : directory.screens()) {
        if (directory.model(screen.displayNumber.value_or(0)) == touchscreenModel)
            return screen;
    }
    return std::nullopt;
}
