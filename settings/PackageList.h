#pragma once

#include "touch/views/TouchControls.h"

#include <QColor>
#include <QImage>
#include <QListView>
#include <QPoint>
#include <optional>

class PackageListModel;

// Packages in a list, each row its badge, name and a line under it. Rows are drawn only while
// they are in view, so a library of thousands costs what the dozen on screen cost. A click, or
// Return on the current row, chooses one. With a drag prefix, dragging a row carries the prefix
// and the package's identity; with a touch prefix, each row in view is a touch region named by
// the prefix and the identity, and a tap chooses it.
class PackageList : public QListView, public TouchRegionSource {
    Q_OBJECT

public:
    struct Row {
        QString id;
        QString name;
        QString detail;
        QImage preview; // shown by a list with previews; none: a placeholder
        bool operator==(const Row&) const = default;
    };

    explicit PackageList(QWidget* parent = nullptr);

    // Rows of other packages start the list afresh; new texts for the same ones keep its place.
    void setRows(const QList<Row>& rows);
    const QList<Row>& rows() const;
    void setSelectedID(const std::optional<QString>& id);
    void setAccent(const QColor& accent);
    // Taller rows with the packages' previews instead of their badges.
    void setShowsPreviews(bool previews);
    void setDragPrefix(const QString& prefix);
    void setTouchPrefix(const QString& prefix);
    void setRowToolTip(const QString& text);
    // The text a drag of the row carries; empty without a drag prefix.
    QString dragText(int row) const;

    QList<TouchRegion> touchRegions() const override;

signals:
    void chosen(const QString& id);
    // A row in view shows a placeholder: its package's picture is wanted. Comes from the event
    // loop, not from inside the drawing.
    void previewWanted(const QString& id);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void drag(const QModelIndex& index);

    PackageListModel* m_model;
    QString m_touchPrefix;
    QPoint m_pressedAt;
};
