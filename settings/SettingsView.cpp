#include "SettingsView.h"

#include "dashboard/TarnTheme.h"
#include "settings/GeneralSettingsView.h"
#include "settings/LayoutEditorView.h"
#include "settings/SettingsStyle.h"
#include "settings/WidgetLibraryView.h"
#include "store/TarnStore.h"
#include "touch/views/TouchSurface.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QShowEvent>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

struct TabInfo {
    SettingsTab tab;
    const char* label;
    const char* symbol;
};

const TabInfo tabs[] = {
        {SettingsTab::general, "General", "slider.horizontal.3"},
        {SettingsTab::layouts, "Layouts", "rectangle.split.3x1"},
        {SettingsTab::packages, "Widgets", "puzzlepiece.extension"},
};

} // namespace

SettingsView::SettingsView(SettingsContext context, QWidget* parent)
    : QWidget(parent), m_context(context), m_pages(new QStackedWidget(this)),
      m_general(new GeneralSettingsView(context, this)),
      m_layouts(new LayoutEditorView(context, this)),
      m_library(new WidgetLibraryView(context, this)) {
    setObjectName(QStringLiteral("settingsRoot"));
    setAttribute(Qt::WA_StyledBackground);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* header = new QWidget(this);
    auto* headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(24, 14, 24, 10);
    headerLayout->setSpacing(6);
    auto* product = SettingsStyle::label(QStringLiteral("Tablora"), "title", header);
    auto* version = SettingsStyle::label(m_context.version, "muted", header);
    headerLayout->addWidget(product, 0, Qt::AlignBottom);
    headerLayout->addWidget(version, 0, Qt::AlignBottom);
    headerLayout->addStretch(1);
    for (int index = 0; index < int(std::size(tabs)); ++index) {
        auto* button = new QPushButton(QString::fromUtf8(tabs[index].label), header);
        button->setIconSize(QSize(18, 18));
        button->setAccessibleName(button->text());
        // Room between the symbol and the name.
        button->setText(QStringLiteral(" ") + button->text());
        // After the text, which would set a shortcut of its own.
        button->setShortcut(QKeyCombination(Qt::CTRL, Qt::Key(Qt::Key_1 + index)));
        button->setToolTip(QStringLiteral("%1 (%2)").arg(
                button->accessibleName(), button->shortcut().toString(QKeySequence::NativeText)));
        button->setCheckable(true);
        button->setCursor(Qt::PointingHandCursor);
        SettingsStyle::setRole(button, "tab");
        const SettingsTab tab = tabs[index].tab;
        // The check marks the store's tab: a click on the current one must not clear it.
        connect(button, &QPushButton::clicked, this, [this, tab] {
            m_context.store.setSettingsTab(tab);
            tabChanged();
        });
        headerLayout->addWidget(button);
        m_tabs.append(button);
    }
    headerLayout->addStretch(1);
    // Balances the product's name so the tabs sit in the middle.
    auto* balance = new QWidget(header);
    balance->setFixedWidth(product->sizeHint().width() + version->sizeHint().width() + 6);
    headerLayout->addWidget(balance);
    layout->addWidget(header);

    auto* rule = new QFrame(this);
    rule->setFixedHeight(1);
    rule->setStyleSheet(QStringLiteral("background: rgba(255, 255, 255, 0.08);"));
    layout->addWidget(rule);

    m_pages->addWidget(m_general);
    m_pages->addWidget(m_layouts);
    m_pages->addWidget(m_library);
    layout->addWidget(m_pages, 1);

    // The layout editor starts afresh when its tab opens, then waits for a section.
    connect(m_library, &WidgetLibraryView::addToPage, this, [this](const QString& packageID) {
        m_context.store.setSettingsTab(SettingsTab::layouts);
        m_layouts->editing().startPlacing(packageID);
    });
    connect(&context.store, &TarnStore::settingsTabChanged, this, &SettingsView::tabChanged);
    connect(&context.store, &TarnStore::preferencesChanged, this, &SettingsView::applyStyle);
    applyStyle();
    tabChanged();
    m_surface = new TouchSurface(context.touch, this, false);
    m_surface->setAccent(TarnTheme::color(m_accent));
}

void SettingsView::applyStyle() {
    const QString accent = m_context.store.preferences().accentHex();
    if (accent == m_accent)
        return;
    m_accent = accent;
    const QColor colour = TarnTheme::color(accent);
    setStyleSheet(SettingsStyle::styleSheet(colour));
    if (m_surface)
        m_surface->setAccent(colour);
    for (int index = 0; index < m_tabs.size(); ++index)
        m_tabs[index]->setIcon(
                SettingsIcons::symbol(QString::fromUtf8(tabs[index].symbol), TarnTheme::text()));
}

void SettingsView::tabChanged() {
    const int index = int(m_context.store.settingsTab());
    for (int tab = 0; tab < m_tabs.size(); ++tab)
        m_tabs[tab]->setChecked(tab == index);
    if (m_pages->currentIndex() == index)
        return;
    // The layout editor starts afresh each time it is shown.
    if (index == int(SettingsTab::layouts))
        m_layouts->editing().reset();
    m_pages->setCurrentIndex(index);
}

void SettingsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    if (m_pages->currentWidget() == m_layouts)
        m_layouts->editing().reset();
    m_general->refresh();
}

TouchSurface* SettingsView::touchSurface() const {
    return m_surface;
}
