#pragma once

#include <QList>
#include <QRectF>
#include <QString>
#include <optional>

// One attached display as the desktop sees it. Frames are global desktop coordinates in points,
// origin top-left, y downwards.
struct ScreenInfo {
    QString name;
    QRectF frame;
    // The display number (a stable hash of the output's name); absent when the platform gave
    // none, which is then looked up as display 0.
    std::optional<quint32> displayNumber;
    double rotation = 0; // degrees
    // The frame without panels and docks; empty when the platform gave none (then the frame).
    QRectF visibleFrame;
    // The monitor's own name from its EDID ("XENEON EDGE"); empty when it is not known.
    QString monitorName{};
};

// The monitor's identity as its EDID states it.
struct DisplayModel {
    quint32 vendor = 0;
    quint32 model = 0;

    bool operator==(const DisplayModel&) const = default;
};

// The attached screens and the identity of their displays.
class ScreenDirectory {
public:
    virtual ~ScreenDirectory() = default;
    // The main screen first.
    virtual QList<ScreenInfo> screens() const = 0;
    // {0, 0} for a display that is not known.
    virtual DisplayModel model(quint32 displayNumber) const = 0;
};

// The touchscreen bar display's EDID manufacturer id and product code.
inline constexpr DisplayModel touchscreenModel{0x0E58, 0xED00};

// The first screen, in the directory's order, whose display is the touchscreen.
std::optional<ScreenInfo> findTouchscreen(const ScreenDirectory& directory);
bool isTouchscreen(const ScreenDirectory& directory, const ScreenInfo& screen);
// The display number of an output: a hash of its name that stays the same across runs.
quint32 displayNumber(const QString& outputName);
QRectF visibleFrame(const ScreenInfo& screen);
