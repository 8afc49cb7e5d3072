#include "LayoutEditorView.h"

#include "dashboard/TarnTheme.h"
#include "settings/DisplayMap.h"
#include "settings/LauncherSettingsSheet.h"
#include "settings/PackageList.h"
#include "settings/PackagePreviews.h"
#include "settings/SettingsDialogs.h"
#include "settings/SettingsStyle.h"
#include "store/TarnStore.h"
#include "touch/views/TouchControls.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <cmath>

namespace {

using Axis = PageLayout::ResizeAxis;

// The slider works in ten-thousandths of the page; a key moves it 1 %, a page key 10 %.
constexpr double sliderScale = 10000;
constexpr int sliderKeyStep = 100;
constexpr int sliderPageStep = 1000;

struct Arrangement {
    bool stacked;
    int count;
    const char* label;
};

const Arrangement arrangements[] = {
        {false, 2, "Side by side"},
        {true, 2, "Stack 2"},
        {true, 3, "Stack 3"},
};

QString axisName(Axis axis) {
    return axis == Axis::width ? QStringLiteral("width") : QStringLiteral("height");
}

int percent(double fraction) {
    return int(std::trunc(fraction * 100));
}

QIcon drawnIcon(const QSize& size, const std::function<void(QPainter&)>& draw) {
    QPixmap pixmap(size * 2);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    painter.end();
    return QIcon(pixmap);
}

void drawRects(QPainter& painter, const QList<QRectF>& rects, const QColor& colour) {
    QColor fill = colour;
    fill.setAlphaF(0.35f);
    painter.setPen(QPen(colour, 1.2));
    painter.setBrush(fill);
    for (const QRectF& rect : rects)
        painter.drawRoundedRect(rect.adjusted(0.8, 0.8, -0.8, -0.8), 1.6, 1.6);
}

QPushButton* touchButton(const QString& text, const QString& touchID, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setCursor(Qt::PointingHandCursor);
    if (!touchID.isEmpty())
        TouchControls::setAction(button, touchID, [button] { button->click(); });
    return button;
}

} // namespace

QIcon arrangementIcon(bool stacked, int count, const QColor& colour) {
    return drawnIcon(QSize(26, 18), [&](QPainter& painter) {
        QList<QRectF> bars;
        const QRectF area(1, 1, 24, 16);
        for (int index = 0; index < count; ++index) {
            bars.append(stacked ? QRectF(area.x(), area.y() + index * area.height() / count,
                                         area.width(), area.height() / count)
                                : QRectF(area.x() + index * area.width() / count, area.y(),
                                         area.width() / count, area.height()));
        }
        drawRects(painter, bars, colour);
    });
}

QSize presetIconSize(LayoutOrientation orientation) {
    return orientation == LayoutOrientation::vertical ? QSize(14, 30) : QSize(30, 14);
}

QIcon presetIcon(PageLayout::Preset preset, LayoutOrientation orientation, const QColor& colour) {
    const QSize size = presetIconSize(orientation);
    return drawnIcon(size, [&](QPainter& painter) {
        const QRectF area(1, 1, size.width() - 2, size.height() - 2);
        QList<QRectF> rects;
        for (const WidgetSection& section :
             PageLayout::preset(preset, {}).oriented(orientation).sections)
            rects.append(QRectF(area.x() + section.x * area.width(),
                                area.y() + section.y * area.height(), section.width * area.width(),
                                section.height * area.height()));
        drawRects(painter, rects, colour);
    });
}

LayoutEditorView::LayoutEditorView(SettingsContext context, QWidget* parent)
    : QWidget(parent), m_context(context), m_editing(context.store) {
    auto* columns = new QHBoxLayout(this);
    columns->setContentsMargins(24, 16, 24, 20);
    columns->setSpacing(16);
    auto* main = new QVBoxLayout;
    main->setSpacing(12);
    main->addWidget(header());
    main->addWidget(pagesRow());
    m_body = new QGridLayout;
    m_body->setSpacing(12);
    m_mapCard = mapCard();
    m_inspectorCard = inspectorCard();
    m_presetsRow = presetsRow();
    main->addLayout(m_body, 1);
    columns->addLayout(main, 1);
    columns->addWidget(libraryCard());

    connect(&m_editing, &LayoutEditing::changed, this, &LayoutEditorView::showState);
    connect(&context.store, &TarnStore::preferencesChanged, this,
            &LayoutEditorView::fitOrientation);
    fitOrientation();
    connect(&context.store.widgets(), &WidgetRegistry::packagesChanged, this,
            &LayoutEditorView::fillCategories);
    fillCategories();
    showState();
}

QColor LayoutEditorView::accent() const {
    return TarnTheme::color(m_context.store.preferences().accentHex());
}

QWidget* LayoutEditorView::header() {
    auto* header = new QWidget(this);
    auto* layout = new QHBoxLayout(header);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    titles->addWidget(SettingsStyle::label(QStringLiteral("Layouts"), "title", header));
    titles->addWidget(SettingsStyle::label(
            QStringLiteral("Arrange your display. Drag widgets into sections."), "subtitle",
            header));
    layout->addLayout(titles, 1);
    m_savedBadge = new QWidget(header);
    auto* badge = new QHBoxLayout(m_savedBadge);
    badge->setContentsMargins(0, 0, 0, 0);
    badge->setSpacing(5);
    m_savedIcon = new QLabel(m_savedBadge);
    m_saved = SettingsStyle::label(QStringLiteral("Saved"), "badge", m_savedBadge);
    badge->addWidget(m_savedIcon);
    badge->addWidget(m_saved);
    layout->addWidget(m_savedBadge, 0, Qt::AlignVCenter);
    m_count = SettingsStyle::label(QString(), "muted", header);
    layout->addWidget(m_count, 0, Qt::AlignVCenter);
    m_undo = touchButton(QStringLiteral("Undo"), QString(), header);
    m_undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    m_undo->setToolTip(QStringLiteral("Undo the last layout change"));
    connect(m_undo, &QPushButton::clicked, &m_editing, &LayoutEditing::undo);
    layout->addWidget(m_undo, 0, Qt::AlignVCenter);
    return header;
}

QWidget* LayoutEditorView::pagesRow() {
    auto* row = new QWidget(this);
    m_pagesLayout = new QHBoxLayout(row);
    m_pagesLayout->setContentsMargins(0, 0, 0, 0);
    m_pagesLayout->setSpacing(6);
    for (const Board board : allBoards) {
        const QString title = rawValue(board);
        QPushButton* button = touchButton(title, QStringLiteral("layout-page-") + title, row);
        button->setCheckable(true);
        SettingsStyle::setRole(button, "page");
        connect(button, &QPushButton::clicked, this, [this, board] { m_editing.setBoard(board); });
        m_pagesLayout->addWidget(button);
        m_pageButtons.insert(int(board), button);
    }
    m_addPage = touchButton(QStringLiteral("Add page"), QStringLiteral("add-page"), row);
    SettingsStyle::setRole(m_addPage, "quiet");
    connect(m_addPage, &QPushButton::clicked, &m_editing, &LayoutEditing::addPage);
    m_pagesLayout->addWidget(m_addPage);
    m_pagesLayout->addStretch(1);
    return row;
}

QWidget* LayoutEditorView::mapCard() {
    QFrame* card = SettingsStyle::card(QString(), this);
    QVBoxLayout* layout = SettingsStyle::cardLayout(card);
    layout->setContentsMargins(14, 8, 10, 12);
    layout->setSpacing(4);
    // The page's own actions sit with its map.
    auto* top = new QHBoxLayout;
    top->setSpacing(6);
    top->addWidget(SettingsStyle::label(QStringLiteral("XENEON EDGE"), "heading", card));
    top->addStretch(1);
    m_resetPage = touchButton(QStringLiteral("Reset Page"), QStringLiteral("reset-page"), card);
    m_resetPage->setToolTip(QStringLiteral("Restore the example layout for this page"));
    connect(m_resetPage, &QPushButton::clicked, this, &LayoutEditorView::confirmReset);
    m_deletePage = touchButton(QStringLiteral("Delete Page…"), QString(), card);
    SettingsStyle::setRole(m_deletePage, "destructive");
    connect(m_deletePage, &QPushButton::clicked, this, &LayoutEditorView::confirmDelete);
    for (QPushButton* button : {m_resetPage, m_deletePage}) {
        SettingsStyle::setRole(button, button == m_deletePage ? "quietDestructive" : "quiet");
        top->addWidget(button);
    }
    layout->addLayout(top);
    m_map = new DisplayMap(m_editing, card);
    layout->addWidget(m_map, 1);
    auto* hintRow = new QHBoxLayout;
    hintRow->setSpacing(6);
    m_hint = SettingsStyle::label(QString(), "muted", card);
    m_hint->setWordWrap(true);
    hintRow->addWidget(m_hint, 1);
    m_replace = touchButton(QStringLiteral("Replace"), QStringLiteral("placing-replace"), card);
    SettingsStyle::setRole(m_replace, "primary");
    connect(m_replace, &QPushButton::clicked, &m_editing, &LayoutEditing::confirmPlacing);
    m_cancelPlacing = touchButton(QStringLiteral("Cancel"), QStringLiteral("placing-cancel"), card);
    connect(m_cancelPlacing, &QPushButton::clicked, &m_editing, &LayoutEditing::cancelPlacing);
    hintRow->addWidget(m_replace, 0, Qt::AlignVCenter);
    hintRow->addWidget(m_cancelPlacing, 0, Qt::AlignVCenter);
    layout->addLayout(hintRow);
    return card;
}

QWidget* LayoutEditorView::inspectorCard() {
    QFrame* card = SettingsStyle::card(QString(), this);
    QVBoxLayout* layout = SettingsStyle::cardLayout(card);
    layout->setContentsMargins(18, 12, 18, 12);

    m_noSelection = new QWidget(card);
    auto* empty = new QVBoxLayout(m_noSelection);
    empty->setContentsMargins(0, 6, 0, 6);
    empty->setSpacing(4);
    auto* emptyTitle = new QLabel(QStringLiteral("Select a section above"), m_noSelection);
    emptyTitle->setStyleSheet(QStringLiteral("font-size: 15px; font-weight: 600;"));
    empty->addWidget(emptyTitle);
    auto* emptyText = SettingsStyle::label(
            QStringLiteral("Add, replace or remove its widget, or split it into smaller "
                           "sections. You can also drag widgets directly onto the display map."),
            "muted", m_noSelection);
    emptyText->setWordWrap(true);
    // Wraps to the card's width rather than widening it.
    emptyText->setMinimumWidth(200);
    empty->addWidget(emptyText);
    layout->addWidget(m_noSelection);

    m_selectionPanel = new QWidget(card);
    auto* panel = new QBoxLayout(QBoxLayout::LeftToRight, m_selectionPanel);
    m_inspectorPanel = panel;
    panel->setContentsMargins(0, 0, 0, 0);
    panel->setSpacing(18);

    auto* about = new QVBoxLayout;
    about->setSpacing(3);
    m_inspectorTitle = new QLabel(m_selectionPanel);
    m_inspectorTitle->setStyleSheet(QStringLiteral("font-size: 15px; font-weight: 600;"));
    m_inspectorSubtitle = SettingsStyle::label(QString(), "muted", m_selectionPanel);
    about->addWidget(m_inspectorTitle);
    about->addWidget(m_inspectorSubtitle);
    about->addSpacing(6);
    auto* actions = new QHBoxLayout;
    actions->setSpacing(6);
    m_remove = touchButton(QStringLiteral("Remove Widget"), QString(), m_selectionPanel);
    SettingsStyle::setRole(m_remove, "destructive");
    connect(m_remove, &QPushButton::clicked, &m_editing, &LayoutEditing::removeWidget);
    m_configure = touchButton(QStringLiteral("Configure…"), QString(), m_selectionPanel);
    connect(m_configure, &QPushButton::clicked, this, &LayoutEditorView::configure);
    actions->addWidget(m_remove);
    actions->addWidget(m_configure);
    actions->addStretch(1);
    about->addLayout(actions);
    about->addStretch(1);
    panel->addLayout(about, 5);

    auto* arrange = new QVBoxLayout;
    arrange->setSpacing(6);
    arrange->addWidget(SettingsStyle::label(QStringLiteral("ARRANGE"), "heading"));
    auto* arrangeButtons = new QHBoxLayout;
    arrangeButtons->setSpacing(6);
    for (const Arrangement& arrangement : arrangements) {
        auto* button = touchButton(QString(), QString(), m_selectionPanel);
        button->setToolTip(QString::fromUtf8(arrangement.label));
        button->setAccessibleName(QString::fromUtf8(arrangement.label));
        button->setIconSize(QSize(26, 18));
        SettingsStyle::setRole(button, "arrangement");
        // The check mark is the layout's arrangement, not the click's: a click that changes
        // nothing must not toggle it.
        connect(button, &QPushButton::clicked, this, [this, arrangement] {
            m_editing.arrange(arrangement.stacked, arrangement.count);
            showInspector();
        });
        arrangeButtons->addWidget(button);
        m_arrangements.append(button);
    }
    arrangeButtons->addStretch(1);
    arrange->addLayout(arrangeButtons);
    arrange->addStretch(1);
    panel->addLayout(arrange, 0);

    auto* sizes = new QVBoxLayout;
    sizes->setSpacing(6);
    sizes->addWidget(SettingsStyle::label(QStringLiteral("SIZE"), "heading"));
    sizes->addWidget(axisRow(Axis::width));
    sizes->addWidget(axisRow(Axis::height));
    sizes->addStretch(1);
    panel->addLayout(sizes, 6);
    layout->addWidget(m_selectionPanel);
    // Its rows change with the selection; the card keeps its width whatever they need.
    card->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    return card;
}

QWidget* LayoutEditorView::axisRow(Axis axis) {
    AxisControls& controls = axis == Axis::width ? m_width : m_height;
    auto* row = new QWidget(m_selectionPanel);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    auto* name = new QLabel(
            axis == Axis::width ? QStringLiteral("Width") : QStringLiteral("Height"), row);
    name->setFixedWidth(48);
    layout->addWidget(name);
    controls.hint = SettingsStyle::label(
            axis == Axis::width ? QStringLiteral("Split side by side to adjust width")
                                : QStringLiteral("Stack two sections to adjust height"),
            "muted", row);
    layout->addWidget(controls.hint, 1);

    controls.controls = new QWidget(row);
    auto* inner = new QHBoxLayout(controls.controls);
    inner->setContentsMargins(0, 0, 0, 0);
    inner->setSpacing(6);
    const QString prefix = QStringLiteral("section-") + axisName(axis);
    controls.less =
            touchButton(QStringLiteral("−"), prefix + QStringLiteral("-less"), controls.controls);
    controls.more =
            touchButton(QStringLiteral("+"), prefix + QStringLiteral("-more"), controls.controls);
    controls.less->setAccessibleName(QStringLiteral("Decrease ") + axisName(axis));
    controls.more->setAccessibleName(QStringLiteral("Increase ") + axisName(axis));
    for (QPushButton* button : {controls.less, controls.more})
        SettingsStyle::setRole(button, "step");
    controls.slider = new QSlider(Qt::Horizontal, controls.controls);
    controls.slider->setSingleStep(sliderKeyStep);
    controls.slider->setPageStep(sliderPageStep);
    controls.slider->setAccessibleName(QStringLiteral("Section ") + axisName(axis));
    name->setBuddy(controls.slider);
    controls.value = new QLabel(controls.controls);
    controls.value->setFixedWidth(40);
    controls.value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    inner->addWidget(controls.less);
    inner->addWidget(controls.slider, 1);
    inner->addWidget(controls.more);
    inner->addWidget(controls.value);
    layout->addWidget(controls.controls, 1);

    const auto step = [this, axis](double delta) {
        const auto value = m_editing.extent(axis);
        if (m_editing.selected() && value)
            m_editing.resizeBy(*m_editing.selected(), axis, *value + delta);
    };
    connect(controls.less, &QPushButton::clicked, this, [step] { step(-LayoutEditing::step); });
    connect(controls.more, &QPushButton::clicked, this, [step] { step(LayoutEditing::step); });
    QSlider* slider = controls.slider;
    connect(slider, &QSlider::sliderPressed, &m_editing, &LayoutEditing::beginResize);
    connect(slider, &QSlider::sliderReleased, &m_editing, &LayoutEditing::endResize);
    connect(slider, &QSlider::valueChanged, this,
            [this, axis](int value) { m_editing.resizeLive(axis, value / sliderScale); });
    return row;
}

QWidget* LayoutEditorView::presetsRow() {
    auto* row = new QWidget(this);
    m_presetGrid = new QGridLayout(row);
    m_presetGrid->setContentsMargins(0, 0, 0, 0);
    m_presetGrid->setHorizontalSpacing(6);
    m_presetGrid->setVerticalSpacing(6);
    m_presetsLabel = SettingsStyle::label(QStringLiteral("LAYOUT PRESETS"), "heading", row);
    for (const PageLayout::Preset preset : allPresets) {
        auto* button = touchButton(presetName(preset), QString(), row);
        button->setAccessibleName(presetName(preset) + QStringLiteral(" section layout"));
        connect(button, &QPushButton::clicked, this,
                [this, preset] { m_editing.applyPreset(preset); });
        m_presets.insert(int(preset), button);
    }
    return row;
}

// A wide display's map runs across the tab with the inspector and the presets below it; a tall
// one stands beside them, as high as the tab allows.
void LayoutEditorView::fitOrientation() {
    const bool vertical = m_context.store.preferences().orientation == LayoutOrientation::vertical;
    if (m_vertical == vertical && m_body->count() > 0)
        return;
    m_vertical = vertical;
    for (QWidget* part : {m_mapCard, m_inspectorCard, m_presetsRow})
        m_body->removeWidget(part);
    for (int index = 0; index < 3; ++index) {
        m_body->setRowStretch(index, 0);
        m_body->setColumnStretch(index, 0);
    }
    if (vertical) {
        m_body->addWidget(m_mapCard, 0, 0, 3, 1);
        m_body->addWidget(m_inspectorCard, 0, 1);
        m_body->addWidget(m_presetsRow, 1, 1);
        m_body->setRowStretch(2, 1);
        m_body->setColumnStretch(1, 1);
        m_mapCard->setFixedWidth(360);
    } else {
        m_body->addWidget(m_mapCard, 0, 0);
        m_body->addWidget(m_inspectorCard, 1, 0);
        m_body->addWidget(m_presetsRow, 2, 0);
        m_body->setRowStretch(0, 1);
        m_body->setColumnStretch(0, 1);
        m_mapCard->setMinimumWidth(0);
        m_mapCard->setMaximumWidth(QWIDGETSIZE_MAX);
    }
    m_inspectorPanel->setDirection(vertical ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight);
    m_inspectorPanel->setSpacing(vertical ? 12 : 18);
    m_inspectorCard->setMinimumWidth(vertical ? 300 : 600);
    m_inspectorCard->setMinimumHeight(vertical ? 0 : 126);
    for (QPushButton* button : std::as_const(m_presets))
        button->setIconSize(presetIconSize(m_context.store.preferences().orientation));

    m_presetGrid->removeWidget(m_presetsLabel);
    for (QPushButton* button : std::as_const(m_presets))
        m_presetGrid->removeWidget(button);
    const int columns = vertical ? 3 : 6;
    const int first = vertical ? 0 : 1;
    m_presetGrid->addWidget(m_presetsLabel, 0, 0, 1, vertical ? columns : 1);
    for (int index = 0; index < int(allPresets.size()); ++index) {
        const int row = vertical ? 1 + index / columns : 0;
        m_presetGrid->addWidget(m_presets.value(int(allPresets[index])), row,
                                first + index % columns);
    }
    for (int column = 0; column < 8; ++column)
        m_presetGrid->setColumnStretch(column, 0);
    m_presetGrid->setColumnStretch(first + columns, 1);
}

QWidget* LayoutEditorView::libraryCard() {
    QFrame* card = SettingsStyle::card(QString(), this);
    card->setFixedWidth(290);
    QVBoxLayout* layout = SettingsStyle::cardLayout(card);
    layout->setContentsMargins(14, 14, 14, 14);
    auto* title = new QLabel(QStringLiteral("Widget library"), card);
    title->setStyleSheet(QStringLiteral("font-size: 15px; font-weight: 600;"));
    layout->addWidget(title);
    m_search = new QLineEdit(card);
    m_search->setPlaceholderText(QStringLiteral("Find a widget"));
    m_search->setAccessibleName(QStringLiteral("Find a widget"));
    m_search->setClearButtonEnabled(true);
    connect(m_search, &QLineEdit::textChanged, this, &LayoutEditorView::showLibrary);
    layout->addWidget(m_search);
    m_category = new QComboBox(card);
    m_category->setAccessibleName(QStringLiteral("Category"));
    connect(m_category, &QComboBox::currentIndexChanged, this, &LayoutEditorView::showLibrary);
    layout->addWidget(m_category);

    m_libraryEmpty = SettingsStyle::label(QStringLiteral("No matching widgets"), "muted", card);
    m_libraryEmpty->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_libraryEmpty);
    m_library = new PackageList(card);
    m_library->setAccessibleName(QStringLiteral("Widget library"));
    m_library->setRowToolTip(QStringLiteral("Click to fill an empty section. Drag onto an "
                                            "occupied section to replace it."));
    m_library->setDragPrefix(LayoutEditing::packageDragPrefix);
    m_library->setTouchPrefix(QStringLiteral("layout-library-"));
    connect(m_library, &PackageList::chosen, &m_editing, &LayoutEditing::choose);
    if (m_context.previews) {
        m_library->setShowsPreviews(true);
        connect(m_library, &PackageList::previewWanted, this, [this](const QString& id) {
            if (const auto package = m_context.store.widgets().package(id))
                m_context.previews->request(*package);
        });
        connect(m_context.previews, &PackagePreviews::drawn, this, &LayoutEditorView::showLibrary);
    }
    layout->addWidget(m_library, 1);

    auto* manage = touchButton(QStringLiteral("Manage Widgets…"), QString(), card);
    connect(manage, &QPushButton::clicked, this,
            [this] { m_context.store.setSettingsTab(SettingsTab::packages); });
    layout->addWidget(manage);
    return card;
}

void LayoutEditorView::fillCategories() {
    const QString current = m_category->currentData().toString();
    {
        const QSignalBlocker blocker(m_category);
        m_category->clear();
        m_category->addItem(QStringLiteral("All categories"), QStringLiteral("All"));
        for (const QString& name : m_context.store.widgets().categories())
            m_category->addItem(name, name);
        m_category->setCurrentIndex(std::max(0, m_category->findData(current)));
    }
    showLibrary();
}

void LayoutEditorView::showState() {
    const PageLayout layout = m_editing.layout();
    m_count->setText(QStringLiteral("%1 widgets · %2 sections")
                             .arg(layout.widgets().size())
                             .arg(layout.sections.size()));
    m_savedBadge->setVisible(m_editing.saved());
    m_savedIcon->setPixmap(SettingsIcons::symbol(QStringLiteral("checkmark.circle.fill"), accent())
                                   .pixmap(QSize(18, 18)));
    m_undo->setEnabled(!m_editing.history().isEmpty());
    m_undo->setIcon(
            SettingsIcons::symbol(QStringLiteral("arrow.uturn.backward"),
                                  m_undo->isEnabled() ? TarnTheme::text() : TarnTheme::muted()));
    m_map->setAccent(accent());
    showHint();
    showPages();
    showInspector();
    const QColor colour = accent();
    const LayoutOrientation orientation = m_context.store.preferences().orientation;
    for (const PageLayout::Preset preset : allPresets) {
        QPushButton* button = m_presets.value(int(preset));
        const bool enabled = m_editing.presetEnabled(preset);
        button->setEnabled(enabled);
        button->setToolTip(m_editing.presetHelp(preset));
        button->setIcon(presetIcon(preset, orientation, enabled ? colour : TarnTheme::muted()));
    }
    showLibrary();
}

void LayoutEditorView::showHint() {
    const bool placing = m_editing.placing().has_value();
    m_hint->setText(m_editing.hint());
    // A question or an instruction to follow now, not a standing hint.
    m_hint->setStyleSheet(placing ? QStringLiteral("color: %1;").arg(accent().name()) : QString());
    m_replace->setVisible(m_editing.placingReplaces());
    m_cancelPlacing->setVisible(placing);
}

void LayoutEditorView::showPages() {
    const QList<Board> pages = m_context.store.pages();
    for (const Board board : allBoards) {
        QPushButton* button = m_pageButtons.value(int(board));
        button->setVisible(pages.contains(board));
        button->setChecked(board == m_editing.board());
    }
    m_addPage->setEnabled(m_editing.canAddPage());
    m_deletePage->setEnabled(m_editing.canDeletePage());
}

void LayoutEditorView::showInspector() {
    const auto section = m_editing.selection();
    m_noSelection->setVisible(!section);
    m_selectionPanel->setVisible(section.has_value());
    if (!section)
        return;
    std::optional<WidgetPackage> package;
    if (section->widget)
        package = m_context.store.widgets().package(*section->widget);
    m_inspectorTitle->setText(!section->widget ? QStringLiteral("Empty section")
                              : package        ? package->manifest.name
                                               : QStringLiteral("Widget unavailable"));
    m_inspectorSubtitle->setText(QStringLiteral("%1% wide · %2% tall")
                                         .arg(percent(section->width))
                                         .arg(percent(section->height)));
    m_remove->setVisible(section->widget.has_value());
    m_configure->setVisible(section->widget &&
                            section->widget->packageID() == QStringLiteral("shortcuts"));
    const QColor colour = accent();
    for (int index = 0; index < m_arrangements.size(); ++index) {
        const Arrangement& arrangement = arrangements[index];
        QPushButton* button = m_arrangements[index];
        const bool enabled = m_editing.arrangementEnabled(arrangement.stacked, arrangement.count);
        const bool current = m_editing.arrangementCurrent(arrangement.stacked, arrangement.count);
        button->setEnabled(enabled);
        button->setCheckable(true);
        button->setChecked(current);
        button->setIcon(arrangementIcon(arrangement.stacked, arrangement.count,
                                        enabled || current ? colour : TarnTheme::muted()));
    }
    showAxis(Axis::width);
    showAxis(Axis::height);
}

void LayoutEditorView::showAxis(Axis axis) {
    AxisControls& controls = axis == Axis::width ? m_width : m_height;
    const auto range = m_editing.resizeRange(axis);
    const auto value = m_editing.extent(axis);
    controls.hint->setVisible(!range);
    controls.controls->setVisible(range.has_value());
    if (!range || !value)
        return;
    controls.less->setEnabled(m_editing.canDecrease(axis));
    controls.more->setEnabled(m_editing.canIncrease(axis));
    controls.value->setText(QStringLiteral("%1%").arg(percent(*value)));
    controls.slider->setAccessibleDescription(controls.value->text());
    // A drag in progress keeps its own range and position.
    if (controls.slider->isSliderDown())
        return;
    const QSignalBlocker blocker(controls.slider);
    controls.slider->setRange(int(std::round(range->lower * sliderScale)),
                              int(std::round(range->upper * sliderScale)));
    controls.slider->setValue(int(std::round(*value * sliderScale)));
}

void LayoutEditorView::showLibrary() {
    if (!m_library)
        return;
    const QString category = m_category->currentData().toString();
    const QList<WidgetPackage> matches = m_editing.matches(
            m_search->text(), category.isEmpty() ? QStringLiteral("All") : category);
    const QHash<QString, int> placed = m_editing.placedCounts();
    QList<PackageList::Row> rows;
    rows.reserve(matches.size());
    for (const WidgetPackage& package : matches) {
        const int count = placed.value(package.id());
        rows.append(
                {package.id(), package.manifest.name,
                 count > 0 ? QString::number(count) + QStringLiteral(" on this view · add another")
                           : package.manifest.categoryName(),
                 m_context.previews ? m_context.previews->picture(package) : QImage()});
    }
    m_library->setRows(rows);
    m_library->setSelectedID(m_editing.placing());
    m_library->setAccent(accent());
    m_libraryEmpty->setVisible(matches.isEmpty());
}

void LayoutEditorView::confirmDelete() {
    if (!m_editing.canDeletePage())
        return;
    const QPointer<LayoutEditorView> self(this);
    m_context.dialogs.ask(window(),
                          {m_editing.deleteMessage(),
                           m_editing.deleteInformative(),
                           {QStringLiteral("Delete Page"), QStringLiteral("Cancel")},
                           1},
                          [self](int button) {
                              if (self && button == 0)
                                  self->m_editing.deletePage();
                          });
}

void LayoutEditorView::confirmReset() {
    const QPointer<LayoutEditorView> self(this);
    m_context.dialogs.ask(window(),
                          {m_editing.resetMessage(),
                           m_editing.resetInformative(),
                           {QStringLiteral("Reset Page"), QStringLiteral("Cancel")},
                           0},
                          [self](int button) {
                              if (self && button == 0)
                                  self->m_editing.resetPage();
                          });
}

void LayoutEditorView::configure() {
    const auto section = m_editing.selection();
    if (!section || !section->widget)
        return;
    delete m_sheet;
    m_sheet = new LauncherSettingsSheet(m_context, section->widget->rawValue(), window());
    m_sheet->open();
}

bool LayoutEditorView::savedShown() const {
    return !m_savedBadge->isHidden();
}

LauncherSettingsSheet* LayoutEditorView::launcherSheet() const {
    return m_sheet;
}

QPushButton* LayoutEditorView::lessButton(Axis axis) const {
    return (axis == Axis::width ? m_width : m_height).less;
}

QPushButton* LayoutEditorView::moreButton(Axis axis) const {
    return (axis == Axis::width ? m_width : m_height).more;
}

QSlider* LayoutEditorView::slider(Axis axis) const {
    return (axis == Axis::width ? m_width : m_height).slider;
}

QLabel* LayoutEditorView::axisHint(Axis axis) const {
    return (axis == Axis::width ? m_width : m_height).hint;
}
