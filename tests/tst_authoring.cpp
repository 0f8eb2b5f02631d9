#include "common/UQuery.h"
#include "authoring/Uedfrase.h"
#include "authoring/Uedit.h"
#include "authoring/Uloaddel.h"
#include "authoring/Uprepara.h"
#include "authoring/Useparat.h"
#include "model/Funzioni.h"
#include "model/SafeFile.h"
#include "shell/Umascher.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QClipboard>
#include <QComboBox>
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
    std::pair<int, int> extent;
    {
        QPainter canvas(&window.textPicture);
        canvas.setFont(window.textFont);
        extent = window.textModel()->sentenceExtent(canvas, n);
    }
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

private:
    std::unique_ptr<QTemporaryDir> folder;
};

void TestAuthoring::init()
{
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
        QCOMPARE(window.textPicture.size(), window.PaintCanvas->size());
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
    QCOMPARE(script.last().text, texts().chopped(1) + QStringLiteral("|tutti i file (*)"));
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
    QCOMPARE(window.textPicture.pixelColor(window.textPicture.width() - 40, 2), QColor(Qt::white));

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
        // Saved under a name without extension: ".txt" is added.
        script.answerFile(texts() + QStringLiteral("mare"));
        editor->Salva1->trigger();
        QCOMPARE(script.last().kind, QStringLiteral("save"));
        QCOMPARE(readBytes(texts() + QStringLiteral("mare.txt")),
                 QByteArray("Il sole [splende]. Il mare\r\nluccica.\r\n"));
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
             QByteArray("Il sole [splende]. Il mare\r\nluccica.\r\n"));
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
    QCOMPARE(readBytes(texts() + QStringLiteral("vecchio.txt")), QByteArray("nuovo\r\n"));
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
    QCOMPARE(readBytes(texts() + QStringLiteral("vecchio.txt")), QByteArray("nuovo ancora\r\n"));

    // Characters that cannot be stored are refused as they are typed.
    QTest::sendKeyEvent(QTest::Click, editor.MemoEdit, Qt::Key_unknown, QString(QChar(0x0101)), Qt::NoModifier);
    QVERIFY(script.last().text.startsWith(QString::fromUtf8("Il carattere ā non si può salvare")));
    QCOMPARE(editor.MemoEdit->toPlainText(), QStringLiteral("nuovo ancora"));
    QVERIFY(!editor.modified);
    QTest::keyClick(editor.MemoEdit, Qt::Key_Escape);
    QVERIFY(!editor.isVisible());
}

void TestAuthoring::menusFontAndHelpFromTheKeyboard()
{
    ScriptedDialogs script;
    QVERIFY(writeBytes(context.programFolder + QStringLiteral("consegna.txt"), "Scrivi la consegna.\r\n"));
    const QString path = writeText(QStringLiteral("breve.txt"), QStringLiteral("Prima. Seconda."));
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
    QCOMPARE(window.textFont.pointSize(), 48);
    QCOMPARE(window.textFont.family(), QStringLiteral("Liberation Sans"));
    QVERIFY(window.ScrollBar1->maximum() >= before);
    script.cancelFont();
    window.opzionidivisualizzazione1->trigger();
    QCOMPARE(window.textFont.pointSize(), 48);

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

QTEST_MAIN(TestAuthoring)
#include "tst_authoring.moc"
