#pragma once

#include "model/Board.h"
#include "model/PageLayout.h"
#include "packages/WidgetPackage.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <optional>

class TarnStore;

// The layout editor's state and rules: the page being edited, the selected section, the undo
// history and every edit, each of which replaces the page's layout in the store at once. The
// view only shows this and calls it. Main thread only.
class LayoutEditing : public QObject {
    Q_OBJECT

public:
    // What a drag carries: a placed widget (moved) or a package of the library (added).
    static inline const QString widgetDragPrefix = QStringLiteral("tarn-widget:");
    static inline const QString packageDragPrefix = QStringLiteral("tarn-package:");
    static constexpr int historyLimit = 30;
    static constexpr double step = 0.01;
    // Values this close to an end of a range count as at the end.
    static constexpr double boundTolerance = 0.0001;
    // Slider steps by key or wheel closer together than this are one change.
    static constexpr std::chrono::milliseconds stepsSettle{600};

    struct Entry {
        Board board;
        PageLayout layout;
    };

    explicit LayoutEditing(TarnStore& store, QObject* parent = nullptr);

    TarnStore& store() const { return m_store; }
    Board board() const { return m_board; }
    const std::optional<QString>& selected() const { return m_selected; }
    const QList<Entry>& history() const { return m_history; }
    bool saved() const { return m_saved; }
    bool resizing() const { return m_resizeStart.has_value(); }
    // The edited page's layout as shown (in the display's orientation).
    PageLayout layout() const;
    std::optional<WidgetSection> selection() const;
    int widgetCount() const;

    // Back to a fresh editor on the dashboard's current page (the tab was shown again).
    void reset();
    void setBoard(Board board);
    void select(const std::optional<QString>& sectionID);

    // The single way every edit reaches the store: dropped when invalid or unchanged, else
    // recorded for undo and saved. True when it was applied.
    bool change(const PageLayout& layout);
    void undo();

    // Fills the selected section with a new instance of the package.
    void assign(const QString& packageID);
    // A click on a library widget: fills the selected section when it is empty; otherwise the
    // package waits to be placed (see placing()).
    void choose(const QString& packageID);
    // A package waiting for a section: the next empty section selected receives it, and a
    // selected section that holds a widget receives it once the user confirms the replacement.
    const std::optional<QString>& placing() const { return m_placing; }
    void startPlacing(const QString& packageID);
    void confirmPlacing();
    void cancelPlacing();
    // Whether the waiting package would replace the selected section's widget.
    bool placingReplaces() const;
    bool hasEmptySection() const;
    // The hint beside the map: how to place the waiting package, or how to make room.
    QString hint() const;
    // A dropped text of either drag prefix on a section; true when it was used.
    bool receive(const QString& text, const QString& sectionID);
    void removeWidget();
    // The section beside this one on that side of it (the nearest, then the most in line); none
    // at the page's edge.
    std::optional<QString> neighbour(const QString& sectionID, Qt::Edge side) const;
    // Exchanges the selected section's widget with the neighbouring section's, as dragging it
    // there does; the selection follows the widget.
    void moveWidget(Qt::Edge side);

    // Arrangements of the selected section: side by side (count 2) or stacked (2 or 3).
    bool arrangementEnabled(bool stacked, int count) const;
    bool arrangementCurrent(bool stacked, int count) const;
    void arrange(bool stacked, int count);

    // Width and height of the selected section.
    std::optional<ClosedRange> resizeRange(PageLayout::ResizeAxis axis) const;
    std::optional<double> extent(PageLayout::ResizeAxis axis) const;
    bool canDecrease(PageLayout::ResizeAxis axis) const;
    bool canIncrease(PageLayout::ResizeAxis axis) const;
    void resizeBy(const QString& sectionID, PageLayout::ResizeAxis axis, double value);
    // A slider drag: every value goes to the store at once, and the whole drag becomes one
    // undo step when it ends. Values without a drag (keys, the wheel) go to the store at once
    // too, and steps in quick succession become one undo step once they pause.
    void beginResize();
    void resizeLive(PageLayout::ResizeAxis axis, double value);
    void endResize();

    bool presetEnabled(PageLayout::Preset preset) const;
    QString presetHelp(PageLayout::Preset preset) const;
    void applyPreset(PageLayout::Preset preset);

    bool canAddPage() const;
    void addPage();
    bool canDeletePage() const;
    // After the user confirmed; true when the store deleted the page.
    bool deletePage();
    QString deleteMessage() const;
    QString deleteInformative() const;
    void resetPage();
    QString resetMessage() const;
    QString resetInformative() const;

    // The library: packages whose name or author holds the search text, in the category ("All":
    // any), and how many instances of each package the edited page holds, by identity.
    QList<WidgetPackage> matches(const QString& search, const QString& category) const;
    QHash<QString, int> placedCounts() const;

signals:
    // Anything the view shows changed.
    void changed();

private:
    void push(Board board, const PageLayout& layout);
    void preferencesChanged();
    void finish();
    // Ends the steps of a key or wheel burst: one undo step, saved by the store's own delay.
    void settleSteps();
    void settlePendingSteps();
    void stopResizing();

    TarnStore& m_store;
    Board m_board;
    std::optional<QString> m_selected;
    QList<Entry> m_history;
    bool m_saved = false;
    std::optional<PageLayout> m_resizeStart;
    QTimer m_steps;
    std::optional<QString> m_placing;
    qsizetype m_pageCount;
    LayoutOrientation m_orientation;
};

// The presets' names as the editor shows them.
QString presetName(PageLayout::Preset preset);
int presetSectionCount(PageLayout::Preset preset);
