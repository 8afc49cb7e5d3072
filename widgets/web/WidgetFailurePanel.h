#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// Covers a widget whose page cannot be shown: its name, what went wrong and "Reload widget".
class WidgetFailurePanel : public QWidget {
    Q_OBJECT

public:
    explicit WidgetFailurePanel(const QString& name, QWidget* parent = nullptr);

    void setMessage(const QString& message);
    QString message() const;
    void setZoom(double zoom);
    QPushButton* reloadButton() const { return m_reload; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void fit();

    QLabel* m_name;
    QLabel* m_message;
    QPushButton* m_reload;
    double m_zoom = 1;
};
