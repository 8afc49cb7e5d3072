#pragma once

#include "model/LayoutOrientation.h"
#include "touch/ScreenDirectory.h"

#include <QRectF>
#include <QSizeF>
#include <functional>
#include <optional>

// What placing needs of the dashboard window. Full-screen changes are asynchronous: the window
// reports their end through WindowPlacement's did… calls.
class PlacementWindow {
public:
    virtual ~PlacementWindow() = default;
    virtual bool isFullScreen() const = 0;
    // The display number of the screen the window is on; none off screen.
    virtual std::optional<quint32> currentDisplay() const = 0;
    virtual void setMinimumContentSize(const QSizeF& size) = 0;
    // Windowed with this title and content frame, in front and focused.
    virtual void showWindowed(const QString& title, const QRectF& contentFrame) = 0;
    // Moves to the screen, in front and focused, and starts entering full screen.
    virtual void enterFullScreen(const QString& title, const ScreenInfo& screen) = 0;
    // In full screen: covers the screen as it is now (its resolution may have changed).
    virtual void fillScreen(const ScreenInfo& screen) = 0;
    virtual void exitFullScreen() = 0;
};

// Decides where the dashboard goes: full screen on the touchscreen (or the display the user
// chose), else a preview window on another display; and keeps that right as displays come and
// go and full screen is entered or left. A placement asked for during a full-screen change runs
// when the change ends; it is never dropped.
class WindowPlacement {
public:
    static constexpr QSizeF noScreenArea{1440, 900};
    // The display name while the dashboard is in the window preview.
    static const QString previewName;

    struct Host {
        std::function<LayoutOrientation()> orientation;
        std::function<std::optional<quint32>()> preferredDisplay; // Preferences.displayID
        std::function<void(const QString&)> setDisplayName;
        std::function<void(bool)> setDirectTouch; // start (true) or stop
        std::function<void(const QString&)> notify;
    };

    WindowPlacement(const ScreenDirectory& screens, PlacementWindow& window, Host host);

    bool preview() const { return m_preview; }
    void setPreview(bool preview) { m_preview = preview; }
    bool inTransition() const { return m_fullScreenTransition; }

    void place();
    void togglePreview();
    void moveToDisplay();

    void didEnterFullScreen();
    void didExitFullScreen();
    void didFailToEnterFullScreen();

    std::optional<ScreenInfo> targetScreen() const;
    // The preview's content frame on the screens as they are.
    QRectF previewFrame() const;
    QSizeF minimumContentSize() const;

private:
    QSizeF canvas() const;

    const ScreenDirectory& m_screens;
    PlacementWindow& m_window;
    Host m_host;
    bool m_preview = false;
    bool m_fullScreenTransition = false;
    bool m_repositionAfterTransition = false;
};
