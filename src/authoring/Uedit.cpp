#include "authoring/Uedit.h"

#include "authoring/SourceReader.h"
#include "authoring/Uprepara.h"
#include "authoring/Urecupero.h"
#include "authoring/Useparat.h"
#include "model/DialogService.h"
#include "model/Funzioni.h"
#include "model/SafeFile.h"
#include "model/TextSources.h"

#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QGuiApplication>
#include <QScreen>
#include <QTextDocument>

namespace {

const QString captionPrefix = QStringLiteral(" editor di testo ");

// Length of a text as it is stored: a line break is CR LF.
int storedLength(const QString& text)
{
    int length = int(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\n') || c == QChar::ParagraphSeparator)
            ++length;
    }
    return length;
}

} // namespace

QString reservedCharsMessage()
{
    return QStringLiteral("Il testo contiene uno dei caratteri riservati ~, [, ]. "
                          "Eliminalo e ripeti l'operazione");
}

DialogButton askWhetherToSave(const QString& text)
{
    return askQuestion(QStringLiteral("Attenzione!"), text,
                       YesButton | NoAnswerButton | CancelButton, DialogIcon::Warning);
}

QAction* addMenuItem(QMenu* menu, const char* name, const QString& caption)
{
    QAction* item = menu->addAction(caption);
    item->setObjectName(QLatin1String(name));
    return item;
}

QString TmemoControllato::plainText() const
{
    const QString raw = document()->toRawText();
    QString text;
    text.reserve(raw.size());
    for (const QChar c : raw) {
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
            text += u'\n';
        else if (c != QChar(0xFDD0) && c != QChar(0xFDD1))
            text += c;
    }
    return text;
}

bool TmemoControllato::canHold(const QString& s) const
{
    return storage ? storage->canHold(s) : fitsCp1252(s);
}

QString TmemoControllato::storedWhere() const
{
    if (!storage)
        return QStringLiteral("in un esercizio");
    return QString::fromUtf8("in questo testo, che è scritto in ") + storage->format.encodingName();
}

bool TmemoControllato::acceptsReservedAndLength(const QString& inserted)
{
    if (refuseReserved && hasReservedChars({inserted})) {
        showMessage(reservedCharsMessage());
        return false;
    }
    if (maxLength >= 0) {
        const int after = storedLength(plainText()) - storedLength(textCursor().selectedText())
                          + storedLength(inserted);
        if (after > maxLength && storedLength(inserted) > 0) {
            showMessage(QString::fromUtf8("Il testo può contenere al massimo %1 caratteri.")
                            .arg(maxLength));
            return false;
        }
    }
    return true;
}

bool TmemoControllato::accepts(const QString& inserted)
{
    if (!canHold(inserted)) {
        QString bad;
        for (const uint c : inserted.toUcs4()) {
            bad = QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1);
            if (!canHold(bad))
                break;
        }
        showMessage(QStringLiteral("Il carattere ") + bad + QString::fromUtf8(" non si può salvare ")
                    + storedWhere() + QString::fromUtf8(": il testo non è stato inserito."));
        return false;
    }
    return acceptsReservedAndLength(inserted);
}

void TmemoControllato::keyPressEvent(QKeyEvent* event)
{
    QString inserted;
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        inserted = QStringLiteral("\n");
    else if (!event->text().isEmpty() && event->text().at(0).unicode() >= 0x20
             && event->text().at(0).unicode() != 0x7F)
        inserted = event->text();
    if (!inserted.isEmpty() && !accepts(inserted)) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TmemoControllato::inputMethodEvent(QInputMethodEvent* event)
{
    if (!event->commitString().isEmpty() && !accepts(event->commitString())) {
        event->accept();
        return;
    }
    QPlainTextEdit::inputMethodEvent(event);
}

void TmemoControllato::insertFromMimeData(const QMimeData* source)
{
    if (!source || !source->hasText()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    // A paste is never refused for characters the file cannot hold: they
    // are replaced and the user is told which, once.
    QList<Replacement> replaced;
    const QString text = storage ? storage->replaceUnstorable(source->text(), &replaced)
                                 : replaceOutsideCp1252(source->text(), &replaced);
    if (!acceptsReservedAndLength(text))
        return;
    textCursor().insertText(text);
    ensureCursorVisible();
    if (!replaced.isEmpty())
        showMessage(replacementMessage(replaced, storedWhere()));
}

// ---------------------------------------------------------------------------

TeditForm::TeditForm(const AppContext& context, Tprepara* preparationWindow, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      preparation(preparationWindow), textsFolder(context.dataRoot + QStringLiteral("testi"))
{
    setObjectName(QStringLiteral("TeditForm"));
    resize(640, 480);
    setMinimumSize(320, 200);

    auto action = [this](const char* name, const QString& caption) {
        return addMenuItem(File1, name, caption);
    };
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    File1 = MainMenu1->addMenu(QStringLiteral("&File"));
    File1->setObjectName(QStringLiteral("File1"));
    Nuovo1 = action("Nuovo1", QStringLiteral("&Nuovo"));
    Apri1 = action("Apri1", QStringLiteral("&Apri..."));
    Salva1 = action("Salva1", QStringLiteral("&Salva"));
    Salvaconnome1 = action("Salvaconnome1", QStringLiteral("Sal&va con nome..."));
    Elimina1 = action("Elimina1", QStringLiteral("E&limina..."));
    File1->addSeparator();
    convertiinesercizio1 = action("convertiinesercizio1", QStringLiteral("&converti in esercizio"));
    File1->addSeparator();
    Esci1 = action("Esci1", QStringLiteral("&Esci"));

    MemoEdit = new TmemoControllato(this);
    MemoEdit->setObjectName(QStringLiteral("MemoEdit"));
    MemoEdit->storage = &textFile;
    MemoEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont memoFont = MemoEdit->font();
    memoFont.setPointSize(11);
    MemoEdit->setFont(memoFont);

    connect(File1, &QMenu::aboutToShow, this, &TeditForm::File1Click);
    connect(Nuovo1, &QAction::triggered, this, &TeditForm::Nuovo1Click);
    connect(Apri1, &QAction::triggered, this, &TeditForm::Apri1Click);
    connect(Salva1, &QAction::triggered, this, &TeditForm::Salva1Click);
    connect(Salvaconnome1, &QAction::triggered, this, &TeditForm::Salvaconnome1Click);
    connect(Elimina1, &QAction::triggered, this, &TeditForm::Elimina1Click);
    connect(convertiinesercizio1, &QAction::triggered, this, &TeditForm::convertiinesercizio1Click);
    connect(Esci1, &QAction::triggered, this, &TeditForm::Esci1Click);
    connect(MemoEdit, &QPlainTextEdit::textChanged, this, &TeditForm::MemoEditChange);
    mirror = new Trecupero(context.recoveryFolder, recoveryText, [this] {
        RecoveredWork work;
        work.name = textPath;
        work.lines = MemoEdit->plainText().split(QLatin1Char('\n'));
        return work;
    }, this);

    setCaptionFor(QString());
    File1Click();
    MemoEdit->setFocus();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TeditForm::~TeditForm()
{
    // Before the text area goes: the last state of the text is read from it.
    delete mirror;
}

void TeditForm::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    const int menuHeight = MainMenu1->sizeHint().height();
    MainMenu1->setGeometry(0, 0, width(), menuHeight);
    MemoEdit->setGeometry(0, menuHeight, width(), height() - menuHeight);
}

QStringList TeditForm::memoLines() const
{
    QString text = MemoEdit->plainText();
    if (text.isEmpty())
        return {};
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text.split(QLatin1Char('\n'));
}

void TeditForm::setText(const QString& text)
{
    filling = true;
    MemoEdit->setPlainText(text);
    filling = false;
}

void TeditForm::setCaptionFor(const QString& path, const QString& document)
{
    QString which = QStringLiteral("- nuovo testo");
    if (!path.isEmpty())
        which = QStringLiteral("- ") + QFileInfo(path).fileName();
    else if (!document.isEmpty())
        which += QStringLiteral(" da ") + QFileInfo(document).fileName();
    setWindowTitle(captionPrefix + which);
}

void TeditForm::MemoEditChange()
{
    if (!filling) {
        modified = true;
        mirror->workChanged(true);
    }
    File1Click();
}

bool TeditForm::offerRecoveredWork()
{
    return mirror->offer([this](const RecoveredWork& work) {
        // A text of a file keeps the form of that file (its encoding, its line ends).
        textFile = PlainText();
        if (!work.name.isEmpty() && QFileInfo(work.name).isFile()) {
            const SourceText source = readSource(work.name);
            if (source.ok() && !source.isDocument())
                textFile = source.plain;
        }
        setText(work.lines.join(QLatin1Char('\n')));
        textPath = work.name;
        documentPath.clear();
        setCaptionFor(textPath);
        modified = true;
        File1Click();
    }, QStringLiteral("nuovo testo"));
}

void TeditForm::File1Click()
{
    const bool hasText = !MemoEdit->document()->isEmpty();
    Salva1->setEnabled(hasText);
    Salvaconnome1->setEnabled(hasText);
    convertiinesercizio1->setEnabled(hasText);
}

QString TeditForm::askSavePath(const QString& start)
{
    QString from = start;
    for (;;) {
        QString path = dialogs().saveFileName(QStringLiteral(" Salva con nome"), from,
                                              QStringLiteral("tutti i file (*);;file di testo (*.txt)"));
        if (path.isEmpty())
            return {};
        if (QFileInfo(path).suffix().isEmpty())
            path += QStringLiteral(".txt");
        if (!QFileInfo::exists(path))
            return path;
        if (askQuestion(QStringLiteral("Attenzione!"),
                        QStringLiteral("Il file ") + QFileInfo(path).fileName()
                            + QString::fromUtf8(" esiste già. Vuoi sostituirlo ?"),
                        YesButton | NoAnswerButton, DialogIcon::Warning)
            == YesButton)
            return path;
        from = path;
    }
}

bool TeditForm::saveTo(const QString& path)
{
    // The text in the form it was read in: an unchanged text keeps its bytes.
    const QString text = MemoEdit->plainText();
    if (!textFile.canHold(text)) {
        // Never reached by typing or pasting, which keep such characters
        // out; a text is never written with "?" in their place.
        showMessage(QStringLiteral("Il testo contiene caratteri che non si possono salvare ")
                    + QString::fromUtf8("in un testo scritto in ") + textFile.format.encodingName()
                    + QString::fromUtf8(": il testo non è stato salvato."));
        return false;
    }
    const QByteArray bytes = textFile.toBytes(text);
    const FileLock lock(path);
    if (!lock.ok() || !replaceFileContents(path, bytes)) {
        showMessage(QStringLiteral("Errore nella scrittura del file ") + QFileInfo(path).fileName()
                    + QString::fromUtf8(": il testo non è stato salvato."));
        return false;
    }
    textFile.markSaved(text, bytes);
    textPath = path;
    documentPath.clear();
    setCaptionFor(path);
    modified = false;
    mirror->workChanged(false);
    return true;
}

QString TeditForm::saveStart() const
{
    if (!textPath.isEmpty())
        return textPath;
    const QString& folder = textsFolder;
    if (documentPath.isEmpty())
        return folder;
    return folder + QLatin1Char('/') + QFileInfo(documentPath).completeBaseName() + QStringLiteral(".txt");
}

bool TeditForm::confirmDiscard()
{
    if (!modified)
        return true;
    const QString text = textPath.isEmpty()
        ? QString::fromUtf8("Il testo appena creato non è stato salvato. Vuoi salvarlo ?")
        : QString::fromUtf8("Il testo è stato modificato ma non è stato salvato. Vuoi salvarlo ?");
    switch (askWhetherToSave(text)) {
    case YesButton: {
        const QString path = askSavePath(saveStart());
        return !path.isEmpty() && saveTo(path);
    }
    case NoAnswerButton:
        mirror->workDeclined();
        return true;
    default:
        return false;
    }
}

void TeditForm::reject()
{
    if (confirmDiscard())
        QDialog::reject();
}

void TeditForm::Nuovo1Click()
{
    if (!confirmDiscard())
        return;
    textFile = PlainText();
    setText(QString());
    textPath.clear();
    documentPath.clear();
    setCaptionFor(QString());
    modified = false;
    mirror->workChanged(false);
}

void TeditForm::Apri1Click()
{
    if (!confirmDiscard())
        return;
    const QString path = dialogs().openFileName(QStringLiteral(" Apri"), textsFolder, sourceFileFilter());
    if (path.isEmpty())
        return;
    const SourceText source = readSourceShowingProgress(this, path);
    if (source.status == SourceText::Cancelled)
        return;
    if (!source.ok()) {
        showMessage(source.error);
        return;
    }
    textFile = source.plain;
    setText(textFile.text);
    // A document's text is a new text: saving it never writes over the
    // document; its name is offered for the text.
    textPath = source.isDocument() ? QString() : path;
    documentPath = source.isDocument() ? path : QString();
    setCaptionFor(textPath, documentPath);
    modified = false;
    mirror->workChanged(false);
}

void TeditForm::Salva1Click()
{
    if (textPath.isEmpty())
        Salvaconnome1Click();
    else
        saveTo(textPath);
}

void TeditForm::Salvaconnome1Click()
{
    const QString path = askSavePath(textPath.isEmpty() ? saveStart() : textsFolder);
    if (!path.isEmpty())
        saveTo(path);
}

void TeditForm::Elimina1Click()
{
    const QString path = dialogs().openFileName(QStringLiteral(" Elimina"), textsFolder,
                                                QStringLiteral("tutti i file (*)"));
    if (path.isEmpty())
        return;
    const QString name = QFileInfo(path).fileName();
    if (!QFileInfo::exists(path)) {
        showMessage(QStringLiteral("il file specificato non esiste"));
        return;
    }
    if (askQuestion(QStringLiteral("Attenzione!"), QStringLiteral("Vuoi cancellare il testo ") + name + QLatin1Char('?'),
                    YesButton | NoAnswerButton, DialogIcon::Warning)
        != YesButton)
        return;
    // Under the text's lock, as every change of a shared data file.
    const FileLock lock(path);
    if (!lock.ok()) {
        showMessage(QStringLiteral("Il file ") + name
                    + QString::fromUtf8(" è in uso altrove: non è stato cancellato."));
        return;
    }
    if (QFile::remove(path))
        showMessage(QString::fromUtf8("il file è stato eliminato"));
    else
        showMessage(QStringLiteral("Non è stato possibile eliminare il file ") + name);
}

void TeditForm::convertiinesercizio1Click()
{
    if (!confirmDiscard())
        return;
    const QStringList lines = memoLines();
    if (hasReservedChars(lines)) {
        showMessage(reservedCharsMessage());
        return;
    }
    if (isBlankText(lines) || !preparation)
        return;
    const QChar separator = askSeparator(this);
    preparation->takeConvertedText(lines, separator);
    modified = false;
    mirror->workChanged(false);
    QDialog::accept();
}
