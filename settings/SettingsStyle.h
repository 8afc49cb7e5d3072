#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QString>

class QBoxLayout;
class QVBoxLayout;

// The settings window's look: the dashboard's dark colours with the user's accent, and the few
// building blocks every tab uses.
namespace SettingsStyle {

QString styleSheet(const QColor& accent);

// A label in one of the text roles the style sheet knows: "title", "subtitle", "heading" (a
// small upper-case section name), "muted", "error", "badge".
QLabel* label(const QString& text, const char* role, QWidget* parent = nullptr);
// A titled, rounded group of rows; its layout takes the rows.
QFrame* card(const QString& title, QWidget* parent = nullptr);
QVBoxLayout* cardLayout(QFrame* card);
// A button in one of the roles "primary", "destructive", "quiet" (none: the plain look).
void setRole(QWidget* widget, const char* role);
// A horizontal row: the label on the left, the control on the right. The label is the control's
// buddy and, unless it has one, its accessible name.
QWidget* row(const QString& text, QWidget* control, QWidget* parent = nullptr);

} // namespace SettingsStyle

// An on/off switch drawn as a sliding knob in the accent colour.
class ToggleSwitch : public QAbstractButton {
    Q_OBJECT

public:
    explicit ToggleSwitch(QWidget* parent = nullptr);
    QSize sizeHint() const override;
    void setAccent(const QColor& accent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_accent;
};

// Small line drawings for the system symbol names the views use ("slider.horizontal.3",
// "rectangle.split.3x1", "puzzlepiece.extension", "arrow.uturn.backward", "checkmark.circle.fill",
// "folder"); any other name draws nothing.
namespace SettingsIcons {
QIcon symbol(const QString& name, const QColor& colour);
} // namespace SettingsIcons
