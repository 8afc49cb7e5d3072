#include "WidgetLibraryView.h"

#include "dashboard/TarnTheme.h"
#include "model/linux/PlatformTexts.h"
#include "settings/LauncherSettingsSheet.h"
#include "settings/PackageList.h"
#include "settings/PackagePreviews.h"
#include "settings/PackageRow.h"
#include "settings/SettingsDesktop.h"
#include "settings/SettingsDialogs.h"
#include "settings/SettingsStyle.h"
#include "store/TarnStore.h"
#include "touch/views/TouchControls.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QScrollArea* scrolling(QWidget* content, QWidget* parent) {
    auto* scroll = new QScrollArea(parent);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setStyleSheet(QStringLiteral("QScrollArea, QScrollArea > QWidget > QWidget "
                                         "{ background: transparent; }"));
    scroll->setWidget(content);
    return scroll;
}

void clear(QLayout* layout) {
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* widget = item->widget())
            widget->deleteLater();
        else if (QLayout* inner = item->layout())
            clear(inner);
        delete item;
    }
}

QPixmap badge(const QString& name, const QColor& accent, int size) {
    QPixmap pixmap(size * 2, size * 2);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    paintPackageBadge(painter, QRectF(0, 0, size, size), name, accent);
    return pixmap;
}

// A package's picture in the room beside the details, fitted in, top left; it never asks the
// window for more room.
class PreviewPicture : public QWidget {
public:
    using QWidget::QWidget;

    void setPicture(const QImage& picture) {
        m_picture = picture;
        update();
    }
    QSize sizeHint() const override { return {260, 360}; }
    QSize minimumSizeHint() const override { return {0, 0}; }

protected:
    void paintEvent(QPaintEvent*) override {
        if (m_picture.isNull() || height() < 40)
            return;
        const QSize room(std::min(width(), 440), std::min(height(), 380));
        const QSize fitted = m_picture.size().scaled(room, Qt::KeepAspectRatio);
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QRectF frame(QPointF(0.5, 0.5), QSizeF(fitted) - QSizeF(1, 1));
        QPainterPath clip;
        clip.addRoundedRect(frame, 10, 10);
        painter.setClipPath(clip);
        painter.drawImage(frame, m_picture);
        // Its edge, where the widget's background meets the card's.
        painter.setClipping(false);
        painter.setPen(QColor(255, 255, 255, 30));
        painter.drawPath(clip);
    }

private:
    QImage m_picture;
};

} // namespace

WidgetLibraryView::WidgetLibraryView(SettingsContext context, QWidget* parent)
    : QWidget(parent), m_context(context) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 16, 24, 20);
    layout->setSpacing(12);
    layout->addWidget(header());
    layout->addWidget(filters());
    m_error = SettingsStyle::label(QString(), "error", this);
    m_error->setWordWrap(true);
    m_error->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_error->hide();
    layout->addWidget(m_error);
    layout->addWidget(installedPanel(), 1);
    layout->addWidget(instancesPanel(), 1);

    auto* empty = new QWidget(this);
    m_emptyPanel = empty;
    auto* emptyLayout = new QVBoxLayout(empty);
    emptyLayout->addStretch(1);
    m_empty = new QLabel(QStringLiteral("No matching widgets"), empty);
    m_empty->setStyleSheet(QStringLiteral("font-size: 16px; font-weight: 600;"));
    m_empty->setAlignment(Qt::AlignCenter);
    m_emptyHint = SettingsStyle::label(
            QStringLiteral(
                    "Add widgets to your pages in Layouts. Each copy keeps its own settings."),
            "muted", empty);
    m_emptyHint->setAlignment(Qt::AlignCenter);
    emptyLayout->addWidget(m_empty);
    emptyLayout->addWidget(m_emptyHint);
    emptyLayout->addStretch(2);
    layout->addWidget(empty, 1);

    connect(&context.store.widgets(), &WidgetRegistry::packagesChanged, this,
            &WidgetLibraryView::fillCategories);
    connect(&context.store.widgets(), &WidgetRegistry::errorsChanged, this,
            &WidgetLibraryView::showState);
    connect(&context.store, &TarnStore::preferencesChanged, this, &WidgetLibraryView::showState);
    if (context.previews) {
        m_packages->setShowsPreviews(true);
        connect(m_packages, &PackageList::previewWanted, this, [this](const QString& id) {
            if (const auto package = m_context.store.widgets().package(id))
                m_context.previews->request(*package);
        });
        connect(context.previews, &PackagePreviews::drawn, this, &WidgetLibraryView::showPreview);
    }
    fillCategories();
}

QWidget* WidgetLibraryView::header() {
    auto* header = new QWidget(this);
    auto* layout = new QHBoxLayout(header);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    titles->addWidget(SettingsStyle::label(QStringLiteral("Widgets"), "title", header));
    titles->addWidget(SettingsStyle::label(
            QStringLiteral("Manage your library and configure widgets on your pages."), "subtitle",
            header));
    layout->addLayout(titles, 1);

    m_install = new QPushButton(QStringLiteral("Install Widget…"), header);
    SettingsStyle::setRole(m_install, "primary");
    connect(m_install, &QPushButton::clicked, this, &WidgetLibraryView::install);
    layout->addWidget(m_install, 0, Qt::AlignVCenter);

    m_actions = new QToolButton(header);
    m_actions->setText(QStringLiteral("•••"));
    m_actions->setToolTip(QStringLiteral("Library actions"));
    m_actions->setAccessibleName(QStringLiteral("Library actions"));
    m_actions->setPopupMode(QToolButton::InstantPopup);
    m_actions->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
    auto* menu = new QMenu(m_actions);
    menu->addAction(QStringLiteral("Open Included Widgets Folder"), this, [this] {
        m_context.desktop.openFolder(m_context.store.widgets().bundledDirectory());
    });
    menu->addAction(QStringLiteral("Open Custom Widgets Folder"), this, [this] {
        m_context.desktop.openFolder(m_context.store.widgets().installedDirectory());
    });
    menu->addAction(QStringLiteral("Reload Widgets"), this,
                    [this] { m_context.store.widgets().reload(); });
    m_actions->setMenu(menu);
    layout->addWidget(m_actions, 0, Qt::AlignVCenter);
    return header;
}

QWidget* WidgetLibraryView::filters() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    auto* segments = new QWidget(row);
    segments->setObjectName(QStringLiteral("segments"));
    segments->setAttribute(Qt::WA_StyledBackground);
    segments->setStyleSheet(QStringLiteral("#segments { background: %1; border-radius: 10px; }")
                                    .arg(TarnTheme::surface().name()));
    auto* segmentLayout = new QHBoxLayout(segments);
    segmentLayout->setContentsMargins(3, 3, 3, 3);
    segmentLayout->setSpacing(2);
    m_installedTab = new QPushButton(QStringLiteral("Installed"), segments);
    m_pagesTab = new QPushButton(QStringLiteral("On Your Pages"), segments);
    for (QPushButton* tab : {m_installedTab, m_pagesTab}) {
        tab->setCheckable(true);
        SettingsStyle::setRole(tab, "tab");
        segmentLayout->addWidget(tab);
    }
    connect(m_installedTab, &QPushButton::clicked, this, [this] { setShowsInstances(false); });
    connect(m_pagesTab, &QPushButton::clicked, this, [this] { setShowsInstances(true); });
    layout->addWidget(segments);
    layout->addStretch(1);

    m_search = new QLineEdit(row);
    m_search->setPlaceholderText(QStringLiteral("Find a widget"));
    m_search->setAccessibleName(QStringLiteral("Find a widget"));
    m_search->setClearButtonEnabled(true);
    m_search->setFixedWidth(240);
    connect(m_search, &QLineEdit::textChanged, this, &WidgetLibraryView::filter);
    m_category = new QComboBox(row);
    m_category->setAccessibleName(QStringLiteral("Category"));
    m_category->setMinimumWidth(170);
    connect(m_category, &QComboBox::currentIndexChanged, this, &WidgetLibraryView::filter);
    layout->addWidget(m_search);
    layout->addWidget(m_category);
    return row;
}

QWidget* WidgetLibraryView::installedPanel() {
    m_installed = new QWidget(this);
    auto* layout = new QHBoxLayout(m_installed);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(16);

    QFrame* listCard = SettingsStyle::card(QString(), m_installed);
    listCard->setFixedWidth(310);
    QVBoxLayout* listLayout = SettingsStyle::cardLayout(listCard);
    listLayout->setContentsMargins(8, 8, 8, 8);
    m_packages = new PackageList(listCard);
    m_packages->setAccessibleName(QStringLiteral("Installed widgets"));
    connect(m_packages, &PackageList::chosen, this, [this](const QString& id) {
        m_selectedID = id;
        showState();
    });
    listLayout->addWidget(m_packages, 1);
    m_registryErrors = SettingsStyle::label(QString(), "error", listCard);
    m_registryErrors->setWordWrap(true);
    m_registryErrors->setContentsMargins(8, 4, 8, 4);
    listLayout->addWidget(m_registryErrors);
    layout->addWidget(listCard);

    QFrame* details = SettingsStyle::card(QString(), m_installed);
    m_details = details;
    QVBoxLayout* detailsLayout = SettingsStyle::cardLayout(details);
    detailsLayout->setContentsMargins(24, 22, 24, 22);
    detailsLayout->setSpacing(14);
    auto* top = new QHBoxLayout;
    top->setSpacing(14);
    m_detailsBadge = new QLabel(details);
    m_detailsName = new QLabel(details);
    m_detailsName->setStyleSheet(QStringLiteral("font-size: 20px; font-weight: 600;"));
    m_detailsName->setWordWrap(true);
    top->addWidget(m_detailsBadge);
    top->addWidget(m_detailsName, 1);
    // The details in a column, the package's picture beside them when there is one.
    auto* body = new QHBoxLayout;
    body->setSpacing(24);
    auto* column = new QVBoxLayout;
    column->setSpacing(14);
    column->addLayout(top);
    m_detailRows = new QWidget(details);
    auto* grid = new QGridLayout(m_detailRows);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(18);
    grid->setVerticalSpacing(8);
    column->addWidget(m_detailRows);
    m_detailsNote = SettingsStyle::label(QString(), "muted", details);
    m_detailsNote->setWordWrap(true);
    column->addWidget(m_detailsNote);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    m_addToPage = new QPushButton(QStringLiteral("Add to Page…"), details);
    SettingsStyle::setRole(m_addToPage, "primary");
    m_addToPage->setToolTip(QStringLiteral("Choose a section for it in Layouts"));
    connect(m_addToPage, &QPushButton::clicked, this, [this] {
        if (m_shown)
            emit addToPage(m_shown->id());
    });
    TouchControls::setAction(m_addToPage, QStringLiteral("package-add-to-page"),
                             [this] { m_addToPage->click(); });
    buttons->addWidget(m_addToPage);
    m_reveal = new QPushButton(PlatformTexts::showInFileManager(), details);
    connect(m_reveal, &QPushButton::clicked, this, [this] {
        if (m_shown)
            m_context.desktop.reveal(m_shown->root);
    });
    m_uninstall = new QPushButton(QStringLiteral("Uninstall"), details);
    SettingsStyle::setRole(m_uninstall, "destructive");
    connect(m_uninstall, &QPushButton::clicked, this, &WidgetLibraryView::uninstall);
    buttons->addWidget(m_reveal);
    buttons->addWidget(m_uninstall);
    buttons->addStretch(1);
    column->addLayout(buttons);
    column->addStretch(1);
    body->addLayout(column, 3);
    m_detailsPreview = new PreviewPicture(details);
    m_detailsPreview->setAccessibleName(QStringLiteral("Preview"));
    m_detailsPreview->hide();
    body->addWidget(m_detailsPreview, 2);
    detailsLayout->addLayout(body, 1);
    layout->addWidget(details, 1);
    return m_installed;
}

QWidget* WidgetLibraryView::instancesPanel() {
    QFrame* card = SettingsStyle::card(QString(), this);
    m_instances = card;
    QVBoxLayout* layout = SettingsStyle::cardLayout(card);
    layout->setContentsMargins(10, 10, 10, 10);
    auto* list = new QWidget;
    m_instanceList = new QVBoxLayout(list);
    m_instanceList->setContentsMargins(0, 0, 4, 0);
    m_instanceList->setSpacing(4);
    layout->addWidget(scrolling(list, card), 1);
    return card;
}

void WidgetLibraryView::fillCategories() {
    const QString current = m_category->currentData().toString();
    {
        const QSignalBlocker blocker(m_category);
        m_category->clear();
        m_category->addItem(QStringLiteral("All categories"), PackageLibrary::allCategories);
        for (const QString& name : m_context.store.widgets().categories())
            m_category->addItem(name, name);
        m_category->setCurrentIndex(std::max(0, m_category->findData(current)));
    }
    filter();
}

// Only a change of the filters or of the packages finds the matches again; other changes of the
// store show the same list.
void WidgetLibraryView::filter() {
    const QString category = m_category->currentData().toString();
    m_matches =
            PackageLibrary::matches(m_context.store, m_search->text(),
                                    category.isEmpty() ? PackageLibrary::allCategories : category);
    m_packages->setRows(packageRows());
    showState();
}

QList<PackageList::Row> WidgetLibraryView::packageRows() const {
    QList<PackageList::Row> rows;
    rows.reserve(m_matches.size());
    for (const WidgetPackage& package : m_matches) {
        const QString detail = package.manifest.categoryName();
        rows.append({package.id(), package.manifest.name,
                     package.bundled ? detail : detail + QStringLiteral(" · custom"),
                     m_context.previews ? m_context.previews->picture(package) : QImage()});
    }
    return rows;
}

// A picture came: the rows show it, and the details when they show its package.
void WidgetLibraryView::showPreview(const QString& packageID) {
    m_packages->setRows(packageRows());
    if (m_shown && m_shown->id() == packageID)
        showDetailsPreview();
}

void WidgetLibraryView::showDetailsPreview() {
    if (m_shown && m_context.previews)
        m_context.previews->request(*m_shown);
    const QImage picture =
            m_shown && m_context.previews ? m_context.previews->picture(*m_shown) : QImage();
    static_cast<PreviewPicture*>(m_detailsPreview)->setPicture(picture);
    m_detailsPreview->setVisible(!picture.isNull());
}

void WidgetLibraryView::setShowsInstances(bool instances) {
    m_showsInstances = instances;
    showState();
}

void WidgetLibraryView::showState() {
    m_installedTab->setChecked(!m_showsInstances);
    m_pagesTab->setChecked(m_showsInstances);
    const QStringList errors = m_context.store.widgets().errors();
    m_registryErrors->setText(errors.join(QLatin1Char('\n')));
    m_registryErrors->setVisible(!errors.isEmpty());
    if (m_showsInstances)
        showInstances(m_matches);
    else
        showPackages();
    const bool empty = m_showsInstances ? m_instanceRows.isEmpty() : m_matches.isEmpty();
    m_installed->setVisible(!m_showsInstances && !empty);
    m_instances->setVisible(m_showsInstances && !empty);
    m_emptyPanel->setVisible(empty);
    m_emptyHint->setVisible(m_showsInstances);
}

void WidgetLibraryView::showPackages() {
    const auto selected = PackageLibrary::selected(m_matches, m_selectedID);
    const QColor accent = TarnTheme::color(m_context.store.preferences().accentHex());
    m_packages->setAccent(accent);
    m_packages->setSelectedID(selected ? std::optional(selected->id()) : std::nullopt);
    // The details are laid out again only when they show something else.
    if (selected != m_shown || accent != m_shownAccent)
        showDetails(selected);
}

QStringList WidgetLibraryView::detailRows() const {
    QStringList rows;
    auto* grid = static_cast<QGridLayout*>(m_detailRows->layout());
    for (int row = 0; row < grid->rowCount(); ++row) {
        QLayoutItem* label = grid->itemAtPosition(row, 0);
        QLayoutItem* value = grid->itemAtPosition(row, 1);
        if (label && value)
            rows.append(static_cast<QLabel*>(label->widget())->text() + QLatin1Char('\t') +
                        static_cast<QLabel*>(value->widget())->text());
    }
    return rows;
}

void WidgetLibraryView::showDetails(const std::optional<WidgetPackage>& package) {
    m_shown = package;
    auto* grid = static_cast<QGridLayout*>(m_detailRows->layout());
    // Rows go at once: the grid is read back right after.
    while (QLayoutItem* item = grid->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    if (!package)
        return;
    const QColor accent = TarnTheme::color(m_context.store.preferences().accentHex());
    m_shownAccent = accent;
    m_detailsBadge->setPixmap(badge(package->manifest.name, accent, 52));
    m_detailsName->setText(package->manifest.name);
    int row = 0;
    for (const PackageLibrary::DetailRow& detail : PackageLibrary::details(*package)) {
        auto* label = SettingsStyle::label(detail.label, "muted", m_detailRows);
        auto* value = new QLabel(detail.value, m_detailRows);
        value->setWordWrap(true);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(label, row, 0, Qt::AlignTop);
        grid->addWidget(value, row, 1, Qt::AlignTop);
        ++row;
    }
    grid->setColumnStretch(1, 1);
    m_detailsNote->setText(
            package->bundled
                    ? QStringLiteral("Included widgets live inside the Tablora app. Custom "
                                     "widgets are stored separately in your widget folder.")
                    : QStringLiteral("This widget lives in your custom widget folder."));
    m_reveal->setVisible(!package->bundled);
    m_uninstall->setVisible(!package->bundled);
    showDetailsPreview();
}

QList<WidgetLibraryView::InstanceRow> WidgetLibraryView::instanceRows() const {
    return m_instanceRows;
}

void WidgetLibraryView::showInstances(const QList<WidgetPackage>& matches) {
    const QList<PackageLibrary::Instance> instances =
            PackageLibrary::instances(m_context.store, matches);
    const QColor accent = TarnTheme::color(m_context.store.preferences().accentHex());
    // The rows are made again only when they show something else.
    if (instances == m_instancesShown && accent == m_instancesAccent)
        return;
    m_instancesShown = instances;
    m_instancesAccent = accent;
    clear(m_instanceList);
    m_instanceRows.clear();
    for (const PackageLibrary::Instance& instance : instances) {
        auto* row = new QFrame;
        row->setObjectName(QStringLiteral("instance"));
        row->setStyleSheet(QStringLiteral("#instance { background: rgba(255, 255, 255, 0.03); "
                                          "border-radius: 10px; }"));
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(10, 8, 10, 8);
        layout->setSpacing(12);
        auto* icon = new QLabel(row);
        icon->setPixmap(badge(instance.package.manifest.name, accent, 34));
        layout->addWidget(icon);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(1);
        auto* name = new QLabel(instance.package.manifest.name, row);
        name->setStyleSheet(QStringLiteral("font-weight: 600;"));
        const QString page = QStringLiteral("Page %1").arg(instance.pageNumber);
        auto* where = SettingsStyle::label(instance.launcherName ? page + QStringLiteral(" · ") +
                                                                           *instance.launcherName
                                                                 : page,
                                           "muted", row);
        texts->addWidget(name);
        texts->addWidget(where);
        layout->addLayout(texts, 1);
        QPushButton* configure = nullptr;
        if (instance.launcherName) {
            configure = new QPushButton(QStringLiteral("Configure…"), row);
            const QString key = instance.kind.rawValue();
            connect(configure, &QPushButton::clicked, this, [this, key] { this->configure(key); });
            layout->addWidget(configure);
        }
        auto* show = new QPushButton(QStringLiteral("Show in Layout"), row);
        const Board board = instance.board;
        connect(show, &QPushButton::clicked, this, [this, board] {
            m_context.store.updatePreferences([board](Preferences& p) { p.board = board; });
            m_context.store.setSettingsTab(SettingsTab::layouts);
        });
        layout->addWidget(show);
        m_instanceList->addWidget(row);
        m_instanceRows.append({page, instance.launcherName.value_or(QString()), show, configure});
    }
    m_instanceList->addStretch(1);
}

void WidgetLibraryView::configure(const QString& instanceID) {
    delete m_sheet;
    m_sheet = new LauncherSettingsSheet(m_context, instanceID, window());
    m_sheet->open();
}

void WidgetLibraryView::uninstall() {
    if (!m_shown)
        return;
    const QPointer<WidgetLibraryView> self(this);
    const WidgetPackage package = *m_shown;
    // Return cancels: the folder may be the author's only copy.
    m_context.dialogs.ask(window(),
                          {PackageLibrary::uninstallMessage(package),
                           PackageLibrary::uninstallInformative(package),
                           {QStringLiteral("Move to Trash"), QStringLiteral("Cancel")},
                           1},
                          [self, package](int button) {
                              if (!self || button != 0)
                                  return;
                              const QString failure =
                                      PackageLibrary::uninstall(self->m_context.store, package);
                              self->m_error->setText(failure);
                              self->m_error->setVisible(!failure.isEmpty());
                          });
}

void WidgetLibraryView::install() {
    const QPointer<WidgetLibraryView> self(this);
    m_context.dialogs.chooseFolder(
            window(), QStringLiteral("Install a Tablora widget"),
            [self](const std::optional<QString>& folder) {
                if (!self || !folder)
                    return;
                const PackageLibrary::Candidate candidate = PackageLibrary::examine(*folder);
                const auto fail = [self](const QString& message) {
                    self->m_error->setText(message);
                    self->m_error->setVisible(!message.isEmpty());
                };
                if (!candidate.package) {
                    fail(candidate.error);
                    return;
                }
                const WidgetManifest manifest = candidate.package->manifest;
                const QString path = *folder;
                self->m_context.dialogs.ask(self->window(),
                                            {PackageLibrary::installMessage(manifest),
                                             PackageLibrary::installInformative(manifest),
                                             {QStringLiteral("Install"), QStringLiteral("Cancel")},
                                             0},
                                            [self, path, fail, id = manifest.id](int button) {
                                                if (!self || button != 0)
                                                    return;
                                                const QString failure = PackageLibrary::install(
                                                        self->m_context.store, path);
                                                if (failure.isEmpty())
                                                    self->m_selectedID = id;
                                                fail(failure);
                                                self->showState();
                                            });
            });
}

LauncherSettingsSheet* WidgetLibraryView::launcherSheet() const {
    return m_sheet;
}
