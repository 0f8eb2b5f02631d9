#include "authoring/Uprepara.h"

#include "access/Gestoret.h"
#include "authoring/SourceReader.h"
#include "authoring/Uedfrase.h"
#include "authoring/Uedit.h"
#include "authoring/Uloaddel.h"
#include "authoring/Urecupero.h"
#include "authoring/Useparat.h"
#include "common/EnterKey.h"
#include "common/Instruct.h"
#include "common/LevelButtons.h"
#include "common/MarkedTextView.h"
#include "common/UQuery.h"
#include "model/DialogService.h"
#include "model/Funzioni.h"
#include "model/Longname.h"
#include "model/PlainText.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QUndoCommand>
#include <QUndoStack>
#include <algorithm>

namespace {

// The name under which `fileName` is in `folder`: the file of that exact name,
// else one whose name differs only in case (a file copied by hand), else
// `fileName` itself.
QString onDisk(const QString& folder, const QString& fileName)
{
    const QDir dir(folder);
    if (fileName.isEmpty() || QFileInfo(dir.filePath(fileName)).isFile())
        return fileName;
    const QStringList files = dir.entryList({fileName}, QDir::Files | QDir::Hidden);
    for (const QString& file : files) {
        if (file.compare(fileName, Qt::CaseInsensitive) == 0)
            return file;
    }
    return fileName;
}

// Why `name` cannot be an exercise's long name; empty when it can.
QString longNameProblem(const QString& name)
{
    if (hasReservedChars({name}))
        return QStringLiteral("Il nome contiene uno dei caratteri riservati ~, [, ]. "
                              "Eliminalo e ripeti l'operazione");
    if (!fitsCp1252(name) || name.contains(QLatin1Char('\r')) || name.contains(QLatin1Char('\n')))
        return QString::fromUtf8("Il nome contiene caratteri che non si possono usare: "
                                 "cambialo e ripeti l'operazione");
    if (name.size() > 255)
        return QString::fromUtf8("Il nome è troppo lungo: può avere al massimo 255 caratteri");
    return {};
}

int tagLines(const QStringList& block)
{
    return int(std::count_if(block.begin(), block.end(),
                             [](const QString& line) { return line.contains(QLatin1Char('~')); }));
}

// "frase 12": sentences are counted from 1 for the teacher.
QString sentenceWord(int n)
{
    return QStringLiteral("frase ") + QString::number(n + 1);
}

// A change the window has already made when it is recorded: the first redo,
// which the stack asks for at once, does nothing.
class RecordedChange : public QUndoCommand
{
public:
    RecordedChange(Tprepara* w, const QString& text) : window(w) { setText(text); }
    void redo() final
    {
        if (recorded)
            recorded = false;
        else
            redoChange();
    }

protected:
    virtual void redoChange() = 0;
    Tprepara* window;

private:
    bool recorded = true;
};

// Sentences changed, removed or inserted: the stored lines of the sentences
// from `first` on, before and after.
class SentencesChange final : public RecordedChange
{
public:
    SentencesChange(Tprepara* w, const QString& text, int firstSentence, QStringList beforeLines,
                    QStringList afterLines, int current, int currentAfter)
        : RecordedChange(w, text), first(firstSentence), before(std::move(beforeLines)),
          after(std::move(afterLines)), currentBefore(current), currentNow(currentAfter)
    {}
    void undo() override { window->replaceSentences(first, after, before, currentBefore); }

protected:
    void redoChange() override { window->replaceSentences(first, before, after, currentNow); }

private:
    int first;
    QStringList before;
    QStringList after;
    int currentBefore;
    int currentNow;
};

// The task text written; what is typed in one opening of the task panel is
// one change.
class TaskChange final : public RecordedChange
{
public:
    TaskChange(Tprepara* w, QString beforeText, QString afterText, int taskSession)
        : RecordedChange(w, QStringLiteral("modifica del compito")), before(std::move(beforeText)),
          after(std::move(afterText)), session(taskSession)
    {}
    int id() const override { return 1; }
    bool mergeWith(const QUndoCommand* other) override
    {
        auto next = static_cast<const TaskChange*>(other);
        if (next->session != session)
            return false;
        after = next->after;
        return true;
    }
    void undo() override { window->replaceTask(before); }

protected:
    void redoChange() override { window->replaceTask(after); }

private:
    QString before;
    QString after;
    int session;
};

// A text converted into the exercise in place of the one in the window (or
// of none): undone, the earlier exercise comes back as it was.
class ExerciseReplaced final : public RecordedChange
{
public:
    ExerciseReplaced(Tprepara* w, Tprepara::ExerciseState earlier,
                     const QString& text = QStringLiteral("conversione del testo"))
        : RecordedChange(w, text), before(std::move(earlier))
    {}
    void undo() override
    {
        after = window->exerciseState();
        window->restoreExercise(before);
    }

protected:
    void redoChange() override { window->restoreExercise(after); }

private:
    Tprepara::ExerciseState before;
    Tprepara::ExerciseState after;
};

} // namespace

DialogOfWindow::DialogOfWindow(Tprepara* w) : window(w)
{
    ++window->dialogsOpen;
    window->updateKeyHandler();
}

DialogOfWindow::~DialogOfWindow()
{
    --window->dialogsOpen;
    window->updateKeyHandler();
}

Tprepara::Tprepara(const AppContext& appContext, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      context(appContext)
{
    setObjectName(QStringLiteral("Tprepara"));
    setWindowTitle(QStringLiteral("  preparazione degli esercizi"));
    setMinimumSize(640, 480);

    keyHandler = std::make_unique<TgestoreAlternativoTastiera>(
        qApp, [this](QObject*, int key) { return handleKey(key); }, this);
    keyHandler->enabled = false;

    const auto action = addMenuItem;
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    File1 = MainMenu1->addMenu(QStringLiteral("&File"));
    File1->setObjectName(QStringLiteral("File1"));
    apri1 = action(File1, "apri1", QStringLiteral("&Apri esercizio..."));
    Salva1 = action(File1, "Salva1", QStringLiteral("&Salva"));
    Salvaconnome1 = action(File1, "Salvaconnome1", QStringLiteral("Sal&va con nome..."));
    Elimina1 = action(File1, "Elimina1", QStringLiteral("E&limina esercizio..."));
    File1->addSeparator();
    Aprifileditesto1 = action(File1, "Aprifileditesto1", QStringLiteral("Converti file di &testo..."));
    File1->addSeparator();
    Esci1 = action(File1, "Esci1", QStringLiteral("&Esci"));
    changes = new QUndoStack(this);
    changes->setObjectName(QStringLiteral("modificheEsercizio"));
    Modifica1 = MainMenu1->addMenu(QStringLiteral("&Modifica"));
    Modifica1->setObjectName(QStringLiteral("Modifica1"));
    annullaModifica = changes->createUndoAction(Modifica1, QStringLiteral("&Annulla"));
    annullaModifica->setObjectName(QStringLiteral("annullaModifica"));
    annullaModifica->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Z)});
    Modifica1->addAction(annullaModifica);
    ripetiModifica = changes->createRedoAction(Modifica1, QStringLiteral("&Ripeti"));
    ripetiModifica->setObjectName(QStringLiteral("ripetiModifica"));
    ripetiModifica->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    Modifica1->addAction(ripetiModifica);
    Strumenti1 = MainMenu1->addMenu(QStringLiteral("&Strumenti"));
    Strumenti1->setObjectName(QStringLiteral("Strumenti1"));
    editorditesto1 = action(Strumenti1, "editorditesto1", QStringLiteral("&Editor di testo"));
    opzionidivisualizzazione1 =
        action(Strumenti1, "opzionidivisualizzazione1", QStringLiteral("&Scelta del font"));
    Aiuto1 = MainMenu1->addMenu(QStringLiteral("&Aiuto"));
    Aiuto1->setObjectName(QStringLiteral("Aiuto1"));
    PreparazioneDelTesto =
        action(Aiuto1, "PreparazioneDelTesto", QStringLiteral("&Preparazione del testo"));
    Consegna = action(Aiuto1, "Consegna", QStringLiteral("&Consegna"));
    ModificheAgliEsercizi =
        action(Aiuto1, "ModificheAgliEsercizi", QStringLiteral("&Modifiche agli esercizi"));

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    rimuovi = action(PopupMenu1, "rimuovi", QStringLiteral("&rimuovi frase"));
    sostituisci = action(PopupMenu1, "sostituisci", QStringLiteral("&sostituisci/modifica frase..."));
    inseriscisopra = action(PopupMenu1, "inseriscisopra", QStringLiteral("&inserisci frase sopra..."));
    inseriscisotto = action(PopupMenu1, "inseriscisotto", QStringLiteral("i&nserisci frase sotto..."));
    PopupMenu1->addSeparator();
    annulla1 = action(PopupMenu1, "annulla1", QStringLiteral("&annulla"));

    panelSfondo = new QFrame(this);
    panelSfondo->setObjectName(QStringLiteral("panelSfondo"));
    panelSfondo->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panelSfondo->setLineWidth(2);
    PaintCanvas = new TMarkedTextView(16, panelSfondo);
    PaintCanvas->setObjectName(QStringLiteral("PaintCanvas"));

    suggBut = new QPushButton(QStringLiteral("&?"), panelSfondo);
    suggBut->setObjectName(QStringLiteral("suggBut"));
    QFont suggFont = suggBut->font();
    suggFont.setBold(true);
    suggFont.setPixelSize(21);
    suggBut->setFont(suggFont);
    suggBut->resize(29, 28);
    suggBut->setEnabled(false);
    suggBut->setAutoDefault(false);
    suggBut->setToolTip(QStringLiteral("Compito"));

    suggPanel = new QFrame(panelSfondo);
    suggPanel->setObjectName(QStringLiteral("suggPanel"));
    suggPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    suggPanel->setAutoFillBackground(true);
    suggPanel->hide();
    Panel1 = new QLabel(QStringLiteral("COMPITO:"), suggPanel);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Panel1->setIndent(8);
    QFont panelFont = Panel1->font();
    panelFont.setBold(true);
    Panel1->setFont(panelFont);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    CancelBtn = new QPushButton(QStringLiteral("&Chiudi"), Panel1);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setAutoDefault(false);
    Memo1 = new TmemoControllato(suggPanel);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->refuseReserved = true;
    Memo1->maxLength = 255;
    Memo1->setTabChangesFocus(true);
    // Its changes are the exercise's, undone with the others.
    Memo1->setUndoRedoEnabled(false);
    Memo1->installEventFilter(this);
    QPalette memoPalette = Memo1->palette();
    memoPalette.setColor(QPalette::Base, Qt::white);
    memoPalette.setColor(QPalette::Text, QColor(255, 0, 0));
    Memo1->setPalette(memoPalette);
    QFont memoFont = Memo1->font();
    memoFont.setBold(true);
    memoFont.setPointSize(12);
    Memo1->setFont(memoFont);

    PanelScroll = new QFrame(this);
    PanelScroll->setObjectName(QStringLiteral("PanelScroll"));
    ScrollBar1 = new QScrollBar(Qt::Vertical, PanelScroll);
    ScrollBar1->setObjectName(QStringLiteral("ScrollBar1"));
    ScrollBar1->setFocusPolicy(Qt::NoFocus);
    ScrollBar1->setRange(0, 0);
    ScrollBar1->setSingleStep(10);

    PanelBottoni = new QFrame(this);
    PanelBottoni->setObjectName(QStringLiteral("PanelBottoni"));
    PanelBottoni->setFrameStyle(QFrame::Panel | QFrame::Raised);
    PanelBottoni->setLineWidth(2);
    levelButtons = new TLevelButtons(PanelBottoni);
    levelButtons->setObjectName(QStringLiteral("bottoniLivello"));
    levelButtons->resize(600, 90);
    nonImportanteBut = levelButtons->nonImportanteBut;
    importanteBut = levelButtons->importanteBut;
    moltoImportanteBut = levelButtons->moltoImportanteBut;
    for (QPushButton* button : {nonImportanteBut, importanteBut, moltoImportanteBut})
        button->setAutoDefault(false);
    connect(levelButtons, &TLevelButtons::clicked, this, &Tprepara::clickImportanza);
    setTabOrder(moltoImportanteBut, suggBut);
    setTabOrder(Memo1, CancelBtn);

    PaintCanvas->setScrollBar(ScrollBar1);
    PaintCanvas->setReservedWidth(suggBut->width());
    loadPictures();

    connect(File1, &QMenu::aboutToShow, this, &Tprepara::File1Click);
    connect(apri1, &QAction::triggered, this, &Tprepara::apri1Click);
    connect(Salva1, &QAction::triggered, this, &Tprepara::Salva1Click);
    connect(Salvaconnome1, &QAction::triggered, this, &Tprepara::Salvaconnome1Click);
    connect(Elimina1, &QAction::triggered, this, &Tprepara::Elimina1Click);
    connect(Aprifileditesto1, &QAction::triggered, this, &Tprepara::Aprifileditesto1Click);
    connect(Esci1, &QAction::triggered, this, &Tprepara::Esci1Click);
    connect(editorditesto1, &QAction::triggered, this, &Tprepara::editorditesto1Click);
    connect(opzionidivisualizzazione1, &QAction::triggered, this,
            &Tprepara::opzionidivisualizzazione1Click);
    connect(PreparazioneDelTesto, &QAction::triggered, this, &Tprepara::PreparazioneDelTestoClick);
    connect(Consegna, &QAction::triggered, this, &Tprepara::ConsegnaClick);
    connect(ModificheAgliEsercizi, &QAction::triggered, this,
            &Tprepara::ModificheAgliEserciziClick);
    connect(rimuovi, &QAction::triggered, this, &Tprepara::rimuoviClick);
    connect(sostituisci, &QAction::triggered, this, &Tprepara::sostituisciClick);
    connect(inseriscisopra, &QAction::triggered, this, &Tprepara::inseriscisopraClick);
    connect(inseriscisotto, &QAction::triggered, this, &Tprepara::inseriscisottoClick);
    connect(suggBut, &QPushButton::clicked, this, &Tprepara::suggButClick);
    connect(CancelBtn, &QPushButton::clicked, this, &Tprepara::CancelBtnClick);
    connect(Memo1, &QPlainTextEdit::textChanged, this, &Tprepara::Memo1Change);
    connect(ScrollBar1, &QScrollBar::valueChanged, this, &Tprepara::ScrollBar1Scroll);
    connect(PaintCanvas, &TMarkedTextView::pressed, this, &Tprepara::PaintCanvasMouseDown);
    mirror = new Trecupero(context.recoveryFolder, recoveryExercise, [this] {
        RecoveredWork work;
        work.name = exerciseName;
        work.task = taskText();
        work.currentSentence = model ? model->currentSentence : 0;
        work.lines = model ? model->lines : QStringList();
        return work;
    }, this);
    connect(changes, &QUndoStack::indexChanged, this, &Tprepara::changesMoved);
    connect(changes, &QUndoStack::cleanChanged, this, &Tprepara::changesMoved);

    updateSaveActions();
    resize(800, 600);
    arrangeControls();
    focusLevelButton(nonImportanteBut);
}

Tprepara::~Tprepara()
{
    // An exercise neither saved nor given up stays in its recovery file.
    disconnect(changes, nullptr, this, nullptr);
    delete mirror;
    mirror = nullptr;
    // The controls go before the window's own object: no focus change may reach it then.
    disconnect(qApp, nullptr, this, nullptr);
}

const QFont& Tprepara::textFont() const
{
    return PaintCanvas->textFont();
}

bool Tprepara::loadPictures()
{
    const QString missing = levelButtons->loadPictures(context.programFolder);
    if (missing.isEmpty())
        return true;
    pictureError = QStringLiteral("La finestra di preparazione degli esercizi non si "
                                  "può aprire: manca il file ")
                   + missing + QString::fromUtf8(", o non è un'immagine leggibile.");
    return false;
}

void Tprepara::openModal(const AppContext& context, QWidget* parent)
{
    Tprepara window(context, parent);
    if (!window.loadError().isEmpty()) {
        showMessage(window.loadError());
        return;
    }
    window.offerRecoveredWork();
    window.exec();
}

bool Tprepara::offerRecoveredWork()
{
    const DialogOfWindow dialogOpen(this);
    return mirror->offer([this](const RecoveredWork& work) {
        ExerciseState earlier = exerciseState();
        restoreExercise({true, work.lines, work.task, work.name, work.currentSentence});
        recordChange(new ExerciseReplaced(this, std::move(earlier),
                                          QStringLiteral("recupero del lavoro non salvato")));
    }, QStringLiteral("nuovo esercizio"));
}

void Tprepara::focusLevelButton(QPushButton* button)
{
    levelButtons->focusButton(button, Qt::TabFocusReason);
}

bool Tprepara::keyHandlerEnabled() const
{
    return keyHandler && keyHandler->enabled;
}

void Tprepara::updateKeyHandler()
{
    keyHandler->enabled = handlerWanted && dialogsOpen == 0 && suggPanel->isHidden();
}

void Tprepara::updateSaveActions()
{
    Salva1->setEnabled(saveEnabled);
    Salvaconnome1->setEnabled(saveEnabled);
}

// ---------------------------------------------------------------------------
// Layout and drawing

void Tprepara::arrangeControls()
{
    const int menuHeight = MainMenu1->sizeHint().height();
    MainMenu1->setGeometry(0, 0, width(), menuHeight);
    const int clientHeight = height() - menuHeight;
    const int bevelButtons = PanelBottoni->frameWidth();
    const int bottomHeight = levelButtons->height() + 2 * bevelButtons;
    const int scrollWidth = 21;
    PanelBottoni->setGeometry(0, height() - bottomHeight, width(), bottomHeight);
    PanelScroll->setGeometry(width() - scrollWidth, menuHeight, scrollWidth,
                             clientHeight - bottomHeight);
    ScrollBar1->setGeometry(PanelScroll->rect());
    panelSfondo->setGeometry(0, menuHeight, width() - scrollWidth, clientHeight - bottomHeight);
    PaintCanvas->setGeometry(panelSfondo->contentsRect());

    const int sfondoWidth = panelSfondo->width();
    levelButtons->setGeometry(bevelButtons, bevelButtons, sfondoWidth, levelButtons->height());

    const int bevel = panelSfondo->frameWidth();
    suggBut->move(sfondoWidth - suggBut->width() - bevel, bevel);
    suggPanel->setGeometry(bevel, bevel, sfondoWidth - 2 * bevel, 203);
    const int panelInner = suggPanel->frameWidth();
    Panel1->setGeometry(panelInner, panelInner, suggPanel->width() - 2 * panelInner, 34);
    CancelBtn->setGeometry(Panel1->width() - 96 - 3, 3, 96, 28);
    Memo1->setGeometry(panelInner, panelInner + 34, suggPanel->width() - 2 * panelInner,
                       203 - 34 - 2 * panelInner);
}

void Tprepara::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    // The minimum size keeps the window at 640 x 480 at least.
    arrangeControls();
    if (textLoaded)
        relayout();
}

void Tprepara::relayout()
{
    if (textLoaded && model)
        PaintCanvas->relayout();
}

void Tprepara::redraw()
{
    if (textLoaded && model)
        PaintCanvas->redraw();
}

void Tprepara::scrollIntoView(int n)
{
    if (!model)
        return;
    // The height that shows the text is the picture's.
    PaintCanvas->scrollIntoView(n);
    redraw();
}

void Tprepara::ScrollBar1Scroll()
{
    if (textLoaded)
        redraw();
}

// ---------------------------------------------------------------------------
// The exercise

void Tprepara::newModel(std::unique_ptr<Tevidenziatore> fresh)
{
    model = std::move(fresh);
    PaintCanvas->setText(model.get());
    model->currentSentence = 0;
    textLoaded = true;
    saveEnabled = true;
    suggBut->setEnabled(true);
    showTask(model->compito);
    updateSaveActions();
}

void Tprepara::dropModel()
{
    PaintCanvas->setText(nullptr);
    model.reset();
    textLoaded = false;
    saveEnabled = false;
    exerciseName.clear();
    modified = false;
    suggBut->setEnabled(false);
    suggPanel->hide();
    showTask(QString());
    {
        const QSignalBlocker blocker(ScrollBar1);
        ScrollBar1->setRange(0, 0);
    }
    PaintCanvas->redraw();
    updateSaveActions();
    updateKeyHandler();
}

void Tprepara::showTask(const QString& task)
{
    showingTask = true;
    QString shown = task;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    Memo1->setPlainText(shown);
    showingTask = false;
    taskBefore = Memo1->plainText();
}

QString Tprepara::taskText() const
{
    QString task = Memo1->plainText();
    task.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return task;
}

bool Tprepara::hasCurrentSentence() const
{
    return textLoaded && model && model->currentSentence >= 0
           && model->currentSentence < model->sentenceCount;
}

bool Tprepara::loadExercise(const QString& path)
{
    auto loaded = openExercise(path);
    if (!loaded)
        return false;
    newModel(std::move(loaded));
    return true;
}

void Tprepara::takeConvertedText(const QStringList& lines, QChar separator)
{
    // An exercise is windows-1252 with lines of at most 255 characters:
    // longer lines are cut as the text reader cuts them, and characters
    // windows-1252 cannot hold are replaced, which the teacher is told once.
    QList<Replacement> replaced;
    const QStringList storable = replaceOutsideCp1252(cutLongLines(lines), &replaced);
    ExerciseState earlier = exerciseState();
    dropModel();
    Tparametri params;
    params.mode = fromPlainText;
    params.source = storable;
    params.separator = separator;
    newModel(std::make_unique<Tevidenziatore>(params));
    showFromTop();
    recordChange(new ExerciseReplaced(this, std::move(earlier)));
    if (!replaced.isEmpty()) {
        const DialogOfWindow dialogOpen(this);
        showMessage(replacementMessage(replaced, QStringLiteral("in un esercizio")));
    }
}

void Tprepara::showFromTop()
{
    {
        const QSignalBlocker blocker(ScrollBar1);
        ScrollBar1->setValue(0);
    }
    relayout();
    handlerWanted = true;
    updateKeyHandler();
    focusLevelButton(nonImportanteBut);
}

bool Tprepara::writeExercise(const QString& fileName)
{
    model->compito = taskText();
    return model->saveExercise(exercisesFolder(), onDisk(exercisesFolder(), fileName));
}

bool Tprepara::confirmDiscard()
{
    if (!modified)
        return true;
    const QString text = exerciseName.isEmpty()
        ? QString::fromUtf8("L'esercizio appena creato non è stato salvato. Vuoi salvarlo ?")
        : QString::fromUtf8("L'esercizio è stato modificato ma non è stato salvato. Vuoi salvarlo ?");
    switch (askWhetherToSave(text)) {
    case YesButton:
        return saveAs();
    case NoAnswerButton:
        mirror->workDeclined();
        return true;
    default:
        return false;
    }
}

bool Tprepara::saveAs()
{
    if (!textLoaded || !model)
        return false;
    const DialogOfWindow dialogOpen(this);
    QString preset = exerciseName;
    for (;;) {
        TFormQuery form(this);
        form.setWindowTitle(QStringLiteral("Salva con nome"));
        form.Label1->setText(QStringLiteral("Scrivi il nome dell'esercizio"));
        form.Edit1->setText(preset);
        if (form.exec() != QDialog::Accepted)
            return false;
        const QString name = trimSpaces(form.Edit1->text());
        if (name.isEmpty()) {
            preset = exerciseName;
            showMessage(QStringLiteral("Nessun nome specificato"));
            continue;
        }
        const QString problem = longNameProblem(name);
        if (!problem.isEmpty()) {
            // The name comes back for correction.
            preset = form.Edit1->text();
            showMessage(problem);
            continue;
        }
        const QString fileName = fileNameFor(exercisesFolder(), name);
        if (fileName.isEmpty())
            return false;   // the name table said why
        if (QFileInfo::exists(exercisesFolder() + onDisk(exercisesFolder(), fileName))) {
            const DialogButton answer = askQuestion(
                QStringLiteral("Attenzione!"),
                QStringLiteral("L'esercizio ") + name + QString::fromUtf8(" esiste già. Vuoi sostituirlo ?"),
                YesButton | NoAnswerButton, DialogIcon::Warning);
            if (answer != YesButton) {
                preset = exerciseName;
                continue;
            }
        }
        // A write that fails is told by the writer; the exercise stays modified.
        if (!writeExercise(fileName))
            return false;
        exerciseName = name;
        modified = false;
        changes->setClean();
        return true;
    }
}

// ---------------------------------------------------------------------------
// Commands

void Tprepara::File1Click()
{
    updateSaveActions();
}

void Tprepara::Salva1Click()
{
    if (!textLoaded || !model)
        return;
    if (exerciseName.isEmpty()) {
        saveAs();
        return;
    }
    const QString fileName = fileNameFor(exercisesFolder(), exerciseName);
    if (!fileName.isEmpty() && writeExercise(fileName)) {
        modified = false;
        changes->setClean();
    }
}

QString Tprepara::chooseExercise(const QString& caption)
{
    const DialogOfWindow dialogOpen(this);
    TcaricaElimina chooser(context, this);
    chooser.setWindowTitle(caption);
    if (chooser.count() == 0) {
        showMessage(QStringLiteral("Non ci sono esercizi"));
        return {};
    }
    if (chooser.exec() != QDialog::Accepted)
        return {};
    return chooser.chosenName();
}

void Tprepara::apri1Click()
{
    if (!confirmDiscard())
        return;
    const QString name = chooseExercise(QStringLiteral("  scegli un esercizio"));
    if (name.isEmpty())
        return;
    // Another exercise: the changes of this one can no longer be undone.
    dropModel();
    changes->clear();
    changesMoved();
    const QString fileName = fileNameFor(exercisesFolder(), name);
    if (fileName.isEmpty())
        return;   // the name table said why
    const QString path = exercisesFolder() + onDisk(exercisesFolder(), fileName);
    if (!QFileInfo(path).isFile()) {
        showMessage(QStringLiteral("L'esercizio ") + name + QStringLiteral(" non esiste"));
        return;
    }
    if (!loadExercise(path))
        return;
    exerciseName = name;
    modified = false;
    showFromTop();
}

void Tprepara::Elimina1Click()
{
    const QString name = chooseExercise(QStringLiteral("  elimina un esercizio"));
    if (name.isEmpty())
        return;
    const QString fileName = fileNameFor(exercisesFolder(), name);
    if (fileName.isEmpty())
        return;
    if (askQuestion(QStringLiteral("Attenzione!"), QStringLiteral("Vuoi eliminare ") + name + QStringLiteral(" ?"),
                    OkButton | CancelButton, DialogIcon::Warning)
        != OkButton)
        return;
    // The file and its entry go together, under the locks of both.
    deleteExercise(exercisesFolder(), onDisk(exercisesFolder(), fileName));
}

void Tprepara::Aprifileditesto1Click()
{
    if (!confirmDiscard())
        return;
    QString path;
    SourceText source;
    QChar separator;
    {
        const DialogOfWindow dialogOpen(this);
        path = dialogs().openFileName(QStringLiteral(" Converti file di testo"),
                                      context.dataRoot + QStringLiteral("testi"), sourceFileFilter());
        if (path.isEmpty())
            return;
        separator = askSeparator(this);
        source = readSourceShowingProgress(this, path);
    }
    if (source.status == SourceText::Cancelled)
        return;
    if (!source.ok()) {
        showMessage(source.error);
        return;
    }
    const QStringList lines = source.lines();
    // An empty text would leave an exercise without sentences in place of
    // the one in the window.
    if (isBlankText(lines)) {
        showMessage(QStringLiteral("Il file ") + QFileInfo(path).fileName() + QStringLiteral(" non contiene testo."));
        return;
    }
    if (hasReservedChars(lines)) {
        showMessage(reservedCharsMessage());
        return;
    }
    takeConvertedText(lines, separator);
}

void Tprepara::editorditesto1Click()
{
    if (!confirmDiscard())
        return;
    {
        const DialogOfWindow dialogOpen(this);
        TeditForm editor(context, this, this);
        editor.offerRecoveredWork();
        editor.exec();
    }
    handlerWanted = true;
    updateKeyHandler();
}

void Tprepara::opzionidivisualizzazione1Click()
{
    const DialogOfWindow dialogOpen(this);
    if (PaintCanvas->chooseFont())
        relayout();
}

void Tprepara::PreparazioneDelTestoClick()
{
    const DialogOfWindow dialogOpen(this);
    showInstructions(this, context.programFolder, QStringLiteral(" Preparazione del testo"), QStringLiteral("preparaz.txt"));
}

void Tprepara::ConsegnaClick()
{
    const DialogOfWindow dialogOpen(this);
    showInstructions(this, context.programFolder, QStringLiteral(" Consegna"), QStringLiteral("consegna.txt"));
}

void Tprepara::ModificheAgliEserciziClick()
{
    const DialogOfWindow dialogOpen(this);
    showInstructions(this, context.programFolder, QStringLiteral(" Modifiche agli esercizi"), QStringLiteral("modifica.txt"));
}

// ---------------------------------------------------------------------------
// Levels, mouse, keys and the task panel

void Tprepara::clickImportanza(QPushButton* button)
{
    if (!textLoaded || !model)
        return;
    const ImportanceLevel level = levelButtons->levelOf(button);
    const int n = model->currentSentence;
    const QStringList before = model->sentenceBlock(n);
    model->setImportance(n, level);
    model->currentImportance = level;
    scrollIntoView(n);
    // A click is a change even when the level stays (the exercise counts as
    // modified, as it always has); a click with no sentence changes nothing.
    if (!before.isEmpty())
        recordSentences(QStringLiteral("livello della ") + sentenceWord(n), n, before, 1, n);
    else
        modified = true;
    mirror->workChanged(modified);
}

void Tprepara::PaintCanvasMouseDown(QMouseEvent* event)
{
    if (!textLoaded || !model)
        return;
    const HitResult hit = PaintCanvas->hitTest(event->position().toPoint());
    if (hit.sentence >= 0 && hit.sentence != model->currentSentence) {
        model->currentSentence = hit.sentence;
        model->currentImportance = hit.level;
        model->hitSpare1 = hit.spare1;
        model->hitSpare2 = hit.spare2;
        redraw();
    }
    if (event->button() == Qt::RightButton && event->modifiers() == Qt::NoModifier
        && event->buttons() == Qt::RightButton && event->type() != QEvent::MouseButtonDblClick
        && hit.sentence >= 0)
        openPopupAt(event->globalPosition().toPoint() + QPoint(5, 5));
}

void Tprepara::openPopupAt(const QPoint& globalPos)
{
    const DialogOfWindow dialogOpen(this);
    PopupMenu1->exec(globalPos);
}

void Tprepara::openPopupForCurrent()
{
    if (!hasCurrentSentence())
        return;
    scrollIntoView(model->currentSentence);
    const std::pair<int, int> extent = PaintCanvas->sentenceExtent(model->currentSentence);
    const int y = std::clamp(extent.first - ScrollBar1->value() + 20, 0, PaintCanvas->height() - 1);
    openPopupAt(PaintCanvas->mapToGlobal(QPoint(40, y)));
}

bool Tprepara::handleKey(int key)
{
    if (key == Qt::Key_Escape) {
        // Consumed, unlike the other keys the window acts on, so that the same
        // press does not reach the window again as a second request to close.
        if (!suggPanel->isHidden())
            CancelBtnClick();
        else
            close();
        return true;
    }
    if (!textLoaded || !model)
        return false;
    switch (key) {
    case Qt::Key_End: {
        model->currentSentence = model->sentenceCount - 1;
        const QSignalBlocker blocker(ScrollBar1);
        ScrollBar1->setValue(ScrollBar1->maximum());
        redraw();
        return true;
    }
    case Qt::Key_Home: {
        model->currentSentence = 0;
        const QSignalBlocker blocker(ScrollBar1);
        ScrollBar1->setValue(0);
        redraw();
        return true;
    }
    case Qt::Key_Left:
    case Qt::Key_Right:
        // Round the three level buttons (the window's own focus, also while
        // the window manager has not made it the active window yet).
        levelButtons->focusNext(key == Qt::Key_Right, Qt::TabFocusReason);
        return true;
    case Qt::Key_Up:
        if (model->currentSentence >= 1) {
            --model->currentSentence;
            scrollIntoView(model->currentSentence);
        }
        return true;
    case Qt::Key_Down:
        if (model->currentSentence < model->sentenceCount - 1) {
            ++model->currentSentence;
            scrollIntoView(model->currentSentence);
        }
        return true;
    default:
        return false;
    }
}

void Tprepara::keyPressEvent(QKeyEvent* event)
{
    // Enter presses the focused level button (or "?"), as Space does.
    if (enterPressesFocusedButton(this, event))
        return;
    const int key = event->key();
    if (key == Qt::Key_Escape) {
        // Here only while the keyboard handler is off (it takes Esc itself).
        if (!suggPanel->isHidden())
            CancelBtnClick();
        else
            close();
        event->accept();
        return;
    }
    // The sentence commands from the keyboard: the menu key, or Shift+F10.
    if (key == Qt::Key_Menu || (key == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
        openPopupForCurrent();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Tprepara::reject()
{
    if (confirmDiscard())
        QDialog::reject();
}

void Tprepara::suggButClick()
{
    if (!textLoaded)
        return;
    ++taskSession;
    suggPanel->show();
    suggPanel->raise();
    Memo1->setFocus();
    updateKeyHandler();
}

void Tprepara::CancelBtnClick()
{
    suggPanel->hide();
    handlerWanted = true;
    updateKeyHandler();
    focusLevelButton(nonImportanteBut);
}

void Tprepara::Memo1Change()
{
    if (showingTask)
        return;
    const QString now = Memo1->plainText();
    if (now == taskBefore)
        return;
    recordChange(new TaskChange(this, taskBefore, now, taskSession));
    taskBefore = now;
}

// ---------------------------------------------------------------------------
// Changes, undone and redone

void Tprepara::recordChange(QUndoCommand* change)
{
    changes->push(change);
    // Also when the change joined the one before it (the stack did not move).
    changesMoved();
}

void Tprepara::recordSentences(const QString& what, int first, const QStringList& before,
                               int sentencesAfter, int currentBefore)
{
    QStringList after;
    for (int n = first; n < first + sentencesAfter; ++n)
        after += model->sentenceBlock(n);
    recordChange(new SentencesChange(this, what, first, before, after, currentBefore,
                                     model->currentSentence));
}

void Tprepara::changesMoved()
{
    // An empty window (a conversion undone) has nothing to save.
    modified = !changes->isClean() && textLoaded;
    mirror->workChanged(modified);
}

Tprepara::ExerciseState Tprepara::exerciseState() const
{
    ExerciseState state;
    if (!textLoaded || !model)
        return state;
    state.loaded = true;
    state.lines = model->lines;
    state.task = taskText();
    state.name = exerciseName;
    state.current = model->currentSentence;
    return state;
}

void Tprepara::restoreExercise(const ExerciseState& state)
{
    dropModel();
    if (!state.loaded)
        return;
    Tparametri params;
    params.mode = fromExercise;
    params.source = state.lines;
    params.compito = state.task;
    newModel(std::make_unique<Tevidenziatore>(params));
    exerciseName = state.name;
    showFromTop();
    if (state.current >= 0 && state.current < model->sentenceCount) {
        model->currentSentence = state.current;
        model->currentImportance = model->importanceOf(state.current);
        scrollIntoView(state.current);
    }
}

void Tprepara::replaceSentences(int first, const QStringList& from, const QStringList& to,
                                int current)
{
    if (!textLoaded || !model)
        return;
    model->replaceSentences(first, tagLines(from), to);
    model->currentSentence = model->sentenceCount == 0 ? -1 : std::clamp(current, 0, model->sentenceCount - 1);
    if (model->currentSentence >= 0)
        model->currentImportance = model->importanceOf(model->currentSentence);
    relayout();
    if (model->currentSentence >= 0)
        scrollIntoView(model->currentSentence);
}

void Tprepara::replaceTask(const QString& task)
{
    showTask(task);
    Memo1->moveCursor(QTextCursor::End);
}

bool Tprepara::eventFilter(QObject* watched, QEvent* event)
{
    // In the task text, Ctrl+Z and the redo keys reach "Annulla" and "Ripeti".
    if (watched == Memo1 && event->type() == QEvent::ShortcutOverride) {
        const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
        const QList<QKeySequence> keys = annullaModifica->shortcuts() + ripetiModifica->shortcuts();
        if (keys.contains(pressed)) {
            event->ignore();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Sentence operations

void Tprepara::rimuoviClick()
{
    if (!hasCurrentSentence())
        return;
    if (askQuestion(QStringLiteral("Conferma"), QStringLiteral("Vuoi rimuovere la frase ?"),
                    YesButton | NoAnswerButton, DialogIcon::Question)
        != YesButton)
        return;
    const int removed = model->currentSentence;
    const QStringList before = model->sentenceBlock(removed);
    model->removeSentence(removed);
    if (model->sentenceCount == 0)
        model->currentSentence = -1;
    else
        model->currentSentence = removed == 0 ? 0 : removed - 1;
    relayout();
    recordSentences(QStringLiteral("rimozione della ") + sentenceWord(removed), removed, before, 0,
                    removed);
}

void Tprepara::editSentence(bool replace, int insertAt)
{
    if (!hasCurrentSentence())
        return;
    const int current = model->currentSentence;
    TeditFrase dialog(this);
    dialog.setWindowTitle(replace ? QStringLiteral(" sostituisci la frase")
                                  : QStringLiteral(" inserisci la frase"));
    if (replace) {
        QStringList lines;
        model->sentenceLines(current, lines);
        dialog.setText(lines);
        dialog.setLevel(model->importanceOf(current));
    }
    int result = QDialog::Rejected;
    {
        const DialogOfWindow dialogOpen(this);
        result = dialog.exec();
    }
    handlerWanted = true;
    updateKeyHandler();
    if (result != QDialog::Accepted)
        return;
    const QStringList lines = dialog.textLines();
    const ImportanceLevel level = dialog.chosenLevel();
    if (replace) {
        const QStringList before = model->sentenceBlock(current);
        model->removeSentence(current);
        model->insertSentence(current, lines, level);
        recordSentences(QStringLiteral("sostituzione della ") + sentenceWord(current), current,
                        before, 1, current);
    } else {
        const int count = model->sentenceCount;
        model->insertSentence(insertAt, lines, level);
        recordSentences(QStringLiteral("inserimento della ") + sentenceWord(insertAt), insertAt, {},
                        model->sentenceCount - count, current);
    }
    relayout();
    scrollIntoView(model->currentSentence);
}

void Tprepara::sostituisciClick()
{
    editSentence(true, 0);
}

void Tprepara::inseriscisopraClick()
{
    if (hasCurrentSentence())
        editSentence(false, model->currentSentence);
}

void Tprepara::inseriscisottoClick()
{
    if (hasCurrentSentence())
        editSentence(false, model->currentSentence + 1);
}
