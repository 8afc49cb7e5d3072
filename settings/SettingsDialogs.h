#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QWidget;

// The settings window's questions to the user: alerts, file choosers and the colour chooser.
// Every answer comes later through a callback, so nothing waits in a loop of its own; tests
// answer them directly.
class SettingsDialogs {
public:
    struct Alert {
        QString message;
        QString informative;
        QStringList buttons;   // the last one cancels (Escape)
        int defaultButton = 0; // the one Return chooses
    };
    // The index of the chosen button.
    using Answer = std::function<void(int button)>;
    using Chosen = std::function<void(const std::optional<QString>& path)>;
    using Picked = std::function<void(const QColor& colour)>;

    virtual ~SettingsDialogs() = default;
    virtual void ask(QWidget* parent, const Alert& alert, Answer answer) = 0;
    // A single folder; nothing when cancelled.
    virtual void chooseFolder(QWidget* parent, const QString& title, Chosen chosen) = 0;
    // A program or a desktop entry, starting in `folder`.
    virtual void chooseApplication(QWidget* parent, const QString& title, const QString& folder,
                                   Chosen chosen) = 0;
    // Called once with the colour, and only when one was chosen.
    virtual void chooseColor(QWidget* parent, const QString& title, const QColor& current,
                             Picked picked) = 0;
};

// The desktop's own dialogs, opened as window-modal sheets of the settings window.
class WidgetSettingsDialogs : public SettingsDialogs {
public:
    void ask(QWidget* parent, const Alert& alert, Answer answer) override;
    void chooseFolder(QWidget* parent, const QString& title, Chosen chosen) override;
    void chooseApplication(QWidget* parent, const QString& title, const QString& folder,
                           Chosen chosen) override;
    void chooseColor(QWidget* parent, const QString& title, const QColor& current,
                     Picked picked) override;
};
