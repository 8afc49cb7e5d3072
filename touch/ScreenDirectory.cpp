#include "ScreenDirectory.h"

bool isTouchscreen(const ScreenDirectory& directory, const ScreenInfo& screen) {
    return directory.model(screen.displayNumber.value_or(0)) == touchscreenModel;
}

std::optional<ScreenInfo> findTouchscreen(const ScreenDirectory& directory) {
    for (const ScreenInfo& screen : directory.screens()) {
        if (isTouchscreen(directory, screen))
            return screen;
    }
    return std::nullopt;
}

QRectF visibleFrame(const ScreenInfo& screen) {
    return screen.visibleFrame.isEmpty() ? screen.frame : screen.visibleFrame;
}

quint32 displayNumber(const QString& outputName) {
    // 32-bit FNV-1a over the name's UTF-8 bytes.
    quint32 hash = 2166136261u;
    for (const char byte : outputName.toUtf8()) {
        hash ^= quint8(byte);
        hash *= 16777619u;
    }
    return hash;
}
