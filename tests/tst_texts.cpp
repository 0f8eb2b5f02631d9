// Texts from every source, through the real windows: plain texts in UTF-8,
// UTF-16 and windows-1252, OpenDocument, Word, web pages and PDF documents
// (made with LibreOffice, in tests/data/texts) converted into exercises and
// saved byte for byte; the editor keeping the bytes of what it did not
// change; characters an exercise cannot hold replaced and told; documents
// that cannot be read refused with the exercise kept; a long document read
// with its progress shown and stopped with "Annulla".

#include "authoring/SourceReader.h"
#include "authoring/Uedfrase.h"
#include "authoring/Uedit.h"
#include "authoring/Uprepara.h"
#include "authoring/Useparat.h"
#include "common/AppContext.h"
#include "common/UQuery.h"
#include "model/PlainText.h"
#include "model/TextSources.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPdfWriter>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <memory>

using testsupport::readBytes;
using testsupport::toCp1252;
using testsupport::whenModalShown;
using testsupport::writeBytes;

namespace {

const QString dataFolder = QStringLiteral(SALIENTA_SOURCE_DIR "/tests/data/texts/");

// The context the windows under test are given, made afresh for each test.
AppContext context;

QString texts()
{
    return context.dataRoot + QStringLiteral("testi/");
}

QString exercises()
{
    return context.dataRoot + QStringLiteral("esercizi/");
}

// A file of tests/data/texts copied into the texts folder; its path there.
QString copied(const QString& name)
{
    const QString path = texts() + name;
    QFile::remove(path);
    if (!QFile::copy(dataFolder + name, path))
        return {};
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return path;
}

// "Converti file di testo..." on `path`, the full stop as separator.
void convertFile(ScriptedDialogs& script, Tprepara& window, const QString& path)
{
    script.answerFile(path);
    whenModalShown([](QWidget* modal) {
        auto form = qobject_cast<TsepaForm*>(modal);
        QVERIFY(form);
        QTest::mouseClick(form->OKBtn, Qt::LeftButton);
    });
    window.Aprifileditesto1->trigger();
}

// Saves the window's new exercise under `name`; the bytes of its file.
QByteArray saveExercise(Tprepara& window, const QString& name, const QString& fileName)
{
    whenModalShown([name](QWidget* modal) {
        auto form = qobject_cast<TFormQuery*>(modal);
        QVERIFY(form);
        form->Edit1->setText(name);
        QTest::mouseClick(form->ButtonOK, Qt::LeftButton);
    });
    window.Salva1->trigger();
    return readBytes(exercises() + fileName);
}

// An exercise file with no task and every sentence "non importante":
// `lines` are its text lines, "~" standing for the tag line (the lines of
// the text that a sentence spans are joined into one).
QByteArray exerciseBytes(const QStringList& lines)
{
    QString text = QStringLiteral("[compito]\r\n\r\n[testo]\r\n");
    for (const QString& line : lines)
        text += (line == QLatin1String("~") ? QStringLiteral("~nonImportante~") : line) + QStringLiteral("\r\n");
    return toCp1252(text);
}

// The text area's text as it would be stored, non-breaking spaces kept.
QString memoText(TmemoControllato* memo)
{
    return memo->plainText();
}

void paste(TmemoControllato* memo, const QString& text)
{
    auto mime = std::make_unique<QMimeData>();
    mime->setText(text);
    QApplication::clipboard()->setMimeData(mime.release());
    memo->paste();
}

void typeChar(QWidget* widget, const QString& c)
{
    QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, c, Qt::NoModifier);
}

// A PDF of `pages` pages, each with three short paragraphs of its own.
bool writeLongPdf(const QString& path, int pages)
{
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(72);
    QPainter painter(&writer);
    QFont font(QStringLiteral("Liberation Serif"));
    font.setPointSize(12);
    painter.setFont(font);
    for (int page = 1; page <= pages; ++page) {
        if (page > 1 && !writer.newPage())
            return false;
        painter.drawText(72, 200, QStringLiteral("Capitolo %1: il viaggio continua.").arg(page));
        painter.drawText(72, 240, QString::fromUtf8("Il fiume passa per la città numero %1.").arg(page));
        painter.drawText(72, 280, QString::fromUtf8("Fine della pagina %1.").arg(page));
    }
    return painter.end();
}

} // namespace

class TestTexts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void plainTextsInEveryEncodingBecomeTheSameExercise();
    void documentsGiveTheirParagraphs();
    void unreadableDocumentsKeepTheExercise();
    void editorKeepsTheBytesOfWhatItDidNotChange();
    void editorOpensADocumentAsANewText();
    void pasteReplacesWhatAnExerciseCannotHold();
    void longDocumentShowsProgressAndStopsOnAnnulla();
    void everyEncodingReadsAndWritesBack_data();
    void everyEncodingReadsAndWritesBack();

private:
    std::unique_ptr<QTemporaryDir> folder;
};

void TestTexts::initTestCase()
{
    // Small files are read at once; only the progress test wants the window.
    setProgressDelayForTests(60 * 60 * 1000);
}

void TestTexts::init()
{
    folder = std::make_unique<QTemporaryDir>();
    QVERIFY(folder->isValid());
    context = testsupport::makeContext(folder->path());
    QVERIFY(QDir().mkpath(context.programFolder + QStringLiteral("immagini")));
    QVERIFY(QDir().mkpath(exercises()));
    QVERIFY(QDir().mkpath(texts()));
    for (const char* name : {"nonBu1.bmp", "nonBu2.bmp", "impBu1.bmp", "impBu2.bmp", "moltoBu1.bmp", "moltoBu2.bmp"}) {
        const QString relative = QStringLiteral("/immagini/") + QLatin1String(name);
        QVERIFY(QFile::copy(QStringLiteral(SALIENTA_ASSETS_DIR) + relative, folder->path() + relative));
    }
}

void TestTexts::cleanup()
{
    setProgressDelayForTests(60 * 60 * 1000);
    setReadStepHookForTests({});
}

// The same Italian text in UTF-8, UTF-8 with a byte-order mark and CR LF,
// UTF-16 with a byte-order mark and windows-1252: each is converted into the
// same sentences and saved as the same windows-1252 exercise.
void TestTexts::plainTextsInEveryEncodingBecomeTheSameExercise()
{
    const QByteArray expected = exerciseBytes({
        QStringLiteral("~"), QString::fromUtf8("La città è sul fiume."),
        QStringLiteral("~"), QString::fromUtf8("Perché si chiama così? Nessuno lo sa più: l’acqua è fresca d’estate."),
    });
    const QStringList files = {QStringLiteral("testo-utf8.txt"), QStringLiteral("testo-utf8-bom.txt"),
                               QStringLiteral("testo-utf16.txt"), QStringLiteral("testo-1252.txt")};
    for (int i = 0; i < files.size(); ++i) {
        ScriptedDialogs script;
        Tprepara window(context);
        window.show();
        const QByteArray before = readBytes(dataFolder + files.at(i));
        convertFile(script, window, copied(files.at(i)));
        QVERIFY2(window.textLoaded, qPrintable(files.at(i)));
        QCOMPARE(window.textModel()->sentenceCount, 2);
        QVERIFY(script.messages().isEmpty());
        const QString name = QStringLiteral("Testo%1").arg(i);
        QCOMPARE(saveExercise(window, name, QStringLiteral("TESTO%1.S01").arg(i)), expected);
        // The text itself is left as it was.
        QCOMPARE(readBytes(texts() + files.at(i)), before);
    }
}

// A small OpenDocument text, the same saved as Word and as PDF by
// LibreOffice, and a web page: each paragraph is a line, a word split in two
// runs is whole, and the title of the page, the comment, the footnote, the
// page header, the style and the script are left out.
void TestTexts::documentsGiveTheirParagraphs()
{
    const QStringList sentences = {
        QStringLiteral("~"), QString::fromUtf8("La città sul fiume La città è antica."),
        QStringLiteral("~"), QString::fromUtf8("Perché si chiama così? Nessuno lo sa più."),
        QStringLiteral("~"), QString::fromUtf8("Il fiume scorre lento e l’acqua è fresca d’estate."),
        QStringLiteral("~"), QString::fromUtf8("Sul ponte passano i carri, i cavalli e le biciclette dei "
                                               "ragazzi che vanno a scuola ogni mattina, anche quando "
                                               "piove e il cielo è grigio sopra le case."),
        QStringLiteral("~"), QString::fromUtf8("Dopo la guerra la città rinacque."),
        QStringLiteral("~"), QString::fromUtf8("Oggi è una città viva."),
    };
    const QStringList documents = {QStringLiteral("citta.odt"), QStringLiteral("citta.docx"),
                                   QStringLiteral("citta.pdf")};
    for (int i = 0; i < documents.size(); ++i) {
        ScriptedDialogs script;
        Tprepara window(context);
        // The window lays a sentence out in lines of its width, and saves
        // those lines: wide enough, every sentence is one line.
        window.resize(2400, 800);
        window.show();
        convertFile(script, window, copied(documents.at(i)));
        QVERIFY2(window.textLoaded, qPrintable(documents.at(i) + script.messages().join(u'\n')));
        // The conversion's file dialog offers every kind of file.
        const QString filter = script.asked().constFirst().text;
        for (const char* kind : {"*.txt", "*.odt", "*.docx", "*.htm", "*.html", "*.pdf"})
            QVERIFY2(filter.contains(QLatin1String(kind)), kind);
        QVERIFY2(script.messages().isEmpty(), qPrintable(script.messages().join(u'\n')));
        QCOMPARE(window.textModel()->sentenceCount, 6);
        const QByteArray saved =
            saveExercise(window, QStringLiteral("Doc%1").arg(i), QStringLiteral("DOC%1.S01").arg(i));
        QCOMPARE(testsupport::fromCp1252(saved).split(QStringLiteral("\r\n")),
                 testsupport::fromCp1252(exerciseBytes(sentences)).split(QStringLiteral("\r\n")));
        QCOMPARE(saved, exerciseBytes(sentences));
    }

    // The web page declares windows-1252; its arrow cannot go into an
    // exercise and is written "->", which the teacher is told.
    ScriptedDialogs script;
    Tprepara window(context);
    window.show();
    convertFile(script, window, copied(QStringLiteral("pagina.html")));
    QVERIFY(window.textLoaded);
    QCOMPARE(script.messages().size(), 1);
    QCOMPARE(script.messages().constFirst(),
             QString::fromUtf8("Alcuni caratteri non si possono salvare in un esercizio e sono stati "
                               "sostituiti:\n«→» con «->»"));
    const QByteArray page = saveExercise(window, QStringLiteral("Pagina"), QStringLiteral("PAGINA.S01"));
    QCOMPARE(page, exerciseBytes({
        QStringLiteral("~"), QString::fromUtf8("La città sul fiume La città è antica."),
        QStringLiteral("~"), QString::fromUtf8("Perché si chiama così? Nessuno lo sa più."),
        QStringLiteral("~"), QString::fromUtf8("Il fiume scorre lento e l’acqua è fresca d’estate -> verso il mare."),
        QStringLiteral("~"), QString::fromUtf8("Sul ponte passano i carri, i cavalli e le biciclette dei ragazzi."),
    }));
}

// A protected, damaged, empty or scanned document, an old Word file, a file
// that is no text and a blank text: a message that names the file and says why, and the
// exercise in the window stays as it was, with its levels.
void TestTexts::unreadableDocumentsKeepTheExercise()
{
    ScriptedDialogs script;
    Tprepara window(context);
    window.show();
    convertFile(script, window, copied(QStringLiteral("citta.odt")));
    QCOMPARE(window.textModel()->sentenceCount, 6);
    QTest::mouseClick(window.importanteBut, Qt::LeftButton);
    QCOMPARE(window.textModel()->importanceOf(0), importante);
    QVERIFY(writeBytes(texts() + QStringLiteral("immagine.txt"), QByteArray("GIF89a\x01\x00\x00\x00\x00", 11)));
    QVERIFY(writeBytes(texts() + QStringLiteral("bianco.txt"), QByteArray("   \r\n\r\n  ")));

    const QList<std::pair<QString, QString>> cases = {
        {QStringLiteral("protetto.odt"), QString::fromUtf8("Il file protetto.odt è protetto da una password")},
        {QStringLiteral("protetto.pdf"), QString::fromUtf8("Il file protetto.pdf è protetto da una password")},
        {QStringLiteral("danneggiato.docx"), QString::fromUtf8("Il file danneggiato.docx è danneggiato")},
        {QStringLiteral("vuoto.odt"), QStringLiteral("Il file vuoto.odt non contiene testo.")},
        {QStringLiteral("scansione.pdf"), QStringLiteral("Il file scansione.pdf non contiene testo: ")},
        {QStringLiteral("vecchio.doc"), QString::fromUtf8("Il file vecchio.doc è un documento nel vecchio formato di Word")},
        {QStringLiteral("immagine.txt"), QString::fromUtf8("Il file immagine.txt non è un testo")},
        {QStringLiteral("bianco.txt"), QStringLiteral("Il file bianco.txt non contiene testo.")},
    };
    for (const auto& [name, message] : cases) {
        const QString path = QFile::exists(texts() + name) ? texts() + name : copied(name);
        script.clear();
        script.answer(NoAnswerButton);   // the changed exercise need not be saved first
        convertFile(script, window, path);
        QCOMPARE(script.messages().size(), 2);
        QVERIFY2(script.last().text.startsWith(message), qPrintable(script.last().text));
        QCOMPARE(window.textModel()->sentenceCount, 6);
        QCOMPARE(window.textModel()->importanceOf(0), importante);
        QVERIFY(window.modified);
    }
}

// Texts opened and saved in the editor keep their bytes: encoding, line
// ends, non-breaking spaces and long lines; a change changes only itself; a
// windows-1252 text stays windows-1252; a new text is UTF-8 with LF.
void TestTexts::editorKeepsTheBytesOfWhatItDidNotChange()
{
    ScriptedDialogs script;
    TeditForm editor(context, nullptr);
    editor.show();

    // UTF-8 with LF, a non-breaking space and a paragraph of 292 characters.
    const QString utf8 = copied(QStringLiteral("editor-utf8.txt"));
    const QByteArray utf8Bytes = readBytes(utf8);
    script.answerFile(utf8);
    editor.Apri1->trigger();
    QCOMPARE(editor.windowTitle(), QStringLiteral(" editor di testo - editor-utf8.txt"));
    QCOMPARE(memoText(editor.MemoEdit), QString::fromUtf8(utf8Bytes).chopped(1));
    QCOMPARE(editor.memoLines().size(), 4);
    QCOMPARE(editor.memoLines().at(1).size(), 292);
    QVERIFY(memoText(editor.MemoEdit).contains(QString::fromUtf8("20\u00A0000")));
    editor.Salva1->trigger();
    QCOMPARE(readBytes(utf8), utf8Bytes);
    // One word changed, one letter outside windows-1252 typed: the rest stays.
    QVERIFY(editor.MemoEdit->find(QStringLiteral("abitanti")));
    QTest::keyClicks(editor.MemoEdit, QStringLiteral("persone"));
    typeChar(editor.MemoEdit, QString::fromUtf8("ő"));
    QVERIFY(editor.modified);
    editor.Salva1->trigger();
    QByteArray changed = utf8Bytes;
    changed.replace("abitanti", QString::fromUtf8("personeő").toUtf8());
    QCOMPARE(readBytes(utf8), changed);
    QVERIFY(script.messages().isEmpty());

    // windows-1252 with CR LF, a non-breaking space, "€" and curly quotes.
    const QString cp = copied(QStringLiteral("editor-1252.txt"));
    const QByteArray cpBytes = readBytes(cp);
    QVERIFY(cpBytes.contains("20\xA0" "000") && cpBytes.contains("\x93Perch\xE9"));
    script.answerFile(cp);
    editor.Apri1->trigger();
    QVERIFY(memoText(editor.MemoEdit).startsWith(QString::fromUtf8("La città ha 20\u00A0000 abitanti e costa 2\u00A0€")));
    editor.Salva1->trigger();
    QCOMPARE(readBytes(cp), cpBytes);
    // Typed: "è" is taken, "ő" is refused; pasted: what windows-1252 cannot
    // hold is replaced, and told once.
    editor.MemoEdit->moveCursor(QTextCursor::Start);
    typeChar(editor.MemoEdit, QString::fromUtf8("è"));
    typeChar(editor.MemoEdit, QString::fromUtf8("ő"));
    QCOMPARE(script.messages().size(), 1);
    QCOMPARE(script.last().text, QString::fromUtf8("Il carattere ő non si può salvare in questo testo, che è "
                                                   "scritto in windows-1252: il testo non è stato inserito."));
    paste(editor.MemoEdit, QString::fromUtf8(" Erdős → Łódź "));
    QCOMPARE(script.messages().size(), 2);
    QCOMPARE(script.last().text,
             QString::fromUtf8("Alcuni caratteri non si possono salvare in questo testo, che è scritto in "
                               "windows-1252 e sono stati sostituiti:\n«ő» con «o»\n«→» con «->»\n"
                               "«Ł» con «L»\n«ź» con «z»"));
    editor.Salva1->trigger();
    QCOMPARE(readBytes(cp), toCp1252(QString::fromUtf8("è Erdos -> Lódz ")) + cpBytes);

    // UTF-16 with its byte-order mark and CR LF.
    const QString utf16 = copied(QStringLiteral("testo-utf16.txt"));
    const QByteArray utf16Bytes = readBytes(utf16);
    script.answerFile(utf16);
    editor.Apri1->trigger();
    QVERIFY(memoText(editor.MemoEdit).startsWith(QString::fromUtf8("La città è sul fiume.")));
    editor.Salva1->trigger();
    QCOMPARE(readBytes(utf16), utf16Bytes);
    editor.MemoEdit->moveCursor(QTextCursor::End);
    typeChar(editor.MemoEdit, QString::fromUtf8("→"));
    editor.Salva1->trigger();
    QCOMPARE(readBytes(utf16), utf16Bytes.chopped(4) + QByteArray("\x92\x21\r\0\n\0", 6));

    // A new text is UTF-8 with LF line ends.
    editor.Nuovo1->trigger();
    typeChar(editor.MemoEdit, QString::fromUtf8("à"));
    QTest::keyClick(editor.MemoEdit, Qt::Key_Return);
    QTest::keyClicks(editor.MemoEdit, QStringLiteral("b"));
    script.answerFile(texts() + QStringLiteral("nuovo.txt"));
    editor.Salvaconnome1->trigger();
    QCOMPARE(readBytes(texts() + QStringLiteral("nuovo.txt")), QByteArray("\xC3\xA0\nb\n"));
    QCOMPARE(script.messages().size(), 2);
}

// A document opened in the editor is a new text: it is shown whole, saving
// it asks for a text file (offered under the document's name) and never
// writes over the document; one that cannot be read leaves the editor's text.
void TestTexts::editorOpensADocumentAsANewText()
{
    ScriptedDialogs script;
    TeditForm editor(context, nullptr);
    editor.show();
    const QString docx = copied(QStringLiteral("citta.docx"));
    const QByteArray docxBytes = readBytes(docx);
    script.answerFile(docx);
    editor.Apri1->trigger();
    QCOMPARE(script.last().kind, QStringLiteral("open"));
    QVERIFY(script.last().text.contains(QStringLiteral("*.docx")));
    QCOMPARE(editor.windowTitle(), QStringLiteral(" editor di testo - nuovo testo da citta.docx"));
    QCOMPARE(editor.memoLines().size(), 5);
    QCOMPARE(editor.memoLines().constFirst(), QString::fromUtf8("La città sul fiume"));
    QVERIFY(!editor.modified);

    // The protected document is refused; the text stays.
    script.answerFile(copied(QStringLiteral("protetto.odt")));
    editor.Apri1->trigger();
    QVERIFY(script.last().text.startsWith(QString::fromUtf8("Il file protetto.odt è protetto da una password")));
    QCOMPARE(editor.memoLines().size(), 5);

    script.answerFile(texts() + QStringLiteral("citta.txt"));
    editor.Salva1->trigger();
    QCOMPARE(script.last().kind, QStringLiteral("save"));
    QCOMPARE(script.last().text.section(u'|', 0, 0), texts() + QStringLiteral("citta.txt"));
    const QByteArray saved = readBytes(texts() + QStringLiteral("citta.txt"));
    QVERIFY(saved.startsWith(QString::fromUtf8("La città sul fiume\nLa città è antica.").toUtf8()));
    QVERIFY(saved.endsWith(QString::fromUtf8("Oggi è una città viva.\n").toUtf8()));
    QCOMPARE(readBytes(docx), docxBytes);
    QCOMPARE(editor.windowTitle(), QStringLiteral(" editor di testo - citta.txt"));
}

// Pasted into the task or into the sentence dialog, characters an exercise
// cannot hold are replaced by their nearest equivalents, listed in one
// message; non-breaking spaces go into the exercise as they are.
void TestTexts::pasteReplacesWhatAnExerciseCannotHold()
{
    ScriptedDialogs script;
    Tprepara window(context);
    window.show();
    convertFile(script, window, copied(QStringLiteral("testo-1252.txt")));
    QCOMPARE(window.textModel()->sentenceCount, 2);

    QTest::mouseClick(window.suggBut, Qt::LeftButton);
    paste(window.Memo1, QString::fromUtf8("Leggi\u00A0bene → poi 😀 colora"));
    QCOMPARE(memoText(window.Memo1), QString::fromUtf8("Leggi\u00A0bene -> poi   colora"));
    QCOMPARE(script.messages().size(), 1);
    QCOMPARE(script.last().text, QString::fromUtf8("Alcuni caratteri non si possono salvare in un esercizio e "
                                                   "sono stati sostituiti:\n«→» con «->»\n«😀» con uno spazio"));
    window.CancelBtn->click();

    // The sentence dialog: the pasted sentence replaces the current one.
    whenModalShown([&](QWidget* modal) {
        auto dialog = qobject_cast<TeditFrase*>(modal);
        QVERIFY(dialog);
        paste(dialog->memoFrase, QString::fromUtf8("Il ponte\u00A0vecchio di Győr\u200B è lungo ≥ 2 km."));
        QCOMPARE(script.messages().size(), 2);
        QCOMPARE(script.last().text,
                 QString::fromUtf8("Alcuni caratteri non si possono salvare in un esercizio e sono stati "
                                   "sostituiti:\n«ő» con «o»\nun segno invisibile (U+200B) tolto\n«≥» con «>=»"));
        QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    });
    window.sostituisci->trigger();
    QStringList first;
    window.textModel()->sentenceLines(0, first);
    QCOMPARE(first, QStringList{QString::fromUtf8("Il ponte\u00A0vecchio di Gyor è lungo >= 2 km.")});
    QCOMPARE(saveExercise(window, QStringLiteral("Ponte"), QStringLiteral("PONTE.S01")),
             toCp1252(QString::fromUtf8("[compito]\r\nLeggi\u00A0bene -> poi   colora\r\n[testo]\r\n"
                                        "~nonImportante~\r\nIl ponte\u00A0vecchio di Gyor è lungo >= 2 km.\r\n"
                                        "~nonImportante~\r\nPerché si chiama così? "
                                        "Nessuno lo sa più: l’acqua è fresca d’estate.\r\n")));
}

// A document of many pages: the window shows "pagina n di m" while the
// reading goes on, "Annulla" stops it and keeps the exercise; read to the
// end, the last page's words are there.
void TestTexts::longDocumentShowsProgressAndStopsOnAnnulla()
{
    const QString pdf = texts() + QStringLiteral("lungo.pdf");
    QVERIFY(writeLongPdf(pdf, 60));
    ScriptedDialogs script;
    Tprepara window(context);
    window.show();
    convertFile(script, window, copied(QStringLiteral("testo-utf8.txt")));
    QCOMPARE(window.textModel()->sentenceCount, 2);

    // The reading waits after its second page until "Annulla" is pressed.
    setProgressDelayForTests(0);
    auto released = std::make_shared<std::atomic<bool>>(false);
    setReadStepHookForTests([released](int done) {
        if (done != 2)
            return;
        QDeadlineTimer patience(60000);
        while (!released->load() && !patience.hasExpired())
            QThread::msleep(5);
    });
    QString label;
    bool shown = false;
    script.answer(NoAnswerButton);
    script.answerFile(pdf);
    whenModalShown([&](QWidget* separator) {
        whenModalShown([&](QWidget* modal) {
            auto progress = qobject_cast<QProgressDialog*>(modal);
            shown = progress && progress->objectName() == QLatin1String("progressoLettura");
            if (progress) {
                QTRY_VERIFY(progress->findChild<QLabel*>()->text().contains(QStringLiteral("pagina 2 di 60")));
                label = progress->findChild<QLabel*>()->text();
                QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
            }
            released->store(true);
        });
        QTest::mouseClick(qobject_cast<TsepaForm*>(separator)->OKBtn, Qt::LeftButton);
    });
    window.Aprifileditesto1->trigger();
    released->store(true);
    QVERIFY(shown);
    QCOMPARE(label, QStringLiteral("Lettura di lungo.pdf: pagina 2 di 60"));
    // Nothing is said but the question about the unsaved exercise.
    QCOMPARE(script.messages().size(), 1);
    QVERIFY(script.messages().constLast().startsWith(QStringLiteral("L'esercizio appena creato")));
    QCOMPARE(window.textModel()->sentenceCount, 2);

    // Read to the end: three sentences a page.
    setReadStepHookForTests({});
    script.answer(NoAnswerButton);
    convertFile(script, window, pdf);
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(window.textModel()->sentenceCount, 180);
    QStringList last;
    window.textModel()->sentenceLines(179, last);
    QCOMPARE(last, QStringList{QStringLiteral("Fine della pagina 60.")});
}

void TestTexts::everyEncodingReadsAndWritesBack_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QString>("text");
    const QString italian = QString::fromUtf8("Perché la città è così?\nPiù su, là.");
    const QString bom = QString(QChar(0xFEFF));
    auto utf16 = [](const QString& s, bool bigEndian) {
        QByteArray out;
        for (const QChar c : s) {
            const char hi = char(c.unicode() >> 8);
            const char lo = char(c.unicode() & 0xFF);
            out += bigEndian ? QByteArray(1, hi) + lo : QByteArray(1, lo) + hi;
        }
        return out;
    };
    QTest::newRow("UTF-8, LF") << (italian + u'\n').toUtf8() << QByteArray("UTF-8") << italian;
    QTest::newRow("UTF-8 with its mark, CR LF, no final line end")
        << (bom + QString(italian).replace(u'\n', QLatin1String("\r\n"))).toUtf8() << QByteArray("UTF-8") << italian;
    QTest::newRow("UTF-16LE with its mark") << utf16(bom + italian + u'\n', false) << QByteArray("UTF-16LE") << italian;
    QTest::newRow("UTF-16BE with its mark") << utf16(bom + italian + u'\n', true) << QByteArray("UTF-16BE") << italian;
    QTest::newRow("UTF-16LE without a mark") << utf16(italian, false) << QByteArray("UTF-16LE") << italian;
    QTest::newRow("windows-1252, CR LF")
        << toCp1252(QString(italian).replace(u'\n', QLatin1String("\r\n")) + QStringLiteral("\r\n"))
        << QByteArray("windows-1252") << italian;
    QTest::newRow("windows-1252, one accented word") << toCp1252(QString::fromUtf8("virtù"))
                                                     << QByteArray("windows-1252") << QString::fromUtf8("virtù");
    QTest::newRow("mixed line ends") << QByteArray("uno\r\ndue\nTre\rquattro") << QByteArray("UTF-8")
                                     << QStringLiteral("uno\ndue\nTre\nquattro");
    const QString russian = QString::fromUtf8("Все счастливые семьи похожи друг на друга, каждая несчастливая "
                                              "семья несчастлива по-своему.");
    QStringEncoder cyrillic("windows-1251");
    QTest::newRow("windows-1251, long enough to be recognised")
        << QByteArray(cyrillic.encode(russian)) << QByteArray("windows-1251") << russian;
}

// A text read from its bytes gives them back unchanged, and a changed text
// is written in the same encoding, line end and final line end.
void TestTexts::everyEncodingReadsAndWritesBack()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, encoding);
    QFETCH(QString, text);
    const PlainText plain = PlainText::fromBytes(bytes);
    QCOMPARE(plain.format.encoding, encoding);
    QCOMPARE(plain.text, text);
    QCOMPARE(plain.toBytes(plain.text), bytes);
    // A change at the start: everything after it is written as it was read
    // (but for mixed line ends, which take the first one met).
    const QByteArray changed = plain.toBytes(QStringLiteral("X") + plain.text);
    const PlainText again = PlainText::fromBytes(changed);
    QCOMPARE(again.text, QStringLiteral("X") + text);
    QCOMPARE(again.format.lineEnd, plain.format.lineEnd);
    QCOMPARE(again.format.finalLineEnd, plain.format.finalLineEnd);
    QCOMPARE(again.format.byteOrderMark, plain.format.byteOrderMark);
    if (!QByteArray(QTest::currentDataTag()).startsWith("mixed"))
        QVERIFY(changed.endsWith(bytes.right(bytes.size() / 2)));
}

QTEST_MAIN(TestTexts)
#include "tst_texts.moc"
