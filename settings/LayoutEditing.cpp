#include "LayoutEditing.h"

#include "store/TarnStore.h"

#include <QRectF>
#include <cmath>

namespace {

// The same sections within rounding: a slider dragged back to where it began.
bool sameLayout(const PageLayout& a, const PageLayout& b) {
    if (a.sections.size() != b.sections.size())
        return false;
    constexpr double rounding = 1e-9;
    for (qsizetype index = 0; index < a.sections.size(); ++index) {
        const WidgetSection& left = a.sections[index];
        const WidgetSection& right = b.sections[index];
        if (left.id != right.id || left.widget != right.widget ||
            std::abs(left.x - right.x) > rounding || std::abs(left.y - right.y) > rounding ||
            std::abs(left.width - right.width) > rounding ||
            std::abs(left.height - right.height) > rounding)
            return false;
    }
    return true;
}

QRectF frameOf(const WidgetSection& section) {
    return {section.x, section.y, section.width, section.height};
}

// How far `to` lies beyond `from` on that side (negative: not beyond it), and how much of the
// two overlaps across that side.
std::pair<double, double> separation(const QRectF& from, const QRectF& to, Qt::Edge side) {
    switch (side) {
    case Qt::LeftEdge:
        return {from.left() - to.right(),
                std::min(from.bottom(), to.bottom()) - std::max(from.top(), to.top())};
    case Qt::RightEdge:
        return {to.left() - from.right(),
                std::min(from.bottom(), to.bottom()) - std::max(from.top(), to.top())};
    case Qt::TopEdge:
        return {from.top() - to.bottom(),
                std::min(from.right(), to.right()) - std::max(from.left(), to.left())};
    case Qt::BottomEdge:
        break;
    }
    return {to.top() - from.bottom(),
            std::min(from.right(), to.right()) - std::max(from.left(), to.left())};
}

} // namespace

QString presetName(PageLayout::Preset preset) {
    return rawValue(preset);
}

int presetSectionCount(PageLayout::Preset preset) {
    return int(PageLayout::preset(preset, {}).sections.size());
}

LayoutEditing::LayoutEditing(TarnStore& store, QObject* parent)
    : QObject(parent), m_store(store), m_board(store.preferences().board),
      m_pageCount(store.pages().size()), m_orientation(store.preferences().orientation) {
    connect(&store, &TarnStore::preferencesChanged, this, &LayoutEditing::preferencesChanged);
    connect(&store.widgets(), &WidgetRegistry::packagesChanged, this, &LayoutEditing::changed);
    m_steps.setSingleShot(true);
    m_steps.setInterval(stepsSettle);
    connect(&m_steps, &QTimer::timeout, this, &LayoutEditing::settleSteps);
    reset();
}

PageLayout LayoutEditing::layout() const {
    return m_store.layout(m_board);
}

std::optional<WidgetSection> LayoutEditing::selection() const {
    if (!m_selected)
        return std::nullopt;
    for (const WidgetSection& section : layout().sections) {
        if (section.id == *m_selected)
            return section;
    }
    return std::nullopt;
}

int LayoutEditing::widgetCount() const {
    return int(layout().widgets().size());
}

// A page beyond the page count (a hand-edited file) is edited as the first page.
static Board shownBoard(const TarnStore& store, Board board) {
    const QList<Board> pages = store.pages();
    return pages.contains(board) ? board : pages.first();
}

void LayoutEditing::reset() {
    m_board = shownBoard(m_store, m_store.preferences().board);
    m_selected.reset();
    m_history.clear();
    m_saved = false;
    stopResizing();
    m_placing.reset();
    m_pageCount = m_store.pages().size();
    m_orientation = m_store.preferences().orientation;
    emit changed();
}

void LayoutEditing::setBoard(Board board) {
    settlePendingSteps();
    m_board = shownBoard(m_store, board);
    m_selected.reset();
    emit changed();
}

void LayoutEditing::select(const std::optional<QString>& sectionID) {
    settlePendingSteps();
    m_selected = sectionID;
    const auto section = selection();
    if (m_placing && section && !section->widget) {
        assign(*std::exchange(m_placing, std::nullopt));
        return;
    }
    emit changed();
}

void LayoutEditing::preferencesChanged() {
    const qsizetype pageCount = m_store.pages().size();
    const LayoutOrientation orientation = m_store.preferences().orientation;
    if (pageCount != m_pageCount) {
        m_pageCount = pageCount;
        m_board = shownBoard(m_store, m_store.preferences().board);
        m_selected.reset();
        m_history.clear();
    }
    if (orientation != m_orientation) {
        m_orientation = orientation;
        m_history.clear();
        stopResizing();
        m_selected.reset();
        m_placing.reset();
        m_saved = false;
    }
    emit changed();
}

void LayoutEditing::push(Board board, const PageLayout& layout) {
    m_history.append({board, layout});
    while (m_history.size() > historyLimit)
        m_history.removeFirst();
}

void LayoutEditing::finish() {
    m_store.save();
    m_saved = true;
    emit changed();
}

bool LayoutEditing::change(const PageLayout& layout) {
    if (!layout.oriented(m_store.preferences().orientation).isValid())
        return false;
    const PageLayout current = this->layout();
    if (layout == current)
        return false;
    settlePendingSteps();
    push(m_board, current);
    m_store.setLayout(layout, m_board);
    finish();
    return true;
}

void LayoutEditing::undo() {
    settlePendingSteps();
    if (m_history.isEmpty())
        return;
    const Entry entry = m_history.takeLast();
    m_board = entry.board;
    m_selected.reset();
    m_store.updatePreferences([&](Preferences& p) { p.board = entry.board; });
    m_store.setLayout(entry.layout, entry.board);
    finish();
}

void LayoutEditing::assign(const QString& packageID) {
    if (!m_selected)
        return;
    m_placing.reset();
    PageLayout next = layout();
    next.place(WidgetKind::instance(packageID), *m_selected);
    if (!change(next))
        emit changed();
}

void LayoutEditing::choose(const QString& packageID) {
    const auto section = selection();
    if (section && !section->widget)
        assign(packageID);
    else
        startPlacing(packageID);
}

void LayoutEditing::startPlacing(const QString& packageID) {
    m_placing = packageID;
    emit changed();
}

void LayoutEditing::confirmPlacing() {
    if (m_placing && selection())
        assign(*std::exchange(m_placing, std::nullopt));
}

void LayoutEditing::cancelPlacing() {
    m_placing.reset();
    emit changed();
}

bool LayoutEditing::placingReplaces() const {
    const auto section = selection();
    return m_placing && section && section->widget;
}

bool LayoutEditing::hasEmptySection() const {
    const PageLayout current = layout();
    return std::any_of(current.sections.begin(), current.sections.end(),
                       [](const WidgetSection& section) { return !section.widget; });
}

QString LayoutEditing::hint() const {
    const auto nameOf = [this](const WidgetKind& widget) {
        const auto package = m_store.widgets().package(widget);
        return package ? package->manifest.name : QStringLiteral("Widget unavailable");
    };
    const QString makeRoom = QStringLiteral(
            "select a section and split it (Side by side, Stack), choose a preset with more "
            "sections or remove a widget");
    if (!m_placing) {
        if (hasEmptySection())
            return QStringLiteral("Drag a widget here to replace it. Click a library widget to "
                                  "fill a selected empty section.");
        return QStringLiteral("Every section holds a widget. To make room, %1. Drag a widget "
                              "here to replace one.")
                .arg(makeRoom);
    }
    const auto package = m_store.widgets().package(*m_placing);
    const QString placed = package ? package->manifest.name : *m_placing;
    if (placingReplaces())
        return QStringLiteral("Replace “%1” with “%2”? You can undo this change.")
                .arg(nameOf(*selection()->widget), placed);
    if (!hasEmptySection())
        return QStringLiteral("Every section of this page holds a widget. To make room for “%1”, "
                              "%2; or choose another page.")
                .arg(placed, makeRoom);
    return QStringLiteral("Click an empty section to place “%1”, or drag it from the library onto "
                          "a section.")
            .arg(placed);
}

bool LayoutEditing::receive(const QString& text, const QString& sectionID) {
    const bool isPackage = text.startsWith(packageDragPrefix);
    if (!isPackage && !text.startsWith(widgetDragPrefix))
        return false;
    const QString remainder = text.mid((isPackage ? packageDragPrefix : widgetDragPrefix).size());
    const auto named = WidgetKind::named(remainder);
    if (!named)
        return false;
    PageLayout next = layout();
    if (!m_store.widgets().package(*named) && !next.widgets().contains(*named))
        return false;
    const WidgetKind kind =
            isPackage ? WidgetKind::instance(remainder.section(QLatin1Char('@'), 0, 0)) : *named;
    if (next.indexOf(sectionID) < 0)
        return false;
    next.place(kind, sectionID);
    change(next);
    if (isPackage && m_placing == kind.packageID())
        m_placing.reset();
    select(sectionID);
    return true;
}

void LayoutEditing::removeWidget() {
    if (!m_selected)
        return;
    PageLayout next = layout();
    next.clear(*m_selected);
    change(next);
}

std::optional<QString> LayoutEditing::neighbour(const QString& sectionID, Qt::Edge side) const {
    const PageLayout current = layout();
    const qsizetype index = current.indexOf(sectionID);
    if (index < 0)
        return std::nullopt;
    const QRectF from = frameOf(current.sections[index]);
    const bool across = side == Qt::LeftEdge || side == Qt::RightEdge;
    std::optional<QString> nearest;
    std::pair<double, double> best;
    for (const WidgetSection& section : current.sections) {
        const QRectF to = frameOf(section);
        const auto [gap, overlap] = separation(from, to, side);
        if (section.id == sectionID || gap < -boundTolerance || overlap < boundTolerance)
            continue;
        const QPointF offset = to.center() - from.center();
        const std::pair<double, double> distance(gap, std::abs(across ? offset.y() : offset.x()));
        if (!nearest || distance.first < best.first - boundTolerance ||
            (distance.first < best.first + boundTolerance &&
             distance.second < best.second - boundTolerance)) {
            nearest = section.id;
            best = distance;
        }
    }
    return nearest;
}

void LayoutEditing::moveWidget(Qt::Edge side) {
    const auto section = selection();
    const auto target = section ? neighbour(section->id, side) : std::nullopt;
    if (!target || !section->widget)
        return;
    PageLayout next = layout();
    next.place(*section->widget, *target);
    change(next);
    select(*target);
}

bool LayoutEditing::arrangementEnabled(bool stacked, int count) const {
    const auto section = selection();
    if (!section)
        return false;
    const PageLayout current = layout();
    const LayoutOrientation orientation = m_store.preferences().orientation;
    if (stacked)
        return current.canStack(section->id, count, orientation);
    const double minimum = orientation == LayoutOrientation::horizontal ? PageLayout::minimumWidth
                                                                        : PageLayout::minimumHeight;
    return current.sections.size() <= PageLayout::maximumSections - 1 &&
           section->width / 2 >= minimum;
}

bool LayoutEditing::arrangementCurrent(bool stacked, int count) const {
    const auto section = selection();
    return section && layout().alignedGroup(section->id, stacked).size() == count;
}

void LayoutEditing::arrange(bool stacked, int count) {
    const auto section = selection();
    if (!section || arrangementCurrent(stacked, count) || !arrangementEnabled(stacked, count))
        return;
    const LayoutOrientation orientation = m_store.preferences().orientation;
    PageLayout next = layout();
    if (stacked)
        next.stack(section->id, count, orientation);
    else
        next.split(section->id, false, count, orientation);
    change(next);
}

std::optional<ClosedRange> LayoutEditing::resizeRange(PageLayout::ResizeAxis axis) const {
    if (!m_selected)
        return std::nullopt;
    return layout().resizeRange(*m_selected, axis, m_store.preferences().orientation);
}

std::optional<double> LayoutEditing::extent(PageLayout::ResizeAxis axis) const {
    const auto section = selection();
    if (!section)
        return std::nullopt;
    return axis == PageLayout::ResizeAxis::width ? section->width : section->height;
}

bool LayoutEditing::canDecrease(PageLayout::ResizeAxis axis) const {
    const auto range = resizeRange(axis);
    const auto value = extent(axis);
    return range && value && *value > range->lower + boundTolerance;
}

bool LayoutEditing::canIncrease(PageLayout::ResizeAxis axis) const {
    const auto range = resizeRange(axis);
    const auto value = extent(axis);
    return range && value && *value < range->upper - boundTolerance;
}

void LayoutEditing::resizeBy(const QString& sectionID, PageLayout::ResizeAxis axis, double value) {
    PageLayout next = layout();
    next.resize(sectionID, axis, value, m_store.preferences().orientation);
    change(next);
}

void LayoutEditing::beginResize() {
    m_steps.stop();
    if (!m_resizeStart)
        m_resizeStart = layout();
}

void LayoutEditing::resizeLive(PageLayout::ResizeAxis axis, double value) {
    if (!m_selected)
        return;
    const bool dragging = m_resizeStart && !m_steps.isActive();
    if (!dragging) {
        if (!m_resizeStart)
            m_resizeStart = layout();
        m_steps.start();
    }
    PageLayout next = layout();
    next.resize(*m_selected, axis, value, m_store.preferences().orientation);
    m_store.setLayout(next, m_board);
    emit changed();
}

void LayoutEditing::endResize() {
    m_steps.stop();
    const auto start = std::exchange(m_resizeStart, std::nullopt);
    if (start && !sameLayout(*start, layout())) {
        push(m_board, *start);
        finish();
        return;
    }
    emit changed();
}

void LayoutEditing::settleSteps() {
    m_steps.stop();
    const auto start = std::exchange(m_resizeStart, std::nullopt);
    if (start && !sameLayout(*start, layout())) {
        push(m_board, *start);
        m_saved = true;
    }
    emit changed();
}

// Another edit ends a burst of steps first, so that each undoes on its own.
void LayoutEditing::settlePendingSteps() {
    if (m_steps.isActive())
        settleSteps();
}

void LayoutEditing::stopResizing() {
    m_steps.stop();
    m_resizeStart.reset();
}

bool LayoutEditing::presetEnabled(PageLayout::Preset preset) const {
    return presetSectionCount(preset) >= widgetCount();
}

QString LayoutEditing::presetHelp(PageLayout::Preset preset) const {
    return presetEnabled(preset) ? QStringLiteral("Apply %1 layout").arg(presetName(preset))
                                 : QStringLiteral("Remove widgets first to use fewer sections");
}

void LayoutEditing::applyPreset(PageLayout::Preset preset) {
    if (!presetEnabled(preset))
        return;
    const PageLayout next = PageLayout::preset(preset, layout().widgets())
                                    .oriented(m_store.preferences().orientation);
    change(next);
    select(std::nullopt);
}

bool LayoutEditing::canAddPage() const {
    return m_store.pages().size() < Preferences::maximumPages;
}

void LayoutEditing::addPage() {
    if (const auto added = m_store.addPage()) {
        m_board = *added;
        m_selected.reset();
        emit changed();
    }
}

bool LayoutEditing::canDeletePage() const {
    return m_store.pages().size() >= 2;
}

bool LayoutEditing::deletePage() {
    if (!canDeletePage() || !m_store.deletePage(m_board))
        return false;
    m_board = shownBoard(m_store, m_store.preferences().board);
    m_selected.reset();
    m_history.clear();
    stopResizing();
    m_saved = true;
    emit changed();
    return true;
}

QString LayoutEditing::deleteMessage() const {
    return QStringLiteral("Delete Page %1?").arg(pageNumber(m_board));
}

QString LayoutEditing::deleteInformative() const {
    return QStringLiteral("This removes the page and its widget layout. Remaining pages will be "
                          "renumbered. Installed widgets remain available in the library. This "
                          "cannot be undone.");
}

void LayoutEditing::resetPage() {
    change(m_store.exampleLayout(m_board));
    select(std::nullopt);
}

QString LayoutEditing::resetMessage() const {
    return QStringLiteral("Reset Page %1?").arg(pageNumber(m_board));
}

QString LayoutEditing::resetInformative() const {
    return pageNumber(m_board) < 4
                   ? QStringLiteral("Restore this page’s example layout. Other pages keep their "
                                    "layouts. You can undo this change.")
                   : QStringLiteral("Clear this page to one empty section. You can undo this "
                                    "change.");
}

QList<WidgetPackage> LayoutEditing::matches(const QString& search, const QString& category) const {
    QList<WidgetPackage> found;
    for (const WidgetPackage& package : m_store.widgets().packages()) {
        const WidgetManifest& manifest = package.manifest;
        if (category != QStringLiteral("All") && manifest.categoryName() != category)
            continue;
        if (!search.isEmpty() && !manifest.name.contains(search, Qt::CaseInsensitive) &&
            !manifest.author.contains(search, Qt::CaseInsensitive))
            continue;
        found.append(package);
    }
    return found;
}

QHash<QString, int> LayoutEditing::placedCounts() const {
    QHash<QString, int> counts;
    for (const WidgetKind& widget : layout().widgets())
        ++counts[widget.packageID()];
    return counts;
}
