#include "FileDialogChooser.h"

#include <QFileDialog>

void FileDialogChooser::choose(const QString& title, bool files, Completion completion) {
    auto* dialog = new QFileDialog(m_parent, title);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(files ? QFileDialog::ExistingFile : QFileDialog::Directory);
    if (!files)
        dialog->setOption(QFileDialog::ShowDirsOnly);
    // Exactly one answer, whichever way the dialog ends.
    auto answered = std::make_shared<bool>(false);
    QObject::connect(dialog, &QFileDialog::fileSelected, dialog,
                     [completion, answered](const QString& path) {
                         if (*answered)
                             return;
                         *answered = true;
                         completion(path.isEmpty() ? std::nullopt : std::optional(path));
                     });
    QObject::connect(dialog, &QFileDialog::finished, dialog, [completion, answered](int) {
        if (*answered)
            return;
        *answered = true;
        completion(std::nullopt);
    });
    dialog->open();
}
