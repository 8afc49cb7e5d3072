#include "GeneralSettingsView.h"

#include "dashboard/TarnTheme.h"
#include "model/linux/PlatformTexts.h"
#include "settings/SettingsDesktop.h"
#include "settings/SettingsDialogs.h"
#include "settings/SettingsStyle.h"
#include "store/TarnStore.h"
#include "touch/DirectTouchController.h"
#include "touch/ScreenDirectory.h"
#include "touch/views/TouchControls.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int focusStep = 5;
constexpr int focusMinimum = FocusSession::shortestMinutes;
constexpr int focusMaximum = FocusSession::longestMinutes;

QIcon swatch(const QColor& colour) {
    QPixmap pixmap(36, 36);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(255, 255, 255, 60), 1));
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(1, 1, 16, 16));
    return QIcon(pixmap);
}

QLabel* wrapped(QLabel* label) {
    label->setWordWrap(true);
    return label;
}

// What a user recognises a display by: the monitor's own name and the connector it is on
// ("XENEON EDGE · DP-1"). The display number only tells apart screens that have no name at all.
QString displayLabel(const ScreenInfo& screen, quint32 number) {
    if (screen.name.isEmpty())
        return screen.monitorName.isEmpty() ? QStringLiteral("Screen · display %1").arg(number)
                                            : screen.monitorName;
    if (screen.monitorName.isEmpty())
        return screen.name;
    return screen.monitorName + QStringLiteral(" · ") + screen.name;
}

} // namespace

GeneralSettingsView::GeneralSettingsView(SettingsContext context, QWidget* parent)
    : QWidget(parent), m_context(context) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Not a stop of its own: focusing a control scrolls it into view.
    scroll->setFocusPolicy(Qt::NoFocus);
    outer->addWidget(scroll);

    auto* content = new QWidget(scroll);
    auto* columns = new QHBoxLayout(content);
    columns->setContentsMargins(24, 20, 24, 24);
    columns->setSpacing(16);
    auto* left = new QVBoxLayout;
    left->setSpacing(16);
    left->addWidget(touchCard());
    left->addWidget(displayCard());
    left->addStretch(1);
    auto* right = new QVBoxLayout;
    right->setSpacing(16);
    right->addWidget(layoutCard());
    right->addWidget(focusCard());
    right->addWidget(coloursCard());
    right->addWidget(clockCard());
    right->addStretch(1);
    columns->addLayout(left, 11);
    columns->addLayout(right, 9);
    scroll->setWidget(content);

    connect(&context.store, &TarnStore::preferencesChanged, this, &GeneralSettingsView::showState);
    connect(&context.store, &TarnStore::focusChanged, this, &GeneralSettingsView::showState);
    connect(&context.touch, &DirectTouchController::statusChanged, this,
            &GeneralSettingsView::showState);
    connect(&context.touch, &DirectTouchController::inputMonitoringDeniedChanged, this,
            &GeneralSettingsView::showState);
    connect(qApp, &QGuiApplication::screenAdded, this, &GeneralSettingsView::fillDisplays);
    connect(qApp, &QGuiApplication::screenRemoved, this, &GeneralSettingsView::fillDisplays);
    if (StartAtLogin* login = context.store.startAtLogin()) {
        connect(login, &StartAtLogin::enabledChanged, this, [this](bool on) {
            const QSignalBlocker blocker(m_startAtLogin);
            m_startAtLogin->setChecked(on);
        });
    }
    fillDisplays();
    refresh();
}

QWidget* GeneralSettingsView::touchCard() {
    QFrame* card = SettingsStyle::card(QStringLiteral("Direct touch"), this);
    QVBoxLayout* layout = SettingsStyle::cardLayout(card);
    m_directTouch = new ToggleSwitch;
    layout->addWidget(
            SettingsStyle::row(QStringLiteral("Direct touch · keep the desktop pointer in place"),
                               m_directTouch, card));
    const auto toggle = [this](bool on) {
        m_context.store.updatePreferences([on](Preferences& p) { p.directTouch = on; });
        m_context.touch.refreshMode();
    };
    connect(m_directTouch, &ToggleSwitch::toggled, this, toggle);
    TouchControls::setAction(m_directTouch, QStringLiteral("direct-touch-toggle"),
                             [this] { m_directTouch->click(); });

    m_status = SettingsStyle::label(QString(), "status", card);
    m_status->setWordWrap(true);
    layout->addWidget(m_status);

    m_permission = new QWidget(card);
    auto* permission = new QVBoxLayout(m_permission);
    permission->setContentsMargins(0, 4, 0, 0);
    permission->setSpacing(8);
    permission->addWidget(wrapped(new QLabel(PlatformTexts::touchPermissionHelp())));
    permission->addWidget(
            wrapped(SettingsStyle::label(PlatformTexts::touchPermissionHint(), "muted")));
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    const auto button = [&](const QString& text, const QString& id, std::function<void()> action) {
        auto* added = new QPushButton(text, m_permission);
        connect(added, &QPushButton::clicked, this, action);
        TouchControls::setAction(added, id, [added] { added->click(); });
        buttons->addWidget(added);
        return added;
    };
    button(PlatformTexts::touchPermissionButton(), QStringLiteral("touch-input-settings"),
           [this] { m_context.desktop.openTouchPermissionHelp(); });
    button(PlatformTexts::revealApplicationButton(), QStringLiteral("touch-reveal-app"),
           [this] { m_context.desktop.revealApplication(); });
    button(QStringLiteral("Retry"), QStringLiteral("retry-touch"),
           [this] { m_context.touch.refreshMode(); });
    buttons->addStretch(1);
    permission->addLayout(buttons);
    layout->addWidget(m_permission);
    return card;
}

QWidget* GeneralSettingsView::displayCard() {
    QFrame* card = SettingsStyle::card(QStringLiteral("Display"), this);
    QVBoxLayout* layout = SettingsStyle::cardLayout(card);
    m_display = new QComboBox;
    m_display->setMinimumWidth(260);
    m_display->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    layout->addWidget(SettingsStyle::row(QStringLiteral("Display"), m_display, card));
    connect(m_display, &QComboBox::activated, this, &GeneralSettingsView::displayChosen);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    auto* move = new QPushButton(QStringLiteral("Move to display"), card);
    connect(move, &QPushButton::clicked, this, [this] {
        if (m_context.store.moveToDisplay)
            m_context.store.moveToDisplay();
    });
    TouchControls::setAction(move, QStringLiteral("move-display"), [move] { move->click(); });
    auto* preview = new QPushButton(QStringLiteral("Show Window Preview"), card);
    connect(preview, &QPushButton::clicked, this, [this] {
        if (m_context.store.togglePreview)
            m_context.store.togglePreview();
    });
    buttons->addWidget(move);
    buttons->addWidget(preview);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    layout->addWidget(wrapped(SettingsStyle::label(PlatformTexts::rotationHint(), "muted", card)));
    return card;
}

QWidget* GeneralSettingsView::layoutCard() {
    QFrame* card = SettingsStyle::card(QStringLiteral("Layout"), this);
    m_orientation = new QComboBox;
    m_orientation->addItem(QStringLiteral("Horizontal"));
    m_orientation->addItem(QStringLiteral("Vertical"));
    m_orientation->setMinimumWidth(150);
    connect(m_orientation, &QComboBox::activated, this, [this](int index) {
        const LayoutOrientation chosen = allOrientations[std::clamp(index, 0, 1)];
        m_context.store.updatePreferences([chosen](Preferences& p) { p.orientation = chosen; });
    });
    SettingsStyle::cardLayout(card)->addWidget(
            SettingsStyle::row(QStringLiteral("Layout orientation"), m_orientation, card));
    return card;
}

QWidget* GeneralSettingsView::focusCard() {
    QFrame* card = SettingsStyle::card(QStringLiteral("Focus"), this);
    auto* stepper = new QWidget;
    auto* layout = new QHBoxLayout(stepper);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    m_focusLess = new QPushButton(QStringLiteral("−"), stepper);
    m_focusMore = new QPushButton(QStringLiteral("+"), stepper);
    m_focusLength = new QLabel(stepper);
    m_focusLength->setAlignment(Qt::AlignCenter);
    m_focusLength->setMinimumWidth(92);
    for (QPushButton* button : {m_focusLess, m_focusMore})
        SettingsStyle::setRole(button, "step");
    m_focusLess->setAccessibleName(QStringLiteral("Decrease focus length"));
    m_focusMore->setAccessibleName(QStringLiteral("Increase focus length"));
    connect(m_focusLess, &QPushButton::clicked, this, [this] { stepFocus(-focusStep); });
    connect(m_focusMore, &QPushButton::clicked, this, [this] { stepFocus(focusStep); });
    layout->addWidget(m_focusLess);
    layout->addWidget(m_focusLength);
    layout->addWidget(m_focusMore);
    SettingsStyle::cardLayout(card)->addWidget(
            SettingsStyle::row(QStringLiteral("Focus length"), stepper, card));
    return card;
}

QWidget* GeneralSettingsView::coloursCard() {
    QFrame* card = SettingsStyle::card(QStringLiteral("Colours"), this);
    QVBoxLayout* layout = SettingsStyle::cardLayout(card);
    m_primary = colourWell(QStringLiteral("Primary · text"), true);
    m_secondary = colourWell(QStringLiteral("Secondary · highlights"), false);
    layout->addWidget(SettingsStyle::row(QStringLiteral("Primary · text"), m_primary, card));
    layout->addWidget(
            SettingsStyle::row(QStringLiteral("Secondary · highlights"), m_secondary, card));
    return card;
}

QWidget* GeneralSettingsView::clockCard() {
    QFrame* card = SettingsStyle::card(QStringLiteral("Clock and start"), this);
    QVBoxLayout* layout = SettingsStyle::cardLayout(card);
    m_seconds = new ToggleSwitch;
    connect(m_seconds, &ToggleSwitch::toggled, this, [this](bool on) {
        m_context.store.updatePreferences([on](Preferences& p) { p.showSeconds = on; });
    });
    TouchControls::setAction(m_seconds, QStringLiteral("clock-seconds"),
                             [this] { m_seconds->click(); });
    layout->addWidget(
            SettingsStyle::row(QStringLiteral("Show seconds on the clock"), m_seconds, card));
    if (m_context.store.startAtLogin()) {
        m_startAtLogin = new ToggleSwitch;
        connect(m_startAtLogin, &ToggleSwitch::toggled, this,
                &GeneralSettingsView::startAtLoginToggled);
        layout->addWidget(SettingsStyle::row(QStringLiteral("Start Tablora when you log in"),
                                             m_startAtLogin, card));
    }
    return card;
}

QPushButton* GeneralSettingsView::colourWell(const QString& title, bool primary) {
    auto* well = new QPushButton;
    well->setMinimumWidth(120);
    well->setAccessibleName(title);
    connect(well, &QPushButton::clicked, this,
            [this, title, primary] { pickColour(title, primary); });
    return well;
}

void GeneralSettingsView::pickColour(const QString& title, bool primary) {
    const Preferences& preferences = m_context.store.preferences();
    const QColor current =
            TarnTheme::color(primary ? preferences.primaryHex() : preferences.accentHex());
    const QPointer<GeneralSettingsView> self(this);
    m_context.dialogs.chooseColor(window(), title, current, [self, primary](const QColor& colour) {
        // A colour without a text form changes nothing.
        const auto hex = TarnTheme::hex(colour);
        if (!self || !hex)
            return;
        self->m_context.store.updatePreferences(
                [&](Preferences& p) { (primary ? p.primaryAccent : p.customAccent) = *hex; });
    });
}

void GeneralSettingsView::stepFocus(int delta) {
    if (m_context.store.focus().isRunning())
        return;
    const int minutes = std::clamp(m_context.store.preferences().focusMinutes + delta, focusMinimum,
                                   focusMaximum);
    m_context.store.setFocusMinutes(minutes);
}

void GeneralSettingsView::displayChosen(int index) {
    const QVariant data = m_display->itemData(index);
    const std::optional<quint32> chosen =
            data.isValid() ? std::optional(data.value<quint32>()) : std::nullopt;
    m_context.store.updatePreferences([chosen](Preferences& p) { p.displayID = chosen; });
    if (m_context.store.moveToDisplay)
        m_context.store.moveToDisplay();
}

void GeneralSettingsView::startAtLoginToggled(bool on) {
    StartAtLogin* login = m_context.store.startAtLogin();
    const QString failure = login->setEnabled(on);
    // Said where the user is looking: in the settings window, not on the dashboard.
    if (!failure.isEmpty())
        m_context.dialogs.ask(window(), {failure, QString(), {QStringLiteral("OK")}, 0},
                              [](int) {});
    const QSignalBlocker blocker(m_startAtLogin);
    m_startAtLogin->setChecked(login->isEnabled());
}

void GeneralSettingsView::fillDisplays() {
    const QSignalBlocker blocker(m_display);
    m_display->clear();
    m_display->addItem(QStringLiteral("Automatic · XENEON EDGE"));
    QList<quint32> listed;
    for (const ScreenInfo& screen : m_context.screens.screens()) {
        const quint32 number = screen.displayNumber.value_or(0);
        if (listed.contains(number))
            continue;
        listed.append(number);
        m_display->addItem(displayLabel(screen, number), QVariant::fromValue(number));
    }
    const auto chosen = m_context.store.preferences().displayID;
    if (chosen && !listed.contains(*chosen))
        m_display->addItem(QStringLiteral("Display %1 · not connected").arg(*chosen),
                           QVariant::fromValue(*chosen));
    showState();
}

void GeneralSettingsView::refresh() {
    fillDisplays();
    if (m_startAtLogin) {
        const QSignalBlocker blocker(m_startAtLogin);
        m_startAtLogin->setChecked(m_context.store.startAtLogin()->isEnabled());
    }
    showState();
}

void GeneralSettingsView::showState() {
    const Preferences& preferences = m_context.store.preferences();
    const QColor accent = TarnTheme::color(preferences.accentHex());
    for (ToggleSwitch* toggle : {m_directTouch, m_seconds, m_startAtLogin}) {
        if (toggle)
            toggle->setAccent(accent);
    }
    {
        const QSignalBlocker touch(m_directTouch);
        m_directTouch->setChecked(preferences.directTouch);
        const QSignalBlocker seconds(m_seconds);
        m_seconds->setChecked(preferences.showSeconds);
    }
    m_status->setText(m_context.touch.status());
    m_status->setVisible(!m_context.touch.status().isEmpty());
    m_permission->setVisible(m_context.touch.inputMonitoringDenied());

    const int displayIndex =
            preferences.displayID ? m_display->findData(QVariant::fromValue(*preferences.displayID))
                                  : 0;
    m_display->setCurrentIndex(std::max(displayIndex, 0));
    m_orientation->setCurrentIndex(int(preferences.orientation));

    const bool running = m_context.store.focus().isRunning();
    m_focusLength->setText(QStringLiteral("%1 minutes").arg(preferences.focusMinutes));
    m_focusLess->setEnabled(!running && preferences.focusMinutes > focusMinimum);
    m_focusMore->setEnabled(!running && preferences.focusMinutes < focusMaximum);
    m_focusLength->setEnabled(!running);

    m_primary->setIcon(swatch(TarnTheme::color(preferences.primaryHex())));
    m_primary->setText(preferences.primaryHex());
    m_secondary->setIcon(swatch(accent));
    m_secondary->setText(preferences.accentHex());
}
