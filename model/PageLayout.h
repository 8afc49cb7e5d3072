#pragma once

#include "Board.h"
#include "LayoutOrientation.h"
#include "WidgetKind.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <array>
#include <optional>

// One rectangle of a page, in fractions of the page (y runs downwards).
struct WidgetSection {
    QString id;
    std::optional<WidgetKind> widget;
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    static WidgetSection fromJson(const QJsonValue& value, const QString& context);
    QJsonObject toJson() const;

    bool operator==(const WidgetSection&) const = default;
};

struct ClosedRange {
    double lower = 0;
    double upper = 0;

    bool operator==(const ClosedRange&) const = default;
};

// The division of one page into sections. Stored layouts are in the horizontal frame
// (1920 x 540); editing operations take the layout as shown together with the display's
// orientation. Every operation on an unknown section id leaves the layout as it is.
class PageLayout {
public:
    enum class ResizeAxis { width, height };
    enum class Preset { single, two, three, four, six, featured };

    static constexpr int maximumSections = 12;
    static constexpr double minimumWidth = 0.099999;
    static constexpr double minimumHeight = 0.33333233333333334;
    static constexpr double edgeTolerance = 1e-5;
    static constexpr double extentTolerance = 1.00001;

    QList<WidgetSection> sections;

    static PageLayout preset(Preset preset, const QList<WidgetKind>& widgets);
    // The layout a page starts with.
    static PageLayout example(Board board);
    // A single full-height row, for pages that only have an older flat widget list.
    static PageLayout row(const QList<WidgetKind>& widgets, const QList<double>& widths);

    bool isValid() const;
    PageLayout oriented(LayoutOrientation orientation) const;
    // The widgets of the sections in section order, empty sections skipped.
    QList<WidgetKind> widgets() const;
    qsizetype indexOf(const QString& sectionID) const;

    // Puts the widget into the section; a section that already held it receives what the target
    // held.
    void place(const WidgetKind& widget, const QString& target);
    void clear(const QString& sectionID);
    std::optional<QString> emptyTarget(const std::optional<QString>& selected) const;

    // The full column (stacked) or row that contains the section, or nothing when the sections
    // aligned with it do not tile the page.
    QList<WidgetSection> alignedGroup(const QString& sectionID, bool stacked) const;
    bool canStack(const QString& sectionID, int count, LayoutOrientation orientation) const;
    void stack(const QString& sectionID, int count, LayoutOrientation orientation);
    void split(const QString& sectionID, bool stacked, int count, LayoutOrientation orientation);

    // The extents the section can be given along the axis by moving one shared edge.
    std::optional<ClosedRange> resizeRange(const QString& sectionID, ResizeAxis axis,
                                           LayoutOrientation orientation) const;
    void resize(const QString& sectionID, ResizeAxis axis, double to,
                LayoutOrientation orientation);

    // Throws DecodingError when a section or one of its keys is malformed.
    static PageLayout fromJson(const QJsonValue& value, const QString& context);
    QJsonObject toJson() const;

    bool operator==(const PageLayout&) const = default;

private:
    struct Boundary;
    std::optional<Boundary> resizeBoundary(qsizetype index, ResizeAxis axis) const;
    void resizeHorizontal(const QString& sectionID, ResizeAxis axis, double to);
};

inline constexpr std::array<PageLayout::Preset, 6> allPresets = {
        PageLayout::Preset::single, PageLayout::Preset::two, PageLayout::Preset::three,
        PageLayout::Preset::four,   PageLayout::Preset::six, PageLayout::Preset::featured};

QString rawValue(PageLayout::Preset preset);
