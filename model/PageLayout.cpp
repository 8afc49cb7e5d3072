#include "PageLayout.h"

#include "JsonCoding.h"

#include <QJsonArray>
#include <QRectF>
#include <QSet>
#include <QUuid>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace {

constexpr double tolerance = PageLayout::edgeTolerance;

bool same(double a, double b) {
    return std::abs(a - b) < tolerance;
}

QString newSectionID() {
    return Json::uuidText(QUuid::createUuid());
}

WidgetSection makeSection(const QString& id, std::optional<WidgetKind> widget, double x, double y,
                          double width, double height) {
    return WidgetSection{id, std::move(widget), x, y, width, height};
}

// The fields that one resize axis moves, and the fields across it.
struct AxisFields {
    double WidgetSection::*nearEdge;
    double WidgetSection::*extent;
    double WidgetSection::*crossNear;
    double WidgetSection::*crossExtent;
    // The minimum size without the 1e-6 margin of the validity rule.
    double minimum;
};

AxisFields fieldsOf(PageLayout::ResizeAxis axis) {
    if (axis == PageLayout::ResizeAxis::width)
        return {&WidgetSection::x, &WidgetSection::width, &WidgetSection::y, &WidgetSection::height,
                0.1};
    return {&WidgetSection::y, &WidgetSection::height, &WidgetSection::x, &WidgetSection::width,
            1.0 / 3.0};
}

PageLayout::ResizeAxis crossAxis(PageLayout::ResizeAxis axis) {
    return axis == PageLayout::ResizeAxis::width ? PageLayout::ResizeAxis::height
                                                 : PageLayout::ResizeAxis::width;
}

QRectF rectOf(const WidgetSection& section) {
    return QRectF(section.x, section.y, section.width, section.height);
}

bool overlaps(const QRectF& a, const QRectF& b) {
    return a.left() < b.right() && b.left() < a.right() && a.top() < b.bottom() &&
           b.top() < a.bottom();
}

bool hasValidFrame(const WidgetSection& s) {
    return std::isfinite(s.x) && std::isfinite(s.y) && std::isfinite(s.width) &&
           std::isfinite(s.height) && s.x >= 0 && s.y >= 0 && s.width >= PageLayout::minimumWidth &&
           s.height >= PageLayout::minimumHeight && s.x + s.width <= PageLayout::extentTolerance &&
           s.y + s.height <= PageLayout::extentTolerance;
}

} // namespace

// ---- JSON

WidgetSection WidgetSection::fromJson(const QJsonValue& value, const QString& context) {
    const QJsonObject object = Json::objectValue(value, context);
    WidgetSection section;
    section.id = Json::requiredString(object, QStringLiteral("id"));
    if (!Json::isMissing(object, QStringLiteral("widget")))
        section.widget = WidgetKind::fromJson(object.value(QStringLiteral("widget")),
                                              QStringLiteral("widget"));
    section.x = Json::requiredNumber(object, QStringLiteral("x"));
    section.y = Json::requiredNumber(object, QStringLiteral("y"));
    section.width = Json::requiredNumber(object, QStringLiteral("width"));
    section.height = Json::requiredNumber(object, QStringLiteral("height"));
    return section;
}

QJsonObject WidgetSection::toJson() const {
    QJsonObject object{{QStringLiteral("id"), id},
                       {QStringLiteral("x"), x},
                       {QStringLiteral("y"), y},
                       {QStringLiteral("width"), width},
                       {QStringLiteral("height"), height}};
    if (widget)
        object.insert(QStringLiteral("widget"), widget->toJson());
    return object;
}

PageLayout PageLayout::fromJson(const QJsonValue& value, const QString& context) {
    const QJsonObject object = Json::objectValue(value, context);
    const QJsonArray list = Json::arrayValue(object.value(QStringLiteral("sections")),
                                             context + QStringLiteral(".sections"));
    PageLayout layout;
    layout.sections.reserve(list.size());
    for (const QJsonValue& entry : list)
        layout.sections.append(
                WidgetSection::fromJson(entry, context + QStringLiteral(".section")));
    return layout;
}

QJsonObject PageLayout::toJson() const {
    QJsonArray list;
    for (const WidgetSection& section : sections)
        list.append(section.toJson());
    return {{QStringLiteral("sections"), list}};
}

// ---- Building layouts

QString rawValue(PageLayout::Preset preset) {
    switch (preset) {
    case PageLayout::Preset::single:
        return QStringLiteral("One");
    case PageLayout::Preset::two:
        return QStringLiteral("Two");
    case PageLayout::Preset::three:
        return QStringLiteral("Three");
    case PageLayout::Preset::four:
        return QStringLiteral("Four");
    case PageLayout::Preset::six:
        return QStringLiteral("Six");
    case PageLayout::Preset::featured:
        return QStringLiteral("Featured");
    }
    return {};
}

namespace {

QList<QRectF> presetRects(PageLayout::Preset preset) {
    const auto columns = [](int count) {
        QList<QRectF> rects;
        for (int i = 0; i < count; ++i)
            rects.append(QRectF(double(i) / count, 0, 1.0 / count, 1));
        return rects;
    };
    switch (preset) {
    case PageLayout::Preset::single:
        return columns(1);
    case PageLayout::Preset::two:
        return columns(2);
    case PageLayout::Preset::three:
        return columns(3);
    case PageLayout::Preset::four:
        return columns(4);
    case PageLayout::Preset::six: {
        QList<QRectF> rects;
        for (int row = 0; row < 2; ++row) {
            for (int column = 0; column < 3; ++column)
                rects.append(QRectF(column / 3.0, row / 2.0, 1.0 / 3.0, 0.5));
        }
        return rects;
    }
    case PageLayout::Preset::featured:
        return {QRectF(0, 0, 0.5, 1), QRectF(0.5, 0, 0.5, 0.5), QRectF(0.5, 0.5, 0.5, 0.5)};
    }
    return {};
}

struct ExampleSection {
    const char* package;
    QRectF rect;
};

QList<ExampleSection> exampleSections(Board board) {
    switch (board) {
    case Board::overview:
        return {{"cpu", QRectF(0, 0, 0.2, 1)},
                {"gpu", QRectF(0.2, 0, 0.2, 1)},
                {"memory", QRectF(0.4, 0, 0.2, 1)},
                {"disk", QRectF(0.6, 0, 0.2, 1)},
                {"network", QRectF(0.8, 0, 0.2, 1)}};
    case Board::focus: {
        QList<ExampleSection> sections{{"today", QRectF(0, 0, 0.3, 1)},
                                       {"agenda", QRectF(0.3, 0, 0.3, 1)}};
        for (int row = 0; row < 3; ++row) {
            for (double x : {0.6, 0.8})
                sections.append({"shortcuts", QRectF(x, row / 3.0, 0.2, 1.0 / 3.0)});
        }
        return sections;
    }
    case Board::system:
        return {{"spotify-artwork", QRectF(0, 0, 0.32, 1)},
                {"spotify-controls", QRectF(0.32, 0, 0.68, 1)}};
    default:
        return {};
    }
}

} // namespace

PageLayout PageLayout::preset(Preset preset, const QList<WidgetKind>& widgets) {
    PageLayout layout;
    const QList<QRectF> rects = presetRects(preset);
    for (qsizetype i = 0; i < rects.size(); ++i) {
        const QRectF& r = rects[i];
        std::optional<WidgetKind> widget;
        if (i < widgets.size())
            widget = widgets[i];
        layout.sections.append(
                makeSection(newSectionID(), widget, r.x(), r.y(), r.width(), r.height()));
    }
    return layout;
}

PageLayout PageLayout::example(Board board) {
    const QList<ExampleSection> table = exampleSections(board);
    if (table.isEmpty())
        return preset(Preset::single, {});
    PageLayout layout;
    const int page = pageNumber(board);
    for (qsizetype i = 0; i < table.size(); ++i) {
        const QString suffix = QStringLiteral("-v2-%1-%2").arg(page).arg(i);
        const auto widget = WidgetKind::named(QLatin1String(table[i].package) +
                                              QStringLiteral("@example") + suffix);
        const QRectF& r = table[i].rect;
        layout.sections.append(makeSection(QStringLiteral("example") + suffix, widget, r.x(), r.y(),
                                           r.width(), r.height()));
    }
    return layout;
}

PageLayout PageLayout::row(const QList<WidgetKind>& widgets, const QList<double>& widths) {
    PageLayout layout;
    if (widgets.isEmpty()) {
        layout.sections.append(makeSection(QStringLiteral("empty"), std::nullopt, 0, 0, 1, 1));
        return layout;
    }
    const auto widthOf = [&](qsizetype i) { return i < widths.size() ? widths[i] : 0.0; };
    double total = 0;
    for (qsizetype i = 0; i < widgets.size(); ++i)
        total += widthOf(i);
    double x = 0;
    for (qsizetype i = 0; i < widgets.size(); ++i) {
        const double width = total > 0 ? widthOf(i) / total : 1.0 / widgets.size();
        layout.sections.append(makeSection(QStringLiteral("legacy-") + widgets[i].rawValue(),
                                           widgets[i], x, 0, width, 1));
        x += width;
    }
    return layout;
}

// ---- Queries

bool PageLayout::isValid() const {
    if (sections.isEmpty() || sections.size() > maximumSections)
        return false;
    QSet<QString> ids;
    QSet<WidgetKind> widgets;
    for (const WidgetSection& section : sections) {
        if (ids.contains(section.id))
            return false;
        ids.insert(section.id);
        if (section.widget) {
            if (widgets.contains(*section.widget))
                return false;
            widgets.insert(*section.widget);
        }
        if (!hasValidFrame(section))
            return false;
    }
    for (qsizetype i = 0; i < sections.size(); ++i) {
        const QRectF shrunk =
                rectOf(sections[i]).adjusted(tolerance, tolerance, -tolerance, -tolerance);
        for (qsizetype j = i + 1; j < sections.size(); ++j) {
            if (overlaps(shrunk, rectOf(sections[j])))
                return false;
        }
    }
    return true;
}

PageLayout PageLayout::oriented(LayoutOrientation orientation) const {
    if (orientation == LayoutOrientation::horizontal)
        return *this;
    PageLayout transposed = *this;
    for (WidgetSection& s : transposed.sections) {
        std::swap(s.x, s.y);
        std::swap(s.width, s.height);
    }
    return transposed;
}

QList<WidgetKind> PageLayout::widgets() const {
    QList<WidgetKind> result;
    for (const WidgetSection& section : sections) {
        if (section.widget)
            result.append(*section.widget);
    }
    return result;
}

qsizetype PageLayout::indexOf(const QString& sectionID) const {
    for (qsizetype i = 0; i < sections.size(); ++i) {
        if (sections[i].id == sectionID)
            return i;
    }
    return -1;
}

std::optional<QString> PageLayout::emptyTarget(const std::optional<QString>& selected) const {
    if (selected) {
        const qsizetype index = indexOf(*selected);
        if (index >= 0 && !sections[index].widget)
            return selected;
        return std::nullopt;
    }
    for (const WidgetSection& section : sections) {
        if (!section.widget)
            return section.id;
    }
    return std::nullopt;
}

QList<WidgetSection> PageLayout::alignedGroup(const QString& sectionID, bool stacked) const {
    const qsizetype index = indexOf(sectionID);
    if (index < 0)
        return {};
    const WidgetSection& anchor = sections[index];
    QList<WidgetSection> group;
    for (const WidgetSection& s : sections) {
        const bool aligned = stacked ? same(s.x, anchor.x) && same(s.width, anchor.width)
                                     : same(s.y, anchor.y) && same(s.height, anchor.height);
        if (aligned)
            group.append(s);
    }
    const auto start = [stacked](const WidgetSection& s) { return stacked ? s.y : s.x; };
    const auto extent = [stacked](const WidgetSection& s) { return stacked ? s.height : s.width; };
    std::stable_sort(
            group.begin(), group.end(),
            [&](const WidgetSection& a, const WidgetSection& b) { return start(a) < start(b); });
    double covered = 0;
    for (const WidgetSection& s : group) {
        if (!same(start(s), covered))
            return {};
        covered += extent(s);
    }
    if (!same(covered, 1))
        return {};
    return group;
}

// ---- Editing

void PageLayout::place(const WidgetKind& widget, const QString& target) {
    const qsizetype targetIndex = indexOf(target);
    if (targetIndex < 0)
        return;
    const auto holder = std::find_if(sections.begin(), sections.end(),
                                     [&](const WidgetSection& s) { return s.widget == widget; });
    const std::optional<WidgetKind> previous = sections[targetIndex].widget;
    sections[targetIndex].widget = widget;
    if (holder != sections.end())
        holder->widget = previous;
}

void PageLayout::clear(const QString& sectionID) {
    const qsizetype index = indexOf(sectionID);
    if (index >= 0)
        sections[index].widget.reset();
}

bool PageLayout::canStack(const QString& sectionID, int count,
                          LayoutOrientation orientation) const {
    const QList<WidgetSection> column = alignedGroup(sectionID, true);
    if (column.isEmpty() || count < column.size())
        return false;
    if (sections.size() - column.size() + count > maximumSections)
        return false;
    const double minimum =
            orientation == LayoutOrientation::horizontal ? minimumHeight : minimumWidth;
    return 1.0 / count >= minimum;
}

void PageLayout::stack(const QString& sectionID, int count, LayoutOrientation orientation) {
    if (!canStack(sectionID, count, orientation))
        return;
    const QList<WidgetSection> column = alignedGroup(sectionID, true);
    if (column.size() == count)
        return;
    QList<WidgetSection> rebuilt;
    for (int k = 0; k < count; ++k) {
        const bool kept = k < column.size();
        rebuilt.append(makeSection(kept ? column[k].id : newSectionID(),
                                   kept ? column[k].widget : std::nullopt, column.first().x,
                                   double(k) / count, column.first().width, 1.0 / count));
    }
    qsizetype insertAt = sections.size();
    for (const WidgetSection& old : column)
        insertAt = std::min(insertAt, indexOf(old.id));
    sections.removeIf([&](const WidgetSection& s) {
        return std::any_of(column.begin(), column.end(),
                           [&](const WidgetSection& old) { return old.id == s.id; });
    });
    for (int k = 0; k < count; ++k)
        sections.insert(insertAt + k, rebuilt[k]);
}

void PageLayout::split(const QString& sectionID, bool stacked, int count,
                       LayoutOrientation orientation) {
    const qsizetype index = indexOf(sectionID);
    if (index < 0 || count < 2 || count > 3 || sections.size() + count - 1 > maximumSections)
        return;
    const WidgetSection original = sections[index];
    const double extent = stacked ? original.height : original.width;
    const bool acrossWidth = stacked == (orientation == LayoutOrientation::vertical);
    const double minimum = acrossWidth ? minimumWidth : minimumHeight;
    const double piece = extent / count;
    if (piece < minimum)
        return;
    sections.removeAt(index);
    for (int k = 0; k < count; ++k) {
        WidgetSection s = original;
        if (k > 0) {
            s.id = newSectionID();
            s.widget.reset();
        }
        if (stacked) {
            s.y = original.y + k * piece;
            s.height = piece;
        } else {
            s.x = original.x + k * piece;
            s.width = piece;
        }
        sections.insert(index + k, s);
    }
}

// ---- Resizing

struct PageLayout::Boundary {
    QList<qsizetype> before;
    QList<qsizetype> after;
    bool isFarEdge = true;
    double lower = 0;
    double upper = 0;
};

namespace {

// True when the sections ending at an edge and those starting there share it as one clean line:
// along the edge, every stretch is covered by both sides or by neither.
bool formsCleanLine(const QList<WidgetSection>& all, const QList<qsizetype>& before,
                    const QList<qsizetype>& after, const AxisFields& f) {
    QList<double> coordinates;
    for (const QList<qsizetype>* side : {&before, &after}) {
        for (qsizetype i : *side) {
            coordinates.append(all[i].*f.crossNear);
            coordinates.append(all[i].*f.crossNear + all[i].*f.crossExtent);
        }
    }
    std::sort(coordinates.begin(), coordinates.end());
    // Coordinates closer than the tolerance are one coordinate.
    QList<double> distinct;
    for (double c : coordinates) {
        if (distinct.isEmpty() || !same(distinct.last(), c))
            distinct.append(c);
    }
    const auto covers = [&](const QList<qsizetype>& side, double m) {
        return std::any_of(side.begin(), side.end(), [&](qsizetype i) {
            const double start = all[i].*f.crossNear;
            return start < m && m < start + all[i].*f.crossExtent;
        });
    };
    for (qsizetype k = 0; k + 1 < distinct.size(); ++k) {
        const double middle = (distinct[k] + distinct[k + 1]) / 2;
        if (covers(before, middle) != covers(after, middle))
            return false;
    }
    return true;
}

} // namespace

std::optional<PageLayout::Boundary> PageLayout::resizeBoundary(qsizetype index,
                                                               ResizeAxis axis) const {
    const AxisFields f = fieldsOf(axis);
    const WidgetSection& subject = sections[index];
    const double farEdge = subject.*f.nearEdge + subject.*f.extent;
    const std::array<std::pair<double, bool>, 2> candidates{
            {{farEdge, true}, {subject.*f.nearEdge, false}}};
    for (const auto& [edge, isFar] : candidates) {
        if (!(edge > tolerance && edge < 0.99999))
            continue;
        Boundary boundary;
        boundary.isFarEdge = isFar;
        for (qsizetype i = 0; i < sections.size(); ++i) {
            const WidgetSection& s = sections[i];
            if (same(s.*f.nearEdge + s.*f.extent, edge))
                boundary.before.append(i);
            if (same(s.*f.nearEdge, edge))
                boundary.after.append(i);
        }
        if (boundary.before.isEmpty() || boundary.after.isEmpty() ||
            !formsCleanLine(sections, boundary.before, boundary.after, f))
            continue;
        boundary.lower = -std::numeric_limits<double>::infinity();
        boundary.upper = std::numeric_limits<double>::infinity();
        for (qsizetype i : boundary.before)
            boundary.lower = std::max(boundary.lower, f.minimum - sections[i].*f.extent);
        for (qsizetype i : boundary.after)
            boundary.upper = std::min(boundary.upper, sections[i].*f.extent - f.minimum);
        if (boundary.upper - boundary.lower > tolerance)
            return boundary;
    }
    return std::nullopt;
}

std::optional<ClosedRange> PageLayout::resizeRange(const QString& sectionID, ResizeAxis axis,
                                                   LayoutOrientation orientation) const {
    if (orientation == LayoutOrientation::vertical)
        return oriented(orientation)
                .resizeRange(sectionID, crossAxis(axis), LayoutOrientation::horizontal);
    const qsizetype index = indexOf(sectionID);
    if (index < 0)
        return std::nullopt;
    const std::optional<Boundary> boundary = resizeBoundary(index, axis);
    if (!boundary)
        return std::nullopt;
    const double extent = sections[index].*fieldsOf(axis).extent;
    if (boundary->isFarEdge)
        return ClosedRange{extent + boundary->lower, extent + boundary->upper};
    return ClosedRange{extent - boundary->upper, extent - boundary->lower};
}

void PageLayout::resize(const QString& sectionID, ResizeAxis axis, double to,
                        LayoutOrientation orientation) {
    if (orientation == LayoutOrientation::horizontal) {
        resizeHorizontal(sectionID, axis, to);
        return;
    }
    PageLayout transposed = oriented(orientation);
    transposed.resizeHorizontal(sectionID, crossAxis(axis), to);
    *this = transposed.oriented(orientation);
}

void PageLayout::resizeHorizontal(const QString& sectionID, ResizeAxis axis, double to) {
    const qsizetype index = indexOf(sectionID);
    if (index < 0 || !std::isfinite(to))
        return;
    const std::optional<Boundary> boundary = resizeBoundary(index, axis);
    if (!boundary)
        return;
    const AxisFields f = fieldsOf(axis);
    const double extent = sections[index].*f.extent;
    const double wanted = boundary->isFarEdge ? to - extent : extent - to;
    const double movement = std::clamp(wanted, boundary->lower, boundary->upper);
    PageLayout result = *this;
    for (qsizetype i : boundary->before)
        result.sections[i].*f.extent += movement;
    for (qsizetype i : boundary->after) {
        result.sections[i].*f.nearEdge += movement;
        result.sections[i].*f.extent -= movement;
    }
    if (result.isValid())
        *this = result;
}
