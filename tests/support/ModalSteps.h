#pragma once

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QList>
#include <QPair>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QtTest>
#include <functional>

// The modal windows a scenario expects, answered in the order they open.
// Windows of class `Skipped` (the window under test itself) are not counted.
// One that opens when nothing is expected is a failure and is closed; so is
// a window left open by a step whose check failed, so that a failing test
// ends at once instead of waiting on its dialog.
template <typename Skipped>
class ModalSteps : public QObject
{
public:
    using Step = std::function<void(QWidget*)>;
    ModalSteps()
    {
        connect(&timer, &QTimer::timeout, this, &ModalSteps::tick);
        timer.start(5);
        qApp->installEventFilter(this);
    }
    ~ModalSteps() override { qApp->removeEventFilter(this); }
    void then(const QString& what, Step step) { steps.append({what, std::move(step)}); }
    bool done() const { return steps.isEmpty() && failures.isEmpty(); }
    // The steps not taken yet.
    QStringList pending() const
    {
        QStringList names;
        for (const auto& step : steps)
            names << step.first;
        return names;
    }
    QStringList failures;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto dialog = qobject_cast<QDialog*>(watched);
        if (event->type() == QEvent::Show && dialog && dialog->isModal()
            && !qobject_cast<Skipped*>(dialog))
            shown << dialog;
        return false;
    }

private:
    void tick()
    {
        while (!shown.isEmpty() && (!shown.first() || !shown.first()->isVisible()))
            shown.removeFirst();
        if (shown.isEmpty() || QApplication::activeModalWidget() != shown.first())
            return;
        QPointer<QWidget> modal = shown.takeFirst();
        if (steps.isEmpty()) {
            failures << QStringLiteral("unexpected window ") + modal->objectName();
            modal->close();
            return;
        }
        const auto step = steps.takeFirst();
        step.second(modal);
        if (QTest::currentTestFailed() && modal && modal->isVisible()) {
            failures << QStringLiteral("failed at ") + step.first;
            if (auto dialog = qobject_cast<QDialog*>(modal.data()))
                dialog->reject();
            else
                modal->close();
        }
    }
    QTimer timer;
    QList<QPair<QString, Step>> steps;
    QList<QPointer<QWidget>> shown;
};
