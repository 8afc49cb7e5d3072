#pragma once

#include "app/WindowPlacement.h"

#include <QMainWindow>

// A top-level window of the application: the dashboard (full screen on the touchscreen or the
// window preview) or the settings. Closing is only a request: the owner decides what happens.
class DashboardWindow : public QMainWindow, public PlacementWindow {
    Q_OBJECT

public:
    explicit DashboardWindow(QWidget* parent = nullptr);

    bool isFullScreen() const override;
    std::optional<quint32> currentDisplay() const override;
    void setMinimumContentSize(const QSizeF& size) override;
    void showWindowed(const QString& title, const QRectF& contentFrame) override;
    void enterFullScreen(const QString& title, const ScreenInfo& screen) override;
    void fillScreen(const ScreenInfo& screen) override;
    void exitFullScreen() override;

signals:
    void closeRequested();
    void fullScreenEntered();
    void fullScreenLeft();
    void fullScreenFailed();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool m_wasFullScreen = false;
};
