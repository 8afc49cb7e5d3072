#pragma once

#include <QHash>
#include <QWidget>

class LayoutEditing;
class SectionTile;

// The touchscreen drawn at the orientation's aspect ratio with one numbered tile per section of
// the edited page: a tap selects a tile, a tile with a widget can be dragged onto another, and
// every tile takes dropped widgets and packages. The keyboard reaches the map as one stop of the
// Tab chain (the tile in focus, else the selected one); arrow keys move between the tiles.
class DisplayMap : public QWidget {
    Q_OBJECT

public:
    DisplayMap(LayoutEditing& editing, QWidget* parent = nullptr);

    SectionTile* tile(const QString& sectionID) const { return m_tiles.value(sectionID); }
    QList<SectionTile*> tiles() const;
    // The screen's rectangle inside the view.
    QRectF screenFrame() const;
    void setAccent(const QColor& accent);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // Gives the keyboard focus to the section's tile, which becomes the map's Tab stop.
    void focusSection(const QString& sectionID);
    void makeTabStop(SectionTile* tile);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    void rebuild();
    void placeTiles();
    void chainTiles();
    SectionTile* tabStop() const;

    LayoutEditing& m_editing;
    QHash<QString, SectionTile*> m_tiles;
    QColor m_accent;
};

// One section on the map.
class SectionTile : public QWidget {
    Q_OBJECT

public:
    SectionTile(LayoutEditing& editing, const QString& sectionID, QWidget* parent);

    const QString& sectionID() const { return m_sectionID; }
    void setContent(int number, const QString& label, const QString& dragText, bool selected,
                    bool muted, const QColor& accent);
    QString label() const { return m_label; }
    bool isSelected() const { return m_selected; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    // Arrows select the neighbouring section, Ctrl or Alt with an arrow moves the widget there,
    // Delete removes it, Space or Enter selects the tile as a tap does.
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    DisplayMap* map() const;

    LayoutEditing& m_editing;
    QString m_sectionID;
    int m_number = 0;
    QString m_label;
    QString m_dragText;
    QColor m_accent;
    QPoint m_pressedAt;
    bool m_pressed = false;
    bool m_selected = false;
    bool m_muted = false;
    bool m_dropHover = false;
};
