#pragma once

#include "model/FocusSession.h"

#include <QDateTime>
#include <QObject>
#include <optional>

// The dashboard's focus timer and the widgets' own copies of it: what a tap does to them, when
// they complete, and how they keep their length through a step of the wall clock. The owner
// saves them and tells the user when they change or complete.
class FocusTimers : public QObject {
    Q_OBJECT

public:
    const FocusSession& main() const { return m_main; }
    const FocusCopies& copies() const { return m_copies; }
    // A copy not made yet reads as a fresh timer of the chosen length.
    FocusSession copy(const QString& instance, int chosenMinutes) const;

    // What the files held. A main timer that ran out while the program was closed completes
    // without a word.
    void restore(const FocusSession& main, const FocusCopies& copies, const QDateTime& now);

    void toggleMain(const QDateTime& now);
    void resetMain(int chosenMinutes);
    // "focus.toggle", "focus.reset" or "focus.setMinutes" on a widget's copy. Throws WidgetError
    // for a length out of range or a running copy; other methods do nothing.
    void controlCopy(const QString& instance, const QString& method, std::optional<int> minutes,
                     const QDateTime& now, int chosenMinutes);

    // Completes every timer whose end has come.
    void completeDue(const QDateTime& now);
    // A countdown lasts as long as it was set for, whatever the wall clock was set to meanwhile.
    void keepThroughStep(double seconds);

    static FocusSession fresh(int minutes);

signals:
    void mainChanged();
    void copiesChanged();
    // Once per completed timer.
    void completed(bool mainTimer);

private:
    FocusSession m_main = fresh(25);
    FocusCopies m_copies;
};
