#pragma once

#include "settings/PackageLibrary.h"
#include "settings/PackageList.h"
#include "settings/SettingsContext.h"

#include <QColor>
#include <QPointer>
#include <QWidget>

class LauncherSettingsSheet;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QVBoxLayout;

// The "Widgets" tab: the installed packages with their details, or the widgets placed on the
// pages, both filtered by name and category; installing a package from a folder, uninstalling a
// custom one, the package folders and reloading.
class WidgetLibraryView : public QWidget {
    Q_OBJECT

public:
    WidgetLibraryView(SettingsContext context, QWidget* parent = nullptr);

    // The install flow: a folder chooser, validation, confirmation, install.
    void install();
    void setShowsInstances(bool instances);

    QPushButton* installButton() const { return m_install; }
    QToolButton* actionsButton() const { return m_actions; }
    QPushButton* installedTab() const { return m_installedTab; }
    QPushButton* pagesTab() const { return m_pagesTab; }
    QLineEdit* searchField() const { return m_search; }
    QComboBox* categoryPicker() const { return m_category; }
    QLabel* errorLabel() const { return m_error; }
    QLabel* registryErrors() const { return m_registryErrors; }
    PackageList* packageList() const { return m_packages; }
    QLabel* emptyLabel() const { return m_empty; }
    QLabel* emptyHint() const { return m_emptyHint; }
    // The details pane's name, rows ("Label\tValue" each), note and buttons.
    QLabel* detailsName() const { return m_detailsName; }
    QStringList detailRows() const;
    QLabel* detailsNote() const { return m_detailsNote; }
    // The selected package's picture; hidden without one.
    QWidget* detailsPreview() const { return m_detailsPreview; }
    QPushButton* addToPageButton() const { return m_addToPage; }
    QPushButton* revealButton() const { return m_reveal; }
    QPushButton* uninstallButton() const { return m_uninstall; }
    // The instance list's rows: their text and their two buttons.
    struct InstanceRow {
        QString page;
        QString name;
        QPushButton* show;
        QPushButton* configure; // none for other widgets than launchers
    };
    QList<InstanceRow> instanceRows() const;
    LauncherSettingsSheet* launcherSheet() const;

signals:
    // "Add to Page…": the package is to be placed in the layout editor.
    void addToPage(const QString& packageID);

private:
    QWidget* header();
    QWidget* filters();
    QWidget* installedPanel();
    QWidget* instancesPanel();
    void fillCategories();
    void filter();
    void showState();
    void showPackages();
    QList<PackageList::Row> packageRows() const;
    void showPreview(const QString& packageID);
    void showDetailsPreview();
    void showDetails(const std::optional<WidgetPackage>& package);
    void showInstances(const QList<WidgetPackage>& matches);
    void configure(const QString& instanceID);
    void uninstall();

    SettingsContext m_context;
    bool m_showsInstances = false;
    std::optional<QString> m_selectedID;
    QList<WidgetPackage> m_matches;
    std::optional<WidgetPackage> m_shown;
    QColor m_shownAccent;
    QPushButton* m_install = nullptr;
    QToolButton* m_actions = nullptr;
    QPushButton* m_installedTab = nullptr;
    QPushButton* m_pagesTab = nullptr;
    QLineEdit* m_search = nullptr;
    QComboBox* m_category = nullptr;
    QLabel* m_error = nullptr;
    QWidget* m_installed = nullptr;
    QWidget* m_instances = nullptr;
    PackageList* m_packages = nullptr;
    QLabel* m_registryErrors = nullptr;
    QWidget* m_details = nullptr;
    QLabel* m_detailsBadge = nullptr;
    QLabel* m_detailsName = nullptr;
    QWidget* m_detailRows = nullptr;
    QLabel* m_detailsNote = nullptr;
    QWidget* m_detailsPreview = nullptr;
    QPushButton* m_addToPage = nullptr;
    QPushButton* m_reveal = nullptr;
    QPushButton* m_uninstall = nullptr;
    QVBoxLayout* m_instanceList = nullptr;
    QList<InstanceRow> m_instanceRows;
    QList<PackageLibrary::Instance> m_instancesShown;
    QColor m_instancesAccent;
    QWidget* m_emptyPanel = nullptr;
    QLabel* m_empty = nullptr;
    QLabel* m_emptyHint = nullptr;
    QPointer<LauncherSettingsSheet> m_sheet;
};
