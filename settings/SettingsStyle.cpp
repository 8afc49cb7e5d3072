#include "SettingsStyle.h"

#include "dashboard/TarnTheme.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QVBoxLayout>

namespace SettingsStyle {

namespace {

QString rgba(const QColor& colour, double opacity) {
    return QStringLiteral("rgba(%1, %2, %3, %4)")
            .arg(colour.red())
            .arg(colour.green())
            .arg(colour.blue())
            .arg(opacity);
}

} // namespace

QString styleSheet(const QColor& accent) {
    const QString text = TarnTheme::text().name();
    const QString muted = TarnTheme::muted().name();
    const QString surface = TarnTheme::surface().name();
    const QString background = TarnTheme::background().name();
    const QString raised = QColor::fromRgbF(0.13f, 0.14f, 0.145f).name();
    const QString hover = QColor::fromRgbF(0.17f, 0.18f, 0.185f).name();
    const QString line = QStringLiteral("rgba(255, 255, 255, 0.08)");
    const QString strongLine = QStringLiteral("rgba(255, 255, 255, 0.14)");
    const QString accentText = accent.lightnessF() > 0.6 ? background : text;
    QString sheet = QStringLiteral(R"(
QWidget { color: %TEXT%; font-size: 13px; }
QWidget#settingsRoot, QStackedWidget, QScrollArea, QScrollArea > QWidget > QWidget { background: %BACKGROUND%; }
QFrame[card="true"] { background: %SURFACE%; border: 1px solid %LINE%; border-radius: 14px; }
QFrame[card="true"] QLabel { background: transparent; }
QLabel[role="title"] { font-size: 22px; font-weight: 600; }
QLabel[role="subtitle"] { color: %MUTED%; font-size: 13px; }
QLabel[role="heading"] { color: %MUTED%; font-size: 11px; font-weight: 600; letter-spacing: 1px; }
QLabel[role="muted"] { color: %MUTED%; }
QLabel[role="error"] { color: #ff8a7a; }
QLabel[role="badge"] { color: %ACCENT%; font-weight: 600; }
QLabel[role="status"] { color: %ACCENT%; font-weight: 500; }
QPushButton, QToolButton {
    background: %RAISED%; border: 1px solid %STRONGLINE%; border-radius: 8px;
    padding: 6px 12px; min-height: 18px;
}
QPushButton:hover, QToolButton:hover { background: %HOVER%; }
QPushButton:pressed, QToolButton:pressed { background: %ACCENTSOFT%; }
QPushButton:disabled, QToolButton:disabled { color: %MUTEDDIM%; background: %SURFACE%; border-color: %LINE%; }
QPushButton:checked { background: %ACCENTSOFT%; border-color: %ACCENT%; }
QPushButton[role="primary"] { background: %ACCENT%; color: %ACCENTTEXT%; border-color: %ACCENT%; font-weight: 600; }
QPushButton[role="primary"]:disabled { background: %SURFACE%; color: %MUTEDDIM%; border-color: %LINE%; }
QPushButton[role="destructive"] { color: #ff8a7a; }
QPushButton[role="quiet"] { background: transparent; border-color: transparent; color: %MUTED%; }
QPushButton[role="quiet"]:hover { color: %TEXT%; background: %RAISED%; }
QPushButton[role="quietDestructive"] { background: transparent; border-color: transparent; color: #ff8a7a; }
QPushButton[role="quietDestructive"]:hover { background: %RAISED%; }
QPushButton[role="quietDestructive"]:disabled, QPushButton[role="quiet"]:disabled { background: transparent; border-color: transparent; }
QPushButton[role="arrangement"] {
    padding: 0; min-width: 46px; max-width: 46px; min-height: 34px; max-height: 34px;
}
QPushButton[role="step"] {
    padding: 0; font-size: 16px; min-width: 34px; max-width: 34px; min-height: 28px; max-height: 28px;
}
QPushButton[role="tab"] {
    background: transparent; border: 1px solid transparent; border-radius: 10px;
    padding: 7px 18px; color: %MUTED%; font-weight: 600; font-size: 14px;
}
QPushButton[role="tab"]:hover { color: %TEXT%; background: %RAISED%; }
QPushButton[role="tab"]:checked { color: %TEXT%; background: %RAISED%; border-color: %STRONGLINE%; }
QPushButton[role="page"] { border-radius: 15px; padding: 5px 14px; }
QPushButton[role="page"]:checked { background: %ACCENT%; color: %ACCENTTEXT%; border-color: %ACCENT%; }
QLineEdit, QComboBox {
    background: %BACKGROUND%; border: 1px solid %STRONGLINE%; border-radius: 8px;
    padding: 5px 10px; min-height: 20px; selection-background-color: %ACCENTSOFT%;
}
QLineEdit:focus, QComboBox:focus { border-color: %ACCENT%; }
QComboBox::drop-down { border: none; width: 22px; }
QComboBox QAbstractItemView {
    background: %RAISED%; border: 1px solid %STRONGLINE%; selection-background-color: %ACCENTSOFT%;
    outline: none; padding: 4px;
}
QSlider::groove:horizontal { height: 4px; background: %STRONGLINE%; border-radius: 2px; }
QSlider::sub-page:horizontal { background: %ACCENT%; border-radius: 2px; }
QSlider::handle:horizontal {
    background: %TEXT%; width: 16px; height: 16px; margin: -6px 0; border-radius: 8px;
}
QSlider::handle:horizontal:disabled { background: %MUTED%; }
QScrollBar:vertical { background: transparent; width: 8px; margin: 2px; }
QScrollBar::handle:vertical { background: rgba(255, 255, 255, 0.18); border-radius: 3px; min-height: 30px; }
QScrollBar::add-line, QScrollBar::sub-line { height: 0; width: 0; }
QScrollBar::add-page, QScrollBar::sub-page { background: transparent; }
QToolTip { background: %RAISED%; color: %TEXT%; border: 1px solid %STRONGLINE%; padding: 4px; }
QSlider { border: 1px solid transparent; border-radius: 6px; padding: 0 4px; min-height: 24px; }
QSlider:focus { border-color: %TEXT%; }
QSlider::handle:horizontal:focus { background: %ACCENT%; }
QPushButton:focus:enabled, QToolButton:focus:enabled { border-color: %TEXT%; }
)");
    const QList<std::pair<QString, QString>> values = {
            {QStringLiteral("%TEXT%"), text},
            {QStringLiteral("%MUTEDDIM%"), rgba(TarnTheme::muted(), 0.55)},
            {QStringLiteral("%MUTED%"), muted},
            {QStringLiteral("%SURFACE%"), surface},
            {QStringLiteral("%BACKGROUND%"), background},
            {QStringLiteral("%RAISED%"), raised},
            {QStringLiteral("%HOVER%"), hover},
            {QStringLiteral("%STRONGLINE%"), strongLine},
            {QStringLiteral("%LINE%"), line},
            {QStringLiteral("%ACCENTSOFT%"), rgba(accent, 0.28)},
            {QStringLiteral("%ACCENTTEXT%"), accentText},
            {QStringLiteral("%ACCENT%"), accent.name()},
    };
    for (const auto& [key, value] : values)
        sheet.replace(key, value);
    return sheet;
}

QLabel* label(const QString& text, const char* role, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setProperty("role", QString::fromLatin1(role));
    return label;
}

QFrame* card(const QString& title, QWidget* parent) {
    auto* frame = new QFrame(parent);
    frame->setProperty("card", true);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(18, 14, 18, 16);
    layout->setSpacing(10);
    if (!title.isEmpty())
        layout->addWidget(label(title.toUpper(), "heading", frame));
    return frame;
}

QVBoxLayout* cardLayout(QFrame* card) {
    return static_cast<QVBoxLayout*>(card->layout());
}

void setRole(QWidget* widget, const char* role) {
    widget->setProperty("role", QString::fromLatin1(role));
    widget->style()->unpolish(widget);
    widget->style()->polish(widget);
}

QWidget* row(const QString& text, QWidget* control, QWidget* parent) {
    auto* line = new QWidget(parent);
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    auto* name = new QLabel(text, line);
    name->setWordWrap(true);
    name->setBuddy(control);
    if (control->accessibleName().isEmpty())
        control->setAccessibleName(text);
    layout->addWidget(name, 1);
    control->setParent(line);
    layout->addWidget(control, 0, Qt::AlignRight | Qt::AlignVCenter);
    return line;
}

} // namespace SettingsStyle

ToggleSwitch::ToggleSwitch(QWidget* parent) : QAbstractButton(parent) {
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    m_accent = TarnTheme::color(QStringLiteral("#5ee0b5"));
}

QSize ToggleSwitch::sizeHint() const {
    return {44, 26};
}

void ToggleSwitch::setAccent(const QColor& accent) {
    m_accent = accent;
    update();
}

void ToggleSwitch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
    const double radius = track.height() / 2;
    QColor fill = isChecked() ? m_accent : QColor(255, 255, 255, 40);
    if (!isEnabled())
        fill.setAlphaF(fill.alphaF() * 0.4);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(track, radius, radius);
    const double knob = track.height() - 6;
    const double x = isChecked() ? track.right() - 3 - knob : track.left() + 3;
    painter.setBrush(isEnabled() ? TarnTheme::text() : TarnTheme::muted());
    painter.drawEllipse(QRectF(x, track.top() + 3, knob, knob));
    // Drawn in the text colour: an accent ring would vanish against a switch that is on.
    if (hasFocus()) {
        painter.setPen(QPen(TarnTheme::text(), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75), radius + 0.25,
                                radius + 0.25);
    }
}

namespace SettingsIcons {

namespace {

void draw(QPainter& painter, const QString& name, const QColor& colour) {
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(colour, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    if (name == QStringLiteral("slider.horizontal.3")) {
        const double knobs[] = {11, 5, 9};
        for (int line = 0; line < 3; ++line) {
            const double y = 4.5 + line * 4.5;
            painter.drawLine(QPointF(2, y), QPointF(16, y));
            painter.setBrush(colour);
            painter.drawEllipse(QPointF(knobs[line], y), 1.8, 1.8);
            painter.setBrush(Qt::NoBrush);
        }
    } else if (name == QStringLiteral("rectangle.split.3x1")) {
        painter.drawRoundedRect(QRectF(1.5, 4, 15, 10), 2, 2);
        painter.drawLine(QPointF(6.5, 4), QPointF(6.5, 14));
        painter.drawLine(QPointF(11.5, 4), QPointF(11.5, 14));
    } else if (name == QStringLiteral("puzzlepiece.extension")) {
        QPainterPath piece;
        piece.moveTo(3, 6);
        piece.lineTo(7, 6);
        piece.arcTo(QRectF(7, 3, 4, 4), 180, -180);
        piece.lineTo(15, 6);
        piece.lineTo(15, 10);
        piece.arcTo(QRectF(13, 10, 4, 4), 90, -180);
        piece.lineTo(15, 16);
        piece.lineTo(3, 16);
        piece.closeSubpath();
        painter.drawPath(piece);
    } else if (name == QStringLiteral("arrow.uturn.backward")) {
        QPainterPath path;
        path.moveTo(5, 7);
        path.lineTo(12, 7);
        path.arcTo(QRectF(8, 7, 8, 8), 90, -180);
        path.lineTo(7, 15);
        painter.drawPath(path);
        painter.drawLine(QPointF(5, 7), QPointF(8, 4));
        painter.drawLine(QPointF(5, 7), QPointF(8, 10));
    } else if (name == QStringLiteral("checkmark.circle.fill")) {
        painter.setBrush(colour);
        painter.drawEllipse(QRectF(2, 2, 14, 14));
        painter.setPen(QPen(QColor(12, 14, 15), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPolyline(QPolygonF({QPointF(5.5, 9), QPointF(8, 11.5), QPointF(12.5, 6.5)}));
    } else if (name == QStringLiteral("folder")) {
        QPainterPath path;
        path.moveTo(2, 5);
        path.lineTo(7, 5);
        path.lineTo(8.5, 6.5);
        path.lineTo(16, 6.5);
        path.lineTo(16, 14.5);
        path.lineTo(2, 14.5);
        path.closeSubpath();
        painter.drawPath(path);
    }
}

} // namespace

QIcon symbol(const QString& name, const QColor& colour) {
    QIcon icon;
    for (const int scale : {1, 2}) {
        QPixmap pixmap(18 * scale, 18 * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        draw(painter, name, colour);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace SettingsIcons
