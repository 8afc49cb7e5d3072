#pragma once

#include "settings/SettingsContext.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;
class ToggleSwitch;

// The "General" tab: direct touch with its status and permission help, the display, the
// orientation, the focus length, the two colours, the clock's seconds and starting at login.
// Every control writes straight into the store's preferences.
class GeneralSettingsView : public QWidget {
    Q_OBJECT

public:
    GeneralSettingsView(SettingsContext context, QWidget* parent = nullptr);

    // Reads again what nothing announces (the screens, starting at login); on every show.
    void refresh();

    ToggleSwitch* directTouchSwitch() const { return m_directTouch; }
    QLabel* status() const { return m_status; }
    QWidget* permissionHelp() const { return m_permission; }
    QComboBox* displayPicker() const { return m_display; }
    QComboBox* orientationPicker() const { return m_orientation; }
    QPushButton* focusLess() const { return m_focusLess; }
    QPushButton* focusMore() const { return m_focusMore; }
    QLabel* focusLength() const { return m_focusLength; }
    QPushButton* primaryWell() const { return m_primary; }
    QPushButton* secondaryWell() const { return m_secondary; }
    ToggleSwitch* secondsSwitch() const { return m_seconds; }
    ToggleSwitch* startAtLoginSwitch() const { return m_startAtLogin; }

private:
    QWidget* touchCard();
    QWidget* displayCard();
    QWidget* layoutCard();
    QWidget* focusCard();
    QWidget* coloursCard();
    QWidget* clockCard();
    QPushButton* colourWell(const QString& title, bool primary);
    void pickColour(const QString& title, bool primary);
    void stepFocus(int delta);
    void displayChosen(int index);
    void startAtLoginToggled(bool on);
    void fillDisplays();
    void showState();

    SettingsContext m_context;
    ToggleSwitch* m_directTouch = nullptr;
    QLabel* m_status = nullptr;
    QWidget* m_permission = nullptr;
    QComboBox* m_display = nullptr;
    QComboBox* m_orientation = nullptr;
    QPushButton* m_focusLess = nullptr;
    QPushButton* m_focusMore = nullptr;
    QLabel* m_focusLength = nullptr;
    QPushButton* m_primary = nullptr;
    QPushButton* m_secondary = nullptr;
    ToggleSwitch* m_seconds = nullptr;
    ToggleSwitch* m_startAtLogin = nullptr;
};
