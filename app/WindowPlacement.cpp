#include "WindowPlacement.h"

#include <algorithm>

namespace {

const QString previewTitle = QStringLiteral("Tablora — Preview");
const QString fullScreenTitle = QStringLiteral("Tablora");
const QString fullScreenFailed =
        QStringLiteral("Couldn’t enter full screen. Tablora is available in window preview.");

} // namespace

const QString WindowPlacement::previewName = QStringLiteral("Window preview");

WindowPlacement::WindowPlacement(const ScreenDirectory& screens, PlacementWindow& window, Host host)
    : m_screens(screens), m_window(window), m_host(std::move(host)) {}

QSizeF WindowPlacement::canvas() const {
    return canvasSize(m_host.orientation());
}

std::optional<ScreenInfo> WindowPlacement::targetScreen() const {
    const QList<ScreenInfo> screens = m_screens.screens();
    if (const auto chosen = m_host.preferredDisplay()) {
        for (const ScreenInfo& screen : screens) {
            if (screen.displayNumber.value_or(0) == *chosen)
                return screen;
        }
    }
    return findTouchscreen(m_screens);
}

QSizeF WindowPlacement::minimumContentSize() const {
    const QSizeF size = canvas();
    const QList<ScreenInfo> screens = m_screens.screens();
    const double screenLimit =
            screens.isEmpty() ? 630 : 0.7 * visibleFrame(screens.first()).height();
    return {size.width() / 2, std::min(size.height() / 2, screenLimit)};
}

QRectF WindowPlacement::previewFrame() const {
    const QList<ScreenInfo> screens = m_screens.screens();
    QRectF area(QPointF(0, 0), noScreenArea);
    const auto other = std::find_if(screens.begin(), screens.end(), [this](const auto& screen) {
        return !isTouchscreen(m_screens, screen);
    });
    if (other != screens.end())
        area = visibleFrame(*other);
    else if (!screens.isEmpty())
        area = visibleFrame(screens.first());
    const QSizeF size = canvas();
    const double scale = std::min({(0.9 * area.height() - 28) / size.height(),
                                   0.9 * area.width() / size.width(), 1600 / size.width()});
    QRectF frame(QPointF(), size * scale);
    frame.moveCenter(area.center());
    return frame;
}

void WindowPlacement::place() {
    if (m_fullScreenTransition) {
        m_repositionAfterTransition = true;
        return;
    }
    m_window.setMinimumContentSize(minimumContentSize());
    const std::optional<ScreenInfo> target = m_preview ? std::nullopt : targetScreen();
    if (!m_window.isFullScreen()) {
        if (!target) {
            m_host.setDirectTouch(false);
            m_window.showWindowed(previewTitle, previewFrame());
            m_host.setDisplayName(previewName);
            return;
        }
        m_host.setDisplayName(target->name);
        m_fullScreenTransition = true;
        m_window.enterFullScreen(fullScreenTitle, *target);
        return;
    }
    if (target && m_window.currentDisplay() == target->displayNumber.value_or(0)) {
        m_host.setDisplayName(target->name);
        m_window.fillScreen(*target);
        return;
    }
    m_repositionAfterTransition = true;
    m_fullScreenTransition = true;
    m_window.exitFullScreen();
}

void WindowPlacement::togglePreview() {
    m_preview = !m_preview;
    place();
}

void WindowPlacement::moveToDisplay() {
    m_preview = false;
    place();
}

void WindowPlacement::didEnterFullScreen() {
    m_fullScreenTransition = false;
    const std::optional<quint32> display = m_window.currentDisplay();
    bool onTouchscreen = false;
    for (const ScreenInfo& screen : m_screens.screens()) {
        if (display && screen.displayNumber.value_or(0) == *display)
            onTouchscreen = isTouchscreen(m_screens, screen);
    }
    m_host.setDirectTouch(onTouchscreen);
    if (m_repositionAfterTransition) {
        m_repositionAfterTransition = false;
        place();
    }
}

void WindowPlacement::didExitFullScreen() {
    m_host.setDirectTouch(false);
    m_fullScreenTransition = false;
    if (m_repositionAfterTransition)
        m_repositionAfterTransition = false;
    else
        m_preview = true; // the user left full screen
    place();
}

void WindowPlacement::didFailToEnterFullScreen() {
    m_fullScreenTransition = false;
    m_repositionAfterTransition = false;
    m_preview = true;
    place();
    m_host.notify(fullScreenFailed);
}
