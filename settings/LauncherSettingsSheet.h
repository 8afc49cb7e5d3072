#pragma once

#include "model/LauncherConfiguration.h"
#include "settings/SettingsContext.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The "Quick Launch" sheet of one launcher widget: which application it opens, a standard one
// or one the user names by path. Saving checks the application and stores the choice under the
// launcher's instance.
class LauncherSettingsSheet : public QDialog {
    Q_OBJECT

public:
    LauncherSettingsSheet(SettingsContext context, QString instanceID, QWidget* parent);

    const LauncherConfiguration& draft() const { return m_draft; }
    QComboBox* applicationPicker() const { return m_application; }
    QLineEdit* pathField() const { return m_path; }
    QPushButton* browseButton() const { return m_browse; }
    QPushButton* saveButton() const { return m_save; }
    QPushButton* cancelButton() const { return m_cancel; }
    QLabel* errorLabel() const { return m_error; }
    QWidget* customPanel() const { return m_custom; }
    // "Opens" and the name the widget shows, once the custom path leads to an application.
    QLabel* chosenLabel() const { return m_chosen; }

    void browse();
    // Stores the draft and closes, or shows why the application can't be used.
    void save();

private:
    void setDraft(const LauncherConfiguration& draft);
    void showDraft();
    // The custom application's name, or empty while the path leads to none.
    QString chosenName() const;

    SettingsContext m_context;
    QString m_instanceID;
    LauncherConfiguration m_draft;
    QComboBox* m_application;
    QWidget* m_custom;
    QLineEdit* m_path;
    QPushButton* m_browse;
    QLabel* m_chosen;
    QLabel* m_error;
    QPushButton* m_save;
    QPushButton* m_cancel;
};
