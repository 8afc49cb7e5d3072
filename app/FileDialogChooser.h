#pragma once

#include "integrations/FolderChooser.h"

#include <QPointer>

class QWidget;

// Asks with the desktop's file dialog, without blocking the dashboard while it is open.
class FileDialogChooser : public FolderChooser {
public:
    explicit FileDialogChooser(QWidget* parent = nullptr) : m_parent(parent) {}

    void choose(const QString& title, bool files, Completion completion) override;

private:
    QPointer<QWidget> m_parent;
};
