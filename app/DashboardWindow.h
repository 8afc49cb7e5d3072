#pragma once

#include <QMainWindow>

// The window that holds the dashboard, full screen on the touchscreen or as the window preview.
class DashboardWindow : public QMainWindow {
    Q_OBJECT

public:
    static constexpr QSize previewSize{1440, 405};

    explicit DashboardWindow(QWidget* parent = nullptr);

    void showPreview();
};
