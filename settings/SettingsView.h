#pragma once

#include "settings/SettingsContext.h"

#include <QPointer>
#include <QWidget>

class GeneralSettingsView;
class LayoutEditorView;
class QPushButton;
class QStackedWidget;
class TouchSurface;
class WidgetLibraryView;

// The settings window's content: the product's name and version, the three tabs "General",
// "Layouts" and "Widgets" following the store's settings tab, each tab's view below. The whole
// content is one touch surface of its own.
class SettingsView : public QWidget {
    Q_OBJECT

public:
    explicit SettingsView(SettingsContext context, QWidget* parent = nullptr);

    GeneralSettingsView* general() const { return m_general; }
    LayoutEditorView* layouts() const { return m_layouts; }
    WidgetLibraryView* library() const { return m_library; }
    QPushButton* tabButton(int index) const { return m_tabs.value(index); }
    TouchSurface* touchSurface() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void tabChanged();
    void applyStyle();

    SettingsContext m_context;
    QList<QPushButton*> m_tabs;
    QStackedWidget* m_pages;
    GeneralSettingsView* m_general;
    LayoutEditorView* m_layouts;
    WidgetLibraryView* m_library;
    QPointer<TouchSurface> m_surface;
    QString m_accent;
};
