#include "authoring/SourceReader.h"
#include "common/UQuery.h"
#include "authoring/Uedfrase.h"
#include "authoring/Uedit.h"
#include "authoring/Uloaddel.h"
#include "authoring/Urecupero.h"
#include "authoring/Uprepara.h"
#include "authoring/Useparat.h"
#include "model/Funzioni.h"
#include "model/SafeFile.h"
#include "model/TextSources.h"
#include "shell/Umascher.h"
#include "shell/WidgetDialogService.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QClipboard>
#include <QComboBox>
#include <QFontInfo>
#include <QMimeData>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QLockFile>
#include <QScopeGuard>
#include <QtTest>
#include <memory>

using testsupport::readBytes;
using testsupport::toCp1252;
using testsupport::writeBytes;

namespace {

// The context the windows under test are given, made afresh for each test.
AppContext context;

QString exercises()
{
    return context.dataRoot + QStringLiteral("esercizi/");
}

QString texts()
{
    return context.dataRoot + QStringLiteral("testi/");
}

QString writeText(const QString& name, const QString& text)
{
    const QString path = texts() + name;
    writeBytes(path, toCp1252(text));
    return path;
}

// Runs `action` on the next modal window that opens and that no earlier call
// has handled. Windows are told apart by a mark, not by address: a dialog made
// again in the same place (the name dialog asked again) is a new one.
void whenModalShown(std::function<void(QWidget*)> action)
{
    auto timer = new QTimer(qApp);
    auto elapsed = std::make_shared<QElapsedTimer>();
    elapsed->start();
    QObject::connect(timer, &QTimer::timeout, timer, [=]() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible() && !modal->property("handledByTest").toBool()) {
            timer->stop();
            timer->deleteLater();
            modal->setProperty("handledByTest", true);
            action(modal);
            // A failed check closes the window without its questions.
            if (QTest::currentTestFailed() && modal->isVisible()) {
                if (auto dialog = qobject_cast<QDialog*>(modal))
                    dialog->done(QDialog::Rejected);
            }
        } else if (elapsed->elapsed() > 30000) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(10);
}

// Runs `action` on the next popup menu that opens; deleting the timer given
// back stops waiting.
QTimer* whenPopupShown(std::function<void(QMenu*)> action)
{
    auto timer = new QTimer(qApp);
    auto elapsed = std::make_shared<QElapsedTimer>();
    elapsed->start();
    QObject::connect(timer, &QTimer::timeout, timer, [=]() {
        auto menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu || elapsed->elapsed() > 30000) {
            timer->stop();
            timer->deleteLater();
            if (menu)
                action(menu);
        }
    });
    timer->start(10);
    return timer;
}

// Converts the text file `path` in the window, with the full stop or the backslash.
void convertFile(ScriptedDialogs& script, Tprepara& window, const QString& path, bool backslash = false)
{
    script.answerFile(path);
    whenModalShown([backslash](QWidget* modal) {
        auto form = qobject_cast<TsepaForm*>(modal);
        QVERIFY(form);
        QVERIFY(form->puntoRadio->isChecked());
        if (backslash)
            form->barraRadio->setChecked(true);
        QTest::mouseClick(form->OKBtn, Qt::LeftButton);
    });
    window.Aprifileditesto1->trigger();
}

// Answers the name dialog with `name`, after checking its preset text.
void answerName(const QString& name, const QString& preset = QString())
{
    whenModalShown([name, preset](QWidget* modal) {
        auto form = qobject_cast<TFormQuery*>(modal);
        QVERIFY(form);
        QCOMPARE(form->windowTitle(), QStringLiteral("Salva con nome"));
        QCOMPARE(form->Label1->text(), QStringLiteral("Scrivi il nome dell'esercizio"));
        QCOMPARE(form->Edit1->text(), preset);
        form->Edit1->setText(name);
        QTest::mouseClick(form->ButtonOK, Qt::LeftButton);
    });
}

// Answers the exercise chooser with `name` (or Annulla when empty), giving
// the names it listed.
void chooseExercise(const QString& caption, const QString& name, QStringList* listed = nullptr)
{
    whenModalShown([=](QWidget* modal) {
        auto chooser = qobject_cast<TcaricaElimina*>(modal);
        QVERIFY(chooser);
        QCOMPARE(chooser->windowTitle(), caption);
        if (listed) {
            listed->clear();
            for (int i = 0; i < chooser->ComboEsercizi->count(); ++i)
                *listed << chooser->ComboEsercizi->itemText(i);
        }
        if (name.isEmpty()) {
            QTest::mouseClick(chooser->annullaBut, Qt::LeftButton);
            return;
        }
        chooser->ComboEsercizi->setCurrentIndex(chooser->ComboEsercizi->findText(name));
        QTest::keyClick(chooser->ComboEsercizi, Qt::Key_Return);
    });
}

QStringList sentenceOf(Tprepara& window, int n)
{
    QStringList lines;
    window.textModel()->sentenceLines(n, lines);
    return lines;
}

// Presses a mouse button on sentence n, as the teacher sees it, and gives
// the point pressed, in screen coordinates.
QPoint clickSentence(Tprepara& window, int n, Qt::MouseButton button = Qt::LeftButton)
{
    const std::pair<int, int> extent = window.PaintCanvas->sentenceExtent(n);
    const int y = extent.first - window.ScrollBar1->value() + Tevidenziatore::boxPadY + 4;
    if (y < 0 || y >= window.PaintCanvas->height())
        return {};
    QTest::mouseClick(window.PaintCanvas, button, Qt::NoModifier, QPoint(20, y));
    return window.PaintCanvas->mapToGlobal(QPoint(20, y));
}

} // namespace

class TestAuthoring : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void nameDialogAnswersOnlyItsButtons();
    void windowControlsAndLayout();
    void convertMarkWriteTaskSaveAndReopen();
    void sentenceOperationsFromThePopupMenu();
    void questionsAnsweredEachWay();
    void failedSavesAreToldAndKeepTheExerciseModified();
    void whatCannotBeStoredIsRefusedWhenEntered();
    void chooserListsSortedNamesAndFilesWithoutEntry();
    void missingPictureKeepsTheWindowClosed();
    void editorSavesReopensAndConverts();
    void editorQuestionsAndDelete();
    void menusFontAndHelpFromTheKeyboard();
    void enterPressesAndEscClosesOnlyWhatHasTheKey();
    void fontDialogStartsFromTheFontInUse();
    void changedSentencesShowAsTheWholeTextLaidOut();
    void everyChangeIsUndoneAndRedone();
    void unsavedWorkIsOfferedAfterACrash();

private:
    std::unique_ptr<QTemporaryDir> folder;
};

void TestAuthoring::init()
{
    // A small text is read without a progress window, however busy the machine.
    setProgressDelayForTests(60 * 60 * 1000);
    folder = std::make_unique<QTemporaryDir>();
    QVERIFY(folder->isValid());
    context = testsupport::makeContext(folder->path());
    QVERIFY(QDir().mkpath(context.programFolder + QStringLiteral("immagini")));
    QVERIFY(QDir().mkpath(exercises()));
    QVERIFY(QDir().mkpath(texts()));
    for (const char* name : {"nonBu1.bmp", "nonBu2.bmp", "impBu1.bmp", "impBu2.bmp",
                             "moltoBu1.bmp", "moltoBu2.bmp"}) {
        const QString relative = QStringLiteral("/immagini/") + QLatin1String(name);
        QVERIFY(QFile::copy(QStringLiteral(SALIENTA_ASSETS_DIR) + relative, folder->path() + relative));
    }
}

// The name dialog is confirmed or abandoned only by its buttons and its close
// box; Enter and Esc in the edit neither confirm nor close it.
void TestAuthoring::nameDialogAnswersOnlyItsButtons()
{
    TFormQuery form;
    QCOMPARE(form.objectName(), QStringLiteral("TFormQuery"));
    QCOMPARE(form.size(), QSize(339, 192));
    QCOMPARE(form.ButtonOK->text(), QStringLiteral("OK"));
    QCOMPARE(form.ButtonAnnulla->text(), QStringLiteral("Annulla"));
    form.setWindowTitle(QStringLiteral("Salva con nome"));
    form.Label1->setText(QStringLiteral("Scrivi il nome dell'esercizio"));
    form.Edit1->setText(QStringLiteral("primo"));

    using testsupport::whenModalShown;
    int result = -1;
    whenModalShown([&](QWidget* modal) {
        QCOMPARE(modal, static_cast<QWidget*>(&form));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form.Edit1));
        form.Edit1->selectAll();
        QTest::keyClicks(form.Edit1, QStringLiteral("Il gatto"));
        QTest::keyClick(form.Edit1, Qt::Key_Return);
        QTest::keyClick(form.Edit1, Qt::Key_Escape);
        QVERIFY(form.isVisible());
        QTest::keyClick(form.Edit1, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form.ButtonOK));
        QTest::keyClick(form.ButtonOK, Qt::Key_Space);
    });
    result = form.exec();
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(form.Edit1->text(), QStringLiteral("Il gatto"));

    // Enter in the edit presses nothing; on a focused button it presses that button.
    bool stayed = false;
    whenModalShown([&](QWidget*) {
        form.Edit1->setFocus();
        QTest::keyClick(form.Edit1, Qt::Key_Return);
        stayed = form.isVisible();
        QTest::keyClick(form.Edit1, Qt::Key_Tab);
        QTest::keyClick(form.ButtonOK, Qt::Key_Enter, Qt::KeypadModifier);
        if (form.isVisible())
            form.done(2);
    });
    QCOMPARE(form.exec(), int(QDialog::Accepted));
    QVERIFY(stayed);
    whenModalShown([&](QWidget*) {
        form.ButtonAnnulla->setFocus();
        QTest::keyClick(form.ButtonAnnulla, Qt::Key_Return);
        if (form.isVisible())
            form.done(2);
    });
    QCOMPARE(form.exec(), int(QDialog::Rejected));

    whenModalShown([&](QWidget*) { form.close(); });
    QCOMPARE(form.exec(), int(QDialog::Rejected));
    whenModalShown([&](QWidget*) { QTest::mouseClick(form.ButtonAnnulla, Qt::LeftButton); });
    QCOMPARE(form.exec(), int(QDialog::Rejected));
}

void TestAuthoring::windowControlsAndLayout()
{
    Tprepara window(context);
    QVERIFY(window.loadError().isEmpty());
    QCOMPARE(window.objectName(), QStringLiteral("Tprepara"));
    QCOMPARE(window.windowTitle(), QStringLiteral("  preparazione degli esercizi"));
    const char* const controls[] = {"panelSfondo", "PaintCanvas", "suggBut", "suggPanel", "Panel1",
                                    "CancelBtn", "Memo1", "PanelScroll", "ScrollBar1",
                                    "PanelBottoni", "nonImportanteBut", "importanteBut",
                                    "moltoImportanteBut", "MainMenu1", "PopupMenu1", "File1",
                                    "Strumenti1", "Aiuto1"};
    for (const char* name : controls)
        QVERIFY2(window.findChild<QWidget*>(QLatin1String(name)), name);
    const std::pair<const char*, const char*> items[] = {
        {"apri1", "&Apri esercizio..."}, {"Salva1", "&Salva"},
        {"Salvaconnome1", "Sal&va con nome..."}, {"Elimina1", "E&limina esercizio..."},
        {"Aprifileditesto1", "Converti file di &testo..."}, {"Esci1", "&Esci"},
        {"editorditesto1", "&Editor di testo"}, {"opzionidivisualizzazione1", "&Scelta del font"},
        {"PreparazioneDelTesto", "&Preparazione del testo"}, {"Consegna", "&Consegna"},
        {"ModificheAgliEsercizi", "&Modifiche agli esercizi"}, {"rimuovi", "&rimuovi frase"},
        {"sostituisci", "&sostituisci/modifica frase..."},
        {"inseriscisopra", "&inserisci frase sopra..."},
        {"inseriscisotto", "i&nserisci frase sotto..."}, {"annulla1", "&annulla"}};
    for (const auto& item : items) {
        auto action = window.findChild<QAction*>(QLatin1String(item.first));
        QVERIFY2(action, item.first);
        QCOMPARE(action->text(), QString::fromUtf8(item.second));
    }
    QVERIFY(!window.Salva1->isEnabled());
    QVERIFY(!window.Salvaconnome1->isEnabled());
    QVERIFY(!window.suggBut->isEnabled());
    QCOMPARE(window.suggBut->text(), QStringLiteral("&?"));
    QVERIFY(window.suggPanel->isHidden());
    QCOMPARE(window.Panel1->text(), QStringLiteral("COMPITO:"));
    QVERIFY(!window.keyHandlerEnabled());

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (const QSize& size : {QSize(500, 300), QSize(641, 481), QSize(1001, 700)}) {
        window.resize(size);
        QCOMPARE(window.width(), std::max(640, size.width()));
        QCOMPARE(window.height(), std::max(480, size.height()));
        const int sfondo = window.panelSfondo->width();
        QCOMPARE(window.nonImportanteBut->width(), sfondo / 3);
        QCOMPARE(window.moltoImportanteBut->width(), sfondo / 3);
        QCOMPARE(window.importanteBut->width(), sfondo - 2 * (sfondo / 3));
        QCOMPARE(window.importanteBut->x(), window.nonImportanteBut->geometry().right() + 1);
        QCOMPARE(window.moltoImportanteBut->x(), window.importanteBut->geometry().right() + 1);
        QCOMPARE(window.PanelScroll->width(), 21);
        QCOMPARE(window.suggPanel->height(), 203);
        QCOMPARE(window.suggBut->geometry().right(), sfondo - 1 - window.panelSfondo->frameWidth());
        QCOMPARE(window.PaintCanvas->picture().size(), window.PaintCanvas->size());
    }

    // The focused level button shows its "2" picture, the others their "1" picture.
    auto glyph = [](QPushButton* button) { return button->icon().pixmap(QSize(200, 80)).toImage(); };
    auto picture = [](const char* name) {
        return QImage(context.programFolder + QStringLiteral("immagini/") + QLatin1String(name))
            .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    };
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.importanteBut->setFocus();
    QCOMPARE(glyph(window.importanteBut).convertToFormat(QImage::Format_ARGB32_Premultiplied), picture("impBu2.bmp"));
    QCOMPARE(glyph(window.nonImportanteBut).convertToFormat(QImage::Format_ARGB32_Premultiplied), picture("nonBu1.bmp"));
    window.nonImportanteBut->setFocus();
    QCOMPARE(glyph(window.importanteBut).convertToFormat(QImage::Format_ARGB32_Premultiplied), picture("impBu1.bmp"));
    QCOMPARE(glyph(window.nonImportanteBut).convertToFormat(QImage::Format_ARGB32_Premultiplied), picture("nonBu2.bmp"));
}

void TestAuthoring::convertMarkWriteTaskSaveAndReopen()
{
    ScriptedDialogs script;
    const QString path = writeText(QStringLiteral("gatto.txt"),
                                   QString::fromUtf8("Il gatto dorme. Il cane\r\nabbaia forte.  Fine della storia\r\n"
                                                     "\r\nPerché? Così.\r\nUltima. Davvero.\r\n"));
    Tprepara window(context);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    convertFile(script, window, path);
    QCOMPARE(script.last().kind, QStringLiteral("open"));
    QCOMPARE(script.last().text, texts().chopped(1) + QLatin1Char('|') + sourceFileFilter());
    QVERIFY(window.textLoaded);
    QVERIFY(window.modified);
    QVERIFY(window.exerciseName.isEmpty());
    QVERIFY(window.Salva1->isEnabled());
    QVERIFY(window.suggBut->isEnabled());
    QVERIFY(window.keyHandlerEnabled());
    Tevidenziatore* model = window.textModel();
    QCOMPARE(model->sentenceCount, 5);
    QCOMPARE(model->currentSentence, 0);
    QCOMPARE(sentenceOf(window, 1), QStringList{QStringLiteral("Il cane abbaia forte.")});
    QCOMPARE(sentenceOf(window, 2), QStringList{QString::fromUtf8("Fine della storia Perché? Così.")});

    // Keys: Down moves, Right moves the focus, Space presses the focused level.
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(window.nonImportanteBut));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
    QCOMPARE(model->currentSentence, 0);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(window.importanteBut));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(model->importanceOf(1), importante);
    QCOMPARE(model->currentSentence, 1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(window.nonImportanteBut));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(window.moltoImportanteBut));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(window.importanteBut));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
    QCOMPARE(model->currentSentence, 4);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QCOMPARE(model->currentSentence, 4);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Home);
    QCOMPARE(model->currentSentence, 0);
    // Tab goes through the level buttons, then to the task button.
    window.nonImportanteBut->setFocus();
    for (QWidget* next : std::initializer_list<QWidget*>{window.importanteBut, window.moltoImportanteBut, window.suggBut}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    QTest::keyClick(window.suggBut, Qt::Key_Right);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(window.moltoImportanteBut));

    // Mouse: a click selects the sentence, the level button marks it and it stays current.
    clickSentence(window, 2);
    QCOMPARE(model->currentSentence, 2);
    QTest::mouseClick(window.moltoImportanteBut, Qt::LeftButton);
    QCOMPARE(model->importanceOf(2), moltoImportante);
    QCOMPARE(model->currentSentence, 2);
    QCOMPARE(model->importanceOf(0), nonImportante);
    QCOMPARE(window.PaintCanvas->picture().pixelColor(window.PaintCanvas->picture().width() - 40, 2), QColor(Qt::white));

    // The task: two lines typed in the panel, which Esc closes.
    QTest::mouseClick(window.suggBut, Qt::LeftButton);
    QVERIFY(!window.suggPanel->isHidden());
    QVERIFY(!window.keyHandlerEnabled());
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(window.Memo1));
    QTest::keyClicks(window.Memo1, QStringLiteral("Leggi il testo."));
    QTest::keyClick(window.Memo1, Qt::Key_Return);
    QTest::keyClicks(window.Memo1, QStringLiteral("Poi colora le frasi."));
    QTest::keyClick(window.Memo1, Qt::Key_Down);   // the memo's own key, not the next sentence
    QCOMPARE(model->currentSentence, 2);
    QTest::keyClick(window.Memo1, Qt::Key_Escape);
    QVERIFY(window.suggPanel->isHidden());
    QVERIFY(window.keyHandlerEnabled());
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(window.nonImportanteBut));

    // "Salva" on a new exercise names it first; blanks round the name go.
    answerName(QStringLiteral("  Il gatto e il cane  "));
    window.Salva1->trigger();
    QVERIFY(!window.modified);
    QCOMPARE(window.exerciseName, QStringLiteral("Il gatto e il cane"));
    QCOMPARE(readBytes(exercises() + QStringLiteral("LONGNAME.LST")),
             QByteArray("ILGATTOE.S01=Il gatto e il cane\r\n"));
    const QByteArray expected = toCp1252(QString::fromUtf8(
        "[compito]\r\nLeggi il testo.\r\nPoi colora le frasi.\r\n[testo]\r\n"
        "~nonImportante~\r\nIl gatto dorme.\r\n~importante~\r\nIl cane abbaia forte.\r\n"
        "~moltoImportante~\r\nFine della storia Perché? Così.\r\n~nonImportante~\r\nUltima.\r\n"
        "~nonImportante~\r\nDavvero.\r\n"));
    QCOMPARE(readBytes(exercises() + QStringLiteral("ILGATTOE.S01")), expected);

    // "Salva" on a named exercise replaces its file without asking.
    QTest::mouseClick(window.importanteBut, Qt::LeftButton);
    QVERIFY(window.modified);
    const int asked = int(script.asked().size());
    window.Salva1->trigger();
    QCOMPARE(int(script.asked().size()), asked);
    QVERIFY(!window.modified);
    QVERIFY(readBytes(exercises() + QStringLiteral("ILGATTOE.S01")).contains("~importante~\r\nFine"));

    // Reopened in another window: the levels, the task with its two lines.
    Tprepara other(context);
    other.show();
    chooseExercise(QStringLiteral("  scegli un esercizio"), QStringLiteral("Il gatto e il cane"));
    other.apri1->trigger();
    QVERIFY(other.textLoaded);
    QVERIFY(!other.modified);
    QCOMPARE(other.exerciseName, QStringLiteral("Il gatto e il cane"));
    QCOMPARE(other.textModel()->importanceOf(1), importante);
    QCOMPARE(other.textModel()->importanceOf(2), importante);
    QCOMPARE(other.Memo1->toPlainText(), QStringLiteral("Leggi il testo.\nPoi colora le frasi."));
    QCOMPARE(other.textModel()->compito, QStringLiteral("Leggi il testo.\r\nPoi colora le frasi."));
    QVERIFY(other.keyHandlerEnabled());
    other.close();
    QVERIFY(!other.isVisible());
}

void TestAuthoring::sentenceOperationsFromThePopupMenu()
{
    ScriptedDialogs script;
    const QString path = writeText(QStringLiteral("numeri.txt"),
                                   QStringLiteral("uno\\ due\\\\tre\\quattro\\"));
    Tprepara window(context);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    convertFile(script, window, path, true);
    Tevidenziatore* model = window.textModel();
    QCOMPARE(model->sentenceCount, 5);   // "uno", "due", an empty one, "tre", "quattro"
    QCOMPARE(sentenceOf(window, 3), QStringList{QStringLiteral("tre")});

    // A right click on a sentence makes it current and opens the menu beside the pointer.
    QPoint menuAt;
    whenPopupShown([&](QMenu* menu) {
        menuAt = menu->pos();
        menu->close();
    });
    const QPoint pointer = clickSentence(window, 1, Qt::RightButton);
    QCOMPARE(model->currentSentence, 1);
    QCOMPARE(menuAt, pointer + QPoint(5, 5));
    // A left click, or a right click with Shift, opens no menu.
    QPointer<QMenu> unexpected;
    QPointer<QTimer> watch = whenPopupShown([&](QMenu* menu) {
        unexpected = menu;
        menu->close();
    });
    clickSentence(window, 0);
    QCOMPARE(model->currentSentence, 0);
    QTest::mouseClick(window.PaintCanvas, Qt::RightButton, Qt::ShiftModifier, QPoint(20, 20));
    QTest::qWait(50);
    QVERIFY(!unexpected);
    delete watch;
    model->currentSentence = 1;

    // Replace: the dialog comes preset with the sentence and its level.
    model->setImportance(1, moltoImportante);
    whenModalShown([&](QWidget* modal) {
        auto dialog = qobject_cast<TeditFrase*>(modal);
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QStringLiteral(" sostituisci la frase"));
        QVERIFY(!window.keyHandlerEnabled());
        QCOMPARE(dialog->memoFrase->toPlainText(), QStringLiteral("due"));
        QCOMPARE(dialog->memoFrase->textCursor().selectedText(), QStringLiteral("due"));
        QCOMPARE(dialog->memoFrase->textCursor().position(), 0);
        QCOMPARE(dialog->choiceIndex(), 2);
        QTest::keyClicks(dialog->memoFrase, QStringLiteral("DUE nuova"));
        QTest::mouseClick(dialog->Image2, Qt::LeftButton);
        QCOMPARE(dialog->choiceIndex(), 1);
        QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    });
    window.sostituisci->trigger();
    QVERIFY(window.keyHandlerEnabled());
    QCOMPARE(model->sentenceCount, 5);
    QCOMPARE(model->currentSentence, 1);
    QCOMPARE(sentenceOf(window, 1), QStringList{QStringLiteral("DUE nuova")});
    QCOMPARE(model->importanceOf(1), importante);

    // Insert above: the new sentence is current; Annulla changes nothing.
    auto insertText = [](const QString& text, int choice) {
        whenModalShown([=](QWidget* modal) {
            auto dialog = qobject_cast<TeditFrase*>(modal);
            QVERIFY(dialog);
            QCOMPARE(dialog->windowTitle(), QStringLiteral(" inserisci la frase"));
            QCOMPARE(dialog->choiceIndex(), 0);
            if (text.isEmpty()) {
                QTest::keyClick(dialog->memoFrase, Qt::Key_Escape);
                return;
            }
            dialog->memoFrase->setPlainText(text);
            if (choice == 2)
                QTest::mouseClick(dialog->Image3, Qt::LeftButton);
            QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
        });
    };
    insertText(QStringLiteral("sopra"), 0);
    window.inseriscisopra->trigger();
    QCOMPARE(model->sentenceCount, 6);
    QCOMPARE(model->currentSentence, 1);
    QCOMPARE(sentenceOf(window, 1), QStringList{QStringLiteral("sopra")});
    QCOMPARE(sentenceOf(window, 2), QStringList{QStringLiteral("DUE nuova")});
    insertText(QString(), 0);
    window.inseriscisopra->trigger();
    QCOMPARE(model->sentenceCount, 6);

    // Insert below the last sentence appends and leaves the old last one current.
    QTest::keyClick(window.nonImportanteBut, Qt::Key_End);
    QCOMPARE(model->currentSentence, 5);
    insertText(QStringLiteral("in fondo"), 2);
    window.inseriscisotto->trigger();
    QCOMPARE(model->sentenceCount, 7);
    QCOMPARE(model->currentSentence, 5);
    QCOMPARE(sentenceOf(window, 6), QStringList{QStringLiteral("in fondo")});
    QCOMPARE(model->importanceOf(6), moltoImportante);

    // Remove, through the popup menu's accelerator: No keeps, Yes removes.
    // (Sentence 3 is the empty one, which no click can reach.)
    QCOMPARE(sentenceOf(window, 4), QStringList{QStringLiteral("tre")});
    whenPopupShown([&](QMenu* menu) {
        QCOMPARE(menu, window.PopupMenu1);
        script.answer(NoAnswerButton);
        QTest::keyClick(menu, Qt::Key_R);
    });
    clickSentence(window, 4, Qt::RightButton);
    QCOMPARE(model->currentSentence, 4);
    QCOMPARE(script.last().caption, QStringLiteral("Conferma"));
    QCOMPARE(script.last().text, QStringLiteral("Vuoi rimuovere la frase ?"));
    QCOMPARE(script.last().icon, DialogIcon::Question);
    QCOMPARE(model->sentenceCount, 7);
    script.answer(YesButton);
    window.rimuovi->trigger();
    QCOMPARE(model->sentenceCount, 6);
    QCOMPARE(model->currentSentence, 3);   // the one before the removed one
    model->currentSentence = 0;
    script.answer(YesButton);
    window.rimuovi->trigger();
    QCOMPARE(model->currentSentence, 0);
    QCOMPARE(sentenceOf(window, 0), QStringList{QStringLiteral("sopra")});
    while (model->sentenceCount > 0) {
        script.answer(YesButton);
        window.rimuovi->trigger();
    }
    QCOMPARE(model->currentSentence, -1);
    QVERIFY(window.modified);
}

void TestAuthoring::questionsAnsweredEachWay()
{
    ScriptedDialogs script;
    const QString path = writeText(QStringLiteral("breve.txt"), QStringLiteral("Prima. Seconda."));
    Tprepara window(context);
    window.show();

    // No exercises yet: open and delete say so.
    window.apri1->trigger();
    QCOMPARE(script.last().text, QStringLiteral("Non ci sono esercizi"));
    window.Elimina1->trigger();
    QCOMPARE(script.last().text, QStringLiteral("Non ci sono esercizi"));

    convertFile(script, window, path);
    // Closing asks; Annulla keeps the window, the exercise and its changes.
    script.answer(CancelButton);
    window.close();
    QVERIFY(window.isVisible());
    QCOMPARE(script.last().caption, QStringLiteral("Attenzione!"));
    QCOMPARE(script.last().text,
             QString::fromUtf8("L'esercizio appena creato non è stato salvato. Vuoi salvarlo ?"));
    QCOMPARE(script.last().buttons, YesButton | NoAnswerButton | CancelButton);
    QCOMPARE(script.last().icon, DialogIcon::Warning);
    // Cancel on converting again keeps the exercise.
    script.answer(CancelButton);
    window.Aprifileditesto1->trigger();
    QVERIFY(window.textLoaded);
    QCOMPARE(window.textModel()->sentenceCount, 2);

    // Save as: a blank name is refused and the dialog comes back.
    whenModalShown([&](QWidget* modal) {
        auto form = qobject_cast<TFormQuery*>(modal);
        form->Edit1->setText(QStringLiteral("   "));
        answerName(QStringLiteral("Breve"));
        QTest::mouseClick(form->ButtonOK, Qt::LeftButton);
    });
    QVERIFY(window.saveAs());
    QVERIFY(script.messages().contains(QStringLiteral("Nessun nome specificato")));
    QVERIFY(QFile::exists(exercises() + QStringLiteral("BREVE.S01")));

    // A second exercise under the same name: No brings the dialog back, Annulla gives up.
    convertFile(script, window, path);
    QCOMPARE(window.exerciseName, QString());
    whenModalShown([&](QWidget* modal) {
        auto form = qobject_cast<TFormQuery*>(modal);
        form->Edit1->setText(QStringLiteral("Breve"));
        script.answer(NoAnswerButton);
        whenModalShown([](QWidget* again) {
            auto form2 = qobject_cast<TFormQuery*>(again);
            QCOMPARE(form2->Edit1->text(), QString());
            QTest::mouseClick(form2->ButtonAnnulla, Qt::LeftButton);
        });
        QTest::mouseClick(form->ButtonOK, Qt::LeftButton);
    });
    QVERIFY(!window.saveAs());
    QCOMPARE(script.last().text, QString::fromUtf8("L'esercizio Breve esiste già. Vuoi sostituirlo ?"));
    QVERIFY(window.modified);
    // Yes replaces the exercise of that name.
    QTest::mouseClick(window.importanteBut, Qt::LeftButton);
    answerName(QStringLiteral("Breve"));
    script.answer(YesButton);
    QVERIFY(window.saveAs());
    QVERIFY(readBytes(exercises() + QStringLiteral("BREVE.S01")).contains("~importante~\r\nPrima."));
    QCOMPARE(window.exerciseName, QStringLiteral("Breve"));
    // Yes at the close question saves (the name dialog preset with the name), then closes.
    QTest::mouseClick(window.moltoImportanteBut, Qt::LeftButton);
    script.answer(YesButton);
    whenModalShown([&](QWidget* modal) {
        auto form = qobject_cast<TFormQuery*>(modal);
        QCOMPARE(form->Edit1->text(), QStringLiteral("Breve"));
        form->Edit1->setText(QStringLiteral("Altro esercizio"));
        QTest::mouseClick(form->ButtonOK, Qt::LeftButton);
    });
    window.close();
    QVERIFY(!window.isVisible());
    QVERIFY(QFile::exists(exercises() + QStringLiteral("ALTROESE.S01")));

    // Open with unsaved changes: No drops them.
    window.show();
    convertFile(script, window, path);
    script.answer(NoAnswerButton);
    chooseExercise(QStringLiteral("  scegli un esercizio"), QStringLiteral("Breve"));
    window.apri1->trigger();
    QCOMPARE(window.exerciseName, QStringLiteral("Breve"));
    QVERIFY(!window.modified);
    QTest::mouseClick(window.importanteBut, Qt::LeftButton);
    QCOMPARE(script.pendingAnswers(), 0);

    // Delete another exercise: Annulla keeps it, OK deletes file and entry;
    // the exercise being edited keeps its name and is still saved to its own file.
    chooseExercise(QStringLiteral("  elimina un esercizio"), QStringLiteral("Altro esercizio"));
    script.answer(CancelButton);
    window.Elimina1->trigger();
    QCOMPARE(script.last().text, QStringLiteral("Vuoi eliminare Altro esercizio ?"));
    QCOMPARE(script.last().buttons, OkButton | CancelButton);
    QVERIFY(QFile::exists(exercises() + QStringLiteral("ALTROESE.S01")));
    chooseExercise(QStringLiteral("  elimina un esercizio"), QStringLiteral("Altro esercizio"));
    script.answer(OkButton);
    window.Elimina1->trigger();
    QVERIFY(!QFile::exists(exercises() + QStringLiteral("ALTROESE.S01")));
    QCOMPARE(readBytes(exercises() + QStringLiteral("LONGNAME.LST")), QByteArray("BREVE.S01=Breve\r\n"));
    QCOMPARE(window.exerciseName, QStringLiteral("Breve"));
    QVERIFY(window.modified);
    window.Salva1->trigger();
    QVERIFY(!window.modified);
    QVERIFY(readBytes(exercises() + QStringLiteral("BREVE.S01")).contains("~importante~\r\nPrima."));

    // An exercise whose file has gone: the window is left empty.
    QVERIFY(QFile::rename(exercises() + QStringLiteral("BREVE.S01"), exercises() + QStringLiteral("BREVE.S02")));
    QVERIFY(writeBytes(exercises() + QStringLiteral("LONGNAME.LST"),
                       "BREVE.S01=Breve\r\nBREVE.S02=Breve\r\n"));
    chooseExercise(QStringLiteral("  scegli un esercizio"), QStringLiteral("Breve"));
    window.apri1->trigger();
    QCOMPARE(script.last().text, QStringLiteral("L'esercizio Breve non esiste"));
    QVERIFY(!window.textLoaded);
    QVERIFY(!window.suggBut->isEnabled());
    window.File1->popup(QPoint(0, 0));
    QVERIFY(!window.Salva1->isEnabled());
    window.File1->close();
    // With no exercise the window closes without a question.
    const int asked = int(script.asked().size());
    QTest::keyClick(&window, Qt::Key_Escape);
    QVERIFY(!window.isVisible());
    QCOMPARE(int(script.asked().size()), asked);
}

void TestAuthoring::failedSavesAreToldAndKeepTheExerciseModified()
{
    ScriptedDialogs script;
    const QString path = writeText(QStringLiteral("breve.txt"), QStringLiteral("Prima. Seconda."));
    Tprepara window(context);
    window.show();
    convertFile(script, window, path);

    // The name table cannot be written (a folder stands in its place).
    QVERIFY(QDir().mkpath(exercises() + QStringLiteral("LONGNAME.LST")));
    answerName(QStringLiteral("Breve"));
    QVERIFY(!window.saveAs());
    QCOMPARE(script.last().text, QStringLiteral("Errore nella scrittura del file LONGNAME.LST"));
    QVERIFY(window.modified);
    QVERIFY(window.exerciseName.isEmpty());
    QVERIFY(QDir(exercises()).rmdir(QStringLiteral("LONGNAME.LST")));

    // The exercise file cannot be written (a folder of that name).
    answerName(QStringLiteral("Breve"));
    QVERIFY(window.saveAs());
    QVERIFY(QFile::remove(exercises() + QStringLiteral("BREVE.S01")));
    QVERIFY(QDir().mkpath(exercises() + QStringLiteral("BREVE.S01")));
    QTest::mouseClick(window.moltoImportanteBut, Qt::LeftButton);
    window.Salva1->trigger();
    QVERIFY(script.last().text.startsWith(QStringLiteral("Errore nella scrittura del file BREVE.S01")));
    QVERIFY(window.modified);
    // And so closing still asks; Annulla keeps the window.
    script.answer(CancelButton);
    QVERIFY(!window.close());
    QVERIFY(window.isVisible());

    // A read-only folder (for a user who is not the administrator).
    QVERIFY(QDir(exercises()).rmdir(QStringLiteral("BREVE.S01")));
    QFile::setPermissions(exercises(), QFile::ReadOwner | QFile::ExeOwner);
    QFile probe(exercises() + QStringLiteral("probe"));
    const bool readOnly = !probe.open(QIODevice::WriteOnly);
    probe.close();
    probe.remove();
    if (readOnly) {
        window.Salva1->trigger();
        QVERIFY(script.last().text.startsWith(QStringLiteral("Errore nella scrittura del file BREVE.S01")));
        QVERIFY(window.modified);
    }
    QFile::setPermissions(exercises(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    window.Salva1->trigger();
    QVERIFY(!window.modified);
    QVERIFY(readBytes(exercises() + QStringLiteral("BREVE.S01")).contains("~moltoImportante~\r\nPrima."));
    if (!readOnly)
        QSKIP("the administrator writes in a read-only folder: the failed save was not tried");
}

void TestAuthoring::whatCannotBeStoredIsRefusedWhenEntered()
{
    ScriptedDialogs script;
    const QString path = writeText(QStringLiteral("breve.txt"), QStringLiteral("Prima. Seconda."));
    Tprepara window(context);
    window.show();
    // A text file holding a reserved character is not converted.
    const QString reserved = QStringLiteral("Il testo contiene uno dei caratteri riservati ~, [, ]. "
                                            "Eliminalo e ripeti l'operazione");
    const QString bad = writeText(QStringLiteral("quadre.txt"), QStringLiteral("Una [nota]. Fine."));
    convertFile(script, window, bad);
    QCOMPARE(script.last().text, reserved);
    QVERIFY(!window.textLoaded);
    convertFile(script, window, path);

    // The task: reserved characters, characters outside windows-1252 and
    // text beyond 255 characters are refused as they come.
    QTest::mouseClick(window.suggBut, Qt::LeftButton);
    QTest::keyClicks(window.Memo1, QStringLiteral("Leggi"));
    QTest::keyClick(window.Memo1, Qt::Key_BracketLeft);
    QCOMPARE(script.last().text, reserved);
    QTest::sendKeyEvent(QTest::Click, window.Memo1, Qt::Key_unknown, QString(QChar(0x0101)), Qt::NoModifier);
    QVERIFY(script.last().text.startsWith(QString::fromUtf8("Il carattere ā non si può salvare")));
    QTest::sendKeyEvent(QTest::Click, window.Memo1, Qt::Key_unknown, QString::fromUtf8("è"), Qt::NoModifier);
    QCOMPARE(window.Memo1->toPlainText(), QString::fromUtf8("Leggiè"));
    auto mime = std::make_unique<QMimeData>();
    mime->setText(QString(260, QLatin1Char('x')));
    QApplication::clipboard()->setMimeData(mime.release());
    window.Memo1->paste();
    QCOMPARE(window.Memo1->toPlainText(), QString::fromUtf8("Leggiè"));
    QCOMPARE(script.last().text, QString::fromUtf8("Il testo può contenere al massimo 255 caratteri."));
    window.CancelBtn->click();

    // The sentence dialog: blank, reserved and unstorable texts keep it open.
    whenModalShown([&](QWidget* modal) {
        auto dialog = qobject_cast<TeditFrase*>(modal);
        dialog->memoFrase->setPlainText(QStringLiteral("  \n   \n"));
        QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
        QCOMPARE(script.last().text, QString::fromUtf8("La casella di testo è vuota"));
        dialog->memoFrase->setPlainText(QStringLiteral("testo]"));
        QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
        QCOMPARE(script.last().text, reserved);
        dialog->memoFrase->setPlainText(QStringLiteral("testo \u2603"));
        QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
        QVERIFY(script.last().text.startsWith(QStringLiteral("Il testo contiene caratteri che non si possono salvare")));
        QVERIFY(dialog->isVisible());
        QTest::mouseClick(dialog->CancelBtn, Qt::LeftButton);
    });
    window.inseriscisotto->trigger();
    QCOMPARE(window.textModel()->sentenceCount, 2);

    // The long name: reserved or unstorable characters bring the dialog back.
    whenModalShown([&](QWidget* modal) {
        auto form = qobject_cast<TFormQuery*>(modal);
        form->Edit1->setText(QStringLiteral("Esercizio [1]"));
        whenModalShown([&](QWidget* again) {
            auto form2 = qobject_cast<TFormQuery*>(again);
            QCOMPARE(form2->Edit1->text(), QStringLiteral("Esercizio [1]"));
            form2->Edit1->setText(QStringLiteral("Esercizio \u2603"));
            whenModalShown([](QWidget* third) {
                QTest::mouseClick(qobject_cast<TFormQuery*>(third)->ButtonAnnulla, Qt::LeftButton);
            });
            QTest::mouseClick(form2->ButtonOK, Qt::LeftButton);
        });
        QTest::mouseClick(form->ButtonOK, Qt::LeftButton);
    });
    QVERIFY(!window.saveAs());
    const QStringList messages = script.messages();
    QVERIFY(messages.contains(QStringLiteral("Il nome contiene uno dei caratteri riservati ~, [, ]. "
                                             "Eliminalo e ripeti l'operazione")));
    QVERIFY(messages.contains(QString::fromUtf8("Il nome contiene caratteri che non si possono usare: "
                                                "cambialo e ripeti l'operazione")));
    QVERIFY(QDir(exercises()).entryList(QDir::Files).isEmpty());
    QVERIFY(window.modified);
}

void TestAuthoring::chooserListsSortedNamesAndFilesWithoutEntry()
{
    QVERIFY(writeBytes(exercises() + QStringLiteral("LONGNAME.LST"),
                       "ZEBRA.S01=zebra a strisce\r\nALFA.S01=Mela\r\n"));
    for (const char* name : {"ZEBRA.S01", "ALFA.S01", "copia.s07", "note.txt"})
        QVERIFY(writeBytes(exercises() + QLatin1String(name), "[compito]\r\n[testo]\r\n~nonImportante~\r\nx\r\n"));
    TcaricaElimina chooser(context);
    QCOMPARE(chooser.count(), 3);
    QStringList listed;
    for (int i = 0; i < chooser.count(); ++i)
        listed << chooser.ComboEsercizi->itemText(i);
    QCOMPARE(listed, (QStringList{QStringLiteral("COPIA"), QStringLiteral("Mela"),
                                  QStringLiteral("zebra a strisce")}));
    QCOMPARE(chooser.chosenName(), QStringLiteral("COPIA"));
    QCOMPARE(readBytes(exercises() + QStringLiteral("LONGNAME.LST")),
             QByteArray("ZEBRA.S01=zebra a strisce\r\nALFA.S01=Mela\r\nCOPIA.S07=COPIA\r\n"));

    // The hand-copied file opens under its listed name.
    ScriptedDialogs script;
    Tprepara window(context);
    window.show();
    chooseExercise(QStringLiteral("  scegli un esercizio"), QStringLiteral("COPIA"));
    window.apri1->trigger();
    QVERIFY(window.textLoaded);
    QCOMPARE(sentenceOf(window, 0), QStringList{QStringLiteral("x")});
}

void TestAuthoring::missingPictureKeepsTheWindowClosed()
{
    ScriptedDialogs script;
    Tmaschera main(context);
    main.show();
    QVERIFY(main.preparazioneBut->isEnabled());
    // With its pictures the window opens modally over the main window.
    QString opened;
    whenModalShown([&](QWidget* modal) {
        opened = modal->objectName();
        QVERIFY(modal->isModal());
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    QTest::mouseClick(main.preparazioneBut, Qt::LeftButton);
    QCOMPARE(opened, QStringLiteral("Tprepara"));
    QVERIFY(!QApplication::activeModalWidget());

    QVERIFY(QFile::remove(context.programFolder + QStringLiteral("immagini/impBu2.bmp")));
    QTest::mouseClick(main.preparazioneBut, Qt::LeftButton);
    QVERIFY(script.last().text.contains(QStringLiteral("immagini/impBu2.bmp")));
    QVERIFY(!QApplication::activeModalWidget());
    // A file that is there but is no picture is refused the same way.
    QVERIFY(writeBytes(context.programFolder + QStringLiteral("immagini/impBu2.bmp"), "non un'immagine"));
    Tprepara window(context);
    QVERIFY(window.loadError().contains(QStringLiteral("immagini/impBu2.bmp")));
}

void TestAuthoring::editorSavesReopensAndConverts()
{
    ScriptedDialogs script;
    Tprepara window(context);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    bool checked = false;
    whenModalShown([&](QWidget* modal) {
        auto editor = qobject_cast<TeditForm*>(modal);
        QVERIFY(editor);
        QVERIFY(!window.keyHandlerEnabled());
        QCOMPARE(editor->windowTitle(), QStringLiteral(" editor di testo - nuovo testo"));
        editor->File1->popup(QPoint(0, 0));
        QVERIFY(!editor->Salva1->isEnabled());
        QVERIFY(!editor->convertiinesercizio1->isEnabled());
        editor->File1->close();
        QTest::keyClicks(editor->MemoEdit, QStringLiteral("Il sole [splende]. Il mare"));
        QTest::keyClick(editor->MemoEdit, Qt::Key_Return);
        QTest::keyClicks(editor->MemoEdit, QStringLiteral("luccica."));
        QVERIFY(editor->modified);
        // Saved under a name without extension: ".txt" is added; a new text
        // is UTF-8 with LF line ends.
        script.answerFile(texts() + QStringLiteral("mare"));
        editor->Salva1->trigger();
        QCOMPARE(script.last().kind, QStringLiteral("save"));
        QCOMPARE(readBytes(texts() + QStringLiteral("mare.txt")),
                 QByteArray("Il sole [splende]. Il mare\nluccica.\n"));
        QCOMPARE(editor->windowTitle(), QStringLiteral(" editor di testo - mare.txt"));
        QVERIFY(!editor->modified);
        // New, then the saved text opened again.
        editor->Nuovo1->trigger();
        QVERIFY(editor->MemoEdit->toPlainText().isEmpty());
        script.answerFile(texts() + QStringLiteral("mare.txt"));
        editor->Apri1->trigger();
        QCOMPARE(editor->MemoEdit->toPlainText(), QStringLiteral("Il sole [splende]. Il mare\nluccica."));
        // The reserved characters keep the text in the editor.
        editor->convertiinesercizio1->trigger();
        QCOMPARE(script.last().text, QStringLiteral("Il testo contiene uno dei caratteri riservati ~, [, ]. "
                                                    "Eliminalo e ripeti l'operazione"));
        QVERIFY(editor->isVisible());
        QVERIFY(!window.textLoaded);
        editor->MemoEdit->setPlainText(QStringLiteral("Il sole splende. Il mare\nluccica."));
        whenModalShown([](QWidget* separator) {
            QTest::mouseClick(qobject_cast<TsepaForm*>(separator)->OKBtn, Qt::LeftButton);
        });
        script.answer(NoAnswerButton);   // the changed text is not saved
        editor->convertiinesercizio1->trigger();
        checked = true;
    });
    window.editorditesto1->trigger();
    QVERIFY(checked);
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(window.textLoaded);
    QVERIFY(window.modified);
    QVERIFY(window.exerciseName.isEmpty());
    QVERIFY(window.keyHandlerEnabled());
    QCOMPARE(window.textModel()->sentenceCount, 2);
    QCOMPARE(sentenceOf(window, 1), QStringList{QStringLiteral("Il mare luccica.")});
    QCOMPARE(window.ScrollBar1->value(), 0);
    QCOMPARE(readBytes(texts() + QStringLiteral("mare.txt")),
             QByteArray("Il sole [splende]. Il mare\nluccica.\n"));
    // Saving it there asks for a name.
    answerName(QStringLiteral("Mare"));
    window.Salva1->trigger();
    QVERIFY(QFile::exists(exercises() + QStringLiteral("MARE.S01")));
}

void TestAuthoring::editorQuestionsAndDelete()
{
    ScriptedDialogs script;
    writeText(QStringLiteral("vecchio.txt"), QStringLiteral("vecchio\r\n"));
    writeText(QStringLiteral("altro.txt"), QStringLiteral("altro\r\n"));
    TeditForm editor(context, nullptr);
    editor.show();
    QTest::keyClicks(editor.MemoEdit, QStringLiteral("nuovo"));

    // Annulla at the question keeps the editor open with its text.
    script.answer(CancelButton);
    QTest::keyClick(editor.MemoEdit, Qt::Key_Escape);
    QVERIFY(editor.isVisible());
    QCOMPARE(script.last().text, QString::fromUtf8("Il testo appena creato non è stato salvato. Vuoi salvarlo ?"));
    // Yes, then an existing file: No asks for another name, Yes replaces it.
    script.answer(YesButton);
    script.answerFile(texts() + QStringLiteral("vecchio.txt"));
    script.answerFile(texts() + QStringLiteral("vecchio.txt"));
    script.answer(NoAnswerButton);
    script.answer(YesButton);
    QVERIFY(editor.confirmDiscard());
    QCOMPARE(script.last().text, QString::fromUtf8("Il file vecchio.txt esiste già. Vuoi sostituirlo ?"));
    QCOMPARE(readBytes(texts() + QStringLiteral("vecchio.txt")), QByteArray("nuovo\n"));
    QVERIFY(!editor.modified);

    // A write that fails is told and the text stays unsaved.
    QTest::keyClicks(editor.MemoEdit, QStringLiteral(" ancora"));
    QVERIFY(QFile::remove(texts() + QStringLiteral("vecchio.txt")));
    QVERIFY(QDir().mkpath(texts() + QStringLiteral("vecchio.txt")));
    editor.Salva1->trigger();
    QVERIFY(script.last().text.startsWith(QStringLiteral("Errore nella scrittura del file vecchio.txt")));
    QVERIFY(editor.modified);
    QVERIFY(QDir(texts()).rmdir(QStringLiteral("vecchio.txt")));

    // Deleting another text leaves the edited one and its path alone.
    script.answerFile(texts() + QStringLiteral("altro.txt"));
    script.answer(NoAnswerButton);
    editor.Elimina1->trigger();
    QCOMPARE(script.last().text, QStringLiteral("Vuoi cancellare il testo altro.txt?"));
    QVERIFY(QFile::exists(texts() + QStringLiteral("altro.txt")));
    // A text whose lock another copy of the program holds is not deleted.
    {
        QLockFile other(texts() + QStringLiteral("altro.txt.lock"));
        QVERIFY(other.tryLock(0));
        FileLock::setPatienceForTests(200);
        const auto restore = qScopeGuard([] { FileLock::setPatienceForTests(3000); });
        script.answerFile(texts() + QStringLiteral("altro.txt"));
        script.answer(YesButton);
        script.answer(NoAnswerButton);
        editor.Elimina1->trigger();
        QVERIFY(script.messages().at(script.messages().size() - 2).contains(QString::fromUtf8("è in uso")));
        QCOMPARE(script.last().text,
                 QString::fromUtf8("Il file altro.txt è in uso altrove: non è stato cancellato."));
        QVERIFY(QFile::exists(texts() + QStringLiteral("altro.txt")));
    }
    script.answerFile(texts() + QStringLiteral("altro.txt"));
    script.answer(YesButton);
    editor.Elimina1->trigger();
    QCOMPARE(script.last().text, QString::fromUtf8("il file è stato eliminato"));
    QVERIFY(!QFile::exists(texts() + QStringLiteral("altro.txt")));
    script.answerFile(texts() + QStringLiteral("altro.txt"));
    editor.Elimina1->trigger();
    QCOMPARE(script.last().text, QStringLiteral("il file specificato non esiste"));
    editor.Salva1->trigger();
    QCOMPARE(readBytes(texts() + QStringLiteral("vecchio.txt")), QByteArray("nuovo ancora\n"));

    // Characters that cannot be stored are refused as they are typed: a
    // windows-1252 text cannot hold "ā".
    writeText(QStringLiteral("perche.txt"), QString::fromUtf8("perché\r\n"));
    script.answerFile(texts() + QStringLiteral("perche.txt"));
    editor.Apri1->trigger();
    QTest::sendKeyEvent(QTest::Click, editor.MemoEdit, Qt::Key_unknown, QString(QChar(0x0101)), Qt::NoModifier);
    QVERIFY(script.last().text.startsWith(QString::fromUtf8("Il carattere ā non si può salvare")));
    QCOMPARE(editor.MemoEdit->toPlainText(), QString::fromUtf8("perché"));
    QVERIFY(!editor.modified);
    QTest::keyClick(editor.MemoEdit, Qt::Key_Escape);
    QVERIFY(!editor.isVisible());
}

void TestAuthoring::menusFontAndHelpFromTheKeyboard()
{
    ScriptedDialogs script;
    QVERIFY(writeBytes(context.programFolder + QStringLiteral("consegna.txt"), "Scrivi la consegna.\r\n"));
    // The second sentence fills the window only in a large font.
    const QString path = writeText(QStringLiteral("breve.txt"),
                                   QStringLiteral("Prima. Seconda frase, lunga abbastanza da andare a capo "
                                                  "molte volte quando il testo si scrive con un carattere "
                                                  "grande in una finestra che resta della stessa misura."));
    Tprepara window(context);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    // Alt+F, then the item's letter: the conversion from the keyboard alone.
    script.answerFile(path);
    whenPopupShown([](QMenu* menu) { QTest::keyClick(menu, Qt::Key_T); });
    whenModalShown([](QWidget* modal) {
        QCOMPARE(modal->focusWidget(), static_cast<QWidget*>(qobject_cast<TsepaForm*>(modal)->OKBtn));
        QTest::keyClick(modal->focusWidget(), Qt::Key_Space);
    });
    QTest::keyClick(&window, Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY(window.textLoaded);
    QCOMPARE(window.textModel()->sentenceCount, 2);

    // The help texts open in the instruction window, the keys left to it.
    QString caption;
    QString text;
    whenModalShown([&](QWidget* modal) {
        caption = modal->windowTitle();
        text = modal->findChild<QPlainTextEdit*>(QStringLiteral("memo1"))->toPlainText();
        QVERIFY(!window.keyHandlerEnabled());
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    window.Consegna->trigger();
    QCOMPARE(caption, QStringLiteral(" Consegna"));
    QCOMPARE(text, QStringLiteral("Scrivi la consegna.\n"));
    QVERIFY(window.isVisible());
    QVERIFY(window.keyHandlerEnabled());

    // The font: a bigger one gives a taller text; sizes stop at 48.
    const int before = window.ScrollBar1->maximum();
    QFont big(QStringLiteral("Liberation Sans"));
    big.setPointSize(72);
    script.answerFont(big);
    window.opzionidivisualizzazione1->trigger();
    QCOMPARE(window.textFont().pointSize(), 48);
    QCOMPARE(window.textFont().family(), QStringLiteral("Liberation Sans"));
    QVERIFY(window.ScrollBar1->maximum() > before);
    script.cancelFont();
    window.opzionidivisualizzazione1->trigger();
    QCOMPARE(window.textFont().pointSize(), 48);

    // The sentence commands from the keyboard: the menu key opens them on the current sentence.
    bool popped = false;
    whenPopupShown([&](QMenu* menu) {
        popped = menu == window.PopupMenu1;
        QTest::keyClick(menu, Qt::Key_A);
    });
    QTest::keyClick(window.nonImportanteBut, Qt::Key_Menu);
    QVERIFY(popped);
    QCOMPARE(window.textModel()->sentenceCount, 2);
}

// Enter and the keypad's Enter press the focused level button, as Space
// does; Esc that closes a menu or the sentence menu closes only that, and
// on the window itself it asks before closing.
void TestAuthoring::enterPressesAndEscClosesOnlyWhatHasTheKey()
{
    ScriptedDialogs script;
    const QString path = writeText(QStringLiteral("invio.txt"), QStringLiteral("Uno. Due. Tre."));
    Tprepara window(context);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    convertFile(script, window, path);
    QVERIFY(window.keyHandlerEnabled());
    Tevidenziatore* model = window.textModel();
    QCOMPARE(model->sentenceCount, 3);
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    window.importanteBut->setFocus();
    QTest::keyClick(window.importanteBut, Qt::Key_Return);
    QCOMPARE(model->importanceOf(0), importante);
    QTest::keyClick(window.importanteBut, Qt::Key_Down);
    QTest::keyClick(window.importanteBut, Qt::Key_Right);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(window.moltoImportanteBut));
    QTest::keyClick(window.moltoImportanteBut, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(model->importanceOf(1), moltoImportante);
    QCOMPARE(model->currentSentence, 1);
    QCOMPARE(model->importanceOf(2), nonImportante);

    // Alt+F and Esc as the system delivers them, through the window.
    QTest::keyClick(window.windowHandle(), Qt::Key_F, Qt::AltModifier);
    QTRY_COMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(window.File1));
    QTest::keyClick(window.windowHandle(), Qt::Key_Escape);
    QTRY_VERIFY(!QApplication::activePopupWidget());
    QVERIFY(window.isVisible());
    // The sentence menu (which waits for its choice), Esc to the menu itself.
    bool sentenceMenu = false;
    whenPopupShown([&](QMenu* menu) {
        sentenceMenu = menu == window.PopupMenu1;
        QTest::keyClick(menu, Qt::Key_Escape);
    });
    QTest::keyClick(window.moltoImportanteBut, Qt::Key_Menu);
    QVERIFY(sentenceMenu);
    QTRY_VERIFY(!QApplication::activePopupWidget());
    QVERIFY(window.isVisible());
    QCOMPARE(model->sentenceCount, 3);
    QVERIFY(script.messages().isEmpty());

    script.answer(NoAnswerButton);
    QTest::keyClick(window.moltoImportanteBut, Qt::Key_Escape);
    QVERIFY(!window.isVisible());
    QCOMPARE(script.messages(),
             QStringList{QString::fromUtf8("L'esercizio appena creato non è stato salvato. Vuoi salvarlo ?")});
}

// "&Scelta del font" opens Qt's own font dialog on the font the text is drawn
// in (the family it resolves to, its size and style), offers sizes up to 48
// only, and OK with nothing changed leaves the text exactly as it was.
void TestAuthoring::fontDialogStartsFromTheFontInUse()
{
    ScriptedDialogs script;
    Tprepara window(context);
    window.resize(800, 600);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.takeConvertedText({QStringLiteral("Il gatto dorme sul divano della nonna mentre fuori "
                                             "piove. Il cane abbaia alla luna. Fine.")},
                             QLatin1Char('.'));
    QApplication::processEvents();
    const QFont fontBefore = window.textFont();
    const QStringList linesBefore = window.textModel()->lines;
    const QImage shownBefore = window.PaintCanvas->grab().toImage();
    const QFontInfo used(fontBefore);
    QCOMPARE(used.family(), QStringLiteral("Liberation Serif"));

    WidgetDialogService realDialogs;
    DialogService* kept = setDialogService(&realDialogs);
    testsupport::FontDialogSeen seen;
    testsupport::whenModalShown([&](QWidget* modal) {
        seen = testsupport::readFontDialogAndAccept(modal, {QStringLiteral("48"), QStringLiteral("49"),
                                                            QStringLiteral("72")});
    });
    window.opzionidivisualizzazione1->trigger();
    setDialogService(kept);

    QVERIFY(seen.found);
    QCOMPARE(seen.family, used.family());
    QCOMPARE(seen.current.family(), used.family());
    QCOMPARE(seen.style, QStringLiteral("Regular"));
    QCOMPARE(seen.size, QStringLiteral("16"));
    QCOMPARE(seen.current.pointSize(), 16);
    QVERIFY(!seen.sizes.isEmpty());
    QCOMPARE(*std::max_element(seen.sizes.begin(), seen.sizes.end()), 48);
    QCOMPARE(seen.typedTaken, (QList<bool>{true, false, false}));
    QCOMPARE(window.textFont(), fontBefore);
    QCOMPARE(window.textModel()->lines, linesBefore);
    QCOMPARE(window.PaintCanvas->grab().toImage(), shownBefore);
    window.modified = false;
}

// Sentences replaced, inserted and removed through the window's commands are
// shown, scrolled and hit exactly as the same exercise opened afresh and laid
// out whole.
void TestAuthoring::changedSentencesShowAsTheWholeTextLaidOut()
{
    ScriptedDialogs script;
    const QString words = QStringLiteral("il gatto dorme sul divano della nonna mentre fuori piove e "
                                         "il cane abbaia alla luna perché ha paura del temporale");
    QStringList source;
    for (int i = 0; i < 40; ++i)
        source << words.section(QLatin1Char(' '), 0, 3 + (i * 7) % 20) + QStringLiteral(" %1.").arg(i);
    Tprepara window(context);
    window.resize(700, 500);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.takeConvertedText({source.join(QLatin1Char(' '))}, QLatin1Char('.'));
    Tevidenziatore* model = window.textModel();
    QCOMPARE(model->sentenceCount, 40);
    const int convertedHeight = window.ScrollBar1->maximum();

    auto answerSentence = [](const QString& text, int choice) {
        whenModalShown([=](QWidget* modal) {
            auto dialog = qobject_cast<TeditFrase*>(modal);
            QVERIFY(dialog);
            dialog->memoFrase->setPlainText(text);
            QTest::mouseClick(choice == 1 ? dialog->Image2 : choice == 2 ? dialog->Image3 : dialog->Image1,
                              Qt::LeftButton);
            QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
        });
    };
    // What the text should be, as plain sentences with their levels.
    QList<std::pair<ImportanceLevel, QStringList>> expected;
    for (const QString& s : source)
        expected.append({nonImportante, {s}});

    const QStringList replaced = {words + QStringLiteral(", e poi ") + words, words};
    model->currentSentence = 20;
    answerSentence(replaced.join(QLatin1Char('\n')), 1);
    window.sostituisci->trigger();
    expected[20] = {importante, replaced};

    model->currentSentence = 5;
    answerSentence(words, 2);
    window.inseriscisopra->trigger();
    expected.insert(5, {moltoImportante, {words}});

    model->currentSentence = 30;
    answerSentence(words + QStringLiteral(" sotto"), 0);
    window.inseriscisotto->trigger();
    expected.insert(31, {nonImportante, {words + QStringLiteral(" sotto")}});

    model->currentSentence = 10;
    script.answer(YesButton);
    window.rimuovi->trigger();
    expected.removeAt(10);
    QCOMPARE(model->sentenceCount, int(expected.size()));
    QCOMPARE(model->currentSentence, 9);
    // Undone, the text is laid out as it was converted; redone, as changed.
    for (int i = 0; i < 4; ++i)
        window.annullaModifica->trigger();
    QCOMPARE(model->sentenceCount, 40);
    QCOMPARE(window.ScrollBar1->maximum(), convertedHeight);
    for (int i = 0; i < 4; ++i)
        window.ripetiModifica->trigger();
    QCOMPARE(model->currentSentence, 9);

    // The same exercise written plainly and opened in a second window.
    QStringList lines;
    for (const auto& [level, text] : std::as_const(expected))
        lines << tagLineFor(level) << text;
    Tparametri params;
    params.mode = fromExercise;
    params.source = lines;
    Tevidenziatore plain(params);
    QVERIFY(plain.saveExercise(exercises(), QStringLiteral("PIANO.S01")));
    Tprepara fresh(context);
    fresh.resize(700, 500);
    fresh.show();
    QVERIFY(QTest::qWaitForWindowExposed(&fresh));
    QVERIFY(fresh.loadExercise(exercises() + QStringLiteral("PIANO.S01")));
    fresh.relayout();

    QCOMPARE(model->lines, fresh.textModel()->lines);
    QCOMPARE(window.ScrollBar1->maximum(), fresh.ScrollBar1->maximum());
    window.ScrollBar1->setValue(0);
    fresh.ScrollBar1->setValue(0);
    for (int n : {0, 5, 9, 20, 31, model->sentenceCount - 1}) {
        model->currentSentence = fresh.textModel()->currentSentence = n;
        window.scrollIntoView(n);
        fresh.scrollIntoView(n);
        QCOMPARE(window.ScrollBar1->value(), fresh.ScrollBar1->value());
        QCOMPARE(window.PaintCanvas->picture(), fresh.PaintCanvas->picture());
        const auto [top, bottom] = window.PaintCanvas->sentenceExtent(n);
        const QPoint inside(30, (top + bottom) / 2 - window.ScrollBar1->value());
        QCOMPARE(window.PaintCanvas->hitTest(inside).sentence, n);
        QCOMPARE(fresh.PaintCanvas->hitTest(inside).sentence, n);
    }
    window.modified = false;
}

// Every kind of change of the exercise goes back with "Annulla" (Ctrl+Z) and
// comes again with "Ripeti" (Ctrl+Y, Ctrl+Shift+Z), one at a time and each
// named by its item; back at the state last saved the exercise is not
// modified, and the file written then is what the window holds there.
void TestAuthoring::everyChangeIsUndoneAndRedone()
{
    ScriptedDialogs script;
    const QString path = writeText(QStringLiteral("numeri.txt"),
                                   QStringLiteral("uno\\due\\tre\\quattro\\"));
    Tprepara window(context);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const QList<QAction*> menus = window.MainMenu1->actions();
    QCOMPARE(menus.indexOf(window.Modifica1->menuAction()), menus.indexOf(window.File1->menuAction()) + 1);
    QCOMPARE(window.Modifica1->title(), QStringLiteral("&Modifica"));
    QCOMPARE(window.annullaModifica->text(), QStringLiteral("&Annulla"));
    QCOMPARE(window.ripetiModifica->text(), QStringLiteral("&Ripeti"));
    QVERIFY(!window.annullaModifica->isEnabled());

    // What the window holds after each change, and what the undo item says
    // then (the current sentence is where the change was, undone or redone,
    // not where the keys moved it afterwards).
    struct Seen {
        bool loaded;
        QStringList lines;
        QString task;
        int current;
        QString undoText;
    };
    QList<Seen> seen;
    const auto look = [&] {
        const Tevidenziatore* m = window.textModel();
        return Seen{window.textLoaded, m ? m->lines : QStringList(), window.Memo1->toPlainText(),
                    m ? m->currentSentence : -2, window.annullaModifica->text()};
    };
    const auto same = [](const Seen& a, const Seen& b) {
        return a.loaded == b.loaded && a.lines == b.lines && a.task == b.task && a.undoText == b.undoText;
    };
    seen << look();

    convertFile(script, window, path, true);
    QVERIFY(window.modified);
    seen << look();
    QCOMPARE(seen.last().undoText, QStringLiteral("&Annulla conversione del testo"));
    answerName(QStringLiteral("Numeri"));
    window.Salva1->trigger();
    QVERIFY(!window.modified);
    const int saved = int(seen.size()) - 1;
    const QByteArray savedBytes = readBytes(exercises() + QStringLiteral("NUMERI.S01"));

    // Levels with a button and with the keys.
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::mouseClick(window.moltoImportanteBut, Qt::LeftButton);
    seen << look();
    QCOMPARE(seen.last().undoText, QStringLiteral("&Annulla livello della frase 1"));
    window.nonImportanteBut->setFocus();
    QTest::keyClick(window.nonImportanteBut, Qt::Key_Down);
    QTest::keyClick(window.nonImportanteBut, Qt::Key_Down);
    QTest::keyClick(window.nonImportanteBut, Qt::Key_Right);
    QTest::keyClick(window.importanteBut, Qt::Key_Space);
    seen << look();
    QCOMPARE(seen.last().undoText, QStringLiteral("&Annulla livello della frase 3"));
    QCOMPARE(window.textModel()->importanceOf(2), importante);

    // The task, typed in one opening of the panel, is one change; Ctrl+Z there
    // undoes it as anywhere else.
    QTest::mouseClick(window.suggBut, Qt::LeftButton);
    QTest::keyClicks(window.Memo1, QStringLiteral("Colora"));
    seen << look();
    QCOMPARE(seen.last().undoText, QStringLiteral("&Annulla modifica del compito"));
    QTest::keyClick(window.Memo1, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(window.Memo1->toPlainText(), QString());
    QTest::keyClick(window.Memo1, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(window.Memo1->toPlainText(), QStringLiteral("Colora"));
    QTest::keyClick(window.Memo1, Qt::Key_Escape);

    // Replace the current sentence, insert one above the first, remove the last.
    whenModalShown([](QWidget* modal) {
        auto dialog = qobject_cast<TeditFrase*>(modal);
        QVERIFY(dialog);
        dialog->memoFrase->setPlainText(QStringLiteral("TRE"));
        QTest::mouseClick(dialog->Image3, Qt::LeftButton);
        QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    });
    window.sostituisci->trigger();
    seen << look();
    QCOMPARE(seen.last().undoText, QStringLiteral("&Annulla sostituzione della frase 3"));
    QTest::keyClick(window.nonImportanteBut, Qt::Key_Home);
    whenModalShown([](QWidget* modal) {
        auto dialog = qobject_cast<TeditFrase*>(modal);
        QVERIFY(dialog);
        dialog->memoFrase->setPlainText(QStringLiteral("zero\nmezzo"));
        QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    });
    window.inseriscisopra->trigger();
    seen << look();
    QCOMPARE(seen.last().undoText, QStringLiteral("&Annulla inserimento della frase 1"));
    QTest::keyClick(window.nonImportanteBut, Qt::Key_End);
    script.answer(YesButton);
    window.rimuovi->trigger();
    seen << look();
    QCOMPARE(seen.last().undoText, QStringLiteral("&Annulla rimozione della frase 5"));
    QCOMPARE(window.textModel()->sentenceCount, 4);

    // Back to the empty window, change by change: the saved state is not
    // modified, every other one is (the empty window has nothing to save).
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    for (int i = int(seen.size()) - 1; i > 0; --i) {
        QVERIFY2(same(look(), seen[i]), qPrintable(QString::number(i)));
        QCOMPARE(window.modified, i != saved);
        QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier);
        if (i == int(seen.size()) - 1)
            QCOMPARE(window.textModel()->currentSentence, 4);   // the sentence removed is back, current
    }
    QVERIFY(same(look(), seen[0]));
    QVERIFY(!window.modified);
    QVERIFY(!window.annullaModifica->isEnabled());
    QCOMPARE(window.ripetiModifica->text(), QStringLiteral("&Ripeti conversione del testo"));

    // And forward again with both redo keys; the file saved is what the
    // window holds at the saved state.
    for (int i = 1; i < seen.size(); ++i) {
        if (i % 2)
            QTest::keyClick(&window, Qt::Key_Y, Qt::ControlModifier);
        else
            QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY2(same(look(), seen[i]), qPrintable(QString::number(i)));
        QCOMPARE(window.modified, i != saved);
        if (i == saved) {
            QCOMPARE(window.exerciseName, QStringLiteral("Numeri"));
            script.answer(YesButton);
            answerName(QStringLiteral("Numeri"), QStringLiteral("Numeri"));
            window.Salvaconnome1->trigger();
            QCOMPARE(readBytes(exercises() + QStringLiteral("NUMERI.S01")), savedBytes);
            window.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&window));
        }
    }
    QVERIFY(!window.ripetiModifica->isEnabled());

    // Opening an exercise leaves nothing to undo.
    script.answer(NoAnswerButton);
    chooseExercise(QStringLiteral("  scegli un esercizio"), QStringLiteral("Numeri"));
    window.apri1->trigger();
    QVERIFY(!window.modified);
    QVERIFY(!window.annullaModifica->isEnabled());
    QCOMPARE(window.textModel()->lines, seen[saved].lines);
}

// Unsaved work left by windows that went without closing (a crash) is
// offered by the next window: No keeps it for next time unless it is deleted,
// Sì brings it back modified, with its name; saving it, undoing back to the
// saved state or giving it up removes its file. A damaged file gives back
// what it holds and says what it lost; an unreadable one is said so.
void TestAuthoring::unsavedWorkIsOfferedAfterACrash()
{
    FakeClock clock;
    clock.fixDateTime(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 30)));
    Trecupero::setDelayForTests(0);
    const auto restore = qScopeGuard([] { Trecupero::setDelayForTests(1000); });
    const QDir recovery(context.recoveryFolder);
    const auto files = [&] { return recovery.entryList({QStringLiteral("*.rec")}, QDir::Files); };
    const auto mirrored = [](Trecupero* mirror) {
        QTRY_VERIFY(!mirror->timerRecupero->isActive());
        QVERIFY(mirror->file());
        mirror->file()->waitForWriter();
    };
    ScriptedDialogs script;
    Tprepara::ExerciseState lost;
    {
        Tprepara window(context);
        window.show();
        convertFile(script, window, writeText(QStringLiteral("numeri.txt"), QStringLiteral("uno\\due\\tre\\")), true);
        QTest::mouseClick(window.suggBut, Qt::LeftButton);
        QTest::keyClicks(window.Memo1, QStringLiteral("Colora"));
        QTest::keyClick(window.Memo1, Qt::Key_Escape);
        QTest::mouseClick(window.importanteBut, Qt::LeftButton);
        mirrored(window.recovery());
        QCOMPARE(files().size(), 1);
        lost = window.exerciseState();
    }
    // No, and No again: nothing changes and the work stays for next time.
    script.clear();
    script.answer(NoAnswerButton);
    script.answer(NoAnswerButton);
    {
        Tprepara window(context);
        QVERIFY(!window.offerRecoveredWork());
        QVERIFY(!window.textLoaded);
    }
    QCOMPARE(script.messages(), QStringList({QString::fromUtf8("È stato trovato un lavoro non salvato del 08/12/2026 alle "
                                                               "09:05 («nuovo esercizio»). Vuoi recuperarlo ?"),
                                             QStringLiteral("Vuoi eliminarlo ?")}));
    QCOMPARE(script.last().caption, QStringLiteral("Attenzione!"));
    QCOMPARE(files().size(), 1);

    // Sì, in the window as the main window opens it: the work is back,
    // modified and undoable; saved, its file goes.
    script.answer(YesButton);
    whenModalShown([&](QWidget* modal) {
        auto window = qobject_cast<Tprepara*>(modal);
        QVERIFY(window);
        QVERIFY(window->modified);
        QCOMPARE(window->textModel()->lines, lost.lines);
        QCOMPARE(window->Memo1->toPlainText(), QStringLiteral("Colora"));
        QCOMPARE(window->annullaModifica->text(), QStringLiteral("&Annulla recupero del lavoro non salvato"));
        answerName(QStringLiteral("Numeri"));
        window->Salva1->trigger();
        QVERIFY(!window->modified);
        QVERIFY(files().isEmpty());
        // A change is mirrored; undone back to the saved state, its file goes.
        QTest::mouseClick(window->moltoImportanteBut, Qt::LeftButton);
        mirrored(window->recovery());
        QCOMPARE(files().size(), 1);
        window->annullaModifica->trigger();
        QVERIFY(files().isEmpty());
        // Changed again and given up as the window closes: the file goes too.
        QTest::mouseClick(window->moltoImportanteBut, Qt::LeftButton);
        mirrored(window->recovery());
        script.answer(NoAnswerButton);
        window->close();
    });
    Tprepara::openModal(context, nullptr);
    QVERIFY(files().isEmpty());

    // A named exercise comes back under its name; a damaged file gives back
    // the sentences it holds whole.
    {
        Tprepara window(context);
        chooseExercise(QStringLiteral("  scegli un esercizio"), QStringLiteral("Numeri"));
        window.apri1->trigger();
        QTest::mouseClick(window.nonImportanteBut, Qt::LeftButton);
        mirrored(window.recovery());
        lost = window.exerciseState();
    }
    QCOMPARE(files().size(), 1);
    const QString path = recovery.filePath(files().constFirst());
    QByteArray bytes = readBytes(path);
    QVERIFY(writeBytes(path, bytes.left(bytes.lastIndexOf("\nr=", bytes.lastIndexOf("\nr=") - 1) + 1)));
    QVERIFY(writeBytes(recovery.filePath(QStringLiteral("esercizio-rotto.rec")), "non un lavoro\n"));
    script.clear();
    script.answer(YesButton);
    {
        Tprepara window(context);
        QVERIFY(window.offerRecoveredWork());
        QVERIFY(window.modified);
        QCOMPARE(window.exerciseName, QStringLiteral("Numeri"));
        QCOMPARE(window.textModel()->lines, lost.lines.mid(0, lost.lines.size() - 2));
        QCOMPARE(script.messages().value(1), QString::fromUtf8("Il file di recupero è danneggiato: si possono "
                                                               "recuperare solo 4 righe delle 6 del lavoro."));
        QVERIFY(script.messages().constFirst().contains(QString::fromUtf8("(«Numeri»)")));
        // The unreadable one is said so, and deleted on request.
        script.clear();
        script.answer(OkButton);
        script.answer(YesButton);
        Tprepara other(context);
        QVERIFY(!other.offerRecoveredWork());
        QCOMPARE(script.messages(), QStringList({QString::fromUtf8("Il file di recupero esercizio-rotto.rec è "
                                                                   "danneggiato: non vi si legge nessun lavoro."),
                                                 QStringLiteral("Vuoi eliminarlo ?")}));
    }
    // Only the file of the window that took the work up is left, with it.
    QCOMPARE(files().size(), 1);
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY(!files().contains(QStringLiteral("esercizio-rotto.rec")));

    // The text editor, opened from the preparation window, offers its text.
    {
        TeditForm editor(context, nullptr);
        QTest::keyClicks(editor.MemoEdit, QStringLiteral("Un testo mai salvato"));
        mirrored(editor.recovery());
    }
    script.clear();
    script.answer(YesButton);
    Tprepara window(context);
    whenModalShown([&](QWidget* modal) {
        auto editor = qobject_cast<TeditForm*>(modal);
        QVERIFY(editor);
        QCOMPARE(editor->MemoEdit->toPlainText(), QStringLiteral("Un testo mai salvato"));
        QVERIFY(editor->modified);
        script.answerFile(texts() + QStringLiteral("salvato.txt"));
        editor->Salva1->trigger();
        QCOMPARE(files().size(), 1);   // the exercise's alone
        editor->close();
    });
    window.editorditesto1->trigger();
    QVERIFY(script.messages().constFirst().contains(QString::fromUtf8("(«nuovo testo»)")));
    QCOMPARE(readBytes(texts() + QStringLiteral("salvato.txt")), QByteArray("Un testo mai salvato\n"));

    // A recovery folder that cannot be written is said once; the work goes on.
    AppContext blocked = context;
    blocked.recoveryFolder = texts() + QStringLiteral("salvato.txt/recupero/");
    Tprepara unsafe(blocked);
    unsafe.show();
    script.clear();
    convertFile(script, unsafe, texts() + QStringLiteral("numeri.txt"), true);
    for (int i = 0; i < 3; ++i) {
        mirrored(unsafe.recovery());
        QTest::mouseClick(unsafe.importanteBut, Qt::LeftButton);
    }
    QCOMPARE(script.messages().filter(QStringLiteral("copia di sicurezza")).size(), 1);
    QVERIFY(unsafe.modified);
}

QTEST_MAIN(TestAuthoring)
#include "tst_authoring.moc"
