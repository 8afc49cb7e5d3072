#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPoint>

// One package in a list: its badge, name and a line under it. A click chooses it; with a drag
// text set, dragging it carries that text.
class PackageRow : public QAbstractButton {
    Q_OBJECT

public:
    explicit PackageRow(QWidget* parent = nullptr);

    void setPackage(const QString& name, const QString& detail);
    void setDragText(const QString& text) { m_dragText = text; }
    const QString& dragText() const { return m_dragText; }
    void setSelected(bool selected);
    bool isSelected() const { return m_selected; }
    void setAccent(const QColor& accent);
    QString detail() const { return m_detail; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QString m_detail;
    QString m_dragText;
    QColor m_accent;
    QPoint m_pressedAt;
    bool m_selected = false;
    bool m_hovered = false;
};

// A package's badge: a rounded square with the name's first letter in the accent colour.
void paintPackageBadge(class QPainter& painter, const QRectF& frame, const QString& name,
                       const QColor& accent);
