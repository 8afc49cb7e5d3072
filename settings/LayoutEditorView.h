#pragma once

#include "model/PageLayout.h"
#include "settings/LayoutEditing.h"
#include "settings/SettingsContext.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

class DisplayMap;
class LauncherSettingsSheet;
class PackageList;
class QBoxLayout;
class QComboBox;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QVBoxLayout;

// The "Layouts" tab: the page buttons, the display map of the edited page, the inspector of the
// selected section with its arrangements and sizes, the presets, the undo history and the
// library of packages to place. All rules live in LayoutEditing; this view shows them.
class LayoutEditorView : public QWidget {
    Q_OBJECT

public:
    LayoutEditorView(SettingsContext context, QWidget* parent = nullptr);

    LayoutEditing& editing() { return m_editing; }
    DisplayMap* map() const { return m_map; }
    QPushButton* pageButton(Board board) const { return m_pageButtons.value(int(board)); }
    QPushButton* addPageButton() const { return m_addPage; }
    QPushButton* deletePageButton() const { return m_deletePage; }
    QPushButton* resetPageButton() const { return m_resetPage; }
    QPushButton* undoButton() const { return m_undo; }
    QLabel* savedBadge() const { return m_saved; }
    bool savedShown() const;
    QLabel* countLabel() const { return m_count; }
    QLabel* inspectorTitle() const { return m_inspectorTitle; }
    QLabel* inspectorSubtitle() const { return m_inspectorSubtitle; }
    QPushButton* removeButton() const { return m_remove; }
    QPushButton* configureButton() const { return m_configure; }
    // Side by side, stack 2, stack 3.
    QPushButton* arrangementButton(int index) const { return m_arrangements.value(index); }
    QPushButton* presetButton(PageLayout::Preset preset) const {
        return m_presets.value(int(preset));
    }
    QPushButton* lessButton(PageLayout::ResizeAxis axis) const;
    QPushButton* moreButton(PageLayout::ResizeAxis axis) const;
    QSlider* slider(PageLayout::ResizeAxis axis) const;
    QLabel* axisHint(PageLayout::ResizeAxis axis) const;
    QLineEdit* searchField() const { return m_search; }
    QComboBox* categoryPicker() const { return m_category; }
    PackageList* libraryList() const { return m_library; }
    QLabel* libraryEmpty() const { return m_libraryEmpty; }
    // The hint under the map, and its answers while a package waits to be placed.
    QLabel* hint() const { return m_hint; }
    QPushButton* replaceButton() const { return m_replace; }
    QPushButton* cancelPlacingButton() const { return m_cancelPlacing; }
    LauncherSettingsSheet* launcherSheet() const;

private:
    struct AxisControls {
        QWidget* controls = nullptr;
        QLabel* hint = nullptr;
        QPushButton* less = nullptr;
        QPushButton* more = nullptr;
        QSlider* slider = nullptr;
        QLabel* value = nullptr;
    };

    QWidget* header();
    QWidget* pagesRow();
    QWidget* mapCard();
    QWidget* inspectorCard();
    QWidget* presetsRow();
    QWidget* libraryCard();
    QWidget* axisRow(PageLayout::ResizeAxis axis);
    void fitOrientation();
    void showState();
    void showPages();
    void showHint();
    void showInspector();
    void showAxis(PageLayout::ResizeAxis axis);
    void showLibrary();
    void fillCategories();
    void confirmDelete();
    void confirmReset();
    void configure();
    QColor accent() const;

    SettingsContext m_context;
    LayoutEditing m_editing;
    QGridLayout* m_body = nullptr;
    QWidget* m_mapCard = nullptr;
    QWidget* m_inspectorCard = nullptr;
    QWidget* m_presetsRow = nullptr;
    QBoxLayout* m_inspectorPanel = nullptr;
    QGridLayout* m_presetGrid = nullptr;
    QLabel* m_presetsLabel = nullptr;
    bool m_vertical = false;
    DisplayMap* m_map = nullptr;
    QLabel* m_count = nullptr;
    QLabel* m_hint = nullptr;
    QPushButton* m_replace = nullptr;
    QPushButton* m_cancelPlacing = nullptr;
    QWidget* m_savedBadge = nullptr;
    QLabel* m_savedIcon = nullptr;
    QLabel* m_saved = nullptr;
    QPushButton* m_undo = nullptr;
    QHBoxLayout* m_pagesLayout = nullptr;
    QHash<int, QPushButton*> m_pageButtons;
    QPushButton* m_addPage = nullptr;
    QPushButton* m_deletePage = nullptr;
    QPushButton* m_resetPage = nullptr;
    QWidget* m_noSelection = nullptr;
    QWidget* m_selectionPanel = nullptr;
    QLabel* m_inspectorTitle = nullptr;
    QLabel* m_inspectorSubtitle = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_configure = nullptr;
    QList<QPushButton*> m_arrangements;
    AxisControls m_width;
    AxisControls m_height;
    QHash<int, QPushButton*> m_presets;
    QLineEdit* m_search = nullptr;
    QComboBox* m_category = nullptr;
    PackageList* m_library = nullptr;
    QLabel* m_libraryEmpty = nullptr;
    QPointer<LauncherSettingsSheet> m_sheet;
};

// The drawing on an arrangement button: `count` bars side by side or stacked.
QIcon arrangementIcon(bool stacked, int count, const QColor& colour);
// The drawing on a preset button: the preset's sections on a page of that orientation.
QIcon presetIcon(PageLayout::Preset preset, LayoutOrientation orientation, const QColor& colour);
QSize presetIconSize(LayoutOrientation orientation);
