#include "SettingsDialogs.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <memory>

namespace {

// Exactly one answer, whichever way a file dialog ends.
void answerOnce(QFileDialog* dialog, SettingsDialogs::Chosen chosen) {
    auto answered = std::make_shared<bool>(false);
    QObject::connect(dialog, &QFileDialog::fileSelected, dialog,
                     [chosen, answered](const QString& path) {
                         if (std::exchange(*answered, true))
                             return;
                         chosen(path.isEmpty() ? std::nullopt : std::optional(path));
                     });
    QObject::connect(dialog, &QFileDialog::finished, dialog, [chosen, answered](int) {
        if (!std::exchange(*answered, true))
            chosen(std::nullopt);
    });
    dialog->open();
}

} // namespace

void WidgetSettingsDialogs::ask(QWidget* parent, const Alert& alert, Answer answer) {
    auto* box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Warning);
    box->setText(alert.message);
    box->setInformativeText(alert.informative);
    QList<QPushButton*> buttons;
    for (int index = 0; index < alert.buttons.size(); ++index) {
        const bool cancels = index == alert.buttons.size() - 1 && index > 0;
        buttons.append(box->addButton(alert.buttons[index],
                                      cancels ? QMessageBox::RejectRole : QMessageBox::AcceptRole));
    }
    if (alert.defaultButton >= 0 && alert.defaultButton < buttons.size())
        box->setDefaultButton(buttons[alert.defaultButton]);
    if (!buttons.isEmpty())
        box->setEscapeButton(buttons.last());
    QObject::connect(box, &QMessageBox::finished, box, [box, buttons, answer](int) {
        const auto clicked = buttons.indexOf(qobject_cast<QPushButton*>(box->clickedButton()));
        answer(clicked >= 0 ? int(clicked) : int(buttons.size()) - 1);
    });
    box->open();
}

void WidgetSettingsDialogs::chooseFolder(QWidget* parent, const QString& title, Chosen chosen) {
    auto* dialog = new QFileDialog(parent, title);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    answerOnce(dialog, std::move(chosen));
}

void WidgetSettingsDialogs::chooseApplication(QWidget* parent, const QString& title,
                                              const QString& folder, Chosen chosen) {
    auto* dialog = new QFileDialog(parent, title, folder);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setNameFilters(
            {QStringLiteral("Applications (*.desktop)"), QStringLiteral("Programs (*)")});
    answerOnce(dialog, std::move(chosen));
}

void WidgetSettingsDialogs::chooseColor(QWidget* parent, const QString& title,
                                        const QColor& current, Picked picked) {
    auto* dialog = new QColorDialog(current, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(title);
    QObject::connect(dialog, &QColorDialog::colorSelected, dialog, picked);
    dialog->open();
}
