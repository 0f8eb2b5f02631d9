// The cost of the preparation window's undo stack and of its autosave on a
// long exercise: about 1 MB of Italian plain text converted in the real
// window (offscreen), then level changes made with the keys (the level key
// Space on a focused level button, the arrow keys between them), each timed
// with the events that follow it (the autosave timer, when due, hands the
// exercise to the recovery file there) and the repaint of the text. Measured
// with the autosave after every change (the worst case), with the program's
// own delay, and without a recovery folder; then undo and redo of a level
// change and of a removal, and one whole write of the recovery file (made on
// the writer's thread, never on the window's).

#include "BenchSupport.h"
#include "authoring/Uprepara.h"
#include "authoring/Urecupero.h"
#include "model/DialogService.h"
#include "model/Funzioni.h"
#include "shell/Umascher.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

namespace {


// Every question is answered Sì (removing a sentence is the only one asked).
class YesDialogs final : public DialogService
{
public:
    DialogButton ask(const QString&, const QString&, DialogButtons, DialogIcon) override { return YesButton; }
    QString openFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&) override { return {}; }
    bool chooseFont(QFont&, const QString&, int) override { return false; }
    bool setupPrinter(QPrinter&, const QString&) override { return false; }
};

// `changes` level changes with the keys near the middle of the text, each
// timed with the events it sets off and the repaint, `pauseMs` apart (the
// pauses, in which the events go on, are not timed).
Times levelKeys(Tprepara& window, int changes, int pauseMs = 0)
{
    Tevidenziatore& model = *window.textModel();
    model.currentSentence = model.sentenceCount / 2;
    window.scrollIntoView(model.currentSentence);
    window.nonImportanteBut->setFocus();
    std::vector<double> all;
    for (int n = 0; n < changes; ++n) {
        QElapsedTimer timer;
        timer.start();
        QWidget* focused = QApplication::focusWidget();
        QTest::keyClick(focused ? focused : window.nonImportanteBut, n % 4 == 3 ? Qt::Key_Down : Qt::Key_Space);
        if (n % 4 != 3)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        QCoreApplication::processEvents();
        window.PaintCanvas->repaint();
        all.push_back(msSince(timer));
        if (pauseMs > 0)
            QTest::qWait(pauseMs);
    }
    std::sort(all.begin(), all.end());
    return {all[all.size() / 2], all.back()};
}

// The mirrors written so far (the writer done with those asked for).
int written(Tprepara& window)
{
    RecoveryFile* file = window.recovery()->file();
    if (!file)
        return 0;
    file->waitForWriter();
    return file->mirrorsWritten();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    YesDialogs dialogs;
    setDialogService(&dialogs);
    AppContext context;
    context.programFolder = locateProgramFolder(QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
    QTemporaryDir scratch;
    context.dataRoot = scratch.path() + QLatin1Char('/');
    context.recoveryFolder = scratch.path() + QStringLiteral("/utente/recupero/");
    QDir().mkpath(context.dataRoot + QStringLiteral("esercizi"));
    const QStringList text = italianText(1 << 20);
    qint64 bytes = 0;
    for (const QString& line : text)
        bytes += line.toUtf8().size() + 2;
    std::printf("text: %lld bytes\n", static_cast<long long>(bytes));

    Tprepara window(context);
    if (!window.loadError().isEmpty()) {
        std::printf("%s\n", qPrintable(window.loadError()));
        return 1;
    }
    window.resize(1000, 700);
    window.show();
    window.activateWindow();
    QApplication::processEvents();
    Trecupero::setDelayForTests(0);
    window.takeConvertedText(text, QLatin1Char('.'));
    std::printf("  %d sentences\n", window.textModel()->sentenceCount);

    report("level key, autosave after every change", levelKeys(window, 300), "16 ms");
    RecoveryFile* file = window.recovery()->file();
    const int stressWrites = written(window);
    std::printf("  recovery file: %lld bytes, %d writes for %d changes\n",
                static_cast<long long>(QFileInfo(file->path()).size()), stressWrites,
                window.undoStack()->count());
    Trecupero::setDelayForTests(1000);
    report("level key 15 ms apart, autosave 1 s after", levelKeys(window, 300, 15), "16 ms");
    std::printf("  %d writes meanwhile\n", written(window) - stressWrites);
    report("hand-off of the exercise to the writer", timesOf(20, [&] {
               window.recovery()->mirror();
               QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
           }), "16 ms (with the key that follows)");
    // The whole write of the file, as the writer's thread makes it.
    RecoveredWork work;
    work.lines = window.textModel()->lines;
    work.task = QStringLiteral("Colora le frasi importanti.");
    report("one write of the recovery file (writer thread)", timesOf(10, [&] { file->mirrorNow(work); }),
           "none (off the window's thread)");

    AppContext noRecovery = context;
    noRecovery.recoveryFolder.clear();
    Tprepara plain(noRecovery);
    plain.resize(1000, 700);
    plain.show();
    plain.takeConvertedText(text, QLatin1Char('.'));
    report("level key 15 ms apart, no recovery folder", levelKeys(plain, 300, 15), "16 ms");
    plain.undoStack()->clear();

    // Undo and redo: a level change, a removal.
    QUndoStack* stack = window.undoStack();
    report("undo a level change + repaint", timesOf(30, [&] {
               stack->undo();
               window.PaintCanvas->repaint();
           }), "16 ms");
    report("redo a level change + repaint", timesOf(30, [&] {
               stack->redo();
               window.PaintCanvas->repaint();
           }), "16 ms");
    // Removals of sentences in the middle, through the window.
    Tevidenziatore& model = *window.textModel();
    report("remove a sentence + relayout + repaint", timesOf(30, [&] {
               model.currentSentence = model.sentenceCount / 2;
               window.rimuovi->trigger();
               window.PaintCanvas->repaint();
           }), "16 ms");
    report("undo a removal + repaint", timesOf(30, [&] {
               stack->undo();
               window.PaintCanvas->repaint();
           }), "16 ms");
    report("redo a removal + repaint", timesOf(30, [&] {
               stack->redo();
               window.PaintCanvas->repaint();
           }), "16 ms");
    window.modified = false;
    Trecupero::setDelayForTests(1000);
    return 0;
}
