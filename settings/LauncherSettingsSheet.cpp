#include "LauncherSettingsSheet.h"

#include "dashboard/TarnTheme.h"
#include "model/WidgetError.h"
#include "model/linux/PlatformTexts.h"
#include "settings/SettingsDialogs.h"
#include "settings/SettingsStyle.h"
#include "store/TarnStore.h"
#include "touch/views/TouchSurface.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

const QString custom = QStringLiteral("custom");

} // namespace

LauncherSettingsSheet::LauncherSettingsSheet(SettingsContext context, QString instanceID,
                                             QWidget* parent)
    : QDialog(parent), m_context(context), m_instanceID(std::move(instanceID)) {
    setWindowTitle(QStringLiteral("Quick Launch"));
    setWindowModality(Qt::WindowModal);
    setAttribute(Qt::WA_StyledBackground);
    setObjectName(QStringLiteral("settingsRoot"));
    setStyleSheet(
            SettingsStyle::styleSheet(TarnTheme::color(context.store.preferences().accentHex())));
    setFixedWidth(520);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 22, 24, 20);
    layout->setSpacing(12);
    layout->addWidget(SettingsStyle::label(QStringLiteral("Quick Launch"), "title", this));
    layout->addWidget(SettingsStyle::label(
            QStringLiteral("Choose the app this widget opens when tapped."), "subtitle", this));
    layout->addSpacing(4);

    m_application = new QComboBox(this);
    for (const Shortcut& app : LauncherConfiguration::standard())
        m_application->addItem(app.name, app.bundleID);
    m_application->addItem(QStringLiteral("Custom application…"), custom);
    m_application->setMinimumWidth(220);
    connect(m_application, &QComboBox::activated, this, [this](int index) {
        LauncherConfiguration next = m_draft;
        next.application = m_application->itemData(index).toString();
        setDraft(next);
    });
    layout->addWidget(SettingsStyle::row(QStringLiteral("Application"), m_application, this));

    m_custom = new QWidget(this);
    auto* customLayout = new QVBoxLayout(m_custom);
    customLayout->setContentsMargins(0, 0, 0, 0);
    customLayout->setSpacing(6);
    auto* pathRow = new QHBoxLayout;
    pathRow->setSpacing(6);
    m_path = new QLineEdit(m_custom);
    m_path->setAccessibleName(QStringLiteral("Application path"));
    m_path->setPlaceholderText(PlatformTexts::applicationPathPlaceholder());
    connect(m_path, &QLineEdit::textEdited, this, [this](const QString& text) {
        LauncherConfiguration next = m_draft;
        next.path = text;
        setDraft(next);
    });
    m_browse = new QPushButton(m_custom);
    m_browse->setIcon(SettingsIcons::symbol(QStringLiteral("folder"), TarnTheme::text()));
    m_browse->setToolTip(QStringLiteral("Choose application"));
    m_browse->setAccessibleName(QStringLiteral("Choose application"));
    connect(m_browse, &QPushButton::clicked, this, &LauncherSettingsSheet::browse);
    pathRow->addWidget(m_path, 1);
    pathRow->addWidget(m_browse);
    customLayout->addLayout(pathRow);
    m_chosen = SettingsStyle::label(QString(), "muted", m_custom);
    m_chosen->setWordWrap(true);
    customLayout->addWidget(m_chosen);
    auto* help = SettingsStyle::label(
            QStringLiteral("Enter an application path or choose an app using the folder button."),
            "muted", m_custom);
    help->setWordWrap(true);
    customLayout->addWidget(help);
    layout->addWidget(m_custom);

    m_error = SettingsStyle::label(QString(), "error", this);
    m_error->setWordWrap(true);
    layout->addWidget(m_error);
    layout->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_save = new QPushButton(QStringLiteral("Save"), this);
    m_save->setDefault(true);
    SettingsStyle::setRole(m_save, "primary");
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_save, &QPushButton::clicked, this, &LauncherSettingsSheet::save);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_save);
    layout->addLayout(buttons);

    const auto& launchers = context.store.preferences().launchers;
    m_draft = launchers.contains(m_instanceID)
                      ? launchers.value(m_instanceID)
                      : LauncherConfiguration::exampleDefault(m_instanceID);
    showDraft();
    // A sheet takes the touches over its window: it is a surface of its own.
    new TouchSurface(context.touch, this, false);
}

void LauncherSettingsSheet::setDraft(const LauncherConfiguration& draft) {
    if (draft == m_draft)
        return;
    m_draft = draft;
    m_error->clear();
    showDraft();
}

void LauncherSettingsSheet::showDraft() {
    const QSignalBlocker blocker(m_application);
    const int index = m_application->findData(m_draft.standardApp() ? m_draft.application : custom);
    m_application->setCurrentIndex(index);
    const bool isCustom = !m_draft.standardApp();
    m_custom->setVisible(isCustom);
    if (m_path->text() != m_draft.path)
        m_path->setText(m_draft.path);
    const QString chosen = isCustom ? chosenName() : QString();
    m_chosen->setText(chosen.isEmpty() ? QString() : QStringLiteral("Opens %1").arg(chosen));
    m_chosen->setVisible(!chosen.isEmpty());
    m_error->setVisible(!m_error->text().isEmpty());
    adjustSize();
}

QString LauncherSettingsSheet::chosenName() const {
    AppLauncher* launcher = m_context.store.launcher().get();
    if (!launcher)
        return {};
    try {
        m_draft.shortcut(*launcher);
        return m_draft.name(launcher);
    } catch (const WidgetError&) {
        return {};
    }
}

void LauncherSettingsSheet::browse() {
    const QPointer<LauncherSettingsSheet> self(this);
    m_context.dialogs.chooseApplication(this, QStringLiteral("Choose an application"),
                                        PlatformTexts::applicationsFolder(),
                                        [self](const std::optional<QString>& path) {
                                            if (self && path)
                                                self->setDraft({custom, *path});
                                        });
}

void LauncherSettingsSheet::save() {
    try {
        AppLauncher* launcher = m_context.store.launcher().get();
        if (!m_draft.standardApp() && !launcher)
            throw WidgetError::invalid(PlatformTexts::invalidApplication());
        if (launcher)
            m_draft.shortcut(*launcher);
    } catch (const WidgetError& error) {
        m_error->setText(error.message());
        m_error->setVisible(true);
        return;
    }
    const LauncherConfiguration chosen = m_draft;
    const QString key = m_instanceID;
    m_context.store.updatePreferences([&](Preferences& p) { p.launchers.insert(key, chosen); });
    accept();
}
