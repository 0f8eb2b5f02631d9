#include "execution/Uopzioni.h"
#include "execution/Usceltae.h"
#include "common/Hint.h"
#include "common/Instruct.h"
#include "shell/Ucoperta.h"
#include "shell/Umascher.h"
#include "access/SerBtn.h"
#include "sound/AudioOutput.h"
#include "speech/SpeechEngine.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QTranslator>
#include <QLabel>
#include <QLineEdit>
#include <QMovie>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using testsupport::whenModalShown;

class TestShell : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void mainWindowControls();
    void largeButtonsShowTheProgramFolderPictures();
    void hintsAreWrappedAt40();
    void escapeAndCloseBoxAskBeforeLeaving();
    void executeKeyOpensTheRunSetUp();
    void functionKeysOpenTheInstructionTexts();
    void instructionTextIsReadOnlyAndScrolls();
    void optionsOkAppliesAndCancelKeeps();
    void optionsSpinRules();
    void optionsByKeyboardAlone();
    void coverWipesTheTitleAndClosesOnAKey();
    void programStartsOnTheCoverAndBuildsTheMainWindowBehindIt();
    void escapeClosingADropDownLeavesItsDialogOpen();
    void coverTitleKeepsTheCoverUnderTransparentPixels();
    void standardDialogsSpeakItalian();
    void speechSetUpNeedsAWorkingEngine();
    void speechAndAnimationStartRightAfterTheFirstFrame();

private:
    QTemporaryDir folder;
    AppContext context;
};

void TestShell::init()
{
    QVERIFY(folder.isValid());
    context = testsupport::makeContext(folder.path());
}

void TestShell::mainWindowControls()
{
    Tmaschera window(context);
    QCOMPARE(window.windowTitle(), QStringLiteral("  Salienta"));
    QCOMPARE(window.size(), QSize(640, 480));
    QCOMPARE(window.minimumSize(), window.maximumSize());
    QCOMPARE(Tmaschera::instance(), &window);

    struct Expected {
        const char* name;
        QRect geometry;
        const char* caption;
    };
    const Expected controls[] = {
        {"opzioniBut", {22, 24, 230, 33}, "&opzioni generali"},
        {"preparazioneBut", {22, 68, 230, 37}, "&preparazione dei testi"},
        {"SintesiBut", {22, 120, 230, 33}, "&configura sintesi"},
        {"risultatiBut", {22, 168, 230, 100}, "F9  &archivio di risultati"},
        {"esecuzioneBut", {22, 280, 230, 100}, "F10  &esecuzione degli esercizi"},
        {"ButtonInfo", {280, 400, 153, 33}, "F1    &informazioni"},
        {"projectBut", {448, 400, 153, 33}, "F2    p&rogetto"},
    };
    for (const Expected& expected : controls) {
        auto button = window.findChild<QAbstractButton*>(QLatin1String(expected.name));
        QVERIFY2(button, expected.name);
        QCOMPARE(button->geometry(), expected.geometry);
        QCOMPARE(button->text(), QString::fromUtf8(expected.caption));
    }
    auto picture = window.findChild<QLabel*>(QStringLiteral("paintMaschera"));
    QVERIFY(picture);
    QCOMPARE(picture->geometry(), QRect(268, 24, 340, 340));
    QCOMPARE(picture->alignment(), Qt::AlignCenter);

    window.resize(800, 600);
    QCOMPARE(window.size(), QSize(640, 480));
}

void TestShell::largeButtonsShowTheProgramFolderPictures()
{
    // The shipped pictures, shown as they are.
    context.programFolder = QStringLiteral(SALIENTA_ASSETS_DIR "/");
    {
        Tmaschera window(context);
        const struct {
            QToolButton* button;
            const char* file;
        } pictures[] = {{window.risultatiBut, "archivio.png"}, {window.esecuzioneBut, "esecuzione.png"}};
        for (const auto& picture : pictures) {
            const QImage expected =
                QImage(context.programFolder + QStringLiteral("immagini/") + QLatin1String(picture.file))
                    .convertToFormat(QImage::Format_ARGB32);
            QVERIFY2(!expected.isNull(), picture.file);
            QCOMPARE(picture.button->iconSize(), expected.size());
            const QImage shown = picture.button->icon()
                                     .pixmap(expected.size())
                                     .toImage()
                                     .convertToFormat(QImage::Format_ARGB32);
            QVERIFY2(shown == expected, picture.file);
        }
    }
    // A program folder without them still gives a working window, the two
    // buttons showing their captions only.
    context.programFolder = folder.path() + QLatin1Char('/');
    Tmaschera window(context);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.risultatiBut->icon().isNull());
    QVERIFY(window.esecuzioneBut->icon().isNull());
    QCOMPARE(window.risultatiBut->text(), QStringLiteral("F9  &archivio di risultati"));
}

void TestShell::hintsAreWrappedAt40()
{
    const QString forty(40, QLatin1Char('a'));
    QCOMPARE(wrapHint(forty), forty);
    QString fortyOne = QString(19, QLatin1Char('a')) + QLatin1Char(' ') + QString(21, QLatin1Char('b'));
    QCOMPARE(fortyOne.length(), 41);
    QCOMPARE(wrapHint(fortyOne), QString(19, QLatin1Char('a')) + QStringLiteral("\r\n")
                                     + QString(21, QLatin1Char('b')));

    const QString hint = QStringLiteral("Per creare, modificare, caricare, salvare gli esercizi che "
                                        "verranno successivamente eseguiti nella finestra...");
    const QStringList lines = wrapHint(hint).split(QStringLiteral("\r\n"));
    QVERIFY(lines.size() >= 3);
    QVERIFY(lines.first().length() <= 39);
    for (const QString& line : lines)
        QVERIFY2(line.length() <= 40, qPrintable(line));
    QCOMPARE(lines.join(QLatin1Char(' ')), hint);

    // A stretch without spaces is cut, and nothing is lost.
    const QString word(100, QLatin1Char('x'));
    const QString cut = wrapHint(word);
    QCOMPARE(QString(cut).remove(QStringLiteral("\r\n")), word);
    for (const QString& line : cut.split(QStringLiteral("\r\n")))
        QVERIFY(line.length() <= 40);

    Tmaschera window(context);
    QCOMPARE(window.opzioniBut->toolTip(),
             QStringLiteral("Permette di impostare alcuni parametri\ndi esecuzione degli esercizi."));
    QVERIFY(window.SintesiBut->toolTip().isEmpty());
}

void TestShell::escapeAndCloseBoxAskBeforeLeaving()
{
    ScriptedDialogs script;
    Tmaschera window(context);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    script.answer(NoAnswerButton);
    QTest::keyClick(&window, Qt::Key_Escape);
    QVERIFY(window.isVisible());
    QCOMPARE(script.last().caption, QStringLiteral("Conferma"));
    QCOMPARE(script.last().text, QStringLiteral("Vuoi uscire dal programma ?"));
    QCOMPARE(script.last().buttons, YesButton | NoAnswerButton);
    QCOMPARE(script.last().icon, DialogIcon::Question);

    // The close box asks the same question.
    script.answer(NoAnswerButton);
    QVERIFY(!window.close());
    QVERIFY(window.isVisible());

    script.answer(YesButton);
    QTest::keyClick(window.opzioniBut, Qt::Key_Escape);
    QVERIFY(!window.isVisible());
    QCOMPARE(script.asked().size(), 3);
}

void TestShell::executeKeyOpensTheRunSetUp()
{
    QVERIFY(QDir().mkpath(context.dataRoot + QStringLiteral("risult")));
    ScriptedDialogs script;
    Tmaschera window(context);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.esecuzioneBut->isEnabled());
    QString opened;
    testsupport::whenModalShown([&opened](QWidget* modal) {
        opened = modal->objectName();
        static_cast<QDialog*>(modal)->reject();
    });
    QTest::keyClick(&window, Qt::Key_F10);
    QCOMPARE(opened, QStringLiteral("sceltaEs"));
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY2(script.asked().isEmpty(), qPrintable(script.messages().join(QLatin1Char('|'))));
}

void TestShell::functionKeysOpenTheInstructionTexts()
{
    QVERIFY(testsupport::writeBytes(context.programFolder + QStringLiteral("istruzio.txt"),
                                    testsupport::toCp1252(QStringLiteral("Benvenuti in Salienta.\r\n"
                                                                         "Perché è utile.\r\n"))));
    Tmaschera window(context);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QString caption;
    QString text;
    auto readAndClose = [&](QWidget* modal) {
        caption = modal->windowTitle();
        text = modal->findChild<QPlainTextEdit*>(QStringLiteral("memo1"))->toPlainText();
        QTest::keyClick(modal, Qt::Key_Escape);
    };
    whenModalShown(readAndClose);
    QTest::keyClick(&window, Qt::Key_F1);
    QCOMPARE(caption, QStringLiteral(" informazioni"));
    QCOMPARE(text, QStringLiteral("Benvenuti in Salienta.\nPerché è utile.\n"));

    // "progetto.txt" is missing.
    whenModalShown(readAndClose);
    QTest::keyClick(&window, Qt::Key_F2);
    QCOMPARE(caption, QStringLiteral(" progetto"));
    QCOMPARE(text, QStringLiteral("Testo non disponibile"));

    whenModalShown([&](QWidget* modal) {
        caption = modal->windowTitle();
        QTest::mouseClick(modal->findChild<QPushButton*>(QStringLiteral("CancelBtn")), Qt::LeftButton);
    });
    QTest::mouseClick(window.ButtonInfo, Qt::LeftButton);
    QCOMPARE(caption, QStringLiteral(" informazioni"));
    QVERIFY(!QApplication::activeModalWidget());
}

void TestShell::instructionTextIsReadOnlyAndScrolls()
{
    QStringList lines;
    for (int i = 0; i < 200; ++i)
        lines << QStringLiteral("Riga numero %1 del testo di aiuto.").arg(i);
    QVERIFY(testsupport::writeBytes(context.programFolder + QStringLiteral("lungo.txt"),
                                    lines.join(QStringLiteral("\r\n")).toLatin1()));
    Tistruzioni window(context.programFolder);
    QCOMPARE(window.windowTitle(), QStringLiteral(" istruzioni"));
    QCOMPARE(window.size(), QSize(442, 453));
    window.showText(QStringLiteral("lungo.txt"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.memo1->isReadOnly());
    QVERIFY(window.memo1->verticalScrollBar()->maximum() > 0);
    QCOMPARE(window.memo1->focusPolicy(), Qt::NoFocus);
    // Keys scroll the text wherever the focus is.
    QScrollBar* bar = window.memo1->verticalScrollBar();
    QCOMPARE(bar->value(), 0);
    QTest::keyClick(window.CancelBtn, Qt::Key_PageDown);
    const int page = bar->value();
    QVERIFY(page > 0);
    QTest::keyClick(window.CancelBtn, Qt::Key_Down);
    QVERIFY(bar->value() > page);
    QTest::keyClick(&window, Qt::Key_End);
    QCOMPARE(bar->value(), bar->maximum());
    QTest::keyClick(&window, Qt::Key_Home);
    QCOMPARE(bar->value(), 0);
    QVERIFY(window.isVisible());
    QTest::keyClicks(window.memo1, QStringLiteral("xyz"));
    QCOMPARE(window.memo1->toPlainText(), lines.join(QLatin1Char('\n')));
    QCOMPARE(window.CancelBtn->geometry(), QRect(337, 8, 80, 28));
    QCOMPARE(window.PanelBottom->height(), 37);
    QCOMPARE(window.CancelBtn->text(), QStringLiteral("&Esci"));
}

void TestShell::optionsOkAppliesAndCancelKeeps()
{
    Tmaschera window(context);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.context().options.maxSentenceTime, 7);
    QCOMPARE(window.context().options.feedbackThreshold, 0.4);

    // Annulla after changes keeps everything.
    whenModalShown([](QWidget* modal) {
        auto form = qobject_cast<TopzioniForm*>(modal);
        QVERIFY(form);
        QCOMPARE(form->windowTitle(), QStringLiteral("  opzioni generali"));
        QCOMPARE(form->editTempoMax->text(), QStringLiteral("7"));
        QCOMPARE(form->editSogliaFeedback->text(), QStringLiteral("0.4"));
        QCOMPARE(form->focusWidget(), static_cast<QWidget*>(form->OKBtn));
        form->spinTempoMax->upButton()->click();
        form->checkAzzeramento->setChecked(true);
        QTest::mouseClick(form->CancelBtn, Qt::LeftButton);
    });
    QTest::mouseClick(window.opzioniBut, Qt::LeftButton);
    QCOMPARE(window.context().options.maxSentenceTime, 7);
    QVERIFY(!window.context().options.resetAnswersOnFeedback);

    whenModalShown([](QWidget* modal) {
        auto form = qobject_cast<TopzioniForm*>(modal);
        form->spinTempoMax->upButton()->click();
        form->spinTempoMax->upButton()->click();
        form->spinSogliaFeedback->downButton()->click();
        form->checkAzzeramento->setChecked(true);
        QTest::mouseClick(form->OKBtn, Qt::LeftButton);
    });
    QTest::mouseClick(window.opzioniBut, Qt::LeftButton);
    QCOMPARE(window.context().options.maxSentenceTime, 9);
    QCOMPARE(window.context().options.feedbackThreshold, 0.3);
    QVERIFY(window.context().options.resetAnswersOnFeedback);
    QVERIFY(!window.context().options.useSpeech);
    QCOMPARE(window.defaultOptions.maxSentenceTime, 7);
    QCOMPARE(window.defaultOptions.feedbackThreshold, 0.4);

    // The window opens on the options in force, and "<-->" brings the defaults back.
    whenModalShown([](QWidget* modal) {
        auto form = qobject_cast<TopzioniForm*>(modal);
        QCOMPARE(form->editTempoMax->text(), QStringLiteral("9"));
        QCOMPARE(form->editSogliaFeedback->text(), QStringLiteral("0.3"));
        QVERIFY(form->checkAzzeramento->isChecked());
        form->tempoBut->click();
        form->sogliaBut->click();
        form->azzeraBut->click();
        QTest::keyClick(form, Qt::Key_Return);
    });
    QTest::mouseClick(window.opzioniBut, Qt::LeftButton);
    QCOMPARE(window.context().options.maxSentenceTime, 7);
    QCOMPARE(window.context().options.feedbackThreshold, 0.4);
    QVERIFY(!window.context().options.resetAnswersOnFeedback);
}

void TestShell::optionsSpinRules()
{
    RunOptions current;
    current.maxSentenceTime = 1;
    TopzioniForm form(current, RunOptions{});
    QVERIFY(form.editTempoMax->isReadOnly());
    QVERIFY(form.editSogliaFeedback->isReadOnly());

    form.spinTempoMax->downButton()->click();
    QCOMPARE(form.editTempoMax->text(), QStringLiteral("0"));
    QVERIFY(form.CheckSintesi->isChecked());
    form.spinTempoMax->downButton()->click();
    QCOMPARE(form.editTempoMax->text(), QStringLiteral("0"));
    form.spinTempoMax->upButton()->click();
    QCOMPARE(form.editTempoMax->text(), QStringLiteral("1"));
    QVERIFY(!form.CheckSintesi->isChecked());
    for (int i = 0; i < 130; ++i)
        form.spinTempoMax->upButton()->click();
    QCOMPARE(form.editTempoMax->text(), QStringLiteral("120"));

    QStringList seen;
    for (int i = 0; i < 25; ++i) {
        form.spinSogliaFeedback->downButton()->click();
        seen << form.editSogliaFeedback->text();
    }
    QCOMPARE(form.editSogliaFeedback->text(), QStringLiteral("0.1"));
    QCOMPARE(seen.mid(0, 4), (QStringList{QStringLiteral("0.3"), QStringLiteral("0.2"),
                                          QStringLiteral("0.1"), QStringLiteral("0.1")}));
    QStringList upward;
    for (int i = 0; i < 25; ++i) {
        form.spinSogliaFeedback->upButton()->click();
        upward << form.editSogliaFeedback->text();
    }
    QCOMPARE(form.editSogliaFeedback->text(), QStringLiteral("2.0"));
    QCOMPARE(upward.indexOf(QStringLiteral("2.0")), 18);
    QCOMPARE(form.chosenOptions().feedbackThreshold, 2.0);

    // An unreadable threshold does not move, and OK reads it as 0.4.
    form.editSogliaFeedback->setText(QStringLiteral("abc"));
    form.spinSogliaFeedback->upButton()->click();
    QCOMPARE(form.editSogliaFeedback->text(), QStringLiteral("abc"));
    QCOMPARE(form.chosenOptions().feedbackThreshold, 0.4);
    QCOMPARE(formatThreshold(0.4), QStringLiteral("0.4"));
}

void TestShell::optionsByKeyboardAlone()
{
    Tmaschera window(context);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    whenModalShown([](QWidget* modal) {
        auto form = qobject_cast<TopzioniForm*>(modal);
        QVERIFY(form);
        QVERIFY(QTest::qWaitForWindowActive(form));
        auto key = [form](Qt::Key k) { QTest::keyClick(form->focusWidget(), k); };
        auto tabTo = [form, &key](QWidget* target) {
            for (int i = 0; i < 12 && form->focusWidget() != target; ++i)
                key(Qt::Key_Tab);
            return form->focusWidget() == target;
        };
        // The time: arrows step by one within 0..120, pages by ten.
        QVERIFY(tabTo(form->editTempoMax));
        QCOMPARE(form->editTempoMax->selectedText(), QStringLiteral("7"));
        key(Qt::Key_Up);
        key(Qt::Key_Up);
        QCOMPARE(form->editTempoMax->text(), QStringLiteral("9"));
        QCOMPARE(form->editTempoMax->selectedText(), QStringLiteral("9"));    // still shown focused
        key(Qt::Key_PageUp);
        QCOMPARE(form->editTempoMax->text(), QStringLiteral("19"));
        for (int i = 0; i < 12; ++i)
            key(Qt::Key_PageUp);
        QCOMPARE(form->editTempoMax->text(), QStringLiteral("120"));
        for (int i = 0; i < 13; ++i)
            key(Qt::Key_PageDown);
        QCOMPARE(form->editTempoMax->text(), QStringLiteral("0"));
        QVERIFY(form->CheckSintesi->isChecked());    // as the down arrow does
        key(Qt::Key_Down);
        QCOMPARE(form->editTempoMax->text(), QStringLiteral("0"));
        key(Qt::Key_Up);
        QVERIFY(!form->CheckSintesi->isChecked());
        // The threshold: steps of 0.1 within 0.1..2.0.
        QVERIFY(tabTo(form->editSogliaFeedback));
        key(Qt::Key_Down);
        QCOMPARE(form->editSogliaFeedback->text(), QStringLiteral("0.3"));
        key(Qt::Key_PageUp);
        QCOMPARE(form->editSogliaFeedback->text(), QStringLiteral("1.3"));
        key(Qt::Key_PageUp);
        QCOMPARE(form->editSogliaFeedback->text(), QStringLiteral("2.0"));
        key(Qt::Key_Up);
        QCOMPARE(form->editSogliaFeedback->text(), QStringLiteral("2.0"));
        key(Qt::Key_PageDown);
        key(Qt::Key_PageDown);
        QCOMPARE(form->editSogliaFeedback->text(), QStringLiteral("0.1"));
        key(Qt::Key_Up);
        key(Qt::Key_Return);    // OK, the default button
    });
    QTest::mouseClick(window.opzioniBut, Qt::LeftButton);
    QCOMPARE(window.context().options.maxSentenceTime, 1);
    QCOMPARE(window.context().options.feedbackThreshold, 0.2);
    QVERIFY(!window.context().options.useSpeech);
}

void TestShell::coverWipesTheTitleAndClosesOnAKey()
{
    // With no pictures at all the cover still opens.
    Tcopertina empty(context.programFolder);
    empty.show();
    QVERIFY(QTest::qWaitForWindowExposed(&empty));
    QTest::keyClick(&empty, Qt::Key_A);
    QVERIFY(!empty.isVisible());

    QDir().mkpath(context.programFolder + QStringLiteral("immagini"));
    QImage cover(640, 460, QImage::Format_RGB32);
    cover.fill(QColor(0, 0, 255));
    QVERIFY(cover.save(context.programFolder + QStringLiteral("immagini/cover.bmp")));
    QImage lettering(140, 40, QImage::Format_RGB32);
    lettering.fill(QColor(255, 255, 255));
    QPainter(&lettering).fillRect(10, 10, 120, 20, QColor(255, 0, 0));
    QVERIFY(lettering.save(context.programFolder + QStringLiteral("immagini/scritta.bmp")));

    Tcopertina window(context.programFolder);
    QCOMPARE(window.size(), QSize(632, 453));
    window.show();
    TcopertinaPaintBox* box = window.PaintCopertina;
    // Showing the cover starts the wipe.
    QVERIFY(box->wipeRunning());
    QCOMPARE(box->wipePosition(), 0);
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // Timed from here: a busy machine may take longer than the pause to
    // show the window.
    box->restartWipe();
    QElapsedTimer shownFor;
    shownFor.start();
    QCOMPARE(box->wipePosition(), 0);
    QTest::qWait(200);
    // Still inside the 700 ms pause (checked only when a busy machine did not
    // hold the test back that long).
    if (shownFor.elapsed() < 600)
        QCOMPARE(box->wipePosition(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!box->wipeRunning(), 5000);
    QVERIFY(box->wipePosition() > 140);
    QCOMPARE(box->wipePosition() % 7, 0);

    // What the window shows, read from the screen (painting the box again
    // would start the wipe again): the lettering over the cover, the rest of
    // the title area shows the cover.
    const QPoint origin = box->mapTo(&window, QPoint(0, 0));
    auto onScreen = [&window, origin](int x, int y) {
        return window.screen()->grabWindow(window.winId()).toImage().pixelColor(origin + QPoint(x, y));
    };
    QCOMPARE(onScreen(70 + 20, 47 + 15), QColor(255, 0, 0));
    QCOMPARE(onScreen(70 + 2, 47 + 2), QColor(0, 0, 255));

    // Any repaint that is not one of the wipe's strips (the cover uncovered,
    // for instance) shows the cover alone and wipes the title in again.
    box->repaint();
    QCOMPARE(box->wipePosition(), 0);
    QVERIFY(box->wipeRunning());
    QCOMPARE(onScreen(70 + 20, 47 + 15), QColor(0, 0, 255));
    QTRY_VERIFY_WITH_TIMEOUT(!box->wipeRunning(), 5000);
    QVERIFY(box->wipePosition() > 140);
    QCOMPARE(onScreen(70 + 20, 47 + 15), QColor(255, 0, 0));

    bool closed = false;
    connect(&window, &QDialog::finished, this, [&closed]() { closed = true; });
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(300, 200));
    QVERIFY(closed);
}

void TestShell::coverTitleKeepsTheCoverUnderTransparentPixels()
{
    QImage cover(200, 100, QImage::Format_RGB32);
    for (int x = 0; x < 200; ++x)
        for (int y = 0; y < 100; ++y)
            cover.setPixelColor(x, y, QColor(x, y, 0));
    QImage lettering(20, 10, QImage::Format_RGB32);
    lettering.fill(QColor(1, 2, 3));
    lettering.setPixelColor(5, 5, QColor(255, 255, 255));
    const QImage title = buildTitlePicture(cover, lettering, QPoint(70, 47)).toImage();
    QCOMPARE(title.size(), QSize(20, 10));
    QCOMPARE(title.pixelColor(0, 0), QColor(70, 47, 0));
    QCOMPARE(title.pixelColor(19, 9), QColor(89, 56, 0));
    QCOMPARE(title.pixelColor(5, 5), QColor(255, 255, 255));
}

void TestShell::standardDialogsSpeakItalian()
{
    QTranslator translator;
    QVERIFY(loadQtTranslation(translator));
    QVERIFY(QCoreApplication::installTranslator(&translator));
    QDialogButtonBox box(QDialogButtonBox::Cancel | QDialogButtonBox::Yes);
    QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Annulla"));
    QCOMPARE(box.button(QDialogButtonBox::Yes)->text().remove(QLatin1Char('&')), QStringLiteral("Sì"));
    QCoreApplication::removeTranslator(&translator);
}

void TestShell::speechSetUpNeedsAWorkingEngine()
{
    QVERIFY(!SpeechAvailable);
    Tmaschera window(context);
    QVERIFY(!window.SintesiBut->isEnabled());
    QVERIFY(window.bottoneSeriale());
    QVERIFY(!window.bottoneSeriale()->portReady());
    // The windows it opens are lent the same serial-switch object.
    QCOMPARE(window.context().serialSwitches, window.bottoneSeriale());
}

void TestShell::programStartsOnTheCoverAndBuildsTheMainWindowBehindIt()
{
    context.programFolder = QStringLiteral(SALIENTA_ASSETS_DIR "/");
    bool coverFirst = false;
    bool builtBehindIt = false;
    whenModalShown([&](QWidget* cover) {
        QVERIFY(qobject_cast<Tcopertina*>(cover));
        coverFirst = !Tmaschera::instance() || !Tmaschera::instance()->isVisible();
        // The main window is built once the cover is on screen, and waits.
        QTRY_VERIFY(Tmaschera::instance());
        builtBehindIt = !Tmaschera::instance()->isVisible() && cover->isVisible();
        QTest::keyClick(cover, Qt::Key_Space);
    });
    const std::unique_ptr<Tmaschera> window = startProgram(context);
    QVERIFY(coverFirst);
    QVERIFY(builtBehindIt);
    QCOMPARE(Tmaschera::instance(), window.get());
    QVERIFY(window->isVisible());
    QVERIFY(!QApplication::activeModalWidget());
    window->hide();
}

// F10 from the main window opens the run set-up; Esc in its list of names
// closes the list only, and a second Esc closes the set-up.
void TestShell::escapeClosingADropDownLeavesItsDialogOpen()
{
    Tmaschera window(context);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    bool listClosed = false;
    bool setUpStayed = false;
    whenModalShown([&](QWidget* modal) {
        auto setUp = qobject_cast<TsceltaEs*>(modal);
        QVERIFY(setUp);
        setUp->comboNomi->addItems({QStringLiteral("ANNA"), QStringLiteral("LUCA")});
        setUp->comboNomi->showPopup();
        QTRY_VERIFY(QApplication::activePopupWidget());
        QTest::keyClick(QApplication::activePopupWidget()->windowHandle(), Qt::Key_Escape);
        QTRY_VERIFY(!QApplication::activePopupWidget());
        listClosed = true;
        QTest::qWait(50);
        setUpStayed = setUp->isVisible();
        QTest::keyClick(setUp->windowHandle(), Qt::Key_Escape);
    });
    QTest::keyClick(window.windowHandle(), Qt::Key_F10);
    QVERIFY(listClosed);
    QVERIFY(setUpStayed);
    QVERIFY(!QApplication::activeModalWidget());
    window.hide();
}

void TestShell::speechAndAnimationStartRightAfterTheFirstFrame()
{
    // A home of its own: the speech settings are looked for there.
    QTemporaryDir home;
    const QByteArray previousHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    QDir().mkpath(context.programFolder + QStringLiteral("immagini"));
    const QString built = QCoreApplication::applicationDirPath() + QStringLiteral("/../immagini/salAnim.gif");
    QVERIFY(QFile::copy(built, context.programFolder + QStringLiteral("immagini/salAnim.gif")));
    installSpeechAudioOutput(std::make_unique<CaptureAudioOutput>());

    Tmaschera window(context);
    QVERIFY(!window.SintesiBut->isEnabled());
    // What the first frame of the window found.
    struct FirstFrame : QObject {
        Tmaschera* window = nullptr;
        int paints = 0;
        bool speechBefore = true;
        bool animationBefore = true;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Paint && paints++ == 0) {
                speechBefore = SpeechAvailable;
                animationBefore = window->paintMaschera->movie() != nullptr;
            }
            return false;
        }
    } frame;
    frame.window = &window;
    window.installEventFilter(&frame);
    whenModalShown([](QWidget* cover) { QTest::keyClick(cover, Qt::Key_Space); });
    window.start();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(frame.paints > 0);
    QVERIFY(!frame.speechBefore);
    QVERIFY(!frame.animationBefore);
    // By the time a key or a click can be handled, both are running.
    QVERIFY(SpeechAvailable);
    QVERIFY(window.SintesiBut->isEnabled());
    QVERIFY(window.paintMaschera->movie());
    QCOMPARE(window.paintMaschera->movie()->state(), QMovie::Running);

    window.hide();
    VS_DestroySpeechEngine();
    qputenv("HOME", previousHome);
}

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
